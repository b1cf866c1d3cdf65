// An answer of the plug-in as a flat list of its values, in document order,
// for the flat-file writer to walk. The plug-in writes compact JSON whose
// values are texts, booleans, arrays and objects, almost always of printable
// ASCII without escapes: such a text is split here directly, each text value
// a view into the answer. Anything else (an escape, a number, white space, a
// byte outside printable ASCII, nesting past kMaxPlainDepth, or text that is
// not JSON) is read by RapidJSON instead, into the same list.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <rapidjson/document.h>

namespace zorvel::cli {

class AnswerTape {
 public:
  AnswerTape() = default;
  AnswerTape(const AnswerTape&) = delete;
  AnswerTape& operator=(const AnswerTape&) = delete;

  enum class Kind : uint8_t { kNull, kFalse, kTrue, kNumber, kString, kArray, kObject };

  // One value. A container is followed by its contents: an array by its
  // elements, an object by each member's name (a kString) and value.
  struct Entry {
    Kind kind = Kind::kNull;
    uint32_t next = 0;      // the entry after this value and all it holds
    std::string_view text;  // a text's characters; else the value's JSON (see Json)
    const rapidjson::Value* node = nullptr;  // the value, when RapidJSON read it
  };

  static constexpr int kMaxPlainDepth = 32;

  // Reads `answer`, by the direct split where it can. The entries' texts
  // point into `answer` (read by the split), which must outlive their use,
  // or into the tape's own copy. A text that is not JSON leaves a tape of
  // one null, with `ParseError()` true.
  void Read(std::string_view answer);
  // Reads `answer` by the direct split alone; false (and an empty tape)
  // when it holds anything beyond it.
  bool ReadPlain(std::string_view answer);
  // Reads `answer` by RapidJSON alone.
  void ReadByParser(std::string_view answer);

  bool ParseError() const { return parse_error_; }
  // The number of entries.
  uint32_t size() const { return count_; }
  const Entry& operator[](uint32_t index) const { return entries_[index]; }

  // The compact JSON of the value at `index`, as RapidJSON's writer makes it
  // (of the direct split: the value's own text). `scratch` holds it when it
  // is not a view into the answer.
  std::string_view Json(uint32_t index, std::string* scratch) const;

  // The value of the first member named `name` of the object at `index`;
  // 0 (never a member's value) when there is none or it is not an object.
  uint32_t Find(uint32_t index, std::string_view name) const;

 private:
  bool Split(const char* begin, const char* end);
  void AddNode(const rapidjson::Value& value, int depth);

  std::string text_;
  std::vector<Entry> entries_;  // room; the tape is its first count_
  uint32_t count_ = 0;
  bool parse_error_ = false;
  std::vector<char> node_buffer_ = std::vector<char>(64 * 1024);
  rapidjson::MemoryPoolAllocator<> nodes_{node_buffer_.data(), node_buffer_.size()};
  rapidjson::Document document_{&nodes_};
};

}  // namespace zorvel::cli
