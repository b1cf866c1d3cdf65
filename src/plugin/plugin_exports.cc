// The exported functions of the plug-in and the special members of
// IProcessor. The single Processor is created on first use by GetPlugin,
// CS_GetSchema, CS_Prepare or CS_Process and destroyed when the library is
// unloaded; the identity exports answer constants and never create it. No
// exception leaves any of these functions.
#include <cstdlib>
#include <cstring>
#include <new>

#include "plugin/processor.h"
#include "plugin/zorvel_plugin.h"

IProcessor::IProcessor() = default;
IProcessor::IProcessor(const IProcessor& /*other*/) = default;
IProcessor& IProcessor::operator=(const IProcessor& /*other*/) = default;
IProcessor::~IProcessor() = default;

namespace {

constexpr int32_t kInterfaceVersion = 11;
constexpr int32_t kMajorVersion = 1;
constexpr int32_t kMinorVersion = 2;
constexpr char kName[] = "Zorvel";
constexpr char kKind[] = "Processor";
constexpr char kProtocolFormat[] = "JSON";
constexpr char kDescription[] = "Quorvane 2019-20";

// Storage and once-only guard of the single processor. The host calls from
// one thread at a time, so a plain flag suffices.
alignas(zorvel::Processor) unsigned char processor_storage[sizeof(zorvel::Processor)];
bool processor_created = false;

zorvel::Processor* StoredProcessor() {
  return std::launder(reinterpret_cast<zorvel::Processor*>(processor_storage));
}

// Runs at library unload (or process end).
void DestroyProcessor() {
  if (!processor_created) return;
  StoredProcessor()->~Processor();
  processor_created = false;
}

// The processor, created on first use; null only when its construction
// failed.
zorvel::Processor* EnsureProcessor() {
  if (processor_created) return StoredProcessor();
  std::memset(processor_storage, 0, sizeof(processor_storage));
  try {
    new (processor_storage) zorvel::Processor();
  } catch (...) {
    return nullptr;
  }
  processor_created = true;
  std::atexit(DestroyProcessor);
  return StoredProcessor();
}

}  // namespace

extern "C" {

int32_t GetVersion(void) { return kInterfaceVersion; }

void Info(PluginInfo* info) {
  if (info == nullptr) return;
  info->major_version = kMajorVersion;
  info->minor_version = kMinorVersion;
  info->name = kName;
  info->kind = kKind;
  info->protocol_format = kProtocolFormat;
  info->description = kDescription;
}

const char* CS_PluginName(void) { return kName; }
int32_t CS_VersionMjr(void) { return kMajorVersion; }
int32_t CS_VersionMnr(void) { return kMinorVersion; }
const char* CS_ProtocolFormat(void) { return kProtocolFormat; }
const char* CS_Description(void) { return kDescription; }

IProcessor* GetPlugin(void) { return EnsureProcessor(); }

uint32_t CS_GetSchema(char* buffer, uint32_t size) {
  zorvel::Processor* processor = EnsureProcessor();
  return processor == nullptr ? 0 : processor->GetSchema(buffer, size);
}

bool CS_Prepare(const char* location) {
  zorvel::Processor* processor = EnsureProcessor();
  return processor != nullptr && processor->Prepare(location);
}

uint32_t CS_Process(int32_t reserved, const char* request, char* buffer,
                    uint32_t size) {
  zorvel::Processor* processor = EnsureProcessor();
  return processor == nullptr
             ? 0
             : processor->Process(reserved, request, buffer, size);
}

}  // extern "C"
