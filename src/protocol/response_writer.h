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
#include "refdata/data_item_dictionary.h"

namespace zorvel {

// The writer's stack of open objects and arrays lives in a small pool that
// starts in a buffer on the caller's stack, so writing allocates nothing.
using WriterStackAllocator = rapidjson::MemoryPoolAllocator<>;
using JsonWriter =
    rapidjson::Writer<BoundedOutputStream, rapidjson::UTF8<>, rapidjson::UTF8<>,
                      WriterStackAllocator>;
using FieldNames = std::vector<std::string>;

// An output field with its dictionary kind and record hash looked up once,
// so that writing it compares no names but the one it finds.
struct ResolvedField {
  std::string name;
  uint32_t hash = 0;
  DataItemKind kind = kUnknownItem;

  ItemKey key() const;
};
using ResolvedFields = std::vector<ResolvedField>;

// Resolves `names` into `fields`, in order, reusing its storage.
void ResolveFields(const FieldNames& names, ResolvedFields& fields);
ResolvedFields ResolveFields(const FieldNames& names);

// The fields to write when grouping is done.
struct OutputFields {
  const ResolvedFields* spell_fields = nullptr;    // the mode's output spell fields
  const ResolvedFields* episode_fields = nullptr;  // the mode's output episode fields
  const ResolvedFields* extra_spell_items = nullptr;
  const ResolvedFields* extra_episode_items = nullptr;
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
void WriteField(JsonWriter& writer, const ResolvedField& field,
                const Record& record);

// Writes one error object. `context` is the section name of the list the
// error is written in ("spell" or "episode"); "Section" is written only when
// the error's section name is not empty and differs from it.
void WriteErrorObject(JsonWriter& writer, const GroupingError& error,
                      std::string_view context);

}  // namespace zorvel
