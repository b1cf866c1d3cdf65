// The mode registry: mode code to the mode processor registered under it.
// Keys compare byte-wise, so look-ups are exact and case-sensitive and
// iteration runs "ACC", "APC", "EM", "NAC", "NCC", "NRD", "PCC". The pointers
// do not own the modes.
#pragma once

#include <map>
#include <string>

#include "modes/mode_processor.h"

namespace zorvel {

using ModeRegistry = std::map<std::string, IModeProcessor*>;

}  // namespace zorvel
