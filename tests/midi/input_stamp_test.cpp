// Stamping incoming messages from the back end's spacing of them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/input_stamp.h"

namespace tuttiro {
namespace {

struct Arrival {
  SystemTime now;
  double sinceLastSeconds;
  SystemTime stamp;
};

struct StampCase {
  const char* what;
  std::vector<Arrival> arrivals;
};

class InputStampTest : public ::testing::TestWithParam<StampCase> {};

TEST_P(InputStampTest, KeepsTheBackEndsSpacingOnThePlatformClock) {
  InputStampRec chain;
  for (const Arrival& a : GetParam().arrivals) {
    EXPECT_EQ(InputStamp(chain, a.now, a.sinceLastSeconds), a.stamp)
        << GetParam().what << " at " << a.now;
  }
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Chains, InputStampTest,
    ::testing::Values(StampCase{"the first message is stamped when it arrives",
                                {{1000, 0.5, 1000}}},
                      StampCase{"a callback 8 ms late keeps the played spacing",
                                {{1000, 0, 1000}, {1258, 0.25, 1250}, {1260, 0.002, 1252}}},
                      StampCase{"the notes of a chord delivered together keep one time",
                                {{1000, 0, 1000}, {1506, 0.5, 1500}, {1506, 0.0, 1500}}},
                      StampCase{"a chain running ahead of the clock is held at now",
                                {{1000, 0, 1000}, {1100, 0.3, 1100}, {1200, 0.1, 1200}}},
                      StampCase{"a chain lagging far behind is kept within 50 ms",
                                {{1000, 0, 1000}, {2000, 0.1, 1950}, {2010, 0.01, 1960}}},
                      StampCase{"no spacing given: stamped on arrival, never before the previous",
                                {{1000, 0, 1000}, {1300, -1, 1300}, {1310, kNaN, 1310}}}),
    [](const ::testing::TestParamInfo<StampCase>& info) {
      return "Case" + std::to_string(info.index);
    });

}  // namespace
}  // namespace tuttiro
