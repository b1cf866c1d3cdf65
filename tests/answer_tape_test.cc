// The answer tape reads most answers by splitting them directly and leaves
// the rest to RapidJSON. The two ways must give the same tape for every text
// the split takes, and the split must take no text that is not JSON.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "answer_tape.h"
#include "plain_text.h"

namespace zorvel::cli {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The answers of the golden cases, written compactly as the plug-in writes.
std::vector<std::string> GoldenAnswers() {
  std::vector<std::string> answers;
  for (const auto& entry : fs::directory_iterator(fs::path(ZORVEL_SOURCE_DIR) / "tests/cases")) {
    rapidjson::Document file;
    file.Parse(ReadFile(entry.path()).c_str());
    if (!file.IsObject() || !file.HasMember("cases")) continue;
    for (const auto& test_case : file["cases"].GetArray()) {
      if (!test_case.IsObject() || !test_case.HasMember("response")) continue;
      rapidjson::StringBuffer text;
      rapidjson::Writer<rapidjson::StringBuffer> writer(text);
      test_case["response"].Accept(writer);
      answers.emplace_back(text.GetString(), text.GetSize());
    }
  }
  return answers;
}

// Why the tapes `a` and `b` differ at the first difference; empty when not.
std::string Difference(const AnswerTape& a, const AnswerTape& b) {
  if (a.ParseError() != b.ParseError()) return "parse error differs";
  if (a.size() != b.size()) return "entry count differs";
  std::string scratch_a;
  std::string scratch_b;
  for (uint32_t i = 0; i < a.size(); ++i) {
    const AnswerTape::Entry& x = a[i];
    const AnswerTape::Entry& y = b[i];
    const std::string at = " at entry " + std::to_string(i);
    if (x.kind != y.kind) return "kind" + at;
    if (x.next != y.next) return "next" + at;
    if (x.kind == AnswerTape::Kind::kString && x.text != y.text) return "text" + at;
    if (a.Json(i, &scratch_a) != b.Json(i, &scratch_b)) return "JSON" + at;
  }
  return "";
}

// The split and the parser agree on `text`, when the split takes it.
void ExpectSameTapeWhenPlain(const std::string& text, bool expect_plain) {
  AnswerTape plain;
  AnswerTape parsed;
  const bool took = plain.ReadPlain(text);
  if (expect_plain) {
    EXPECT_TRUE(took) << text;
  }
  parsed.ReadByParser(text);
  if (!took) return;
  EXPECT_FALSE(parsed.ParseError()) << "the split took text that is not JSON: " << text;
  EXPECT_EQ(Difference(plain, parsed), "") << text;
  std::string scratch;
  EXPECT_EQ(plain.Json(0, &scratch), text) << "a plain text is its own compact JSON";
}

// The scan for escapes stops at the first control byte, backslash, DEL or
// above, and the scan for a quote at the first quote, wherever in a block
// of sixteen it stands, and neither goes past the end it is given.
TEST(PlainText, ScansStopAtTheFirstByteTheyLookForWhereverItStands) {
  for (int byte = 0; byte < 256; ++byte) {
    const bool unescaped = byte >= 0x20 && byte < 0x7f && byte != '\\';
    const bool quote = byte == '"';
    for (size_t at = 0; at < 40; ++at) {
      std::string text(48, 'a');
      text[at] = static_cast<char>(byte);
      const char* begin = text.data();
      const char* end = begin + text.size();
      ASSERT_EQ(PastUnescapedBytes(begin, end) - begin, unescaped ? text.size() : at)
          << "byte " << byte << " at " << at;
      ASSERT_EQ(NextQuote(begin, end) - begin, quote ? at : text.size()) << "byte " << byte;
      // The same text cut short just after the byte ends there, or at the byte.
      ASSERT_EQ(PastUnescapedBytes(begin, begin + at + 1) - begin, unescaped ? at + 1 : at);
      ASSERT_EQ(NextQuote(begin, begin + at + 1) - begin, quote ? at : at + 1);
    }
  }
}

TEST(AnswerTape, SplitAndParserReadTheSameTape) {
  const std::vector<std::string> answers = GoldenAnswers();
  ASSERT_GT(answers.size(), 100u);
  for (const std::string& answer : answers) {
    ExpectSameTapeWhenPlain(answer, answer.find('\\') == std::string::npos);
  }
  for (const char* text :
       {"{}", "[]", "null", "true", "false", "\"\"", "\"a b~\"", "[[],{},[{}],{\"\":[]}]",
        R"({"a":{"b":{"c":[true,false,null,"x"]}},"a":"again","":""})",
        R"([{"Field":"f","Message":"m"},{},[],"",null])"}) {
    ExpectSameTapeWhenPlain(text, true);
  }
  std::string deep = "\"x\"";
  for (int i = 0; i < AnswerTape::kMaxPlainDepth; ++i) deep = "[" + deep + "]";
  ExpectSameTapeWhenPlain(deep, true);
}

TEST(AnswerTape, TextsBeyondTheSplitAreLeftToTheParser) {
  std::string too_deep = "\"x\"";
  for (int i = 0; i <= AnswerTape::kMaxPlainDepth; ++i) too_deep = "[" + too_deep + "]";
  // Valid JSON the split does not take; the parser reads each.
  for (const std::string& text :
       {std::string(R"({"a":"\""})"), std::string(R"(["\u0041"])"), std::string("[1]"),
        std::string("{\"a\":-0.5e3}"), std::string(" {}"), std::string("{} "),
        std::string("{\"a\" :\"b\"}"), std::string("[\"\xc3\xa9\"]"), std::string("[\"\x7f\"]"),
        std::string("[\"\xff\"]"), too_deep}) {
    AnswerTape tape;
    EXPECT_FALSE(tape.ReadPlain(text)) << text;
    tape.Read(text);
    EXPECT_FALSE(tape.ParseError()) << text;
    EXPECT_EQ(tape[0].next, tape.size()) << text;
  }
  // Not JSON: neither way takes it, and the tape is one null.
  for (const std::string& text :
       {std::string(), std::string("{"), std::string("[}"), std::string("[\"a\",]"),
        std::string("{\"a\"}"), std::string("{\"a\":\"b\",}"), std::string("[\"a\"\"b\"]"),
        std::string("[tru]"), std::string("[fals]"), std::string("[falsy]"),
        std::string("[nul]"), std::string("[nulL]"), std::string("[\"open]"), std::string("{}{}"), std::string("[]]"),
        std::string("[\"a\tb\"]"), std::string("[\"a\0\"]", 6), std::string("{\"a\":[}]")}) {
    AnswerTape tape;
    EXPECT_FALSE(tape.ReadPlain(text)) << text;
    tape.Read(text);
    EXPECT_TRUE(tape.ParseError()) << text;
    ASSERT_EQ(tape.size(), 1u) << text;
    EXPECT_EQ(tape[0].kind, AnswerTape::Kind::kNull);
  }
}

