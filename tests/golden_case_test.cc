// The golden-case runner: every case of tests/cases/*.json becomes one
// GoogleTest test that sends the case's request to a Processor prepared with
// the case's table set and compares the answer with the expected text, byte
// for byte. Table sets are the plain CSV folders tests/tables/<set>/, packed
// with the project's packer on first use. See tests/README.md for the file
// format.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/writer.h>

#include "plugin/processor.h"
#include "support/packed_tables.h"

namespace zorvel::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kCasesDir = fs::path(ZORVEL_SOURCE_DIR) / "tests" / "cases";
const fs::path kTablesDir = fs::path(ZORVEL_SOURCE_DIR) / "tests" / "tables";

struct GoldenCase {
  std::string name;     // <file>_<case>, unique
  std::string shows;    // the one line saying what the case shows
  std::string tables;   // the table set
  std::vector<std::string> first;  // requests sent before, answers unread
  std::string request;
  std::string response;
  std::string fault;    // what is wrong with the case itself, if anything
};

// A string member as its text; any other value written compactly, in its
// own member order, as the plug-in writes its answers.
std::string TextOf(const rapidjson::Value& value) {
  if (value.IsString()) return std::string(value.GetString(), value.GetStringLength());
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  value.Accept(writer);
  return buffer.GetString();
}

// `name` with every character other than a letter, digit or '_' replaced by
// '_': GoogleTest refuses other test names outright.
std::string PlainName(std::string name) {
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

// The cases of one file; a file or case that cannot be read becomes a case
// whose fault says why, so that it fails by name instead of vanishing.
void ReadCaseFile(const fs::path& path, std::vector<GoldenCase>& cases) {
  const std::string family = path.stem().string();
  rapidjson::Document doc;
  doc.Parse(ReadFile(path.string()).c_str());
  if (doc.HasParseError() || !doc.IsObject() || !doc.HasMember("cases") ||
      !doc["cases"].IsArray()) {
    cases.push_back({PlainName(family) + "_FileUnreadable", "", "", {}, "", "", path.string() +
                     " is not an object with a \"cases\" array"});
    return;
  }
  const std::string file_tables =
      doc.HasMember("tables") ? TextOf(doc["tables"]) : "";
  for (const auto& c : doc["cases"].GetArray()) {
    GoldenCase golden;
    golden.tables = file_tables;
    if (!c.IsObject() || !c.HasMember("name") || !c.HasMember("shows") ||
        !c.HasMember("request") || !c.HasMember("response")) {
      golden.name = PlainName(family) + "_Case" + std::to_string(cases.size());
      golden.fault = "a case needs \"name\", \"shows\", \"request\" and \"response\"";
      cases.push_back(golden);
      continue;
    }
    golden.name = family + "_" + TextOf(c["name"]);
    golden.shows = TextOf(c["shows"]);
    if (c.HasMember("tables")) golden.tables = TextOf(c["tables"]);
    if (c.HasMember("first") && c["first"].IsArray()) {
      for (const auto& r : c["first"].GetArray()) golden.first.push_back(TextOf(r));
    }
    golden.request = TextOf(c["request"]);
    golden.response = TextOf(c["response"]);
    if (PlainName(golden.name) != golden.name) {
      golden.name = PlainName(golden.name);
      golden.fault = "names are letters, digits and _";
    }
    if (golden.tables.empty()) golden.fault = "no table set named";
    cases.push_back(golden);
  }
}

std::vector<GoldenCase> AllCases() {
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(kCasesDir, error)) {
    if (entry.path().extension() == ".json") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<GoldenCase> cases;
  for (const auto& file : files) ReadCaseFile(file, cases);
  std::map<std::string, int> seen;
  for (auto& c : cases) {
    if (++seen[c.name] > 1) {
      c.fault = "the name is taken by an earlier case";
      c.name += "_" + std::to_string(seen[c.name]);
    }
  }
  return cases;
}

// A table set packed and prepared once per test process.
struct PreparedSet {
  explicit PreparedSet(const std::string& set) : packed((kTablesDir / set).string()) {}
  PackedTables packed;
  Processor processor;
};

Processor& ProcessorFor(const std::string& set, std::string& fault) {
  static std::map<std::string, std::unique_ptr<PreparedSet>> sets;
  auto& slot = sets[set];
  if (!slot) {
    slot = std::make_unique<PreparedSet>(set);
    // A set made for some modes leaves the others unset and Prepare false;
    // the modes that set themselves up still group.
    slot->processor.Prepare(slot->packed.dir().c_str());
  }
  if (!slot->packed.fault().empty()) fault = "table set " + set + ": " + slot->packed.fault();
  return slot->processor;
}

std::string Answer(Processor& processor, const std::string& request) {
  std::vector<char> buffer(1 << 20);
  const uint32_t count = processor.Process(0, request.c_str(), buffer.data(),
                                           static_cast<uint32_t>(buffer.size()));
  if (count > buffer.size()) return "(answer longer than the 1 MiB buffer)";
  return std::string(buffer.data());
}

// Where `expected` and `actual` first differ, with a little text of each.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
  size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  const size_t from = at < 20 ? 0 : at - 20;
  return "first difference at byte " + std::to_string(at) + ":\n  expected ..." +
         expected.substr(from, 60) + "\n  actual   ..." + actual.substr(from, 60);
}

