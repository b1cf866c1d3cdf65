// BoundedOutputStream: counting, truncation and termination.
#include "protocol/bounded_output_stream.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zorvel {
namespace {

// Puts `text` into a buffer of `size` bytes pre-filled with '#', terminates,
// and returns the buffer's bytes and the final count.
std::pair<std::string, uint32_t> Write(const std::string& text, uint32_t size) {
  std::vector<char> buffer(size, '#');
  BoundedOutputStream stream(buffer.data(), size);
  for (char c : text) stream.Put(c);
  stream.Terminate();
  return {std::string(buffer.begin(), buffer.end()), stream.position()};
}

TEST(BoundedOutputStream, FittingTextIsTerminatedAndCountsTheNul) {
  auto [bytes, count] = Write("abc", 8);
  EXPECT_EQ(bytes, std::string("abc\0####", 8));
  EXPECT_EQ(count, 4u);
}

TEST(BoundedOutputStream, TextFillingAllButOneByteStillFits) {
  auto [bytes, count] = Write("abc", 4);
  EXPECT_EQ(bytes, std::string("abc\0", 4));
  EXPECT_EQ(count, 4u);
}

TEST(BoundedOutputStream, TextOfBufferSizeIsCutAndCountsFullLength) {
  auto [bytes, count] = Write("abcd", 4);
  EXPECT_EQ(bytes, std::string("abc\0", 4));
  EXPECT_EQ(count, 4u);
}

TEST(BoundedOutputStream, LongerTextIsCutAndCountsFullLength) {
  auto [bytes, count] = Write("abcdefghij", 4);
  EXPECT_EQ(bytes, std::string("abc\0", 4));
  EXPECT_EQ(count, 10u);
}

TEST(BoundedOutputStream, OneByteBufferHoldsOnlyTheNul) {
  auto [bytes, count] = Write("ab", 1);
  EXPECT_EQ(bytes, std::string("\0", 1));
  EXPECT_EQ(count, 2u);
}

TEST(BoundedOutputStream, ZeroSizeBufferIsNeverWritten) {
  BoundedOutputStream stream(nullptr, 0);
  stream.Put('a');
  stream.Terminate();
  EXPECT_EQ(stream.position(), 1u);
}

}  // namespace
}  // namespace zorvel
