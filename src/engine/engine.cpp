// The engine record, its one publishing step, the follower's reports and the
// loop restart timer.
#include "engine/engine.h"

#include <algorithm>

namespace tuttiro {

EngineRec::EngineRec(Platform& platformRef, PieceModel& pieceRef)
    : platform(platformRef), piece(pieceRef), ports(platformRef) {}

EngineRec::~EngineRec() {
  SchedulerHalt(*this);
  if (followerReady.load()) FollowerFreeAll(follower);
}

bool EngineInitFollower(EngineRec& engine) {
  if (!engine.followerReady.load()) {
    engine.followerReady.store(FollowerInit(engine.follower, engine.platform,
                                            [&engine](int code, int64_t a, int64_t b, int64_t c) {
                                              return EngineFollowerReport(engine, code, a, b, c);
                                            }));
  }
  return engine.followerReady.load();
}

void EnginePublish(EngineRec& engine, const SystemSettings& system, const PieceSettings& live) {
  SchedulerTakeSettings(engine, system, live);
  InputTakeSettings(engine.input, system, live.masterTranspose);
}

int64_t EngineFollowerReport(EngineRec& engine, int code, int64_t a, int64_t b, int64_t c) {
  EngineModeRec& mode = engine.mode;
  switch (code) {
    case kReportJump:
      engine.jump.position.store(static_cast<int32_t>(a));
      engine.jump.time.store(b);
      engine.jump.rate.store(static_cast<int32_t>(c >> 4));
      engine.jump.pending.store(true);
      mode.followerInputMode.store(kInputListening);
      return 0;
    case kReportLoudness: {
      const int v = engine.input.settings.volumeSensitivity.load();
      if (v > 0) {
        const int64_t factor = ((((a >> 7) - 512) >> (3 - v)) + 256);
        mode.volumeFollowFactor.store(static_cast<uint16_t>(std::clamp<int64_t>(factor, 0, 512)));
      }
      return 0;
    }
    case kReportClock:
      if (!mode.acceptFollowerTempo.load()) return 0;
      SchedulerInvalidate(engine);
      UpdateClock(engine, [&](TransportClock& clock) {
        clock.basePosition = static_cast<int32_t>(a);
        clock.baseTime = b;
        clock.tempoFactor = static_cast<int32_t>(c >> 4);
      });
      ScheduleNext(engine);
      return 0;
    case kReportNote: {
      int32_t current = mode.furthestMatched.load();
      while (b > current &&
             !mode.furthestMatched.compare_exchange_weak(current, static_cast<int32_t>(b))) {
      }
      return 0;
    }
    default:
      return 0;
  }
}

int64_t EngineTickNow(const EngineRec& engine) {
  return engine.platform.ClockNow() * 3 / 50;
}

void LoopRestartArm(EngineRec& engine, uint16_t command, int seconds) {
  engine.loopRestart.command.store(command);
  engine.loopRestart.deadline.store(EngineTickNow(engine) + 60 * static_cast<int64_t>(seconds));
}

void LoopRestartCancel(EngineRec& engine) {
  engine.loopRestart.deadline.store(kLoopRestartOff);
}

bool LoopRestartArmed(const EngineRec& engine) {
  return engine.loopRestart.deadline.load() != kLoopRestartOff;
}

}  // namespace tuttiro
