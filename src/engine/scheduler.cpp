// The playback scheduler. One pass runs at a time (the busy flag); a pass sends
// everything at the first stream's position and computes the next wake-up from
// the time base, arming a one-shot timer at that absolute time so that timing
// never drifts. Passes that fall due at once run in a loop, not by recursion.
#include "engine/scheduler.h"

#include <algorithm>
#include <thread>

#include "engine/engine.h"
#include "midi/midi_message.h"

namespace tuttiro {
namespace {

struct TimeCodeRate {
  int64_t numerator;
  int64_t denominator;
  int framesPerSecond;
};
constexpr TimeCodeRate kRates[4] = {{125, 3, 24}, {40, 1, 25}, {100000, 2997, 30}, {100, 3, 30}};

const TimeCodeRate& RateOf(int format) {
  return kRates[std::clamp(format, 0, 3)];
}

// Sends a short message from the scheduler: held back by the difference
// between the largest lead and the port's own, plus `laterMs`.
void LeadSend(EngineRec& engine, uint32_t message, int port, int laterMs) {
  const PlaybackSettings& settings = engine.scheduler.settings;
  const int most = settings.maxOutputLead.load(std::memory_order_relaxed);
  if (most == 0) {  // no port has a lead: nothing is held back
    MidiSend(engine.ports, message, port, laterMs);
    return;
  }
  const auto holdBack = [&](int p) {
    return std::max(0, most - settings.outputLead[static_cast<size_t>(p)].load(
                                  std::memory_order_relaxed)) +
           laterMs;
  };
  if (port != kMidiAllPorts) {
    MidiSend(engine.ports, message, port,
             port >= 0 && port < kMidiPortCount ? holdBack(port) : laterMs);
    return;
  }
  std::array<int, kMidiPortCount> delays;
  for (int p = 0; p < kMidiPortCount; ++p) delays[static_cast<size_t>(p)] = holdBack(p);
  if (std::all_of(delays.begin(), delays.end(), [&](int d) { return d == delays[0]; })) {
    MidiSend(engine.ports, message, kMidiAllPorts, delays[0]);
  } else {
    MidiSendEach(engine.ports, message, delays);
  }
}

void OnTimer(void* context, uint32_t user) {
  EngineRec& engine = *static_cast<EngineRec*>(context);
  if (user != engine.scheduler.generation.load(std::memory_order_acquire)) return;
  SchedulerRun(engine);
}

void OnListEnd(void* context, uint32_t user) {
  EngineRec& engine = *static_cast<EngineRec*>(context);
  if (user == engine.scheduler.generation.load(std::memory_order_acquire)) {
    QueueCommand(engine.commands, kCmdStop);
  }
}

// The end of the list or the loop: the stop comes when the last events sound,
// not as early as the pass that reached the end runs ahead of them.
void QueueStopAfterLead(EngineRec& engine) {
  SchedulerRec& s = engine.scheduler;
  const int lead = s.settings.maxOutputLead.load(std::memory_order_relaxed);
  if (lead == 0) {
    QueueCommand(engine.commands, kCmdStop);
    return;
  }
  const uint32_t generation = s.generation.fetch_add(1) + 1;
  s.timer.store(
      engine.platform.TimerSet(engine.platform.ClockNow() + lead, OnListEnd, &engine, generation));
}

// Arms the timer for absolute time t; true when t has already come.
bool ArmAt(EngineRec& engine, SystemTime t) {
  if (t - engine.platform.ClockNow() <= 0) return true;
  const uint32_t generation = engine.scheduler.generation.fetch_add(1) + 1;
  engine.scheduler.timer.store(engine.platform.TimerSet(t, OnTimer, &engine, generation));
  return false;
}

// Holding busy: arms for the earlier of the first stream and the next sync
// message. True when that is due now.
bool ScheduleNextHolding(EngineRec& engine) {
  SchedulerRec& s = engine.scheduler;
  if (s.streams.empty() || s.ended) return false;
  int32_t target = s.streams.front().position;
  if (s.settings.syncOn.load() && !engine.mode.previewing.load() &&
      s.sync.nextSyncPosition < target) {
    target = s.sync.nextSyncPosition;
  }
  SchedulerInvalidate(engine);
  // The pass runs as far ahead of the events as the largest output lead.
  const int64_t lead = s.settings.maxOutputLead.load(std::memory_order_relaxed);
  const TransportClock clock = TransportClockRead(engine.clock);
  if (clock.following) {
    const int64_t d = FollowerTimeUntil(engine.follower, target);
    if (d < 0) return false;  // the follower waits at a wait point: its next report re-arms
    if (d <= lead) return true;
    return ArmAt(engine, engine.platform.ClockNow() + d - lead);
  }
  const int64_t distance = static_cast<int64_t>(target) - clock.basePosition;
  if (distance < 1) return true;
  const int32_t factor = clock.tempoFactor > 0 ? clock.tempoFactor : 4096;
  int64_t d = FixDiv(static_cast<int32_t>(std::min<int64_t>(distance, INT32_MAX)), factor * 16);
  if (clock.fastForward) d = (d + 2) >> 2;
  const SystemTime due = clock.baseTime + d - lead;
  if (due <= engine.platform.ClockNow()) return true;
  return ArmAt(engine, due);
}

void SendSync(EngineRec& engine) {
  SchedulerRec& s = engine.scheduler;
  SyncState& sync = s.sync;
  const int port = PortOf(s.settings.syncPort.load());
  if (s.settings.syncType.load() == 0) {
    LeadSend(engine, 0xF8, port, 0);
    ++sync.clocksSent;
    // The beat itself sends its last clock, so a beat of n clocks gets n - 1 here.
    if (sync.clocksSent < sync.clocksDue - 1) {
      sync.nextSyncPosition += sync.clockInterval;
    } else {
      sync.nextSyncPosition = kNoSyncPosition;
    }
    return;
  }
  const int format = s.settings.frameRate.load();
  TimeCode code = MsToTimeCode(static_cast<int64_t>(sync.nextSyncPosition) + 2, format);
  LeadSend(engine, Pack(0xF1, QuarterFrameData(code, format), 0), port, 0);
  TimeCodeAdvanceQuarter(code, format);
  sync.timeCode = code;
  sync.nextSyncPosition = static_cast<int32_t>(TimeCodeToMs(code, format));
}

// The loop end: true when the first stream has reached it in a play mode.
bool LoopEndReached(EngineRec& engine, int32_t position) {
  const PlaybackSettings& settings = engine.scheduler.settings;
  if (!settings.loopMode.load() || position < settings.loopEnd.load()) return false;
  const bool following = engine.clock.following.load();
  const bool file = engine.mode.playingFile.load();
  const bool performance = engine.mode.playingPerformance.load();
  if (!following && !file && !performance) return false;
  QueueStopAfterLead(engine);
  if (settings.restartLoop.load()) {
    LoopRestartArm(engine,
                   following ? kCmdPlayAndFollow
                   : file    ? kCmdPlayFile
                             : kCmdPlayPerformance,
                   settings.restartDelay.load());
  }
  return true;
}

// The measure stream's beat: displays, MIDI clock, metronome. True when the
// beats are exhausted.
bool MeasureEvent(EngineRec& engine, StreamEntry& head, int32_t p) {
  SchedulerRec& s = engine.scheduler;
  PieceModel& piece = engine.piece;
  const size_t index = static_cast<size_t>(piece.beatCursor);
  const BeatMapEntry beat = piece.beatMap[index];
  const bool hasNext = index + 1 < piece.beatMap.size();
  const BeatMapEntry next = hasNext ? piece.beatMap[index + 1] : beat;
  if (!engine.mode.previewing.load()) {
    s.shownMeasure.store(beat.measure);
    s.shownBeat.store(beat.beat);
    if (hasNext && next.time > beat.time) {
      const int64_t d = static_cast<int64_t>(next.time - beat.time) * 4096;
      s.shownBpm.store(static_cast<int32_t>(
          (static_cast<int64_t>(engine.clock.tempoFactor.load()) * 60000 + d / 2) / d));
    }
    SyncState& sync = s.sync;
    if (s.settings.syncOn.load() && s.settings.syncType.load() == 0) {
      const int port = PortOf(s.settings.syncPort.load());
      while (sync.clocksSent < sync.clocksDue) {
        LeadSend(engine, 0xF8, port, 0);
        ++sync.clocksSent;
      }
      sync.clocksSent = 0;
      if (hasNext && next.sixteenths > beat.sixteenths) {
        sync.clocksDue = static_cast<int32_t>(6 * (next.sixteenths - beat.sixteenths));
        sync.clockInterval = std::max<int32_t>(
            1, (static_cast<int32_t>(next.time) - head.position + sync.clocksDue / 2) /
                   sync.clocksDue);
        sync.nextSyncPosition = head.position + sync.clockInterval;
      } else {
        sync.nextSyncPosition = kNoSyncPosition;
      }
    }
    const PlaybackSettings& settings = s.settings;
    const bool playing = engine.clock.following.load() || engine.mode.playingFile.load() ||
                         engine.mode.playingPerformance.load();
    if (settings.metronomeOn.load() && playing &&
        (!hasNext || p < static_cast<int32_t>(next.time))) {
      const bool accent = beat.beat == 1;
      const uint8_t channel = settings.metronomeChannel.load();
      const uint8_t note = accent ? settings.downbeatNote.load() : settings.beatNote.load();
      const uint8_t velocity =
          accent ? settings.downbeatVelocity.load() : settings.beatVelocity.load();
      if (channel != kNone && note != kNone && velocity != 0) {
        const int v = std::clamp((settings.masterVolume.load() * velocity + 128) >> 8, 1, 127);
        const int port = PortOf(settings.metronomePort.load());
        const uint8_t status = static_cast<uint8_t>(0x90 | (channel & 0x0F));
        LeadSend(engine, Pack(status, note, static_cast<uint8_t>(v)), port, 0);
        LeadSend(engine, Pack(status, note, 0), port, 50);
      }
    }
  }
  if (!hasNext) return true;
  piece.beatCursor = static_cast<int32_t>(index + 1);
  head.position = static_cast<int32_t>(next.time);
  head.data = static_cast<uint16_t>(next.measure) | static_cast<uint32_t>(next.beat) << 16;
  return false;
}

bool SysexEvent(EngineRec& engine, StreamEntry& head) {
  PieceModel& piece = engine.piece;
  const PlaybackSettings& settings = engine.scheduler.settings;
  const size_t index = head.data >> 16;
  if (settings.sysexOn.load() && index < piece.sysexMessages.size()) {
    const uint16_t mode = settings.sysexMode.load();
    const bool inRange =
        head.position > piece.firstEventTime && head.position <= piece.lastEventTime;
    if (mode == 1 || mode == 2 || (mode == 0 && inRange)) {
      MidiSend(engine.ports, piece.sysexMessages[index], PortOf(settings.sysexPort.load()), 0);
    }
  }
  const size_t next = static_cast<size_t>(++piece.sysexCursor);
  if (next >= piece.sysexEvents.size()) return true;
  head.position = static_cast<int32_t>(piece.sysexEvents[next].time);
  head.data = 0xF0 | static_cast<uint32_t>(piece.sysexEvents[next].messageIndex) << 16;
  return false;
}

// While following: the track ends this note before the current position, so the
// note would already be over when it sounded.
bool NoteAlreadyOver(const TrackRec& track, uint8_t note, int32_t p) {
  for (size_t i = static_cast<size_t>(track.playCursor) + 1; i < track.events.size(); ++i) {
    const PieceEvent& ev = track.events[i];
    if (static_cast<int32_t>(ev.time) >= p) return false;
    if (ev.data1 == note && IsNoteOff(ev.status, ev.data2)) return true;
  }
  return false;
}

bool TrackEvent(EngineRec& engine, StreamEntry& head, int32_t p) {
  const int index = head.source;
  TrackRec& track = engine.piece.tracks[static_cast<size_t>(index)];
  const PieceEvent ev = track.events[static_cast<size_t>(track.playCursor)];
  const PlaybackSettings& settings = engine.scheduler.settings;
  const int masterVolume = settings.masterVolume.load();
  const int transpose = track.transposition + settings.masterTranspose.load();
  bool play = TrackPlayable(engine, index);
  uint8_t data1 = ev.data1;
  uint8_t data2 = ev.data2;
  const uint8_t status = ev.status & 0xF0;
  const int transposed = ev.data1 + transpose;
  if (status == 0x90 && ev.data2 > 0) {
    if (track.volume == 0 || masterVolume == 0) play = false;
    if (play && engine.clock.following.load() && NoteAlreadyOver(track, ev.data1, p)) play = false;
    int v = (((track.volume * ev.data2 * masterVolume + 0x8000) >> 16) *
                 engine.mode.volumeFollowFactor.load() +
             128) >>
            8;
    if (engine.clock.fastForward.load()) v = (v + 1) >> 1;
    data2 = static_cast<uint8_t>(std::clamp(v, 1, 127));
    if (transposed < 0 || transposed > 127) play = false;
    data1 = static_cast<uint8_t>(transposed & 0x7F);
    uint16_t& count = track.noteState[ev.data1];
    if (!track.play) {
      count = data2;
    } else if (count < UINT16_MAX) {
      ++count;
    }
  } else if (IsNoteOff(status, ev.data2)) {
    uint16_t& count = track.noteState[ev.data1];
    if (count < 1) {
      play = false;
    } else if (!track.play) {
      count = 0;
    } else {
      // A sounding note ends even when Play Performance has just switched its
      // track off: the switch must not leave it hanging.
      play = true;
      --count;
    }
    if (transposed < 0 || transposed > 127) play = false;
    data1 = static_cast<uint8_t>(transposed & 0x7F);
  } else if (status == 0xA0) {
    if (transposed < 0 || transposed > 127) play = false;
    data1 = static_cast<uint8_t>(transposed & 0x7F);
  } else if (status == 0xB0) {
    track.controllerValues[ev.data1 & 0x7F] = ev.data2;
  } else if (status == 0xC0) {
    track.programState[0] = ev.data1;
  } else if (status == 0xE0) {
    track.programState[1] = ev.data1;
    track.programState[2] = ev.data2;
  }
  if (play) {
    const int port = PortOf(track.outputPort);
    if (status == 0xC0 && index != engine.piece.trackCount) {
      std::array<uint32_t, kProgramComboMessages> messages;
      const int count =
          ProgramComboMessages(TrackComboAt(track, ev.data1), track.outputChannel, messages);
      for (int i = 0; i < count; ++i) LeadSend(engine, messages[static_cast<size_t>(i)], port, 0);
    } else {
      const uint8_t channelStatus = static_cast<uint8_t>(status | (track.outputChannel & 0x0F));
      LeadSend(engine, Pack(channelStatus, data1, data2), port, 0);
    }
  }
  const size_t next = static_cast<size_t>(++track.playCursor);
  if (next >= track.events.size()) return true;
  const PieceEvent& following = track.events[next];
  head.position = static_cast<int32_t>(following.time);
  head.data = Pack(following.status, following.data1, following.data2);
  return false;
}

// Moves the first stream down to its place after it changed.
void Resort(std::vector<StreamEntry>& streams) {
  const StreamEntry moved = streams.front();
  auto place = std::upper_bound(streams.begin() + 1, streams.end(), moved, StreamPrecedes);
  std::move(streams.begin() + 1, place, streams.begin());
  *(place - 1) = moved;
}

// One pass, holding busy. True when the next pass is due at once.
bool SchedulerStep(EngineRec& engine) {
  SchedulerRec& s = engine.scheduler;
  if (s.streams.empty() || s.ended) return false;
  const int32_t p = TransportPosition(engine.clock, engine.follower.clock, engine.platform);
  const int32_t e = s.streams.front().position;
  PerformanceTempoStep(engine, e);
  PerformanceSwitchTrack(engine, e);
  if (s.settings.syncOn.load() && !engine.mode.previewing.load() && s.sync.nextSyncPosition <= e) {
    const bool before = s.sync.nextSyncPosition < e;
    SendSync(engine);
    if (before) return ScheduleNextHolding(engine);
  }
  while (!s.streams.empty() && s.streams.front().position == e) {
    StreamEntry& head = s.streams.front();
    if (LoopEndReached(engine, e)) {
      s.ended = true;
      return false;
    }
    bool exhausted;
    if (head.source == kMeasureStream) {
      exhausted = MeasureEvent(engine, head, p);
    } else if (head.source == kSysexStream) {
      exhausted = SysexEvent(engine, head);
    } else {
      exhausted = TrackEvent(engine, head, p);
    }
    if (exhausted) {
      s.streams.erase(s.streams.begin());
      if (s.streams.empty()) {
        if (!engine.mode.previewing.load()) QueueStopAfterLead(engine);
        s.ended = true;
        return false;
      }
    } else {
      Resort(s.streams);
    }
  }
  return ScheduleNextHolding(engine);
}

// Holding busy: runs passes (or re-arms) until nothing is due, then lets go,
// taking over once more if a re-arm was asked for meanwhile.
void RunHolding(EngineRec& engine, bool due) {
  SchedulerRec& s = engine.scheduler;
  for (;;) {
    s.rescheduleWanted.store(false);
    due = due ? SchedulerStep(engine) : ScheduleNextHolding(engine);
    if (due) continue;
    // Letting go, then looking for a request, pairs with the requester's setting
    // the request, then trying to take over: one of the two always sees the other.
    s.busy.store(false);
    if (!s.rescheduleWanted.load()) return;
    if (s.busy.exchange(true)) return;
  }
}

void AcquireBusy(SchedulerRec& s) {
  while (s.busy.exchange(true, std::memory_order_acquire)) std::this_thread::yield();
}

}  // namespace

OutputLeads EffectiveOutputLeads(const OutputLeads& configured, const OutputLeads& deviceLatency) {
  OutputLeads leads{};
  for (size_t p = 0; p < leads.size(); ++p) {
    const int set = std::min<int>(configured[p], kMaxOutputLeadMs);
    leads[p] = static_cast<uint16_t>(std::min(set + deviceLatency[p], kMaxEffectiveLeadMs));
  }
  return leads;
}

int StreamClass(const StreamEntry& entry) {
  if (entry.source == kMeasureStream) return 0;
  if (entry.source == kSysexStream) return 2;
  const uint8_t status = entry.data & 0xF0;
  const uint8_t velocity = (entry.data >> 16) & 0xFF;
  if (IsNoteOff(status, velocity)) return 1;
  return status >= 0xA0 ? 2 : 3;
}

bool StreamPrecedes(const StreamEntry& a, const StreamEntry& b) {
  if (a.position != b.position) return a.position < b.position;
  const int ca = StreamClass(a);
  const int cb = StreamClass(b);
  if (ca != cb) return ca < cb;
  return a.source < b.source;
}

int TimeCodeFramesPerSecond(int format) {
  return RateOf(format).framesPerSecond;
}

TimeCode MsToTimeCode(int64_t ms, int format) {
  const TimeCodeRate& rate = RateOf(format);
  const int64_t r = rate.framesPerSecond;
  ms = std::max<int64_t>(ms, 0);
  int64_t q;
  int64_t frames;
  if (format == kTimeCode30Drop) {
    q = (ms % 600000) * 2997 / 25000;
    int64_t g = q / 4;
    if (g >= 1800) g += (g - 1800) / 1798 * 2 + 2;
    // A ten-minute block holds 17982 frames but 18000 frame numbers.
    frames = g + (ms / 600000) * 18000;
  } else {
    q = ((ms % 1000) * 4 * rate.denominator) / rate.numerator;
    frames = (ms / 1000) * r + q / 4;
  }
  TimeCode code;
  code.quarter = static_cast<int>(q % 4) * 25;
  code.frames = static_cast<int>(frames % r);
  code.seconds = static_cast<int>((frames / r) % 60);
  code.minutes = static_cast<int>((frames / r / 60) % 60);
  code.hours = static_cast<int>(frames / r / 3600);
  code.oddFrame = (frames & 1) != 0;
  return code;
}

int64_t TimeCodeToMs(const TimeCode& code, int format) {
  const TimeCodeRate& rate = RateOf(format);
  const int64_t hours = code.hours & 0x1F;
  int64_t frames;
  if (format == kTimeCode30Drop) {
    frames = (code.minutes % 10) * 1798 + (code.minutes / 10) * 17982 + hours * 107892 +
             code.seconds * 30 + code.frames;
  } else {
    frames = ((hours * 60 + code.minutes) * 60 + code.seconds) * rate.framesPerSecond + code.frames;
  }
  return (frames * rate.numerator + rate.denominator / 2) / rate.denominator +
         (rate.framesPerSecond / 2 + code.quarter * 10) / rate.framesPerSecond;
}

void TimeCodeAdvanceFrame(TimeCode& code, int format) {
  code.quarter = 0;
  code.oddFrame = !code.oddFrame;
  if (++code.frames < TimeCodeFramesPerSecond(format)) return;
  code.frames = 0;
  if (++code.seconds < 60) return;
  code.seconds = 0;
  ++code.minutes;
  if (code.minutes == 60) {
    code.minutes = 0;
    ++code.hours;
  }
  if (format == kTimeCode30Drop && code.minutes % 10 != 0) code.frames = 2;
}

void TimeCodeAdvanceQuarter(TimeCode& code, int format) {
  code.quarter += 25;
  if (code.quarter == 100) TimeCodeAdvanceFrame(code, format);
}

uint8_t QuarterFrameData(const TimeCode& code, int format) {
  const int piece = code.quarter / 25 + (code.oddFrame ? 4 : 0);
  int value = 0;
  switch (piece) {
    case 0:
      value = code.frames & 0x0F;
      break;
    case 1:
      value = code.frames >> 4;
      break;
    case 2:
      value = code.seconds & 0x0F;
      break;
    case 3:
      value = code.seconds >> 4;
      break;
    case 4:
      value = code.minutes & 0x0F;
      break;
    case 5:
      value = code.minutes >> 4;
      break;
    case 6:
      value = code.hours & 0x0F;
      break;
    default:
      value = ((code.hours + format * 32) >> 4) & 0x0F;
      break;
  }
  return static_cast<uint8_t>(piece << 4 | (value & 0x0F));
}

std::array<uint8_t, 10> FullFrameMessage(const TimeCode& code, int format) {
  return {0xF0,
          0x7F,
          0x7F,
          0x01,
          0x01,
          static_cast<uint8_t>(format * 32 + (code.hours & 0x1F)),
          static_cast<uint8_t>(code.minutes),
          static_cast<uint8_t>(code.seconds),
          static_cast<uint8_t>(code.frames),
          0xF7};
}

void SchedulerRun(EngineRec& engine) {
  // A timer that falls due while another thread holds the scheduler (re-arming
  // for a follower report) is not dropped: the holder takes it over when it lets
  // go and finds the pass due.
  engine.scheduler.rescheduleWanted.store(true);
  if (engine.scheduler.busy.exchange(true)) return;
  RunHolding(engine, true);
}

void ScheduleNext(EngineRec& engine) {
  engine.scheduler.rescheduleWanted.store(true);
  if (engine.scheduler.busy.exchange(true)) return;
  RunHolding(engine, false);
}

void SchedulerInvalidate(EngineRec& engine) {
  engine.scheduler.generation.fetch_add(100);
}

void SchedulerHalt(EngineRec& engine) {
  SchedulerRec& s = engine.scheduler;
  SchedulerInvalidate(engine);
  const TimerId timer = s.timer.exchange(kNoTimer);
  if (timer != kNoTimer) engine.platform.TimerKill(timer);
  AcquireBusy(s);
  s.streams.clear();
  s.ended = false;
  s.rescheduleWanted.store(false);
  s.busy.store(false, std::memory_order_release);
  MidiFlushDelayed(engine.ports);
}

void SchedulerHold(EngineRec& engine) {
  AcquireBusy(engine.scheduler);
}

void SchedulerRelease(EngineRec& engine) {
  engine.scheduler.busy.store(false, std::memory_order_release);
  ScheduleNext(engine);
}

namespace {

// What each output port's device adds by itself before it sounds: the built-in
// synthesizer's audio output; 0 for a MIDI device.
OutputLeads DeviceLatencies(const EngineRec& engine) {
  OutputLeads latencies{};
  for (size_t p = 0; p < latencies.size(); ++p) {
    const auto info = engine.platform.MidiOutDevice(engine.ports.outputDevice[p]);
    if (info) latencies[p] = static_cast<uint16_t>(std::clamp(info->latencyMs, 0, 1000));
  }
  return latencies;
}

}  // namespace

bool SchedulerBuildStreams(EngineRec& engine, const PieceSettings& live,
                           bool includeFollowingTracks) {
  PieceModel& piece = engine.piece;
  SchedulerRec& s = engine.scheduler;
  s.streams.clear();
  s.listedTracks.clear();
  s.streams.reserve(static_cast<size_t>(piece.trackCount) + 3);
  s.listedTracks.reserve(static_cast<size_t>(piece.trackCount) + 1);
  const bool performance = engine.mode.playingPerformance.load();
  const bool soloist = engine.scheduler.settings.followSource.load() == 0;
  auto addTrack = [&](int index) {
    const TrackRec& track = piece.tracks[static_cast<size_t>(index)];
    if (track.playCursor >= track.eventCount()) return;
    const PieceEvent& ev = track.events[static_cast<size_t>(track.playCursor)];
    s.streams.push_back(
        {static_cast<int32_t>(ev.time),
         ev.status | static_cast<uint32_t>(ev.data1) << 8 | static_cast<uint32_t>(ev.data2) << 16,
         index});
    s.listedTracks.push_back(index);
  };
  for (int i = 0; i < piece.trackCount; ++i) {
    if (soloist && IsFollowingTrack(live, i)) {
      const bool overwritten = i == live.followTrack1 && performance &&
                               engine.scheduler.settings.performancePlayback.load() == 2;
      if (!includeFollowingTracks || overwritten) continue;
    }
    addTrack(i);
  }
  if (performance && piece.performanceTrack().eventCount() > 0 &&
      ((soloist && engine.scheduler.settings.performancePlayback.load() != 3) ||
       (!soloist && engine.scheduler.settings.playTappedNotes.load()))) {
    addTrack(piece.trackCount);
  }
  if (piece.sysexCursor < static_cast<int32_t>(piece.sysexEvents.size())) {
    const auto& ev = piece.sysexEvents[static_cast<size_t>(piece.sysexCursor)];
    s.streams.push_back({static_cast<int32_t>(ev.time),
                         0xF0u | static_cast<uint32_t>(ev.messageIndex) << 16, kSysexStream});
  }
  if (piece.beatCursor < static_cast<int32_t>(piece.beatMap.size())) {
    const BeatMapEntry& beat = piece.beatMap[static_cast<size_t>(piece.beatCursor)];
    s.streams.push_back(
        {static_cast<int32_t>(beat.time),
         static_cast<uint16_t>(beat.measure) | static_cast<uint32_t>(beat.beat) << 16,
         kMeasureStream});
  }
  std::sort(s.streams.begin(), s.streams.end(), StreamPrecedes);
  s.ended = false;
  return !s.streams.empty();
}

bool TrackPlayable(EngineRec& engine, int index) {
  const TrackRec& track = engine.piece.tracks[static_cast<size_t>(index)];
  if (!track.play) return false;
  if (!engine.mode.playingPerformance.load()) return true;
  const PlaybackSettings& settings = engine.scheduler.settings;
  const bool replaces = engine.performance.replacesTrack.load();
  if (replaces && index == settings.followTrack1.load()) return false;
  // Punch-In keeps the recording silent outside its section; notes recorded
  // while tapping beats have no section to punch into and always play.
  const bool punchIn =
      settings.performancePlayback.load() == 0 && settings.followSource.load() == 0;
  return replaces || index != engine.piece.trackCount || !punchIn;
}

void SchedulerTakeSettings(EngineRec& engine, const SystemSettings& system,
                           const PieceSettings& live) {
  PlaybackSettings& out = engine.scheduler.settings;
  out.metronomeOn.store(system.metronomeOn != 0);
  out.metronomeChannel.store(system.metronomeChannel);
  out.metronomePort.store(system.metronomePort);
  out.downbeatNote.store(system.downbeatNote);
  out.downbeatVelocity.store(system.downbeatVelocity);
  out.beatNote.store(system.beatNote);
  out.beatVelocity.store(system.beatVelocity);
  out.syncOn.store(system.transmitSync != 0);
  out.syncType.store(system.syncType);
  out.frameRate.store(system.frameRate);
  out.syncPort.store(system.syncPort);
  out.sysexOn.store(system.transmitSysex != 0);
  out.sysexMode.store(system.sysexMode);
  out.sysexPort.store(system.sysexPort);
  out.loopMode.store(system.loopMode != 0);
  out.loopEnd.store(live.loopEnd);
  out.restartLoop.store(system.restartLoopAutomatically != 0);
  out.restartDelay.store(system.restartDelay);
  out.masterVolume.store(live.masterVolume);
  out.masterTranspose.store(live.masterTranspose);
  out.followSource.store(system.followSource);
  out.performancePlayback.store(system.performancePlayback);
  out.playTappedNotes.store(system.playTappedNotes != 0);
  out.followTrack1.store(live.followTrack1);
  const OutputLeads leads = EffectiveOutputLeads(system.outputLeadMs, DeviceLatencies(engine));
  for (size_t p = 0; p < leads.size(); ++p) out.outputLead[p].store(leads[p]);
  out.maxOutputLead.store(*std::max_element(leads.begin(), leads.end()));
}

}  // namespace tuttiro
