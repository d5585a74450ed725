// The MIDI state at start and stop: chasing controllers, the program
// combination, pitch bend and held notes when starting mid-piece (halved in fast
// forward), the reset at stop, the panic commands and the SysEx modes.
#include <gtest/gtest.h>

#include "../piece/smf_builder.h"
#include "playback_fixture.h"
#include "transport/midi_state.h"

namespace tuttiro::test {
namespace {

// One beat is 500 ms. Channel 0: program 5, volume 80, sustain, a bend and a
// note held from 0 to 2000 ms; a short note at 500-750 ms.
Bytes ChasePiece() {
  SmfBuilder smf(1, 480);
  smf.Track().Tempo(0, 500000).TimeSig(0, 4, 2).End();
  smf.Track()
      .Event(0, {0xC0, 5})
      .Event(0, {0xB0, 7, 80})
      .Event(0, {0xB0, 64, 127})
      .Event(0, {0xE0, 0, 80})
      .Event(0, {0x90, 60, 100})
      .Event(480, {0x90, 64, 90})
      .Event(240, {0x80, 64, 0})
      .Event(1200, {0x80, 60, 0})
      .Event(480, {0x90, 62, 70})
      .Event(480, {0x80, 62, 0})
      .End();
  return smf.Bytes();
}

class StartStopState : public PlaybackTest {
 protected:
  void SetUp() override { OpenBytes(ChasePiece()); }
  std::vector<Bytes> StartAt(int32_t position, bool fastForward) {
    LocateAt(position);
    const size_t before = Sent().size();
    if (fastForward) {
      FastForward(*app);
    } else {
      PlayFile(*app);
    }
    return SentBytes(before);
  }
};

TEST_F(StartStopState, StartMidPieceSendsTheChasedStateAndHeldNotes) {
  const SystemTime asked = platform.ClockNow();
  const auto sent = StartAt(1000, false);
  EXPECT_EQ(sent, (std::vector<Bytes>{
                      {0xB0, 7, 80}, {0xB0, 64, 127}, {0xC0, 5}, {0xE0, 0, 80}, {0x90, 60, 100}}));
  // Three controller-like messages, nine bytes: a 50-byte step, 16 ms.
  EXPECT_EQ(app->engine.clock.baseTime.load(), asked + 16);
  const size_t before = Sent().size();
  StopTransport(*app);
  EXPECT_EQ(SentBytes(before), (std::vector<Bytes>{{0xB0, 120, 0},
                                                   {0xB0, 123, 0},
                                                   {0x80, 60, 64},
                                                   {0xE0, 0, 64},
                                                   {0xB0, 64, 0},
                                                   {0xB0, 7, 100}}));
}

TEST_F(StartStopState, FastForwardSoundsHeldNotesAtHalfVelocityAndTransposes) {
  app->live.masterTranspose = 2;
  const auto sent = StartAt(1000, true);
  EXPECT_EQ(sent.back(), (Bytes{0x90, 62, 50}));
  Run(400);  // four times the speed: 1600 units on, past the next note at 2500
  EXPECT_EQ(CountBytes(SentBytes(), {0x90, 64, 35}), 1);
  StopTransport(*app);
  ExpectNoHangingNotes();
}

TEST_F(StartStopState, WhatAStartSoundsDependsOnWhereAndOnTheHeldNotesOption) {
  struct Case {
    const char* what;
    int32_t position;
    bool soundHeld;
    std::vector<std::pair<Bytes, int>> counts;  // how often each message is sent
  };
  const Case cases[] = {
      {"a note-on at the start is played, not chased; the note ended at 2000 is not",
       2500,
       true,
       {{{0x90, 62, 70}, 1}, {{0x90, 60, 100}, 0}}},
      {"located back from later: what is at 0 is sent once, the note played not chased",
       0,
       true,
       {{{0x90, 60, 100}, 1}, {{0xB0, 7, 80}, 1}}},
      {"held notes option off", 1000, false, {{{0x90, 60, 100}, 0}, {{0xB0, 7, 80}, 1}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    app->system.soundHeldNotes = c.soundHeld;
    LocateAt(2200);
    const auto sent = StartAt(c.position, false);
    for (const auto& [bytes, count] : c.counts) EXPECT_EQ(CountBytes(sent, bytes), count);
    StopTransport(*app);
    ExpectNoHangingNotes();
  }
}

TEST_F(StartStopState, TransposedOutOfRangeIsNeitherSoundedNorReleased) {
  app->piece.tracks[0].transposition = 70;  // 60 + 70 > 127
  const auto sent = StartAt(1000, false);
  EXPECT_EQ(sent.size(), 4u);  // controllers, program, bend: no note
  const size_t before = Sent().size();
  StopTransport(*app);
  for (const Bytes& b : SentBytes(before)) EXPECT_NE(b[0] & 0xF0, 0x80);
}

TEST_F(StartStopState, MidiThruLimitsTheSilencingToPlayingTracks) {
  app->system.midiThru = 1;
  app->piece.tracks[0].play = 0;
  StartAt(1000, false);
  const size_t before = Sent().size();
  StopTransport(*app);
  EXPECT_EQ(SentBytes(before), (std::vector<Bytes>{}));
}

TEST_F(StartStopState, ProgramCombinationsSendBankAndProgramOrTheSubstitute) {
  TrackRec& track = app->piece.tracks[0];
  track.programCombos[0].file = {kComboBank0And32, {1, 2, 3}};
  track.programCombos[0].substitute = {kComboProgramPair, {101, 7, 0}};
  track.programState[0] = 0;
  app->engine.scheduler.listedTracks = {0};
  SoundStartState(*app, 0);
  EXPECT_EQ(CountBytes(SentBytes(), {0xB0, 32, 2}), 1);
  track.substitutePrograms = 1;
  const size_t before = Sent().size();
  SoundStartState(*app, 0);
  const auto sent = SentBytes(before);
  EXPECT_EQ(CountBytes(sent, {0xC0, 101}), 1);
  EXPECT_EQ(CountBytes(sent, {0xC0, 7}), 1);
}

TEST_F(StartStopState, AllNotesOffAndMidiReset) {
  AllNotesOff(*app);
  const auto sent = SentBytes();
  EXPECT_EQ(sent.size(), 16u * 2 + 16u * 128);
  EXPECT_EQ(sent[0], (Bytes{0xB0, 120, 0}));
  EXPECT_EQ(sent.back(), (Bytes{0x9F, 127, 0}));
  EXPECT_EQ(host.waitCursor, (std::vector<bool>{true, false}));
  EXPECT_TRUE(app->engine.commands.enabled[kCmdAllNotesOff].load());

  host.answerOk = false;
  const size_t before = Sent().size();
  MidiReset(*app);
  EXPECT_EQ(Sent().size(), before);
  host.answerOk = true;
  MidiReset(*app);
  const auto reset = SentBytes(before);
  ASSERT_EQ(reset.size(), 6u);
  EXPECT_EQ(reset[0], (Bytes{0xFF}));
  EXPECT_EQ(reset[1], (Bytes{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}));
  EXPECT_EQ(host.questions.size(), 2u);
}

TEST_F(StartStopState, SysexModes) {
  SmfBuilder smf(1, 480);
  smf.Track().Tempo(0, 500000).TimeSig(0, 4, 2).End();
  smf.Track()
      .Raw({0x00, 0xF0, 0x03, 0x41, 0x01, 0xF7})  // at 0: before the first channel event
      .Event(0, {0x90, 60, 100})
      .Raw({0x83, 0x60, 0xF0, 0x03, 0x41, 0x02, 0xF7})  // at 500 ms
      .Event(480, {0x80, 60, 0})
      .Raw({0x83, 0x60, 0xF0, 0x03, 0x41, 0x03, 0xF7})  // after the last channel event
      .End();
  app->system.sysexMode = 0;
  const size_t atOpen = Sent().size();
  OpenBytes(smf.Bytes());
  EXPECT_EQ(CountBytes(SentBytes(atOpen), {0xF0, 0x41, 0x01, 0xF7}), 1);
  PlayFile(*app);
  RunToStop();
  auto sent = SentBytes(atOpen);
  EXPECT_EQ(CountBytes(sent, {0xF0, 0x41, 0x02, 0xF7}), 1);
  EXPECT_EQ(CountBytes(sent, {0xF0, 0x41, 0x03, 0xF7}), 0);
  const size_t beforeClose = Sent().size();
  SendClosingSysEx(*app);
  EXPECT_EQ(SentBytes(beforeClose), (std::vector<Bytes>{{0xF0, 0x41, 0x03, 0xF7}}));

  app->system.sysexMode = 2;  // all of them at every start
  LocateAt(0);
  const size_t beforeStart = Sent().size();
  PlayFile(*app);
  EXPECT_EQ(CountBytes(SentBytes(beforeStart), {0xF0, 0x41, 0x03, 0xF7}), 1);
  StopTransport(*app);
}

}  // namespace
}  // namespace tuttiro::test
