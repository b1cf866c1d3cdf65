// The clean-text test reads most bytes eight at a time; whatever the fault
// and wherever it falls against those words, it must name the line a reader
// going byte by byte would name.
#include "refdata/table_text.h"

#include <string>

#include <gtest/gtest.h>

namespace zorvel {
namespace {

// Lines of lengths 1 to 12 so that line feeds fall at every offset of a
// word; a quoted field on every fifth line.
std::string CleanText() {
  std::string text;
  for (int line = 0; line < 60; ++line) {
    if (line % 5 == 4) text += "\"a,b\"";
    text.append(1 + line % 12, static_cast<char>('a' + line % 26));
    text += '\n';
  }
  return text;
}

int LineAt(const std::string& text, size_t position) {
  int line = 1;
  for (size_t i = 0; i < position; ++i) line += text[i] == '\n';
  return line;
}

TEST(TableText, CleanTextHasNoFault) {
  EXPECT_FALSE(FindTextFault(CleanText()).has_value());
  EXPECT_FALSE(FindTextFault("").has_value());
  EXPECT_FALSE(FindTextFault("caf\xC3\xA9,\xF0\x9F\x98\x80\n").has_value());
}

TEST(TableText, EveryFaultIsFoundOnItsLineAtEveryOffset) {
  const std::string clean = CleanText();
  const struct {
    std::string bytes;
    std::string reason;
  } faults[] = {{std::string(1, '\0'), "holds a NUL byte"},
                {"\xFF", "is not valid UTF-8"},
                {"\xC3(", "is not valid UTF-8"},
                {"\xED\xA0\x80", "is not valid UTF-8"}};
  for (const auto& fault : faults) {
    for (size_t at = 0; at < clean.size(); ++at) {
      std::string text = clean;
      text.insert(at, fault.bytes);
      const auto found = FindTextFault(text);
      ASSERT_TRUE(found.has_value()) << at;
      EXPECT_EQ(found->reason, fault.reason) << at;
      EXPECT_EQ(found->line, LineAt(text, at)) << fault.reason << " at " << at;
    }
  }
}

TEST(TableText, OpenQuoteAndMissingLineFeedNameTheirLines) {
  const std::string clean = CleanText();
  for (size_t at = 0; at < clean.size(); at += 7) {
    std::string text = clean;
    text.insert(at, "\"");
    const auto found = FindTextFault(text);
    ASSERT_TRUE(found.has_value()) << at;
    EXPECT_EQ(found->reason, "opens a quote that is never closed");
  }
  const auto unended = FindTextFault(clean + "last,row");
  ASSERT_TRUE(unended.has_value());
  EXPECT_EQ(unended->reason, "ends without a line feed");
  EXPECT_EQ(unended->line, 61);
}

}  // namespace
}  // namespace zorvel