// Failure messages name the case rather than dumping its bytes.
void PrintTo(const GoldenCase& c, std::ostream* out) { *out << c.name; }

class GoldenCaseTest : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenCaseTest, AnswersExactly) {
  const GoldenCase& c = GetParam();
  ASSERT_TRUE(c.fault.empty()) << c.name << ": " << c.fault;
  std::string fault;
  Processor& processor = ProcessorFor(c.tables, fault);
  ASSERT_TRUE(fault.empty()) << fault;
  for (const auto& request : c.first) Answer(processor, request);
  const std::string actual = Answer(processor, c.request);
  if (actual == c.response) return;
  ADD_FAILURE() << "case " << c.name << " (tables " << c.tables << "): " << c.shows
                << "\nrequest:  " << c.request << "\nexpected: " << c.response
                << "\nactual:   " << actual << "\n"
                << FirstDifference(c.response, actual);
}

// A processor keeps the storage of one request for the next: every case must
// still answer exactly when it follows every other case of its table set,
// in either order, through the same processor.
TEST(GoldenCaseSequence, EveryCaseAnswersExactlyAfterAllTheOthers) {
  std::map<std::string, std::vector<GoldenCase>> by_set;
  for (const GoldenCase& c : AllCases()) {
    if (c.fault.empty()) by_set[c.tables].push_back(c);
  }
  for (auto& [set, cases] : by_set) {
    PreparedSet prepared(set);
    prepared.processor.Prepare(prepared.packed.dir().c_str());
    for (int pass = 0; pass < 2; ++pass) {
      for (const GoldenCase& c : cases) {
        for (const auto& request : c.first) Answer(prepared.processor, request);
        const std::string actual = Answer(prepared.processor, c.request);
        EXPECT_EQ(actual, c.response)
            << "case " << c.name << " (tables " << set << ", pass " << pass
            << ")\n" << FirstDifference(c.response, actual);
      }
      std::reverse(cases.begin(), cases.end());
    }
  }
}

// The request text of `c` as a JSON object without a "Trace" member of its
// own; false for the cases whose request is no such object.
bool UntracedObject(const GoldenCase& c, rapidjson::Document& request) {
  request.Parse(c.request.c_str());
  return !request.HasParseError() && request.IsObject() && !request.HasMember("Trace") &&
         c.fault.empty();
}

// `text` (an object) with `member` inserted as its first member.
std::string WithFirstMember(const std::string& text, const std::string& member) {
  const size_t open = text.find('{');
  const bool empty = text.find_first_not_of(" \t\r\n", open + 1) == text.find('}', open);
  return text.substr(0, open + 1) + member + (empty ? "" : ",") + text.substr(open + 1);
}

// An answer with its "Trace" members taken out, rewritten compactly.
std::string WithoutTrace(const std::string& answer) {
  rapidjson::Document document;
  document.Parse(answer.c_str());
  if (document.HasParseError() || !document.IsObject()) return answer;
  document.RemoveMember("Trace");
  if (document.HasMember("Episodes") && document["Episodes"].IsArray()) {
    for (auto& episode : document["Episodes"].GetArray()) {
      if (episode.IsObject()) episode.RemoveMember("Trace");
    }
  }
  return TextOf(document);
}

// Any "Trace" other than true is as no "Trace" at all, and true adds the
// "Trace" members and changes nothing else, for every case.
TEST(GoldenCaseTrace, OnlyTrueTracesAndTracingChangesNothingElse) {
  int checked = 0;
  for (const GoldenCase& c : AllCases()) {
    rapidjson::Document request;
    if (!UntracedObject(c, request)) continue;
    std::string fault;
    Processor& processor = ProcessorFor(c.tables, fault);
    if (!fault.empty()) continue;
    for (const char* value : {"false", "\"yes\"", "1", "null", "{\"On\":true}"}) {
      const std::string variant = WithFirstMember(c.request, std::string("\"Trace\":") + value);
      const std::string actual = Answer(processor, variant);
      EXPECT_TRUE(actual == c.response) << "case " << c.name << " with " << value << ": "
                                        << FirstDifference(c.response, actual);
    }
    const std::string traced = Answer(processor, WithFirstMember(c.request, "\"Trace\":true"));
    const std::string stripped = WithoutTrace(traced);
    const std::string expected = WithoutTrace(c.response);
    EXPECT_TRUE(stripped == expected) << "case " << c.name << " traced: "
                                      << FirstDifference(expected, stripped);
    if (c.response != "{}") {
      EXPECT_NE(traced.find("\"Trace\":["), std::string::npos) << "case " << c.name;
    }
    ++checked;
  }
  EXPECT_GT(checked, 200);
}

INSTANTIATE_TEST_SUITE_P(Cases, GoldenCaseTest, ::testing::ValuesIn(AllCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace zorvel::testing
