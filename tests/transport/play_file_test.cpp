// Play File end to end: every built-in piece sends exactly its events, with the
// tracks' volume, transposition and program combinations applied, each at its
// exact time, scaled by the tempo; the end of the piece stops the transport with
// every note released.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>

#include "../piece/smf_builder.h"
#include "midi/midi_message.h"
#include "playback_fixture.h"
#include "transport/midi_state.h"

namespace tuttiro::test {
namespace {

using Timed = std::pair<SystemTime, Bytes>;

Bytes ComboBytes(const ProgramCombo& combo, int channel) {
  const uint8_t cc = static_cast<uint8_t>(0xB0 | channel);
  const uint8_t pc = static_cast<uint8_t>(0xC0 | channel);
  const auto& v = combo.values;
  switch (combo.kind) {
    case kComboProgram:
      return {pc, v[0]};
    case kComboBank0:
      return {cc, 0, v[0], pc, v[1]};
    case kComboBank32:
      return {cc, 32, v[0], pc, v[1]};
    case kComboBank0And32:
      return {cc, 0, v[0], cc, 32, v[1], pc, v[2]};
    case kComboProgramPair:
      return {pc, v[0], pc, v[1]};
    default:
      return {};
  }
}

void AddCombo(std::vector<Timed>& out, SystemTime t, const Bytes& bytes) {
  for (size_t k = 0; k < bytes.size();) {
    const size_t length = (bytes[k] & 0xF0) == 0xC0 ? 2 : 3;
    out.push_back({t, Bytes(bytes.begin() + static_cast<long>(k),
                            bytes.begin() + static_cast<long>(k + length))});
    k += length;
  }
}

// What the output should receive for the piece played from 0 with tempo factor
// `factor`, master volume and transposition applied: the controllers, program
// and bend that the events at 0 leave (their last values) when the start is
// asked for at `asked`, then every other event at its time from `start`.
std::vector<Timed> ExpectedPlayback(const AppRec& app, SystemTime asked, SystemTime start,
                                    int32_t factor) {
  std::vector<Timed> out;
  for (int i = 0; i < app.piece.trackCount; ++i) {
    const TrackRec& track = app.piece.tracks[static_cast<size_t>(i)];
    if (!track.play) continue;
    const int channel = track.outputChannel;
    std::map<int, Bytes> startState;  // controller, or 200 program, 300 bend
    size_t first = 0;
    for (; first < track.events.size() && track.events[first].time == 0; ++first) {
      const PieceEvent& ev = track.events[first];
      const int status = ev.status & 0xF0;
      if (status == 0x90 && ev.data2 > 0) break;
      if (status == 0xB0)
        startState[ev.data1] = {static_cast<uint8_t>(0xB0 | channel), ev.data1, ev.data2};
      if (status == 0xC0) startState[200] = ComboBytes(TrackComboAt(track, ev.data1), channel);
      if (status == 0xE0)
        startState[300] = {static_cast<uint8_t>(0xE0 | channel), ev.data1, ev.data2};
    }
    for (const auto& [key, bytes] : startState) AddCombo(out, asked, bytes);
    for (size_t e = first; e < track.events.size(); ++e) {
      const PieceEvent& ev = track.events[e];
      const SystemTime t = start + FixDiv(static_cast<int32_t>(ev.time), factor * 16);
      const int status = ev.status & 0xF0;
      const int note = ev.data1 + track.transposition + app.live.masterTranspose;
      if (status == 0x90 && ev.data2 > 0) {
        const int v =
            std::clamp((track.volume * ev.data2 * app.live.masterVolume + 0x8000) >> 16, 1, 127);
        out.push_back({t,
                       {static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(note),
                        static_cast<uint8_t>(v)}});
      } else if (status == 0x80 || status == 0x90) {
        out.push_back(
            {t, {static_cast<uint8_t>(status | channel), static_cast<uint8_t>(note), ev.data2}});
      } else if (status == 0xC0) {
        AddCombo(out, t, ComboBytes(TrackComboAt(track, ev.data1), channel));
      } else if (status == 0xD0) {
        out.push_back({t, {static_cast<uint8_t>(status | channel), ev.data1}});
      } else {
        out.push_back({t, {static_cast<uint8_t>(status | channel), ev.data1, ev.data2}});
      }
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

class PlayFileTest : public PlaybackTest {
 protected:
  // Plays the open piece from 0 to its end; returns what was sent while it
  // played, and checks that the end stopped it with nothing left sounding.
  std::vector<Timed> PlayWhole(SystemTime* asked, SystemTime* start) {
    const size_t before = Sent().size();
    *asked = platform.ClockNow();
    PlayFile(*app);
    EXPECT_TRUE(TransportRunning(*app));
    *start = app->engine.clock.baseTime.load();
    const size_t played = RunToStop();
    EXPECT_FALSE(TransportRunning(*app));
    const auto sent = Sent();
    std::vector<Timed> out;
    for (size_t i = before; i < played; ++i) out.push_back({sent[i].time, sent[i].bytes});
    std::sort(out.begin(), out.end());
    ExpectNoHangingNotes();
    return out;
  }
};

TEST_F(PlayFileTest, EveryPieceSendsExactlyItsEventsAtTheirTimesShapedByTempoAndTrackSettings) {
  struct Case {
    std::string piece;
    int32_t factor;
    bool shaped;  // track volume and transposition, master volume and transposition
  };
  std::vector<Case> cases;
  for (int piece = 0; piece < kBuiltinPieceCount; ++piece) {
    cases.push_back({BuiltinPieceName(piece), 4096, false});
  }
  for (int32_t factor : {2048, 8192, 4096 * 3 / 2}) cases.push_back({"Ecossaise", factor, true});
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.piece << " at " << c.factor);
    Open(c.piece);
    if (c.shaped) {
      app->piece.tracks[0].volume = 128;
      app->piece.tracks[0].transposition = 3;
      app->live.masterTranspose = -1;
      app->live.masterVolume = 200;
    }
    app->engine.clock.tempoFactor.store(c.factor);
    platform.RunFor(10);
    SystemTime asked = 0;
    SystemTime start = 0;
    const auto got = PlayWhole(&asked, &start);
    const auto expected = ExpectedPlayback(*app, asked, start, c.factor);
    ASSERT_GT(expected.size(), 100u);
    EXPECT_EQ(got, expected);
    EXPECT_GE(CurrentPosition(*app), app->piece.endPosition - 1);
  }
}

TEST_F(PlayFileTest, EqualTimesSendNoteOffsThenControllersThenNoteOns) {
  // Track 1 ends a note and track 2 starts one and changes a controller, all at
  // tick 480: the note-off leaves first, the controller next, the note-on last.
  SmfBuilder smf(1, 480);
  smf.Track().Tempo(0, 500000).TimeSig(0, 4, 2).End();
  smf.Track().Event(480, {0x91, 64, 100}).Event(480, {0x81, 64, 0}).End();
  smf.Track().Event(480, {0xB2, 7, 90}).End(480);
  smf.Track().Event(0, {0x90, 60, 90}).Event(480, {0x80, 60, 0}).End();
  OpenBytes(smf.Bytes());
  PlayFile(*app);
  const SystemTime start = app->engine.clock.baseTime.load();
  RunToStop();
  std::vector<Bytes> at500;
  for (const auto& m : Sent()) {
    if (m.time == start + 500 && m.bytes[0] < 0xF0) at500.push_back(m.bytes);
  }
  ASSERT_GE(at500.size(), 3u);
  EXPECT_EQ(at500[0], (Bytes{0x80, 60, 0}));
  EXPECT_EQ(at500[1], (Bytes{0xB2, 7, 90}));
  EXPECT_EQ(at500[2], (Bytes{0x91, 64, 100}));
}

}  // namespace
}  // namespace tuttiro::test
