// Fuzz target: every input is a request, answered by two prepared
// processors (the demo tables, which set up all seven modes, and the
// admitted-care test set). On every input it checks that
// - the count follows the buffer convention: an answer that fits is counted
//   with its NUL; one that does not is cut to size - 1 bytes and a NUL,
//   counted in full, and no byte past the buffer is touched;
// - the answer is "{}" or a JSON object with a boolean "Success";
// - asking again, also after a different request, gives the same bytes;
// - asking with a small buffer and then with the returned size gives the
//   one-call answer.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "plugin/processor.h"

namespace {

using zorvel::Processor;
using zorvel::fuzz::Require;

constexpr uint32_t kSmallBuffer = 256;
constexpr char kGuard = '\x5a';
const char kOtherRequest[] =
    R"({"Group":"APC","Spell":{"Id":"S","Episodes":[{"Id":"1","Age":"40",)"
    R"("SEX":"1","Diagnosis":["A01"],"Procedure":["X01"]}]}})";

struct Answer {
  uint32_t count = 0;
  std::string text;
};

// The answer in a buffer of `size` bytes followed by guard bytes that must
// stay as they were.
Answer Ask(Processor& processor, const char* request, uint32_t size) {
  std::vector<char> buffer(size + 16, kGuard);
  Answer answer;
  answer.count = processor.Process(0, request, buffer.data(), size);
  for (size_t i = size; i < buffer.size(); ++i) Require(buffer[i] == kGuard, "wrote past the buffer");
  Require(std::memchr(buffer.data(), '\0', size) != nullptr, "answer not terminated");
  answer.text = buffer.data();
  return answer;
}

// The whole answer, asked once with a buffer large enough for most answers
// and again with the returned size when that was too small.
Answer AskWhole(Processor& processor, const char* request) {
  Answer answer = Ask(processor, request, 1 << 16);
  if (answer.count > 1 << 16) answer = Ask(processor, request, answer.count + 1);
  Require(answer.count == answer.text.size() + 1, "an answer that fits is counted with its NUL");
  return answer;
}

void CheckOne(Processor& processor, const char* request) {
  const Answer whole = AskWhole(processor, request);
  Require(zorvel::fuzz::IsWellFormedResponse(whole.text), "answer is not a response document");

  const Answer small = Ask(processor, request, kSmallBuffer);
  if (whole.text.size() < kSmallBuffer) {
    Require(small.count == whole.count && small.text == whole.text, "small buffer, same answer");
  } else {
    Require(small.count == whole.text.size(), "a cut answer is counted in full");
    Require(small.text == whole.text.substr(0, kSmallBuffer - 1), "a cut answer is a prefix");
    const Answer retried = Ask(processor, request, small.count + 1);
    Require(retried.text == whole.text && retried.count == whole.count,
            "retry with the returned size gives the one-call answer");
  }

  AskWhole(processor, kOtherRequest);
  const Answer again = AskWhole(processor, request);
  Require(again.text == whole.text, "the same request answered differently");
}

struct Processors {
  Processor demo;
  Processor admitted;
  Processors() {
    Require(demo.Prepare(ZORVEL_DEMO_DIR), "the demo tables do not prepare");
    const std::string dir = zorvel::fuzz::MakeScratchDir();
    zorvel::fuzz::PackTableSet(ZORVEL_SOURCE_DIR "/tests/tables/apc", dir);
    admitted.Prepare(dir.c_str());  // a test set: some modes stay unset
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Processors* processors = new Processors();
  // The request is NUL-terminated text: it ends at the first NUL.
  const std::string request(reinterpret_cast<const char*>(data), size);
  CheckOne(processors->demo, request.c_str());
  CheckOne(processors->admitted, request.c_str());
  return 0;
}
