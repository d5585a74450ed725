// MIDI Time Code arithmetic: positions to time code and back in all four
// formats, the quarter-frame pieces, and drop-frame numbering.
#include <gtest/gtest.h>

#include "engine/scheduler.h"

namespace tuttiro {
namespace {

// At 25 fps, where a quarter frame is a whole 10 ms, the quarters are exactly that far apart.
TEST(TimeCode, EveryQuarterFrameSurvivesTheRoundTripInEveryFormat) {
  for (int format = 0; format < 4; ++format) {
    SCOPED_TRACE(format);
    TimeCode code = MsToTimeCode(0, format);
    int64_t previous = -1;
    // Eleven minutes: past a ten-minute block of drop-frame numbering.
    const int quarters = 11 * 60 * TimeCodeFramesPerSecond(format) * 4;
    for (int i = 0; i < quarters; ++i) {
      const int64_t ms = TimeCodeToMs(code, format);
      ASSERT_GT(ms, previous) << i;
      if (format == kTimeCode25) {
        ASSERT_EQ(ms, int64_t{10} * i);
      }
      ASSERT_EQ(MsToTimeCode(ms + 2, format), code) << i << " at " << ms;
      previous = ms;
      TimeCodeAdvanceQuarter(code, format);
    }
  }
}

TEST(TimeCode, DropFrameSkipsFramesZeroAndOneExceptEveryTenthMinute) {
  TimeCode code;
  for (int i = 0; i < 11 * 60 * 30; ++i) {
    if (code.seconds == 0 && code.frames < 2) {
      ASSERT_EQ(code.minutes % 10, 0) << code.minutes;
    }
    TimeCodeAdvanceFrame(code, kTimeCode30Drop);
  }
  EXPECT_EQ(TimeCodeToMs({0, 1, 0, 2, 0, false}, kTimeCode30Drop), 60060);
  EXPECT_EQ(MsToTimeCode(60062, kTimeCode30Drop), (TimeCode{0, 1, 0, 2, 0, false}));
  // One second short of the first minute's end the numbering already runs behind.
  EXPECT_EQ(MsToTimeCode(60000, kTimeCode30Drop).seconds, 59);
}

// Regression: a ten-minute block holds 17982 frames but 18000 frame numbers;
// counting it as 17982 numbers showed 00:09:59:12 at the tenth minute.
TEST(TimeCode, TenthMinuteOfDropFrameIsNumberedFromZero) {
  const TimeCode code = MsToTimeCode(600002, kTimeCode30Drop);
  EXPECT_EQ(code, (TimeCode{0, 10, 0, 0, 0, false}));
  EXPECT_EQ(MsToTimeCode(3600000 + 2, kTimeCode30Drop).hours, 1);
}

TEST(TimeCode, QuarterFramesCarryFramesSecondsMinutesAndHoursWithTheRate) {
  TimeCode code{0x13, 0x2A, 0x3B, 0x17, 0, false};
  const int format = kTimeCode30;
  std::vector<uint8_t> pieces;
  for (int i = 0; i < 8; ++i) {
    pieces.push_back(QuarterFrameData(code, format));
    TimeCodeAdvanceQuarter(code, format);
  }
  // Frames 0x17 then, one frame on, minutes 0x2A and hours 0x13 with rate 3.
  EXPECT_EQ(pieces, (std::vector<uint8_t>{0x07, 0x11, 0x2B, 0x33, 0x4A, 0x52, 0x63, 0x77}));
  EXPECT_EQ(FullFrameMessage({1, 2, 3, 4, 0, false}, kTimeCode25),
            (std::array<uint8_t, 10>{0xF0, 0x7F, 0x7F, 0x01, 0x01, 0x21, 2, 3, 4, 0xF7}));
}

}  // namespace
}  // namespace tuttiro
