// Play and Follow end to end in simulated time: the soloist (notes generated
// from a built-in piece's solo track, taps or a flood of messages) comes in
// through the platform's input callback, and what reaches the output ports,
// where the transport stands and what was recorded are checked. Play
// Performance then replays the recording: its notes at their recorded times,
// the saved file, the four play modes, and the tempo choices around the section.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <ostream>
#include <random>

#include "app/save_performance.h"
#include "playback_fixture.h"

namespace tuttiro::test {
namespace {

// When the soloist plays a score position: simulated time in ms.
using Warp = std::function<double(double)>;

constexpr SystemTime kNoTime = std::numeric_limits<SystemTime>::max();

struct Played {
  SystemTime time;
  Bytes bytes;
  int32_t position;  // where a note-on is written, else -1
};

bool IsNoteOn(const Bytes& b) {
  return b.size() == 3 && (b[0] & 0xF0) == 0x90 && b[2] > 0;
}

void SetSpaceBar(void* context, uint32_t down) {
  static_cast<SimulatedPlatform*>(context)->SetKeyDown(KeyId::kSpaceBar, down != 0);
}

class LiveFollowing : public PlaybackTest {
 protected:
  // Makes the player again with the soloist's device on input port A (the ports
  // list the platform's devices when the player is made), a second output
  // device behind port B, and `piece` open.
  void Start(const std::string& piece) {
    thruDevice = platform.AddOutputDevice("Thru");
    soloist = platform.AddInputDevice("Soloist");
    app.reset();
    app = std::make_unique<AppRec>(platform, host);
    app->engine.ports.outputDevice[1] = static_cast<int16_t>(thruDevice);
    MidiOpenOutputs(app->engine.ports, nullptr);
    app->engine.commands.enabled[kCmdAllNotesOff].store(true);
    Open(piece);
    app->engine.ports.inputDevice.fill(-1);
    app->engine.ports.inputDevice[0] = static_cast<int16_t>(soloist);
    MidiOpenInputs(app->engine.ports, nullptr);
  }
  // Hands changed system settings to the follower and the input path, as the
  // settings dialogs do when they close.
  void TakeSettings() {
    GiveFollowerOptions(app->settings);
    GiveFollowerScore(app->settings);
    PublishSystemSettings(*app);
  }
  void StartFollowing() {
    QueueCommand(app->engine.commands, kCmdPlayAndFollow);
    IdlePass(*app);
    ASSERT_TRUE(TransportFollowing(*app));
  }
  void StopFollowing() {
    QueueCommand(app->engine.commands, kCmdStop);
    IdlePass(*app);
    ASSERT_FALSE(TransportRunning(*app));
  }

  const TrackRec& Solo() const {
    return app->piece.tracks[static_cast<size_t>(app->live.followTrack1)];
  }
  int32_t Bar(int measure) const {
    for (const BeatMapEntry& b : app->piece.beatMap) {
      if (b.measure == measure) return static_cast<int32_t>(b.time);
    }
    return app->piece.endPosition;
  }
  SystemTime Now() const { return platform.ClockNow(); }

  void Play(SystemTime at, Bytes bytes, int32_t position = -1) {
    platform.ScheduleInput(soloist, at, bytes);
    played.push_back({at, std::move(bytes), position});
  }

  // Plays the solo notes struck at score positions [from, to) at the times
  // `warp` gives them, each up to `jitter` ms early or late. A release is moved
  // up to 60 ms before the same key is struck again, so that no note is taken
  // for a key bounce. Each pitch is played `shift` half-steps from the written one.
  void Perform(const Warp& warp, int32_t from, int32_t to, int jitter = 0, int shift = 0) {
    std::vector<Played> messages;
    std::map<uint8_t, size_t> release;  // pitch -> its last release in `messages`
    const auto& events = Solo().events;
    for (auto on = events.begin(); on != events.end(); ++on) {
      if (on->status != 0x90 || on->data2 == 0 || on->time < uint32_t(from) ||
          on->time >= uint32_t(to)) {
        continue;
      }
      const auto off = std::find_if(on + 1, events.end(), [&](const PieceEvent& e) {
        return e.data1 == on->data1 && (e.status == 0x80 || (e.status == 0x90 && e.data2 == 0));
      });
      const SystemTime at = std::lround(warp(on->time)) +
                            (jitter ? static_cast<int>(random() % (2 * jitter + 1)) - jitter : 0);
      if (auto it = release.find(on->data1); it != release.end()) {
        Played& before = messages[it->second];
        before.time = std::max(messages[it->second - 1].time + 1, std::min(before.time, at - 60));
      }
      const auto pitch = static_cast<uint8_t>(on->data1 + shift);
      messages.push_back({at, {0x90, pitch, on->data2}, static_cast<int32_t>(on->time)});
      const SystemTime until = off == events.end() ? at + 100 : std::lround(warp(off->time));
      release[on->data1] = messages.size();
      messages.push_back({std::max(until, at + 1), {0x80, pitch, 0}, -1});
    }
    std::stable_sort(messages.begin(), messages.end(),
                     [](const Played& a, const Played& b) { return a.time < b.time; });
    for (Played& m : messages) Play(m.time, std::move(m.bytes), m.position);
  }

