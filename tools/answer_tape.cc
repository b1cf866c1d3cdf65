#include "answer_tape.h"

#include "plain_text.h"

#include <algorithm>
#include <cstring>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace zorvel::cli {
namespace {

// Nesting the DOM reading follows; deeper contents are left out. The
// plug-in's answers nest four deep.
constexpr int kMaxNodeDepth = 256;

}  // namespace

void AnswerTape::Read(std::string_view answer) {
  if (!ReadPlain(answer)) ReadByParser(answer);
}

bool AnswerTape::ReadPlain(std::string_view answer) {
  parse_error_ = false;
  count_ = 0;
  return Split(answer.data(), answer.data() + answer.size());
}

bool AnswerTape::Split(const char* p, const char* const end) {
  // Texts are taken as their own characters, which needs a document
  // without escapes; white space, numbers and anything that is not JSON
  // are found on the way.
  if (PastUnescapedBytes(p, end) != end) return false;
  // Entries are written straight into the room the tape keeps from answer
  // to answer, which grows when an answer needs more.
  Entry* out = entries_.data();
  size_t room = entries_.size();
  uint32_t n = 0;
  uint32_t open[kMaxPlainDepth];  // the containers still open, outermost first
  int depth = 0;
  bool want_name = false;  // in an object, after "{" or ","
  for (;;) {
    if (n + 2 > room) {  // a turn writes two entries at most
      entries_.resize(std::max<size_t>(64, 2 * room));
      out = entries_.data();
      room = entries_.size();
    }
    if (want_name) {
      // A member's name, then its value.
      if (p == end || *p != '"') return false;
      const char* const name_end = NextQuote(p + 1, end);
      if (end - name_end < 2 || name_end[1] != ':') return false;
      out[n] = {Kind::kString, n + 1, std::string_view(p + 1, name_end - p - 1)};
      ++n;
      p = name_end + 2;
      want_name = false;
    }
    if (p == end) return false;
    const uint32_t index = n;
    const char c = *p;
    if (c == '"') {
      const char* const text_end = NextQuote(p + 1, end);
      if (text_end == end) return false;
      out[n] = {Kind::kString, n + 1, std::string_view(p + 1, text_end - p - 1)};
      ++n;
      p = text_end + 1;
    } else if (c == '{' || c == '[') {
      const char close = c == '{' ? '}' : ']';
      out[n] = {c == '{' ? Kind::kObject : Kind::kArray, n + 1, std::string_view(p, 2)};
      ++n;
      ++p;
      if (p != end && *p == close) {
        ++p;
      } else {
        if (depth == kMaxPlainDepth) return false;
        open[depth++] = index;
        want_name = c == '{';
        continue;
      }
    } else {
      // true, false or null; each comparison of a known size is a load.
      const size_t left = static_cast<size_t>(end - p);
      Kind kind;
      size_t size = 4;
      if (left >= 4 && std::memcmp(p, "true", 4) == 0) {
        kind = Kind::kTrue;
      } else if (left >= 5 && std::memcmp(p, "false", 5) == 0) {
        kind = Kind::kFalse;
        size = 5;
      } else if (left >= 4 && std::memcmp(p, "null", 4) == 0) {
        kind = Kind::kNull;
      } else {
        return false;
      }
      out[n] = {kind, n + 1, std::string_view(p, size)};
      ++n;
      p += size;
    }
    // After a value: a comma, or the close of one or more containers.
    for (;;) {
      if (depth == 0) {
        if (p != end) return false;
        count_ = n;
        return true;
      }
      if (p == end) return false;
      Entry& container = out[open[depth - 1]];
      if (*p == ',') {
        ++p;
        want_name = container.kind == Kind::kObject;
        break;
      }
      if (*p != (container.kind == Kind::kObject ? '}' : ']')) return false;
      ++p;
      container.next = n;
      container.text = std::string_view(container.text.data(), p - container.text.data());
      --depth;
    }
  }
}

void AnswerTape::ReadByParser(std::string_view answer) {
  text_.assign(answer);
  count_ = 0;
  document_.SetNull();
  nodes_.Clear();
  document_.ParseInsitu<rapidjson::kParseIterativeFlag>(text_.data());
  parse_error_ = document_.HasParseError();
  if (parse_error_) document_.SetNull();
  AddNode(document_, 0);
}

void AnswerTape::AddNode(const rapidjson::Value& value, int depth) {
  const uint32_t index = count_;
  Entry entry;
  entry.node = &value;
  switch (value.GetType()) {
    case rapidjson::kNullType: entry.kind = Kind::kNull; break;
    case rapidjson::kFalseType: entry.kind = Kind::kFalse; break;
    case rapidjson::kTrueType: entry.kind = Kind::kTrue; break;
    case rapidjson::kNumberType: entry.kind = Kind::kNumber; break;
    case rapidjson::kStringType:
      entry.kind = Kind::kString;
      entry.text = std::string_view(value.GetString(), value.GetStringLength());
      break;
    case rapidjson::kArrayType: entry.kind = Kind::kArray; break;
    case rapidjson::kObjectType: entry.kind = Kind::kObject; break;
  }
  if (count_ == entries_.size()) entries_.emplace_back();
  entries_[count_++] = entry;
  if (depth < kMaxNodeDepth) {
    if (value.IsArray()) {
      for (const auto& element : value.GetArray()) AddNode(element, depth + 1);
    } else if (value.IsObject()) {
      for (const auto& member : value.GetObject()) {
        AddNode(member.name, depth + 1);
        AddNode(member.value, depth + 1);
      }
    }
  }
  entries_[index].next = count_;
}

std::string_view AnswerTape::Json(uint32_t index, std::string* scratch) const {
  const Entry& entry = entries_[index];
  if (entry.node == nullptr) {
    // A text of the direct split is its characters between their quotes.
    if (entry.kind == Kind::kString) return {entry.text.data() - 1, entry.text.size() + 2};
    return entry.text;
  }
  rapidjson::StringBuffer text;
  rapidjson::Writer<rapidjson::StringBuffer> writer(text);
  entry.node->Accept(writer);
  scratch->assign(text.GetString(), text.GetSize());
  return *scratch;
}

uint32_t AnswerTape::Find(uint32_t index, std::string_view name) const {
  const Entry& object = entries_[index];
  if (object.kind != Kind::kObject) return 0;
  for (uint32_t i = index + 1; i < object.next; i = entries_[i + 1].next) {
    if (entries_[i].text == name) return i + 1;
  }
  return 0;
}

}  // namespace zorvel::cli
