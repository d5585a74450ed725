// The engine: everything that runs on the real-time threads (the score
// follower, the scheduler, the MIDI input path, the performance recording and
// playback, the transport clock and the ports MIDI leaves by), in one record
// that the transport and the application above hold. The window thread
// changes it only through the operations below and through the published
// settings; the real-time threads hand work back through the command queue,
// the jump request and the loop restart.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "engine/command_queue.h"
#include "engine/follower.h"
#include "engine/input_path.h"
#include "engine/performance_playback.h"
#include "engine/scheduler.h"
#include "engine/time_base.h"
#include "midi/midi_ports.h"
#include "piece/piece_model.h"
#include "piece/piece_settings.h"
#include "piece/system_settings.h"
#include "platform/platform.h"

namespace tuttiro {

inline constexpr int64_t kLoopRestartOff = 0x7FFFFFFF;

// Armed by the scheduler at the loop end (timer thread), fired by the idle pass.
struct LoopRestartRec {
  std::atomic<int64_t> deadline{kLoopRestartOff};  // in ticks
  std::atomic<uint16_t> command{kCmdPlayFile};
};

// What the transport is doing, as far as the real-time threads read it
// (running, following, fast forward and rewinding travel with the clock).
struct EngineModeRec {
  std::atomic<bool> playingFile{false};
  std::atomic<bool> playingPerformance{false};
  std::atomic<bool> previewing{false};
  std::atomic<uint16_t> followerInputMode{kInputListening};
  // The follower's tempo moves the transport clock (report 3).
  std::atomic<bool> acceptFollowerTempo{false};
  // The soloist's loudness as a volume factor (256 = 100 %), from report 2.
  std::atomic<uint16_t> volumeFollowFactor{256};
  // The furthest score position a soloist's note was matched at (report 4).
  std::atomic<int32_t> furthestMatched{0};
};

// A jump the follower asked for (report 1, input thread); the idle pass
// stops the transport and restarts it there.
struct JumpRequestRec {
  std::atomic<bool> pending{false};
  std::atomic<int32_t> position{0};
  std::atomic<SystemTime> time{0};
  std::atomic<int32_t> rate{4096};  // 4.12
};

struct EngineRec {
  EngineRec(Platform& platform, PieceModel& piece);
  ~EngineRec();
  EngineRec(const EngineRec&) = delete;
  EngineRec& operator=(const EngineRec&) = delete;

  Platform& platform;
  // The score and tracks the scheduler plays; the window thread changes the
  // tracks only while the scheduler is held off them (SchedulerHold).
  PieceModel& piece;
  MidiPortsRec ports;
  FollowerState follower;
  // Set once FollowerInit succeeded; read by the input thread.
  std::atomic<bool> followerReady{false};
  TransportClockRec clock;
  // Serialises read-modify-write of the clock between the window thread, the
  // follower's reports on the input thread and Play Performance's tempo
  // changes on the timer thread.
  std::mutex clockUpdate;
  EngineModeRec mode;
  JumpRequestRec jump;
  PerformancePlaybackRec performance;
  SchedulerRec scheduler;
  InputPathRec input;
  CommandQueueRec commands;
  LoopRestartRec loopRestart;
};

// Sets the follower up with the engine's report function; true when it is
// ready (also when it was already).
bool EngineInitFollower(EngineRec& engine);

// Publishes, as one step, every setting the timer and input threads read
// (the scheduler's playback settings and the input path's settings) from the
// system and piece settings. Window thread; every change to those settings
// ends here.
void EnginePublish(EngineRec& engine, const SystemSettings& system, const PieceSettings& live);

// The follower's report function: the jump request, the loudness, a new
// follower clock for the transport clock, and the furthest matched note.
int64_t EngineFollowerReport(EngineRec& engine, int code, int64_t a, int64_t b, int64_t c);

// Read-modify-write of the transport clock under clockUpdate.
template <typename Change>
void UpdateClock(EngineRec& engine, Change change) {
  std::lock_guard guard(engine.clockUpdate);
  TransportClock clock = TransportClockRead(engine.clock);
  change(clock);
  TransportClockWrite(engine.clock, clock);
}

// Sixtieths of a second from the platform clock: the loop restart's unit.
int64_t EngineTickNow(const EngineRec& engine);
void LoopRestartArm(EngineRec& engine, uint16_t command, int seconds);
void LoopRestartCancel(EngineRec& engine);
bool LoopRestartArmed(const EngineRec& engine);

}  // namespace tuttiro
