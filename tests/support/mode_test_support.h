// Test support for the mode tests that group through the exported
// CS_Prepare/CS_Process of the static core, in-process: a fixture over a
// packed table set, and one-episode requests with their expected responses.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "plugin/zorvel_plugin.h"
#include "support/packed_tables.h"

namespace zorvel::testing {

// A fixture whose suite packs the tables of `Derived::Texts()` once, into a
// directory that lives until the suite ends.
template <typename Derived>
class PackedTablesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { tables_ = new PackedTables(Derived::Texts()); }
  static void TearDownTestSuite() {
    delete tables_;
    tables_ = nullptr;
  }

  static PackedTables* tables_;
};

template <typename Derived>
PackedTables* PackedTablesTest<Derived>::tables_ = nullptr;

// A PackedTablesTest that prepares the plug-in with its tables before every
// test, since other suites prepare other tables in the same process. The
// result of CS_Prepare is not asserted: a mode may refuse a table set made for
// another, while the mode under test is registered all the same.
template <typename Derived>
class PreparedTablesTest : public PackedTablesTest<Derived> {
 protected:
  void SetUp() override {
    CS_Prepare(PackedTablesTest<Derived>::tables_->dir().c_str());
  }
};

// The response of CS_Process to `request`, given a 64 KiB buffer; expects
// the whole response to fit.
std::string ProcessRequest(const std::string& request);

// A request of mode `mode` for spell "S1" with the one episode "E1" holding
// `fields` (JSON members, without braces). `extra` holds further root members,
// each followed by a comma; they come before "Spell".
std::string OneEpisodeRequest(const std::string& mode,
                              const std::string& fields,
                              const std::string& extra = std::string());

// The response to a one-episode request grouped to `hrg`.
std::string GroupedResponse(const std::string& hrg);

// The response to a one-episode request that failed with `errors` (the error
// objects, or empty for none) and was given "UZ01Z".
std::string FailedResponse(const std::string& errors);

}  // namespace zorvel::testing