  // Runs timers and the idle pass every 5 ms for `ms` ms, as the program does;
  // returns how many follower jump requests the idle pass took up.
  int Follow(SystemTime ms) {
    int jumps = 0;
    const SystemTime end = Now() + ms;
    while (Now() < end) {
      platform.RunUntil(std::min(end, Now() + 5));
      jumps += app->engine.jump.pending.load() ? 1 : 0;
      IdlePass(*app);
    }
    return jumps;
  }

  // Whether any note-on was sent in [from, to) (the solo track is silent while followed).
  bool NoteOnSent(SystemTime from, SystemTime to) const {
    const auto sent = Sent();
    return std::any_of(sent.begin(), sent.end(), [&](const auto& m) {
      return IsNoteOn(m.bytes) && m.time >= from && m.time < to;
    });
  }

  // Median distance between when each note-on of `track` written in [from, to)
  // was sent (the nearest one of its pitch, sounding `moved` half-steps from the
  // written one) and when the soloist's timing puts it.
  double MedianDrift(const Warp& warp, int32_t from, int32_t to, int track = 1,
                     int moved = 0) const {
    const TrackRec& written = app->piece.tracks[static_cast<size_t>(track)];
    std::map<int, std::vector<SystemTime>> sent;  // per pitch
    for (const auto& m : Sent()) {
      if (IsNoteOn(m.bytes) && (m.bytes[0] & 0x0F) == written.outputChannel) {
        sent[m.bytes[1]].push_back(m.time);
      }
    }
    std::vector<double> drift;
    for (const PieceEvent& e : written.events) {
      if (e.status != 0x90 || e.data2 == 0 || e.time < uint32_t(from) || e.time >= uint32_t(to)) {
        continue;
      }
      double best = 1e9;
      for (SystemTime t : sent[e.data1 + moved]) best = std::min(best, std::abs(t - warp(e.time)));
      drift.push_back(best);
    }
    if (drift.empty()) return 1e9;
    std::sort(drift.begin(), drift.end());
    return drift[drift.size() / 2];
  }

  // The performance track as (status, data 1, data 2).
  std::vector<Bytes> Recorded() const {
    std::vector<Bytes> out;
    for (const PieceEvent& e : app->piece.performanceTrack().events) {
      out.push_back({e.status, e.data1, e.data2});
    }
    return out;
  }

  // The recorded note-ons are the last ones the soloist played (at least all
  // those played from `since` on), each placed within 100 of where it is
  // written, except those played while the follower was still finding a jump
  // (from `unsure` up to `since`): it placed them where it thought the soloist was.
  void ExpectRecordedWherePlayed(SystemTime since, SystemTime unsure = kNoTime) const {
    std::vector<int32_t> written;
    std::vector<bool> sure;
    size_t later = 0;
    for (const Played& m : played) {
      if (!IsNoteOn(m.bytes)) continue;
      written.push_back(m.position);
      sure.push_back(m.time < unsure || m.time >= since);
      later += m.time >= since ? 1 : 0;
    }
    std::vector<int32_t> placed;
    for (const PieceEvent& e : app->piece.performanceTrack().events) {
      if (e.status == 0x90 && e.data2 > 0) placed.push_back(static_cast<int32_t>(e.time));
    }
    EXPECT_TRUE(app->transport.performanceAvailable);
    ASSERT_GE(placed.size(), later);
    ASSERT_LE(placed.size(), written.size());
    const size_t offset = written.size() - placed.size();
    int misplaced = 0;
    for (size_t i = 0; i < placed.size(); ++i) {
      misplaced += sure[offset + i] && std::abs(placed[i] - written[offset + i]) >= 100 ? 1 : 0;
    }
    EXPECT_EQ(misplaced, 0) << "of " << placed.size() << " recorded notes";
  }

  // Play and Follow from `from` while the soloist plays [from, to) from 50 ms
  // on, `warp` turning a score distance from `from` into the time it takes;
  // stops half a second after the last message.
  void Record(int32_t from, int32_t to, const Warp& warp) {
    LocateAt(from);
    StartFollowing();
    const SystemTime start = Now() + 50;
    Perform([=](double p) { return start + warp(p - from); }, from, to);
    StopAfterPlaying();
  }
  void StopAfterPlaying() {
    Follow(played.back().time + 500 - Now());
    StopFollowing();
  }
  // When the soloist's note-ons were played.
  std::vector<SystemTime> Arrivals() const {
    std::vector<SystemTime> out;
    for (const Played& m : played) {
      if (IsNoteOn(m.bytes)) out.push_back(m.time);
    }
    return out;
  }

