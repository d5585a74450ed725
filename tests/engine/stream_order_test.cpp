// The stream list's order: a strict weak ordering (so sorting and inserting
// are well defined) that puts the measure stream first, then note-offs, then
// controllers and other messages (SysEx included), then note-ons at one position.
#include <gtest/gtest.h>

#include <vector>

#include "engine/scheduler.h"

namespace tuttiro {
namespace {

std::vector<StreamEntry> SampleEntries() {
  std::vector<StreamEntry> entries;
  const uint32_t messages[] = {0x403C90, 0x003C90, 0x403C80, 0x5007B0,
                               0x0005C0, 0x4000E0, 0x2040A0, 0x0030D0};
  for (int32_t position : {0, 10, 11}) {
    entries.push_back({position, 1 | 2u << 16, kMeasureStream});
    entries.push_back({position, 0xF0 | 3u << 16, kSysexStream});
    int source = 0;
    for (uint32_t m : messages) entries.push_back({position, m, source++ % 3});
  }
  return entries;
}

TEST(StreamOrder, IsAStrictWeakOrdering) {
  const auto entries = SampleEntries();
  for (const auto& a : entries) {
    EXPECT_FALSE(StreamPrecedes(a, a));
    for (const auto& b : entries) {
      if (StreamPrecedes(a, b)) {
        EXPECT_FALSE(StreamPrecedes(b, a));
      }
      for (const auto& c : entries) {
        if (StreamPrecedes(a, b) && StreamPrecedes(b, c)) {
          EXPECT_TRUE(StreamPrecedes(a, c));
        }
        const bool abEquivalent = !StreamPrecedes(a, b) && !StreamPrecedes(b, a);
        const bool bcEquivalent = !StreamPrecedes(b, c) && !StreamPrecedes(c, b);
        if (abEquivalent && bcEquivalent) {
          EXPECT_TRUE(!StreamPrecedes(a, c) && !StreamPrecedes(c, a));
        }
      }
    }
  }
}

TEST(StreamOrder, AtOnePositionMeasureThenNoteOffsThenControllersThenNoteOns) {
  const StreamEntry measure{500, 0, kMeasureStream};
  const StreamEntry noteOff{500, 0x403C80, 4};
  const StreamEntry zeroVelocityOn{500, 0x003C90, 5};
  const StreamEntry controller{500, 0x5007B0, 1};
  const StreamEntry sysex{500, 0xF0, kSysexStream};
  const StreamEntry noteOn{500, 0x643C90, 0};
  const StreamEntry earlierNoteOn{499, 0x643C90, 7};
  EXPECT_TRUE(StreamPrecedes(measure, noteOff));
  EXPECT_TRUE(StreamPrecedes(noteOff, controller));
  EXPECT_TRUE(StreamPrecedes(zeroVelocityOn, controller));
  EXPECT_TRUE(StreamPrecedes(controller, noteOn));
  EXPECT_TRUE(StreamPrecedes(sysex, noteOn));
  EXPECT_TRUE(StreamPrecedes(noteOff, sysex));
  EXPECT_TRUE(StreamPrecedes(earlierNoteOn, measure));
  EXPECT_EQ(StreamClass(zeroVelocityOn), StreamClass(noteOff));
}

}  // namespace
}  // namespace tuttiro