// A tape read again holds the new answer alone, whichever way each answer
// was read, though it fills the room the last one left.
TEST(AnswerTape, ReadAgainHoldsOnlyTheNewAnswer) {
  const std::string parsed = R"({ "a": [1, {"b": "x"}], "c": null, "d": "e" })";
  const std::string plain = R"({"a":["y",{"b":"z"}],"c":true,"d":[],"e":"f"})";
  AnswerTape reused;
  for (const std::string* text : {&parsed, &plain, &parsed, &plain}) {
    reused.Read(*text);
    AnswerTape fresh;
    fresh.Read(*text);
    EXPECT_EQ(Difference(reused, fresh), "") << *text;
  }
}

TEST(AnswerTape, DamagedAnswersAreTakenByTheSplitOnlyWhenTheyAreJson) {
  const std::vector<std::string> answers = GoldenAnswers();
  std::mt19937 random(7);
  const std::string bytes = "{}[]\",:\\tfn x0\x01\x80";
  for (int round = 0; round < 20000; ++round) {
    std::string text = answers[random() % answers.size()];
    for (int change = 1 + random() % 3; change > 0 && !text.empty(); --change) {
      const size_t at = random() % text.size();
      switch (random() % 3) {
        case 0: text[at] = bytes[random() % bytes.size()]; break;
        case 1: text.erase(at, 1 + random() % 3); break;
        default: text.insert(at, 1, bytes[random() % bytes.size()]); break;
      }
    }
    ExpectSameTapeWhenPlain(text, false);
    if (HasFailure()) break;
  }
}

TEST(AnswerTape, JsonTestSuiteDocumentsTheSplitTakesAreJson) {
  const fs::path corpus = fs::path(ZORVEL_SHARED_DIR) / "testdata/JSONTestSuite/test_parsing";
  std::error_code error;
  int documents = 0;
  for (const auto& entry : fs::directory_iterator(corpus, error)) {
    if (entry.path().extension() != ".json") continue;
    ++documents;
    // A document the split takes must be one the parser reads alike, so no
    // n_ document is taken.
    ExpectSameTapeWhenPlain(ReadFile(entry.path()), false);
  }
  if (documents == 0) GTEST_SKIP() << "JSONTestSuite corpus not found at " << corpus;
}

}  // namespace
}  // namespace zorvel::cli
