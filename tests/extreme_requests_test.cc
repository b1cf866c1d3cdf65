// Requests at the extremes, answered by one processor on the demo tables:
// nesting 100,000 deep in each place of a request, requests of 50 MB,
// spells of 10,000 episodes in every mode and numbers beyond every range.
// Bounds: each test answers within the ctest timeout (120 s, under the
// sanitizers) and holds at most the request, its parsed document and the
// answer at once: under 1 GB for the 50 MB requests, a few MB otherwise.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include "plugin/processor.h"

namespace zorvel {
namespace {

Processor& Demo() {
  static Processor* processor = [] {
    auto* p = new Processor();
    EXPECT_TRUE(p->Prepare(ZORVEL_DEMO_DIR));
    return p;
  }();
  return *processor;
}

// The whole answer: asked once, and again with the size it asked for.
std::string Answer(const std::string& request) {
  std::vector<char> buffer(1 << 16);
  uint32_t count = Demo().Process(0, request.c_str(), buffer.data(), buffer.size());
  if (count >= buffer.size()) {
    buffer.resize(static_cast<size_t>(count) + 1);
    count = Demo().Process(0, request.c_str(), buffer.data(), buffer.size());
  }
  EXPECT_EQ(count, std::char_traits<char>::length(buffer.data()) + 1);
  return buffer.data();
}

std::string Repeat(const std::string& text, size_t times, const std::string& separator = ",") {
  std::string out;
  out.reserve((text.size() + separator.size()) * times);
  for (size_t i = 0; i < times; ++i) out += (i ? separator : "") + text;
  return out;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

const std::string kEm = R"({"Group":"EM","Spell":{"Id":"s1",@SPELL@"Episodes":[@EPISODES@]}})";
const std::string kEmEpisode = R"({"Id":"@ID@","Age":"45","AEPatGroup":"10",@EXTRA@"Invest":["05","01"],"Treat":["05"]})";

std::string EmRequest(const std::string& spell_extra, const std::string& episodes) {
  return Replace(Replace(kEm, "@SPELL@", spell_extra), "@EPISODES@", episodes);
}

std::string EmEpisode(const std::string& id, const std::string& extra = "") {
  return Replace(Replace(kEmEpisode, "@ID@", id), "@EXTRA@", extra);
}

TEST(ExtremeRequestsTest, NestingOf100000AnswersInEachPlace) {
  const std::string open(100000, '['), close(100000, ']');
  const std::string plain = Answer(EmRequest("", EmEpisode("e1")));
  ASSERT_NE(plain.find(R"("HRG")"), std::string::npos) << plain;
  // A root that is not an object, and documents that never close, cannot be
  // read: "{}".
  EXPECT_EQ(Answer(open + close), "{}");
  EXPECT_EQ(Answer(std::string(100000, '{')), "{}");
  EXPECT_EQ(Answer(EmRequest(R"("X":)" + open, "")), "{}");
  EXPECT_EQ(Answer(R"({"Group":"EM","Spell":{"Episodes":[{"Id":"e1","X":)" + open), "{}");
  // Nested arrays hold no string: a member that is not a data item, or an
  // array item, made of them leaves the answer as it was.
  EXPECT_EQ(Answer(EmRequest(R"("X":)" + open + close + ",", EmEpisode("e1"))), plain);
  EXPECT_EQ(Answer(EmRequest("", EmEpisode("e1", R"("X":)" + open + close + ","))), plain);
  EXPECT_EQ(Answer(EmRequest("", EmEpisode("e1", R"("Y":[)" + open + close + "],"))), plain);
  // Objects nested as deep are ignored values too.
  const std::string objects = Repeat(R"({"a":)", 100000, "") + "1" + std::string(100000, '}');
  EXPECT_EQ(Answer(EmRequest(R"("X":)" + objects + ",", EmEpisode("e1", R"("Z":)" + objects + ","))),
            plain);
}

constexpr size_t kFiftyMegabytes = 50000000;

// A spell member of `size` bytes that is not a data item.
std::string Pad(size_t size) { return R"("Pad":")" + std::string(size, 'p') + R"(",)"; }

// One string of 50 MB, echoed as the episode's "Id".
TEST(ExtremeRequestsTest, FiftyMegabyteString) {
  const std::string huge(kFiftyMegabytes, 'i');
  const std::string plain = Answer(EmRequest("", EmEpisode("@ID@")));
  EXPECT_EQ(Answer(EmRequest("", EmEpisode(huge))), Replace(plain, "@ID@", huge));
}

// 100,000 episodes (about 9 MB) padded to 50 MB with a spell member that is
// not a data item: each episode answers as it would alone.
TEST(ExtremeRequestsTest, FiftyMegabytesOf100000Episodes) {
  const std::string one = Answer(EmRequest("", EmEpisode("e")));
  const size_t episodes_at = one.find(R"("Episodes":[)") + 12;
  const std::string episode = one.substr(episodes_at, one.size() - episodes_at - 2);
  const std::string many = EmRequest(Pad(43000000),
                                     Repeat(EmEpisode("e"), 100000));
  EXPECT_GE(many.size(), kFiftyMegabytes);
  EXPECT_EQ(Answer(many), one.substr(0, episodes_at) + Repeat(episode, 100000) + "]}");
}

// An investigation list of 100,000 elements, padded to 50 MB: repeating a
// pair of investigation and treatment changes nothing.
TEST(ExtremeRequestsTest, FiftyMegabytesWithAListOf100000Elements) {
  const std::string invest = R"("Invest":[)" + Repeat(R"("05","01")", 50000) + "],";
  const std::string with_list = Replace(EmEpisode("e1"), R"("Invest":["05","01"],)", invest);
  const std::string long_list = EmRequest(Pad(kFiftyMegabytes), with_list);
  EXPECT_GE(long_list.size(), kFiftyMegabytes);
  EXPECT_EQ(Answer(long_list), Answer(EmRequest("", EmEpisode("e1"))));
}

// The first example request of `mode`, its first episode repeated 10,000
// times with the Ids "0" to "9999".
std::string TenThousandEpisodes(const std::string& example, std::string* lone) {
  rapidjson::Document request;
  request.Parse(example.c_str());
  const size_t at = example.find(R"("Episodes":[)") + 12;
  rapidjson::Value& episodes = request["Spell"]["Episodes"];
  const std::string head = example.substr(0, at);
  // The first episode's text, without its Id.
  size_t depth = 0, end = at;
  do {
    depth += example[end] == '{';
    depth -= example[end] == '}';
    ++end;
  } while (depth != 0);
  std::string first = example.substr(at, end - at);
  const std::string id = std::string(R"("Id":")") + episodes[0]["Id"].GetString() + "\"";
  std::vector<std::string> all;
  for (int i = 0; i < 10000; ++i) all.push_back(Replace(first, id, R"("Id":")" + std::to_string(i) + "\""));
  *lone = head + all[0] + "]}}";
  std::string out = head;
  for (size_t i = 0; i < all.size(); ++i) out += (i ? "," : "") + all[i];
  return out + "]}}";
}

std::string FirstExample(const char* mode) {
  std::string text;
  std::FILE* in = std::fopen((std::string(ZORVEL_SOURCE_DIR) + "/examples/" + mode + ".jsonl").c_str(), "rb");
  EXPECT_NE(in, nullptr) << mode;
  for (int c; in && (c = std::fgetc(in)) != EOF && c != '\n';) text += static_cast<char>(c);
  if (in) std::fclose(in);
  return text;
}

TEST(ExtremeRequestsTest, TenThousandEpisodesInEveryMode) {
  // Modes that group each episode by itself answer every copy as the lone
  // episode.
  for (const char* mode : {"acc", "em", "nac", "nrd"}) {
    std::string lone;
    const std::string request = TenThousandEpisodes(FirstExample(mode), &lone);
    const std::string one = Answer(lone);
    const size_t at = one.find(R"("Episodes":[)") + 12;
    const std::string episode = one.substr(at, one.size() - at - 2);
    std::string expected = one.substr(0, at);
    for (int i = 0; i < 10000; ++i)
      expected += (i ? "," : "") + Replace(episode, R"("Id":"0")", R"("Id":")" + std::to_string(i) + "\"");
    EXPECT_EQ(Answer(request), expected + "]}") << mode;
  }
  // The critical care days and the admitted spell group the episodes
  // together: every episode is answered, in order; an admitted spell of more
  // than 87 episodes is refused.
  for (const char* mode : {"pcc", "ncc", "apc"}) {
    std::string lone;
    const std::string answer = Answer(TenThousandEpisodes(FirstExample(mode), &lone));
    rapidjson::Document document;
    document.Parse(answer.c_str());
    ASSERT_TRUE(document.IsObject()) << mode;
    ASSERT_TRUE(document["Success"].IsBool()) << mode;
    const rapidjson::Value& episodes = document["Episodes"];
    ASSERT_EQ(episodes.Size(), 10000u) << mode;
    for (rapidjson::SizeType i = 0; i < episodes.Size(); ++i)
      ASSERT_EQ(episodes[i]["Id"].GetString(), std::to_string(i)) << mode;
    if (std::string(mode) == "apc") {
      EXPECT_FALSE(document["Success"].GetBool());
      EXPECT_NE(answer.find("Spell exceeds 87 episodes"), std::string::npos);
    }
  }
}

// A traced spell of 10,000 episodes keeps at most the request's budget of
// steps; each episode that lost steps ends its trace with the "Cut" step,
// and the grouping itself is as without the trace.
TEST(ExtremeRequestsTest, TracedTenThousandEpisodesKeepTheStepBudget) {
  for (const char* mode : {"acc", "em", "nac", "nrd", "pcc", "ncc", "apc"}) {
    std::string lone;
    const std::string request = TenThousandEpisodes(FirstExample(mode), &lone);
    rapidjson::Document plain, traced;
    plain.Parse(Answer(request).c_str());
    traced.Parse(Answer("{\"Trace\":true," + request.substr(1)).c_str());
    ASSERT_TRUE(plain.IsObject() && traced.IsObject()) << mode;
    // The steps a record kept, without its "Cut" step.
    const auto kept_by = [](const rapidjson::Value& steps) {
      const bool cut = steps.Size() > 0 && steps[steps.Size() - 1]["Step"] == "Cut";
      return steps.Size() - (cut ? 1 : 0);
    };
    size_t kept = kept_by(traced["Trace"]);
    const rapidjson::Value& episodes = traced["Episodes"];
    for (rapidjson::SizeType i = 0; i < episodes.Size(); ++i) {
      kept += kept_by(episodes[i]["Trace"]);
      EXPECT_EQ(episodes[i].HasMember("HRG"), plain["Episodes"][i].HasMember("HRG")) << mode;
      if (episodes[i].HasMember("HRG")) {
        EXPECT_EQ(episodes[i]["HRG"], plain["Episodes"][i]["HRG"]) << mode << " " << i;
      }
    }
    EXPECT_LE(kept, kTraceSteps) << mode;
    const rapidjson::Value& last = episodes[episodes.Size() - 1]["Trace"];
    ASSERT_EQ(last.Size(), 1u) << mode;
    EXPECT_EQ(last[0]["Step"], "Cut") << mode;
  }
}

// Numbers past every limit, in the items the modes read as numbers: each
// lies outside its validation list, so it is "is invalid" as received, and
// the episode does not group.
TEST(ExtremeRequestsTest, NumbersBeyondEveryRangeAreInvalidAsReceived) {
  const struct { const char* mode; const char* item; const char* from; } items[] = {
      {"nrd", "Age", R"("Age":"67")"},
      {"nac", "Age", R"("Age":"54")"},
      {"em", "Age", R"("Age":"45")"},
      {"acc", "CCL3D", R"("CCL3D":"3")"},
      {"acc", "BCSD", R"("BCSD":"2")"},
      {"apc", "EpiDur", R"("EpiDur":"6")"},
      {"ncc", "GestLen", R"("GestLen":"31")"},
      {"ncc", "Age_days", R"("Age_days":"0")"},
  };
  const char* const values[] = {"2147483647", "2147483648", "-2147483648", "-2147483649",
                                "4294967296", "99999999999999999999999999", "-0", " 1",
                                "1e3",        "0x10",       "1.5"};
  for (const auto& item : items) {
    for (const char* value : values) {
      const std::string request = Replace(FirstExample(item.mode), item.from,
                                          std::string("\"") + item.item + "\":\"" + value + "\"");
      const std::string answer = Answer(request);
      const std::string error = std::string(R"({"Field":")") + item.item +
                                R"(","Message":"is invalid","Value":")" + value + R"(","Index":"")";
      EXPECT_NE(answer.find(error), std::string::npos) << item.mode << " " << value << "\n" << answer;
      EXPECT_NE(answer.find(R"("Id":"1","Success":false)"), std::string::npos)
          << item.mode << " " << value << "\n" << answer;
    }
  }
}

}  // namespace
}  // namespace zorvel
