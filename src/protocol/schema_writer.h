// Writes the schema document: for each registered grouping mode, its code,
// description, limits and the fields it takes and returns, with their types
// and the attributes the data item dictionary publishes for input fields.
#pragma once

#include <cstdint>

#include "protocol/bounded_output_stream.h"
#include "protocol/mode_registry.h"

namespace zorvel {

// Writes the document as compact JSON into `stream` and terminates it.
// Modes are listed in the fixed order "APC", "NAC", "EM", "ACC", "NCC",
// "PCC", "NRD"; a code that is not registered is left out. Returns the
// stream's final count.
uint32_t WriteSchema(const ModeRegistry& registry, BoundedOutputStream& stream);

}  // namespace zorvel
