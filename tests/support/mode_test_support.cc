// One-episode requests and responses of the mode tests.
#include "support/mode_test_support.h"

#include <vector>

namespace zorvel::testing {

std::string ProcessRequest(const std::string& request) {
  std::vector<char> buffer(1 << 16);
  const uint32_t result = CS_Process(0, request.c_str(), buffer.data(),
                                     static_cast<uint32_t>(buffer.size()));
  EXPECT_LT(result, buffer.size());
  return std::string(buffer.data());
}

std::string OneEpisodeRequest(const std::string& mode,
                              const std::string& fields,
                              const std::string& extra) {
  return R"({"Group":")" + mode + R"(",)" + extra +
         R"("Spell":{"Id":"S1","Episodes":[{"Id":"E1",)" + fields + "}]}}";
}

std::string GroupedResponse(const std::string& hrg) {
  return R"({"Success":true,"Id":"S1","Episodes":[{"Id":"E1","Success":true,"HRG":")" +
         hrg + R"("}]})";
}

std::string FailedResponse(const std::string& errors) {
  std::string text =
      R"({"Success":false,"Id":"S1","Episodes":[{"Id":"E1","Success":false,)";
  if (!errors.empty()) text += R"("Errors":[)" + errors + "],";
  return text + R"("HRG":"UZ01Z"}]})";
}

}  // namespace zorvel::testing
