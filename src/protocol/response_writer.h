// Writes the response document of a grouping request: the spell's success
// flag and errors, its output fields, and one object per episode, as compact
// JSON into a bounded output stream. Strings are escaped as JSON requires
// (two-character escapes where JSON has them, \u00XX with upper-case digits
// for the other control characters); every other byte, including bytes from
// 0x80, is copied unchanged.
#pragma once

#include <string>
#include <vector>

#include <rapidjson/writer.h>

#include "common/record.h"
#include "protocol/bounded_output_stream.h"

namespace zorvel {

using JsonWriter = rapidjson::Writer<BoundedOutputStream>;
using FieldNames = std::vector<std::string>;

// The fields to write when grouping is done.
struct OutputFields {
  const FieldNames* spell_fields = nullptr;    // the mode's output spell fields
  const FieldNames* episode_fields = nullptr;  // the mode's output episode fields
  const FieldNames* extra_spell_items = nullptr;
  const FieldNames* extra_episode_items = nullptr;
};

// Writes "{}" and terminates the stream. Returns the stream's final count.
uint32_t WriteEmptyResponse(BoundedOutputStream& stream);

// Writes the response for `spell` and terminates the stream. `fields` is
// null when grouping is not done: then only the success flags, the errors
// and the episodes' "Id" are written. Returns the stream's final count.
uint32_t WriteResponse(const Spell& spell, const OutputFields* fields,
                       BoundedOutputStream& stream);

// Writes member `name` from `record` by the item's kind: a string for a
// single item the record holds, an array of strings for a list item it
// holds; nothing for a name outside the dictionary or a value it lacks.
void WriteField(JsonWriter& writer, const std::string& name,
                const Record& record);

// Writes one error object. `context` is the section name of the list the
// error is written in ("spell" or "episode"); "Section" is written only when
// the error's section name is not empty and differs from it.
void WriteErrorObject(JsonWriter& writer, const GroupingError& error,
                      std::string_view context);

}  // namespace zorvel
