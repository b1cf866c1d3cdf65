// The plug-in object behind the exported functions: the reference data set,
// the mode registry and the seven grouping modes. One Processor exists per
// loaded library (see plugin_exports.cc); the host calls it from one thread
// at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "modes/acc_processor.h"
#include "modes/apc_processor.h"
#include "modes/em_processor.h"
#include "modes/nac_processor.h"
#include "modes/ncc_processor.h"
#include "modes/pcc_processor.h"
#include "modes/renal_processor.h"
#include "plugin/zorvel_plugin.h"
#include "protocol/bounded_output_stream.h"
#include "protocol/mode_registry.h"
#include "protocol/request_reader.h"
#include "protocol/response_writer.h"
#include "refdata/reference_data.h"

namespace zorvel {

class Processor : public IProcessor {
 public:
  Processor() = default;
  Processor(const Processor&) = delete;
  Processor& operator=(const Processor&) = delete;
  ~Processor() override = default;

  // Groups one request into `buffer` and returns the count of characters
  // produced. Returns 0 and writes nothing for a null buffer or a size below
  // 256; answers "{}" for a null, unparseable or wrongly shaped request.
  // Whatever fails while grouping is answered as a failed grouping, with a
  // complete document. Never throws.
  uint32_t Process(int32_t reserved, const char* request, char* buffer,
                   uint32_t size) override;

  // Writes the schema document of the registered modes into `buffer`.
  // Returns 0 for a null buffer or a size of 0. Never throws.
  uint32_t GetSchema(char* buffer, uint32_t size) override;

  // Loads the six tables from `location` followed directly by each file
  // name, then registers the modes and sets each up. True only when every
  // table loaded whole (no file missing, cut short, damaged or of another
  // table's kind) and every mode set itself up. A failed load (or any failure
  // while loading or setting up) leaves the registry empty, so that requests
  // are answered with the unknown-mode error until a later Prepare succeeds.
  // Never throws.
  bool Prepare(const char* location) override;

  // The registry, for inspection by tests.
  const ModeRegistry& registry() const { return registry_; }

 private:
  bool PrepareOrThrow(const char* location);
  uint32_t ProcessOrThrow(GroupingRequest& request,
                          BoundedOutputStream& stream);
  uint32_t WriteFailure(GroupingRequest& request, char* buffer, uint32_t size);
  void ResolveOutputFields();

  // A mode's output field lists, resolved when the modes were set up.
  struct ModeOutput {
    const IModeProcessor* mode;
    ResolvedFields spell_fields;
    ResolvedFields episode_fields;
  };

  // Members in construction order; destruction runs the other way.
  ReferenceData data_;
  ModeRegistry registry_;
  RenalProcessor renal_;
  NCCProcessor ncc_;
  NACProcessor nac_;
  ACCProcessor acc_;
  APCProcessor apc_;
  EMProcessor em_;
  PCCProcessor pcc_;
  std::vector<ModeOutput> mode_outputs_;
  // Reused by every request for its storage; see GroupingRequest.
  GroupingRequest request_;
  ResolvedFields extra_spell_items_;
  ResolvedFields extra_episode_items_;
};

}  // namespace zorvel
