// Request parsing: the JSON text into a Spell and its episode records, by a
// SAX handler that files each value as the reader meets it.
#include "protocol/request_reader.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>

namespace zorvel {
namespace {

using request_internal::Frame;
using request_internal::FrameKind;

// Strict JSON, parsed with an explicit heap stack instead of recursion, in
// place over the request's own copy of the text: strings are unescaped where
// they stand, so keys and values stay valid views until the next request.
constexpr unsigned kParseFlags =
    rapidjson::kParseIterativeFlag | rapidjson::kParseInsituFlag;

constexpr std::string_view kEpisodesPrefix = "Episodes";

// A text longer than this does not leave its copy or parse stack behind.
constexpr size_t kLongText = 1 << 16;
// Nor does a text nested deeper than this keep its frames.
constexpr size_t kDeepText = 256;

bool IsEpisodeList(std::string_view name) {
  return name.substr(0, kEpisodesPrefix.size()) == kEpisodesPrefix;
}

}  // namespace

// The reader's events, filed into the request. Each open object or array
// the reader is inside is one frame; the key just read says what the next
// value of an object frame is. A value of the wrong shape for the request
// stops the reader (the request is then unreadable, as when the text is not
// JSON); values the request does not use are passed over, with everything
// nested in them.
class RequestHandler
    : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, RequestHandler> {
 public:
  explicit RequestHandler(GroupingRequest& request) : request_(request) {}

  // True when the whole text was a request of the expected shape.
  bool Complete() const { return group_seen_ && spell_seen_; }

  bool StartObject() { return Value(kObject); }
  bool StartArray() { return Value(kArray); }
  bool EndObject(rapidjson::SizeType) { return Pop(); }
  bool EndArray(rapidjson::SizeType) { return Pop(); }
  bool Key(const char* text, rapidjson::SizeType length, bool) {
    TakeKey(std::string_view(text, length));
    return true;
  }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    text_ = std::string_view(text, length);
    return Value(kString);
  }
  bool Int(int) {
    int_value_ = true;
    return Value(kScalar);
  }
  bool Uint(unsigned value) {
    int_value_ = value <= static_cast<unsigned>(std::numeric_limits<int>::max());
    return Value(kScalar);
  }
  bool Bool(bool value) {
    int_value_ = false;
    true_value_ = value;
    const bool read = Value(kScalar);
    true_value_ = false;
    return read;
  }
  // Every other number, and null.
  bool Default() {
    int_value_ = false;
    return Value(kScalar);
  }

 private:
  enum Event { kObject, kArray, kString, kScalar };

  // What the value after a key is.
  enum class Role {
    kUnused, kGroup, kMaxErrors, kSpell, kExtraSpellItems,
    kExtraEpisodeItems, kTrace, kEpisodes, kField,
  };

  bool Push(FrameKind kind, Record* record = nullptr,
            std::vector<std::string>* list = nullptr) {
    request_.frames_.push_back(Frame{kind, record, list});
    return true;
  }
  bool Pop() {
    request_.frames_.pop_back();
    return true;
  }

  void TakeKey(std::string_view name);
  bool Value(Event event);
  bool RootMember(Event event);
  bool FieldValue(Event event, Record& record);
  bool ListElement(Event event, std::vector<std::string>& list);

  GroupingRequest& request_;
  Role role_ = Role::kUnused;
  // The name of the member whose value comes next: a view into the
  // request's copy of the text.
  std::string_view key_;
  std::string_view text_;
  bool int_value_ = false;
  bool true_value_ = false;
  bool group_seen_ = false;
  bool max_errors_seen_ = false;
  bool spell_seen_ = false;
  bool extra_spell_seen_ = false;
  bool extra_episode_seen_ = false;
  bool trace_seen_ = false;
};

void RequestHandler::TakeKey(std::string_view name) {
  const Frame& frame = request_.frames_.back();
  if (frame.kind == FrameKind::kRoot) {
    role_ = Role::kUnused;
    bool* seen = nullptr;
    Role role = Role::kUnused;
    if (name == "Group") {
      seen = &group_seen_, role = Role::kGroup;
    } else if (name == "MaxErrors") {
      seen = &max_errors_seen_, role = Role::kMaxErrors;
    } else if (name == "Spell") {
      seen = &spell_seen_, role = Role::kSpell;
    } else if (name == "ExtraSpellItems") {
      seen = &extra_spell_seen_, role = Role::kExtraSpellItems;
    } else if (name == "ExtraEpisodeItems") {
      seen = &extra_episode_seen_, role = Role::kExtraEpisodeItems;
    } else if (name == "Trace") {
      seen = &trace_seen_, role = Role::kTrace;
    }
    if (seen != nullptr && !*seen) {
      *seen = true;
      role_ = role;
    }
  } else if (frame.kind == FrameKind::kSpell && IsEpisodeList(name)) {
    role_ = Role::kEpisodes;
  } else {
    key_ = name;
    role_ = Role::kField;
  }
}

