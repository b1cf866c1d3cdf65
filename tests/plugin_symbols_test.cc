// The plug-in's dynamic symbol table holds the exported functions and the
// IProcessor interface class, and nothing else.
#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

const std::set<std::string> kFunctions = {
    "GetVersion",    "GetPlugin",         "Info",
    "CS_PluginName", "CS_VersionMjr",     "CS_VersionMnr",
    "CS_ProtocolFormat", "CS_Description", "CS_GetSchema",
    "CS_Prepare",    "CS_Process"};

bool IsInterfaceSymbol(const std::string& name) {
  for (const char* prefix : {"_ZN10IProcessor", "_ZTI10IProcessor",
                             "_ZTS10IProcessor", "_ZTV10IProcessor"}) {
    if (name.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

// The names `nm -D --defined-only` lists for the built library.
bool DefinedDynamicSymbols(std::set<std::string>* names) {
  std::string command =
      std::string("nm -D --defined-only '") + ZORVEL_PLUGIN_PATH + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  char line[1024];
  while (fgets(line, sizeof(line), pipe) != nullptr) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name) names->insert(name);
  }
  return pclose(pipe) == 0;
}

TEST(PluginSymbols, OnlyTheExportedFunctionsAndIProcessorAreDefined) {
  std::set<std::string> names;
  if (!DefinedDynamicSymbols(&names)) GTEST_SKIP() << "nm is not available";
  for (const std::string& name : names) {
    EXPECT_TRUE(kFunctions.count(name) == 1 || IsInterfaceSymbol(name))
        << "unexpected export " << name;
  }
  for (const std::string& function : kFunctions) {
    EXPECT_EQ(names.count(function), 1u) << "missing export " << function;
  }
  for (const char* symbol : {"_ZTV10IProcessor", "_ZTI10IProcessor",
                             "_ZN10IProcessorC2Ev", "_ZN10IProcessorD2Ev",
                             "_ZN10IProcessoraSERKS_", "_ZN10IProcessorC2ERKS_"}) {
    EXPECT_EQ(names.count(symbol), 1u) << "missing export " << symbol;
  }
}

}  // namespace
