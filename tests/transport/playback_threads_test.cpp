// The scheduler and the command queue used from several threads at once, as the
// timer thread, the MIDI input thread (follower reports, remote control) and the
// window thread use them. Run under ThreadSanitizer by ./test.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "app/app.h"
#include "platform/simulated_platform.h"

namespace tuttiro {
namespace {

std::vector<std::vector<uint8_t>> PlayEcossaise(bool interfere) {
  SimulatedPlatform platform;
  platform.AddOutputDevice("Out");
  QuietHost host;
  AppRec app(platform, host);
  MidiOpenOutputs(app.engine.ports, nullptr);
  EXPECT_EQ(AppOpenPiece(app, "Ecossaise"), kLoadOk);
  PlayFile(app);
  std::atomic<bool> done{false};
  std::thread rearm;
  if (interfere) {
    // Re-arm requests as follower report 3 makes them, from another thread.
    rearm = std::thread([&] {
      while (!done.load()) {
        ScheduleNext(app.engine);
        std::this_thread::yield();
      }
    });
  }
  for (int i = 0; i < 10000 && TransportRunning(app); ++i) {
    platform.RunFor(10);
    IdlePass(app);
  }
  done.store(true);
  if (rearm.joinable()) rearm.join();
  EXPECT_FALSE(TransportRunning(app));
  std::vector<std::vector<uint8_t>> bytes;
  for (const auto& m : platform.Sent(0)) bytes.push_back(m.bytes);
  std::sort(bytes.begin(), bytes.end());
  return bytes;
}

TEST(PlaybackThreads, ReArmingFromAnotherThreadNeitherLosesNorRepeatsAnEvent) {
  const auto alone = PlayEcossaise(false);
  ASSERT_GT(alone.size(), 500u);
  EXPECT_EQ(PlayEcossaise(true), alone);
}

TEST(PlaybackThreads, CommandQueueKeepsEveryEntryWholeUnderConcurrentProducers) {
  CommandQueueRec queue;
  std::atomic<int> producing{4};
  std::vector<std::thread> producers;
  for (uint16_t code = 0; code < 4; ++code) {
    producers.emplace_back([&, code] {
      for (int i = 0; i < 5000; ++i) QueueCommand(queue, code);
      producing.fetch_sub(1);
    });
  }
  int taken = 0;
  while (producing.load() > 0 || !CommandQueueEmpty(queue)) {
    const uint16_t code = TakeCommand(queue);
    if (code == kNoCommand) continue;
    ASSERT_LT(code, 4);
    ++taken;
  }
  for (auto& p : producers) p.join();
  EXPECT_GE(taken, kCommandQueueCapacity);
  EXPECT_LE(taken, 4 * 5000);
  EXPECT_EQ(TakeCommand(queue), kNoCommand);
}

}  // namespace
}  // namespace tuttiro
