// The built-in synthesizer: a note rendered offline is heard and dies away
// after its note-off; and on a machine without any audio output the
// synthesizer still opens, so the ports open and every message is taken.
#include "platform/real/synth_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "midi/midi_ports.h"
#include "platform/real/real_platform.h"

namespace tuttiro {
namespace {

// The loudest sample of the next frames the synthesizer renders.
float RenderPeak(SynthDevice& synth, int frames) {
  std::vector<float> left(frames), right(frames);
  EXPECT_TRUE(synth.RenderOffline(left.data(), right.data(), frames));
  float peak = 0;
  for (int i = 0; i < frames; ++i) peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
  return peak;
}

TEST(Synth, ANoteSoundsAndFallsSilentAfterItsNoteOff) {
  const std::string soundfont = FindSoundfont();
  ASSERT_FALSE(soundfont.empty()) << "install timgm6mb-soundfont";
  SynthDevice synth(SynthOptions{soundfont, false, false});
  ASSERT_EQ(synth.Open(), kMidiOk);
  constexpr int kBlock = 4410;       // 0.1 s at FluidSynth's default 44.1 kHz
  constexpr float kSilence = 1e-5f;  // about -100 dB

  EXPECT_LT(RenderPeak(synth, kBlock), kSilence);
  const uint8_t program[] = {0xC0, 0x00};
  const uint8_t noteOn[] = {0x90, 60, 100};
  const uint8_t noteOff[] = {0x80, 60, 0};
  const uint8_t gmOn[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  EXPECT_EQ(synth.Send(gmOn, sizeof gmOn), kMidiOk);
  EXPECT_EQ(synth.Send(program, sizeof program), kMidiOk);
  EXPECT_EQ(synth.Send(noteOn, sizeof noteOn), kMidiOk);
  EXPECT_GT(RenderPeak(synth, 5 * kBlock), 0.01f);

  EXPECT_EQ(synth.Send(noteOff, sizeof noteOff), kMidiOk);
  // The release and the reverb tail die away within a few seconds of audio.
  int blocks = 0;
  while (RenderPeak(synth, kBlock) >= kSilence && blocks < 100) ++blocks;
  EXPECT_LT(blocks, 100);
  EXPECT_GT(blocks, 0);  // the note did not stop dead
}

TEST(Synth, WithoutAnAudioOutputThePortsStillOpenOnItAndSend) {
  RealPlatformOptions options;
  options.alsa = false;
  options.jack = false;
  RealPlatform platform(options);
  MidiPortsRec ports(platform);
  ASSERT_EQ(platform.MidiOutDevice(0)->backend, MidiBackend::kSynth);
  EXPECT_TRUE(MidiOpenOutputs(ports, nullptr));
  EXPECT_EQ(MidiSend(ports, 0x643C90u, kMidiAllPorts, 0), kMidiOk);
  EXPECT_EQ(MidiSend(ports, 0x003C90u, 0, 0), kMidiOk);
  EXPECT_EQ(MidiSend(ports, 0x0000FFu, 0, 0), kMidiOk);  // MIDI Reset
  MidiCloseAll(ports);
}

// A synthesizer that plays into no audio output says so once (the ports
// dialog shows it as silent) and has no latency to add; one that is heard
// reports the latency of its audio buffers.
TEST(Synth, ItsSilenceIsReportedOnceAndItsLatencyOnlyWhenHeard) {
  class Messages : public MidiPortHost {
   public:
    void ShowMessage(const std::string& text) override { texts.push_back(text); }
    void SetMenuLabel(int, const std::string&) override {}
    void SetInputPortMenuLabel(int, const std::string&) override {}
    void CheckMenuItem(int, bool) override {}
    std::vector<std::string> texts;
  } host;
  RealPlatformOptions options;
  options.alsa = false;
  options.jack = false;
  RealPlatform platform(options);
  MidiPortsRec ports(platform);
  ASSERT_TRUE(MidiOpenOutputs(ports, &host));
  const MidiDeviceInfo synth = *platform.MidiOutDevice(0);
  EXPECT_EQ(platform.SynthOutputLatencyMs(), synth.latencyMs);
  EXPECT_EQ(synth.silent, synth.latencyMs == 0);
  EXPECT_EQ(MidiReportSilentSynth(ports, &host), synth.silent);
  EXPECT_FALSE(MidiReportSilentSynth(ports, &host));
  EXPECT_EQ(host.texts.size(), synth.silent ? 1u : 0u);
  MidiCloseAll(ports);
  EXPECT_EQ(platform.SynthOutputLatencyMs(), 0);
}

TEST(Synth, ASoundfontThatCannotBeLoadedLeavesTheOneInUsePlaying) {
  SynthDevice synth(SynthOptions{FindSoundfont(), false, false});
  ASSERT_EQ(synth.Open(), kMidiOk);
  EXPECT_FALSE(synth.SetSoundfont("/nonexistent/piano.sf2"));
  EXPECT_EQ(synth.SoundfontPath(), FindSoundfont());
  const uint8_t noteOn[] = {0x90, 60, 100};
  EXPECT_EQ(synth.Send(noteOn, sizeof noteOn), kMidiOk);
  EXPECT_GT(RenderPeak(synth, 4410), 0.01f);
  EXPECT_TRUE(synth.SetSoundfont("/usr/share/sounds/sf2/TimGM6mb.sf2"));
  EXPECT_EQ(synth.SoundfontPath(), "/usr/share/sounds/sf2/TimGM6mb.sf2");
}

}  // namespace
}  // namespace tuttiro
