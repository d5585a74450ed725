// The simulated platform's timers and loopback input: the engine's tests rely
// on timers firing in time order at their due time and on input arriving at
// the virtual time it was scheduled for.
#include "platform/simulated_platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tuttiro {
namespace {

struct FiredLog {
  SimulatedPlatform* platform = nullptr;
  std::vector<std::pair<uint32_t, SystemTime>> fired;  // (user value, clock at firing)
};

void LogFiring(void* context, uint32_t user) {
  auto* log = static_cast<FiredLog*>(context);
  log->fired.emplace_back(user, log->platform->ClockNow());
}

TEST(SimulatedTimers, FireInDueOrderAtTheirDueTimeAndFifoOnTies) {
  SimulatedPlatform platform;
  FiredLog log{&platform, {}};
  platform.SetNow(1000);
  platform.TimerSet(1030, LogFiring, &log, 3);
  platform.TimerSet(1010, LogFiring, &log, 1);
  platform.TimerSet(1030, LogFiring, &log, 4);
  platform.TimerSet(1020, LogFiring, &log, 2);
  platform.TimerSet(1100, LogFiring, &log, 5);

  platform.Advance(50);  // moving the clock by hand fires nothing
  EXPECT_TRUE(log.fired.empty());
  platform.SetNow(1000);

  EXPECT_EQ(platform.RunUntil(1050), 4);
  const std::vector<std::pair<uint32_t, SystemTime>> expected = {
      {1, 1010}, {2, 1020}, {3, 1030}, {4, 1030}};
  EXPECT_EQ(log.fired, expected);
  EXPECT_EQ(platform.ClockNow(), 1050);
  EXPECT_EQ(platform.PendingTimers(), 1u);
}

TEST(SimulatedTimers, KilledTimersNeverFireAndPastTimersFireAtOnce) {
  SimulatedPlatform platform;
  FiredLog log{&platform, {}};
  platform.SetNow(500);
  const TimerId killed = platform.TimerSet(510, LogFiring, &log, 1);
  platform.TimerSet(400, LogFiring, &log, 2);  // already due
  platform.TimerKill(killed);
  platform.TimerKill(killed);  // a second kill is harmless

  platform.RunUntil(600);
  ASSERT_EQ(log.fired.size(), 1u);
  EXPECT_EQ(log.fired[0], (std::pair<uint32_t, SystemTime>{2, 500}));
}

// A re-arming callback, as the scheduler and the 2 ms key poll use.
struct Rearming {
  SimulatedPlatform* platform;
  std::vector<SystemTime> times;
};

void RearmEvery2Ms(void* context, uint32_t user) {
  auto* r = static_cast<Rearming*>(context);
  r->times.push_back(r->platform->ClockNow());
  if (user > 1) r->platform->TimerSet(r->platform->ClockNow() + 2, RearmEvery2Ms, r, user - 1);
}

TEST(SimulatedTimers, TimersSetByACallbackFireInTheSameRun) {
  SimulatedPlatform platform;
  Rearming rearming{&platform, {}};
  platform.TimerSet(2, RearmEvery2Ms, &rearming, 5);
  EXPECT_EQ(platform.RunUntil(7), 3);
  EXPECT_EQ(rearming.times, (std::vector<SystemTime>{2, 4, 6}));
  platform.RunUntil(100);
  EXPECT_EQ(rearming.times, (std::vector<SystemTime>{2, 4, 6, 8, 10}));
}

struct InputLog {
  SimulatedPlatform* platform = nullptr;
  std::vector<std::string> events;
};

void LogInput(void* context, uint32_t instance, const MidiInputMessage& m) {
  auto* log = static_cast<InputLog*>(context);
  std::string text = std::to_string(instance) + "@" + std::to_string(m.time) + ":";
  text += m.sysex ? "sysex" + std::to_string(m.sysexLength) : std::to_string(m.shortMessage);
  log->events.push_back(text);
}

void LogTimer(void* context, uint32_t user) {
  auto* log = static_cast<InputLog*>(context);
  log->events.push_back("timer" + std::to_string(user) + "@" +
                        std::to_string(log->platform->ClockNow()));
}

TEST(SimulatedInput, ScheduledInputArrivesInTimeOrderWithTimersOnlyWhileStarted) {
  SimulatedPlatform platform;
  const int device = platform.AddInputDevice("keyboard");
  InputLog log{&platform, {}};
  MidiHandle handle = kNoMidiHandle;
  ASSERT_EQ(platform.MidiInOpen(device, LogInput, &log, 3, &handle), kMidiOk);

  EXPECT_FALSE(platform.InjectInput(device, {0x90, 60, 100}));  // not started yet
  ASSERT_EQ(platform.MidiInStart(handle), kMidiOk);

  platform.ScheduleInput(device, 20, {0x90, 60, 100});
  platform.TimerSet(15, LogTimer, &log, 1);
  platform.ScheduleInput(device, 30, {0xF0, 0x7E, 0x7F, 0xF7});
  platform.TimerSet(20, LogTimer, &log, 2);
  platform.RunUntil(40);
  const std::vector<std::string> expected = {"timer1@15", "3@20:" + std::to_string(0x643C90),
                                             "timer2@20", "3@30:sysex4"};
  EXPECT_EQ(log.events, expected);

  platform.ScheduleInput(device, 50, {0x80, 60, 0});
  platform.MidiInStop(handle);
  platform.RunUntil(60);
  EXPECT_EQ(log.events.size(), expected.size());
  EXPECT_EQ(platform.MidiInClose(handle), kMidiOk);
  EXPECT_FALSE(platform.InIsOpen(device));
}

}  // namespace
}  // namespace tuttiro