  // Play Performance from the start for `ms`; every message sent meanwhile with
  // the transport position at that moment.
  struct Tagged {
    SimulatedPlatform::SentMessage message;
    int32_t position;
  };
  std::vector<Tagged> Replay(SystemTime ms) {
    LocateAt(0);
    PlayPerformance(*app);
    EXPECT_TRUE(app->engine.mode.playingPerformance.load());
    std::vector<Tagged> out;
    size_t seen = Sent().size();
    const SystemTime end = Now() + ms;
    while (Now() < end && TransportRunning(*app)) {
      platform.RunUntil(Now() + 1);
      const auto sent = Sent();
      for (; seen < sent.size(); ++seen) out.push_back({sent[seen], CurrentPosition(*app)});
      IdlePass(*app);
    }
    if (TransportRunning(*app)) StopTransport(*app);
    return out;
  }
  static std::vector<Tagged> NoteOns(const std::vector<Tagged>& sent, int channel) {
    std::vector<Tagged> out;
    for (const Tagged& t : sent) {
      if (IsNoteOn(t.message.bytes) && (t.message.bytes[0] & 0x0F) == channel) out.push_back(t);
    }
    return out;
  }

  int thruDevice = 0;
  int soloist = -1;
  std::vector<Played> played;  // in the order it was scheduled
  std::mt19937 random{7};
};

// ---- tempo, markers, jumps, starting and stopping ---------------------------------

// The soloist's stretch against the written timing at the start and at the end
// of the piece, changing evenly in between.
struct Stretch {
  double from, to;
};
void PrintTo(const Stretch& s, std::ostream* os) {
  *os << s.from << " to " << s.to;
}

class LiveTempoChange : public LiveFollowing, public ::testing::WithParamInterface<Stretch> {};

TEST_P(LiveTempoChange, TheAccompanimentTakesTheSoloistsTempoAndTheNotesAreRecordedInPlace) {
  Start("Ecossaise");
  const auto [from, to] = GetParam();
  const double length = app->piece.endPosition;
  StartFollowing();
  const SystemTime start = Now();
  // The soloist's time is the integral of the stretch.
  const Warp warp = [=](double p) { return start + from * p + (to - from) * p * p / (2 * length); };
  Perform(warp, 0, 39000, 12);
  EXPECT_EQ(Follow(std::lround(warp(30000)) - start), 0);
  EXPECT_NEAR(app->engine.clock.tempoFactor.load() / 4096.0,
              1 / (from + (to - from) * 30000 / length), 0.06);
  Follow(std::lround(warp(39000)) - Now());
  // Played at the piece's own tempo, the notes would be 130 ms or more away.
  EXPECT_LT(MedianDrift(warp, 10000, 39000), 40.0);
  StopFollowing();
  ExpectNoHangingNotes();
  // Once the follower has the tempo, every recorded note is where it is written.
  ExpectRecordedWherePlayed(std::lround(warp(4000)), start);
}

INSTANTIATE_TEST_SUITE_P(StartAndEnd, LiveTempoChange,
                         ::testing::Values(Stretch{1, 1.3}, Stretch{1, 0.8}, Stretch{1.25, 1.25}));

// What the soloist plays when the piece or the following track is transposed:
// the written notes moved by the master transposition, whatever the following
// track's own transposition (that moves only what Tuttiro sounds).
struct Transposed {
  int16_t track, master;
  int played;  // half-steps from the written notes
  bool followed;
};
void PrintTo(const Transposed& t, std::ostream* os) {
  *os << "track " << t.track << ", master " << t.master << ", played " << t.played;
}

class LiveTransposed : public LiveFollowing, public ::testing::WithParamInterface<Transposed> {};

TEST_P(LiveTransposed, TheSoloistPlaysTheWrittenNotesMovedOnlyByTheMasterTransposition) {
  const Transposed c = GetParam();
  Start("Ecossaise");
  app->piece.tracks[static_cast<size_t>(app->live.followTrack1)].transposition = c.track;
  SetMasterTranspose(*app, c.master);
  StartFollowing();
  const SystemTime start = Now();
  const Warp warp = [=](double p) { return start + 1.3 * p; };  // slower than written
  Perform(warp, 0, 20000, 0, c.played);
  Follow(std::lround(warp(20000)) - start);
  // Unfollowed, the accompaniment keeps the written tempo and is soon seconds early.
  const double drift = MedianDrift(warp, 8000, 20000, 1, c.master);
  if (c.followed) {
    EXPECT_LT(drift, 40.0);
  } else {
    EXPECT_GT(drift, 500.0);
  }
  StopFollowing();
  ExpectNoHangingNotes();
}

INSTANTIATE_TEST_SUITE_P(WrittenOrSounding, LiveTransposed,
                         ::testing::Values(Transposed{-12, 0, 0, true}, Transposed{0, 2, 2, true},
                                           Transposed{-12, 2, 2, true},
                                           Transposed{-12, 0, -12, false}));

TEST_F(LiveFollowing, AtAWaitForSoloistMarkerTheAccompanimentWaitsForTheSoloist) {
  Start("Longing");  // its settings mark bar 11 Wait for Soloist
  ASSERT_FALSE(app->live.waitForSoloistMarkers.empty());
  const int32_t marker = app->live.waitForSoloistMarkers[0];
  const int32_t from = Bar(7);
  LocateAt(from);
  StartFollowing();
  const SystemTime start = Now();
  // As written, but with 3 s of silence before the marked note.
  const Warp warp = [=](double p) { return start + (p - from) + (p >= marker ? 3000 : 0); };
  Perform(warp, from, Bar(14));
  const SystemTime resume = std::lround(warp(marker));
  Follow(resume - 10 - Now());
  ASSERT_TRUE(TransportFollowing(*app));
  EXPECT_LT(CurrentPosition(*app), marker);
  EXPECT_GT(CurrentPosition(*app), marker - 100);
  EXPECT_FALSE(NoteOnSent(resume - 3200, resume));  // from just before the marker on
  // The marked chord sounds with the soloist's note, and the rest goes on with them.
  Follow(6000);
  EXPECT_TRUE(NoteOnSent(resume, resume + 30));
  EXPECT_LT(MedianDrift(warp, marker, marker + 5000), 40.0);
}

TEST_F(LiveFollowing, ASkippedPassageIsAJumpAndTheAccompanimentRejoinsTheSoloist) {
  Start("Ecossaise");
  const int32_t skipFrom = Bar(9);
  const int32_t skipTo = Bar(11);  // bars 9 and 10 left out
  StartFollowing();
  const SystemTime start = Now();
  const Warp warp = [=](double p) {
    return start + (p < skipTo ? std::min<double>(p, skipFrom) : p - (skipTo - skipFrom));
  };
  Perform(warp, 0, skipFrom, 12);
  Perform(warp, skipTo, Bar(30), 12);
  EXPECT_GE(Follow(std::lround(warp(skipTo)) + 4000 - Now()), 1);
  EXPECT_TRUE(TransportFollowing(*app));
  const SystemTime rejoined = Now();
  for (int i = 0; i < 8; ++i) {
    Follow(500);
    EXPECT_NEAR(CurrentPosition(*app), Now() - start + (skipTo - skipFrom), 60);
  }
  Follow(std::lround(warp(Bar(30))) - Now());
  EXPECT_LT(MedianDrift(warp, skipTo + 4000, Bar(29)), 40.0);
  StopFollowing();
  ExpectNoHangingNotes();
  // Every note, also those played before the jump, is where it was played;
  // from the last note before the gap on, the follower was unsure.
  ExpectRecordedWherePlayed(rejoined, std::lround(warp(skipFrom)) - 250);
}

TEST_F(LiveFollowing, StartAutomaticallyBeginsFollowingWhereTheSoloistStarts) {
  Start("Ecossaise");
  app->system.startAutomatically = 1;
  TakeSettings();
  ASSERT_EQ(app->engine.mode.followerInputMode.load(), kInputListening);
  const int32_t from = Bar(19);
  const SystemTime start = Now() + 500;
  const Warp warp = [=](double p) { return start + (p - from); };
  Perform(warp, from, Bar(34));
  EXPECT_EQ(Follow(4500), 1);
  ASSERT_TRUE(TransportFollowing(*app));
  const SystemTime followed = Now();
  EXPECT_NEAR(CurrentPosition(*app), from + (Now() - start), 60);
  Follow(std::lround(warp(Bar(34))) - Now());
  EXPECT_LT(MedianDrift(warp, from + 4000, Bar(33)), 40.0);
  StopFollowing();
  ExpectNoHangingNotes();
  ExpectRecordedWherePlayed(followed);
}

struct AutoStopCase {
  uint32_t delay;
  double stretch;
};
void PrintTo(const AutoStopCase& c, std::ostream* os) {
  *os << c.delay << " ms at stretch " << c.stretch;
}

class LiveAutoStop : public LiveFollowing, public ::testing::WithParamInterface<AutoStopCase> {};

TEST_P(LiveAutoStop, TheTransportStopsAfterTheSetSilenceWithNothingHanging) {
  Start("Ecossaise");
  const auto [delay, stretch] = GetParam();
  app->system.stopAutomatically = 1;
  app->system.stopDelay = delay;
  TakeSettings();
  StartFollowing();
  const SystemTime start = Now();
  Perform([=](double p) { return start + p * stretch; }, 0, Bar(13));
  SystemTime lastNote = 0;
  for (const Played& m : played) lastNote = IsNoteOn(m.bytes) ? m.time : lastNote;
  RunToStop(60000);
  // The delay is silence in the soloist's time (the rule scales it by the
  // tempo), plus the 500 past the last match that the rule asks for, plus the
  // hold at the soloist's next written note before the clock runs on alone.
  const SystemTime silence = Now() - lastNote;
  EXPECT_GE(silence, delay + 400);
  EXPECT_LE(silence, delay + 1400 + 1000 * stretch);
  ExpectNoHangingNotes();
}

INSTANTIATE_TEST_SUITE_P(DelayAndTempo, LiveAutoStop,
                         ::testing::Values(AutoStopCase{2000, 1.0}, AutoStopCase{4000, 1.25}));

// ---- recording and Play Performance ---------------------------------------------

constexpr uint8_t kOwnChannel = 15;

double Steady(double d) {
  return d * 1.25;
}

// The piece is opened from a file that is gone by the time the performance is
// saved: the save needs only what was loaded.
TEST_F(LiveFollowing, RecordedNotesAreSavedAndComeBackAtTheirTimesWithTheAccompanimentInTempo) {
  const std::string piecePath = ::testing::TempDir() + "tuttiro-ecossaise.mid";
  {
    const std::vector<uint8_t> bytes = BuiltinPieceImage(FindBuiltinPiece("Ecossaise"));
    std::ofstream out(piecePath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  }
  Start(piecePath);
  StartFollowing();
  const SystemTime start = Now() + 50;
  Perform([=](double p) { return start + Steady(p); }, 0, 20000);
  Play(played.back().time + 100, {0x90, 72, 80});  // held when following stops
  StopAfterPlaying();
  const std::vector<SystemTime> arrivals = Arrivals();
  ASSERT_GT(arrivals.size(), 20u);
  ASSERT_TRUE(app->transport.performanceAvailable);
  // Every note-on with its note-off; the note held when following stopped ends there.
  const TrackRec& performance = app->piece.performanceTrack();
  EXPECT_EQ(performance.eventCount(), static_cast<int>(arrivals.size()) * 2);
  EXPECT_EQ(performance.events.back().time, static_cast<uint32_t>(app->engine.performance.end));
  EXPECT_NEAR(app->engine.performance.averageTempo, 4096 / 1.25, 80);

  std::remove(piecePath.c_str());
  const std::string path = ::testing::TempDir() + "tuttiro-saved-performance.mid";
  ASSERT_TRUE(WritePerformanceFile(*app, path));
  PieceModel saved;
  PieceSourceState sources;
  ASSERT_EQ(OpenPiece(saved, sources, path), kLoadOk);
  std::remove(path.c_str());
  ASSERT_EQ(saved.trackCount, app->piece.trackCount);
  // The following track starts with the soloist's notes (the written ones of
  // the recorded section are gone), a score unit now a millisecond as played.
  std::vector<uint32_t> notes;
  for (const PieceEvent& e : saved.tracks[static_cast<size_t>(app->live.followTrack1)].events) {
    if (IsNoteOn(e)) notes.push_back(e.time);
  }
  ASSERT_GE(notes.size(), arrivals.size());
  for (size_t i = 1; i < arrivals.size(); ++i) {
    const int64_t saved_ms = static_cast<int64_t>(notes[i]) - notes[0];
    EXPECT_LE(std::llabs(saved_ms - static_cast<int64_t>(arrivals[i] - arrivals[0])), 2)
        << "saved note " << i;
  }

  const std::vector<Tagged> sent = Replay(30000);
  // Punch-In: inside the recorded section the soloist's part is the recording.
  std::vector<Tagged> solo = NoteOns(sent, Solo().outputChannel);
  std::erase_if(solo, [&](const Tagged& t) { return t.position >= app->engine.performance.end; });
  ASSERT_EQ(solo.size(), arrivals.size());
  for (size_t i = 1; i < solo.size(); ++i) {
    const SystemTime replayed = solo[i].message.time - solo[0].message.time;
    EXPECT_LE(std::llabs(replayed - (arrivals[i] - arrivals[0])), 2) << "replayed note " << i;
  }
  // The accompaniment sits where the soloist's tempo puts it.
  const SystemTime origin = solo[0].message.time;
  const auto firstSolo = static_cast<double>(
      std::find_if(Solo().events.begin(), Solo().events.end(), [](const PieceEvent& e) {
        return e.status == 0x90;
      })->time);
  EXPECT_LT(MedianDrift([=](double p) { return origin + (p - firstSolo) * 1.25; }, 4000, 19000),
            60.0);
  ExpectNoHangingNotes();
}

TEST_F(LiveFollowing, ThePlayModesChooseBetweenTheRecordingAndTheWrittenPart) {
  Start("Ecossaise");
  Record(8000, 16000, Steady);
  ASSERT_TRUE(app->transport.performanceAvailable);
  const int32_t start = app->engine.performance.start;
  const int32_t end = app->engine.performance.end;
  EXPECT_EQ(start, 8000);
  EXPECT_GT(end, 15000);
  app->live.performanceUsesOwnPort = 1;
  app->piece.performanceTrack().outputChannel = kOwnChannel;

  struct Expected {
    bool writtenBefore, writtenInside, recorded;
  };
  const Expected expected[4] = {
      {true, false, true},   // Punch-In
      {true, true, true},    // Sound on Sound
      {false, false, true},  // Overwrite
      {true, true, false},   // Only the Following Track
  };
  for (uint16_t mode = 0; mode < 4; ++mode) {
    SCOPED_TRACE(mode);
    app->system.performancePlayback = mode;
    PublishSystemSettings(*app);
    const std::vector<Tagged> sent = Replay(24000);
    int before = 0, inside = 0, after = 0;
    for (const Tagged& t : NoteOns(sent, Solo().outputChannel)) {
      if (t.position < start - 100) ++before;
      if (t.position > start + 100 && t.position < end - 100) ++inside;
      if (t.position > end + 100) ++after;
    }
    EXPECT_EQ(before > 0, expected[mode].writtenBefore);
    EXPECT_EQ(inside > 0, expected[mode].writtenInside);
    EXPECT_EQ(after > 0, expected[mode].writtenBefore);
    EXPECT_EQ(!NoteOns(sent, kOwnChannel).empty(), expected[mode].recorded);
    // The following track's play flag is its own again after Overwrite.
    EXPECT_EQ(Solo().play, 1);
    EXPECT_EQ(app->piece.performanceTrack().outputChannel, kOwnChannel);
    ExpectNoHangingNotes();
  }
}

TEST_F(LiveFollowing, AfterARepeatTheLastTakeStandsInScoreOrder) {
  // Bars 1-12, then back to bar 5 and on to bar 16: following jumps back.
  constexpr uint32_t kBar = 952;  // two quarters of Ecossaise
  Start("Ecossaise");
  StartFollowing();
  const SystemTime start = Now() + 50;
  Perform([=](double p) { return start + Steady(p); }, 0, 12 * kBar);
  const size_t firstTake = Arrivals().size();
  const SystemTime again = played.back().time + 300;
  Perform([=](double p) { return again + Steady(p - 4 * kBar); }, 4 * kBar, 16 * kBar);
  StopAfterPlaying();
  const std::vector<SystemTime> arrivals = Arrivals();
  ASSERT_TRUE(app->transport.performanceAvailable);

  const TrackRec& performance = app->piece.performanceTrack();
  int32_t previous = 0;
  int backwards = 0;
  int notes = 0;
  for (const PieceEvent& e : performance.events) {
    backwards += static_cast<int32_t>(e.time) < previous - 100 ? 1 : 0;
    previous = std::max(previous, static_cast<int32_t>(e.time));
    notes += e.status == 0x90 && e.data2 > 0 ? 1 : 0;
  }
  EXPECT_EQ(backwards, 0);
  // The first take's bars 5-12 gave way to the second take; a few notes
  // played while the follower was finding the repeat may stay.
  const auto secondTake = static_cast<int>(arrivals.size() - firstTake);
  const auto kept = std::count_if(
      Solo().events.begin(), Solo().events.end(),
      [](const PieceEvent& e) { return e.status == 0x90 && e.data2 > 0 && e.time < 4 * kBar; });
  EXPECT_GE(notes, kept + secondTake);
  EXPECT_LE(notes, kept + secondTake + 8);
  // Played back, the notes come one by one, never in a burst.
  const std::vector<Tagged> sent = Replay(40000);
  int burst = 0;
  const std::vector<Tagged> solo = NoteOns(sent, Solo().outputChannel);
  for (size_t i = 2; i < solo.size(); ++i) {
    burst += solo[i].message.time == solo[i - 2].message.time ? 1 : 0;
  }
  EXPECT_EQ(burst, 0);
  ExpectNoHangingNotes();
}

// The tempo factor while the transport is at `position` during a replay.
int32_t TempoAt(const std::vector<int32_t>& positions, const std::vector<int32_t>& tempos,
                int32_t position) {
  const auto at = std::lower_bound(positions.begin(), positions.end(), position);
  return at == positions.end() ? 0 : tempos[static_cast<size_t>(at - positions.begin())];
}

TEST_F(LiveFollowing, TheTempoChoicesApplyBeforeDuringAndAfterTheSection) {
  // A ritardando from the written tempo to two thirds of it over the section.
  constexpr double kSpan = 8000;
  Start("Ecossaise");
  Record(8000, 16000, [](double d) { return d + 0.25 * d * d / kSpan; });
  ASSERT_TRUE(app->transport.performanceAvailable);
  const int32_t average = app->engine.performance.averageTempo;
  const int32_t last = app->engine.performance.lastTempo;
  EXPECT_NEAR(average, 4096 / 1.25, 150);
  EXPECT_NEAR(last, 4096 / 1.5, 250);

  struct Case {
    std::array<uint16_t, 3> choice;
    int32_t before, early, late, after;  // expected tempo factors, 0 = not checked
    int32_t startFactor = 4096;          // the tempo factor when playback starts
  };
  const int32_t slow = 4096 * 2 / 3;
  const Case cases[] = {
      {{0, 1, 1}, 4096, 4096, slow, average},
      {{1, 0, 2}, average, 4096, 4096, last},
      {{0, 1, 0}, 4096, 4096, slow, 4096},
      {{0, 1, 0}, 2048, 2048, slow / 2, 2048, 2048},  // at half the tempo it was recorded at
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.choice[0] << c.choice[1] << c.choice[2] << " at " << c.startFactor);
    app->system.performanceTempo = c.choice;
    TransportClock clock = TransportClockRead(app->engine.clock);
    clock.tempoFactor = c.startFactor;
    TransportClockWrite(app->engine.clock, clock);
    std::vector<int32_t> positions, tempos;
    LocateAt(0);
    PlayPerformance(*app);
    while (TransportRunning(*app) && CurrentPosition(*app) < 20000) {
      platform.RunUntil(Now() + 5);
      positions.push_back(CurrentPosition(*app));
      tempos.push_back(app->engine.clock.tempoFactor.load());
      IdlePass(*app);
    }
    StopTransport(*app);
    EXPECT_EQ(app->engine.clock.tempoFactor.load(), c.startFactor);  // given back at stop
    EXPECT_NEAR(TempoAt(positions, tempos, 4000), c.before, 100);
    EXPECT_NEAR(TempoAt(positions, tempos, 8600), c.early, 300);
    EXPECT_NEAR(TempoAt(positions, tempos, 15500), c.late, 250);
    EXPECT_NEAR(TempoAt(positions, tempos, 19000), c.after, 100);
  }
}

// ---- tapped beats -----------------------------------------------------------------

TEST_F(LiveFollowing, TapsOnAMidiNoteMoveTheAccompanimentAndOnlyTheOtherNotesPlayBack) {
  Start("Ecossaise");
  app->system.followSource = 1;  // tapped beats
  app->system.tapSource = 2;     // on one note
  app->system.tapNote = 36;
  app->system.playTappedNotes = 1;  // what is played besides the taps is recorded
  TakeSettings();
  StartFollowing();
  const SystemTime start = Now();
  const Warp warp = [=](double p) { return start + 1.25 * p; };  // at 80 %
  std::vector<Bytes> melody;
  for (const BeatMapEntry& b : app->piece.beatMap) {
    if (b.time >= uint32_t(Bar(25))) break;
    const SystemTime at = std::lround(warp(b.time));
    Play(at, {0x90, 36, 90});
    Play(at + 80, {0x80, 36, 0});
    if (b.beat == 2) {
      const auto pitch = static_cast<uint8_t>(60 + b.measure % 12);
      melody.push_back({0x90, pitch, 70});
      Play(at + 100, melody.back());
      melody.push_back({0x80, pitch, 0});
      Play(at + 200, melody.back());
    }
  }
  Follow(std::lround(warp(Bar(25))) - Now());
  EXPECT_LT(MedianDrift(warp, Bar(4), Bar(24)), 40.0);
  EXPECT_NEAR(app->engine.clock.tempoFactor.load(), 4096 * 0.8, 80);
  StopFollowing();
  ExpectNoHangingNotes();
  EXPECT_EQ(Recorded(), melody);

  // Played back, the recorded notes sound with the accompaniment.
  app->live.performanceUsesOwnPort = 1;
  app->piece.performanceTrack().outputChannel = 15;
  LocateAt(0);
  const size_t before = Sent().size();
  PlayPerformance(*app);
  Run(std::lround(warp(Bar(25))) - start);
  StopFollowing();
  const auto sent = Sent();
  const auto replayed = std::count_if(
      sent.begin() + static_cast<std::ptrdiff_t>(before), sent.end(),
      [](const SimulatedPlatform::SentMessage& m) { return m.bytes[0] == 0x9F && m.bytes[2] > 0; });
  EXPECT_EQ(static_cast<size_t>(replayed), melody.size() / 2);
  ExpectNoHangingNotes();
}

TEST_F(LiveFollowing, SpaceBarTapsMoveTheAccompanimentButThePressThatStartedItDoesNot) {
  Start("Ecossaise");
  app->system.followSource = 1;
  app->system.tapSource = 0;  // the space bar
  TakeSettings();
  // Started between two beats, so that a tap taken from the starting press
  // would pull the position back onto the beat.
  const int32_t from = Bar(3) + 120;
  const int32_t first = Bar(4);
  const double span = Bar(24) - first;
  LocateAt(from);
  platform.SetKeyDown(KeyId::kSpaceBar, true);
  PlayAndFollow(*app);
  ASSERT_TRUE(TransportFollowing(*app));
  const SystemTime start = Now();
  platform.TimerSet(start + 150, SetSpaceBar, &platform, 0);
  // The piece's tempo to the first tap, then slowing evenly to 1 / 1.2.
  const Warp warp = [=](double p) {
    const double q = std::max(0.0, p - first);
    return start + (std::min<double>(p, first) - from) + q + 0.2 * q * q / (2 * span);
  };
  for (const BeatMapEntry& b : app->piece.beatMap) {
    if (b.time < uint32_t(first) || b.time >= uint32_t(Bar(24))) continue;
    const SystemTime at = std::lround(warp(b.time));
    platform.TimerSet(at, SetSpaceBar, &platform, 1);
    platform.TimerSet(at + 60, SetSpaceBar, &platform, 0);
  }
  Follow(400);
  EXPECT_NEAR(CurrentPosition(*app), from + 400, 20);
  Follow(std::lround(warp(Bar(24))) - Now());
  EXPECT_LT(MedianDrift(warp, Bar(8), Bar(23)), 40.0);
  StopFollowing();
  ExpectNoHangingNotes();
}

// ---- the input path: MIDI Thru and a flood -----------------------------------------

TEST_F(LiveFollowing, MidiThruEchoesExactlyWhatArrivedInOrderBeforeOrAfterProcessing) {
  Start("Ecossaise");
  app->engine.ports.channelEnable[5] = 0;  // channel 6 of port A is not listened to
  // Three messages every 10 ms: a note released with velocity 0 and struck
  // again at once (a key bounce), controllers, pitch bend, two-byte messages,
  // the switched-off channel and a clock.
  const std::vector<Bytes> stream = {
      {0x90, 64, 100}, {0xB0, 64, 127},    {0xE0, 0x00, 0x40}, {0x90, 64, 0},  {0x90, 64, 90},
      {0xC2, 5},       {0xD0, 50},         {0x80, 64, 0},      {0xA0, 67, 30}, {0x95, 62, 70},
      {0x91, 67, 80},  {0xE0, 0x7F, 0x7F}, {0x81, 67, 0},      {0xB0, 64, 0},  {0xF8}};
  for (uint8_t processFirst : {0, 1}) {
    SCOPED_TRACE(processFirst ? "echo after processing" : "echo before processing");
    app->system.midiThru = 1;
    app->system.thruPort = 1;
    app->system.thruProcessFirst = processFirst;
    TakeSettings();
    StartFollowing();
    const size_t before = platform.Sent(thruDevice).size();
    const SystemTime start = Now() + 10;
    for (size_t i = 0; i < stream.size(); ++i) Play(start + SystemTime(i / 3) * 10, stream[i]);
    Follow(100);
    const auto sent = platform.Sent(thruDevice);
    ASSERT_EQ(sent.size() - before, stream.size());
    for (size_t i = 0; i < stream.size(); ++i) {
      EXPECT_EQ(sent[before + i].time, start + SystemTime(i / 3) * 10) << i;
      EXPECT_EQ(sent[before + i].bytes, stream[i]) << i;
    }
    StopFollowing();
  }
}

TEST_F(LiveFollowing, AFloodOfTenThousandMessagesInOneSecondIsRecordedWhole) {
  Start("Ecossaise");
  // Pitches below the solo part's lowest, so that the flood cannot move the follower.
  std::vector<uint8_t> pitches;
  for (const PieceEvent& e : Solo().events) ASSERT_TRUE(e.status != 0x90 || e.data1 >= 56);
  for (uint8_t p = 24; p < 56; ++p) pitches.push_back(p);
  StartFollowing();
  const SystemTime start = Now() + 100;
  std::vector<SystemTime> released(16 * 128, 0);  // per channel and key; -1 while down
  std::vector<Bytes> expected;  // as recorded: without channel, velocity 0 a note-off
  for (int i = 0; i < 10000; ++i) {
    const SystemTime at = start + i / 10;
    const auto channel = static_cast<uint8_t>(random() % 16);
    const uint8_t pitch = pitches[random() % pitches.size()];
    SystemTime& key = released[channel * 128u + pitch];
    Bytes bytes;
    if (key < 0) {
      const bool zeroVelocity = random() % 2;
      bytes = {uint8_t((zeroVelocity ? 0x90 : 0x80) | channel), pitch, 0};
      expected.push_back({0x80, pitch, 0});
      key = at;
    } else if (at - key > 60 && random() % 4 != 0) {  // never a key bounce
      bytes = {uint8_t(0x90 | channel), pitch, uint8_t(1 + random() % 127)};
      expected.push_back({0x90, pitch, bytes[2]});
      key = -1;
    } else {
      bytes = {uint8_t(0xB0 | channel), 1, uint8_t(random() % 128)};
      expected.push_back({0xB0, 1, bytes[2]});
    }
    Play(at, std::move(bytes));
  }
  Follow(1500);
  ASSERT_TRUE(TransportFollowing(*app));
  StopFollowing();
  ExpectNoHangingNotes();
  const std::vector<Bytes> recorded = Recorded();
  ASSERT_GE(recorded.size(), expected.size());
  EXPECT_EQ(std::vector<Bytes>(recorded.begin(), recorded.begin() + expected.size()), expected);
  // Keys still down when following stopped are released there.
  const auto down = std::count(released.begin(), released.end(), SystemTime{-1});
  EXPECT_EQ(static_cast<std::ptrdiff_t>(recorded.size() - expected.size()), down);
  for (size_t i = expected.size(); i < recorded.size(); ++i) EXPECT_EQ(recorded[i][0], 0x80);
}

}  // namespace
}  // namespace tuttiro::test
