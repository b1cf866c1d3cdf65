#include "answer_tape.h"

#include "plain_text.h"

#include <cstring>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace zorvel::cli {
namespace {

// Past the text that starts after its opening quote at `p`, closing quote
// included; nullptr when it is not closed. In a document without escapes a
// text ends at the next quote.
const char* PastText(const char* p, const char* end) {
  p = NextQuote(p, end);
  return p != end ? p + 1 : nullptr;
}

// Nesting the DOM reading follows; deeper contents are left out. The
// plug-in's answers nest four deep.
constexpr int kMaxNodeDepth = 256;

}  // namespace

void AnswerTape::Read(std::string_view answer) {
  if (!ReadPlain(answer)) ReadByParser(answer);
}

bool AnswerTape::ReadPlain(std::string_view answer) {
  parse_error_ = false;
  entries_.clear();
  if (Split(answer.data(), answer.data() + answer.size())) return true;
  entries_.clear();
  return false;
}

bool AnswerTape::Split(const char* p, const char* const end) {
  // Texts are taken as their own characters, which needs a document
  // without escapes; white space, numbers and anything that is not JSON
  // are found on the way.
  if (PastUnescapedBytes(p, end) != end) return false;
  uint32_t open[kMaxPlainDepth];  // the containers still open, outermost first
  int depth = 0;
  bool want_name = false;  // in an object, after "{" or ","
  for (;;) {
    if (p == end) return false;
    const auto index = static_cast<uint32_t>(entries_.size());
    const char* const start = p;
    if (want_name) {
      if (*p != '"') return false;
      p = PastText(p + 1, end);
      if (p == nullptr || p == end || *p != ':') return false;
      entries_.push_back({Kind::kString, index + 1, std::string_view(start + 1, p - start - 2)});
      ++p;
      want_name = false;
      continue;
    }
    // A value.
    const char c = *p;
    if (c == '{' || c == '[') {
      const char close = c == '{' ? '}' : ']';
      entries_.push_back({c == '{' ? Kind::kObject : Kind::kArray, index + 1, std::string_view(p, 2)});
      ++p;
      if (p != end && *p == close) {
        ++p;
      } else {
        if (depth == kMaxPlainDepth) return false;
        open[depth++] = index;
        want_name = c == '{';
        continue;
      }
    } else if (c == '"') {
      p = PastText(p + 1, end);
      if (p == nullptr) return false;
      entries_.push_back({Kind::kString, index + 1, std::string_view(start + 1, p - start - 2)});
    } else {
      const char* literal = c == 't' ? "true" : c == 'f' ? "false" : c == 'n' ? "null" : nullptr;
      if (literal == nullptr) return false;
      const size_t size = std::strlen(literal);
      if (static_cast<size_t>(end - p) < size || std::memcmp(p, literal, size) != 0) return false;
      const Kind kind = c == 't' ? Kind::kTrue : c == 'f' ? Kind::kFalse : Kind::kNull;
      entries_.push_back({kind, index + 1, std::string_view(p, size)});
      p += size;
    }
    // After a value: a comma, or the close of one or more containers.
    for (;;) {
      if (depth == 0) return p == end;
      if (p == end) return false;
      Entry& container = entries_[open[depth - 1]];
      if (*p == ',') {
        ++p;
        want_name = container.kind == Kind::kObject;
        break;
      }
      if (*p != (container.kind == Kind::kObject ? '}' : ']')) return false;
      ++p;
      container.next = static_cast<uint32_t>(entries_.size());
      container.text = std::string_view(container.text.data(), p - container.text.data());
      --depth;
    }
  }
}

void AnswerTape::ReadByParser(std::string_view answer) {
  text_.assign(answer);
  entries_.clear();
  document_.SetNull();
  nodes_.Clear();
  document_.ParseInsitu<rapidjson::kParseIterativeFlag>(text_.data());
  parse_error_ = document_.HasParseError();
  if (parse_error_) document_.SetNull();
  AddNode(document_, 0);
}

void AnswerTape::AddNode(const rapidjson::Value& value, int depth) {
  const auto index = static_cast<uint32_t>(entries_.size());
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
  entries_.push_back(entry);
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
  entries_[index].next = static_cast<uint32_t>(entries_.size());
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