bool RequestHandler::Value(Event event) {
  std::vector<Frame>& frames = request_.frames_;
  if (frames.empty()) {
    return event == kObject && Push(FrameKind::kRoot);
  }
  Frame& frame = frames.back();
  switch (frame.kind) {
    case FrameKind::kRoot:
      return RootMember(event);
    case FrameKind::kSpell:
      if (role_ == Role::kEpisodes) {
        return event == kArray && Push(FrameKind::kEpisodes);
      }
      return FieldValue(event, *frame.record);
    case FrameKind::kRecord:
      return FieldValue(event, *frame.record);
    case FrameKind::kEpisodes:
      return event == kObject &&
             Push(FrameKind::kRecord, &request_.spell_.AddEpisode());
    case FrameKind::kList:
    case FrameKind::kNames:
      return ListElement(event, *frame.list);
    case FrameKind::kSkipped:
      break;
  }
  if (event == kObject || event == kArray) Push(FrameKind::kSkipped);
  return true;
}

bool RequestHandler::RootMember(Event event) {
  switch (role_) {
    case Role::kGroup:
      if (event != kString) return false;
      request_.group_.assign(text_.data(), text_.size());
      return true;
    case Role::kMaxErrors:
      if (event == kString) {
        int32_t value = 0;
        request_.max_errors_status_ =
            ReadMaxErrorsText(std::string(text_), &value)
                ? MaxErrorsStatus::kRead
                : MaxErrorsStatus::kUnreadable;
      } else if (event == kScalar && int_value_) {
        request_.max_errors_status_ = MaxErrorsStatus::kRead;
      }
      break;
    case Role::kSpell:
      return event == kObject && Push(FrameKind::kSpell, &request_.spell_);
    case Role::kTrace:
      // Only the JSON value true asks for a trace.
      request_.trace_ = event == kScalar && true_value_;
      break;
    case Role::kExtraSpellItems:
      if (event == kArray) {
        return Push(FrameKind::kNames, nullptr, &request_.extra_spell_items_);
      }
      break;
    case Role::kExtraEpisodeItems:
      if (event == kArray) {
        return Push(FrameKind::kNames, nullptr, &request_.extra_episode_items_);
      }
      break;
    default:
      break;
  }
  if (event == kObject || event == kArray) Push(FrameKind::kSkipped);
  return true;
}

// A string goes into the single values (a later one replaces an earlier
// one); an array appends its string elements to the list values, skipping
// other elements; every other kind of value is ignored.
bool RequestHandler::FieldValue(Event event, Record& record) {
  switch (event) {
    case kString:
    {
      std::string* value = record.RefillSingle(key_);
      if (value == nullptr) value = &record.Single(ItemKey(key_));
      OverwriteText(*value, text_);
      return true;
    }
    case kArray:
    {
      std::vector<std::string>* list = record.RefillList(key_);
      if (list != nullptr) {
        list->clear();
      } else {
        list = &record.List(ItemKey(key_));
      }
      return Push(FrameKind::kList, nullptr, list);
    }
    case kObject:
      return Push(FrameKind::kSkipped);
    case kScalar:
      return true;
  }
  return true;
}

bool RequestHandler::ListElement(Event event, std::vector<std::string>& list) {
  if (event == kString) {
    list.emplace_back(text_.data(), text_.size());
  } else if (event == kObject || event == kArray) {
    Push(FrameKind::kSkipped);
  }
  return true;
}

bool ReadMaxErrorsText(const std::string& text, int32_t* value) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  long long number = std::strtoll(begin, &end, 10);
  if (end == begin || errno == ERANGE) return false;
  if (number < std::numeric_limits<int32_t>::min() ||
      number > std::numeric_limits<int32_t>::max()) {
    return false;
  }
  *value = static_cast<int32_t>(number);
  return true;
}

bool GroupingRequest::Read(const char* text) {
  group_.clear();
  max_errors_status_ = MaxErrorsStatus::kAbsent;
  spell_.Clear();
  extra_spell_items_.clear();
  extra_episode_items_.clear();
  trace_ = false;
  frames_.clear();

  const size_t length = std::strlen(text);
  buffer_.assign(text, text + length + 1);
  RequestHandler handler(*this);
  rapidjson::InsituStringStream stream(buffer_.data());
  if (!reader_) reader_.emplace();
  const bool parsed = !reader_->Parse<kParseFlags>(stream, handler).IsError();
  if (length > kLongText) {
    reader_.reset();
    std::vector<char>().swap(buffer_);
  }
  if (frames_.capacity() > kDeepText) {
    std::vector<request_internal::Frame>().swap(frames_);
  }
  if (trace_) {
    trace_budget_ = kTraceSteps;
    spell_.trace.Start(&trace_budget_);
    for (Record& episode : spell_.episodes) episode.trace.Start(&trace_budget_);
  }
  return parsed && handler.Complete();
}

}  // namespace zorvel
