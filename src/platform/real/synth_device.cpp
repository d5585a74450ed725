// FluidSynth behind the synthesizer device: MIDI messages become FluidSynth
// calls; audio goes to the first desktop output that opens.
#include "platform/real/synth_device.h"

#include <fluidsynth.h>
#include <jack/jack.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <mutex>

namespace tuttiro {

namespace {

// FluidSynth logs to stderr by default; the program reports through its own
// messages instead. This is process-wide, as FluidSynth's logging is.
void SilenceFluidSynth() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level) {
      fluid_set_log_function(level, nullptr, nullptr);
    }
  });
}

// What JACK adds between a client's output and the speakers: the physical
// playback port's latency and the one period a client renders ahead. 0 when
// it cannot be asked.
int JackPlaybackLatencyMs() {
  jack_client_t* client = jack_client_open("tuttiro-latency", JackNoStartServer, nullptr);
  if (client == nullptr) return 0;
  int ms = 0;
  const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                      JackPortIsPhysical | JackPortIsInput);
  const jack_nframes_t rate = jack_get_sample_rate(client);
  if (ports != nullptr && ports[0] != nullptr && rate > 0) {
    jack_latency_range_t range{};
    jack_port_get_latency_range(jack_port_by_name(client, ports[0]), JackPlaybackLatency, &range);
    const double frames = static_cast<double>(range.max) + jack_get_buffer_size(client);
    ms = static_cast<int>(frames * 1000.0 / rate + 0.5);
  }
  if (ports != nullptr) jack_free(ports);
  jack_client_close(client);
  return ms;
}

}  // namespace

struct SynthDevice::Fluid {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  fluid_audio_driver_t* audio = nullptr;
  int soundfontId = FLUID_FAILED;

  ~Fluid() {
    if (audio != nullptr) delete_fluid_audio_driver(audio);
    if (synth != nullptr) delete_fluid_synth(synth);
    if (settings != nullptr) delete_fluid_settings(settings);
  }
};

std::string FindSoundfont() {
  namespace fs = std::filesystem;
  std::error_code error;
  for (const char* known :
       {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
        "/usr/share/sounds/sf2/TimGM6mb.sf2"}) {
    if (fs::is_regular_file(known, error)) return known;
  }
  for (const char* folder : {"/usr/share/sounds/sf2", "/usr/share/soundfonts"}) {
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      if (it->path().extension() == ".sf2" && it->is_regular_file(error)) return it->path();
    }
    error.clear();
  }
  return {};
}

SynthDevice::SynthDevice(SynthOptions options) : options_(std::move(options)) {}

SynthDevice::~SynthDevice() = default;

MidiResult SynthDevice::Open() {
  if (fluid_) return kMidiAllocated;
  SilenceFluidSynth();
  const std::string soundfont = SoundfontPath();
  if (soundfont.empty()) return kMidiBadDevice;

  auto fluid = std::make_unique<Fluid>();
  fluid->settings = new_fluid_settings();
  if (fluid->settings == nullptr) return kMidiAllocated;
  fluid_settings_setnum(fluid->settings, "synth.gain", 0.4);
  fluid->synth = new_fluid_synth(fluid->settings);
  if (fluid->synth == nullptr) return kMidiAllocated;
  fluid->soundfontId = fluid_synth_sfload(fluid->synth, soundfont.c_str(), 1);
  if (fluid->soundfontId == FLUID_FAILED) return kMidiAllocated;
  if (options_.audio) OpenAudio(*fluid);
  fluid_ = std::move(fluid);
  return kMidiOk;
}

void SynthDevice::OpenAudio(Fluid& fluid) {
  // The desktop's usual outputs in order of preference; ALSA only where
  // there is a sound card, JACK only where a server already runs (FluidSynth
  // must not start one).
  std::vector<const char*> drivers = {"pipewire", "pulseaudio"};
  if (access("/dev/snd", F_OK) == 0) drivers.push_back("alsa");
  if (options_.jackRunning) drivers.push_back("jack");
  // Through JACK the synthesizer's outputs are connected to the playback ports, as
  // every other audio output plays to the speakers: unconnected, it would render
  // in silence.
  fluid_settings_setint(fluid.settings, "audio.jack.autoconnect", 1);
  const char* opened = nullptr;
  for (const char* driver : drivers) {
    if (fluid_settings_setstr(fluid.settings, "audio.driver", driver) == FLUID_FAILED) continue;
    fluid.audio = new_fluid_audio_driver(fluid.settings, fluid.synth);
    if (fluid.audio != nullptr) {
      opened = driver;
      break;
    }
  }
  if (fluid.audio == nullptr) {
    silent_.store(true, std::memory_order_release);
    return;
  }
  // Through JACK, FluidSynth renders in JACK's periods, not its own buffers.
  if (std::strcmp(opened, "jack") == 0) {
    latencyMs_.store(JackPlaybackLatencyMs(), std::memory_order_release);
    return;
  }
  // What the audio buffers add: periods of period-size frames at the sample rate.
  int periods = 0;
  int periodSize = 0;
  double rate = 0;
  fluid_settings_getint(fluid.settings, "audio.periods", &periods);
  fluid_settings_getint(fluid.settings, "audio.period-size", &periodSize);
  fluid_settings_getnum(fluid.settings, "synth.sample-rate", &rate);
  if (rate > 0) {
    latencyMs_.store(static_cast<int>(periods * periodSize * 1000.0 / rate + 0.5),
                     std::memory_order_release);
  }
}

bool SynthDevice::SetSoundfont(const std::string& path) {
  if (!fluid_) {
    options_.soundfont = path;
    return true;
  }
  const std::string file = path.empty() ? FindSoundfont() : path;
  if (file.empty()) return false;
  const int id = fluid_synth_sfload(fluid_->synth, file.c_str(), 1);
  if (id == FLUID_FAILED) return false;
  fluid_synth_sfunload(fluid_->synth, fluid_->soundfontId, 1);
  fluid_->soundfontId = id;
  options_.soundfont = path;
  return true;
}

std::string SynthDevice::SoundfontPath() const {
  return options_.soundfont.empty() ? FindSoundfont() : options_.soundfont;
}

void SynthDevice::Close() {
  fluid_.reset();
  silent_.store(false, std::memory_order_release);
  latencyMs_.store(0, std::memory_order_release);
}

MidiResult SynthDevice::Send(const uint8_t* bytes, size_t length) {
  if (!fluid_) return kMidiInvalidHandle;
  fluid_synth_t* synth = fluid_->synth;
  const uint8_t status = bytes[0];
  if (status == 0xF0) {
    // FluidSynth takes the body without F0 and F7; messages it does not
    // understand are ignored, as a hardware synthesizer would.
    if (length > 2) {
      fluid_synth_sysex(synth, reinterpret_cast<const char*>(bytes + 1),
                        static_cast<int>(length - 2), nullptr, nullptr, nullptr, 0);
    }
    return kMidiOk;
  }
  const int channel = status & 0x0F;
  const int data1 = length > 1 ? bytes[1] : 0;
  const int data2 = length > 2 ? bytes[2] : 0;
  // Results are not checked: a note on a channel without an instrument is
  // not a failure to deliver the message.
  switch (status & 0xF0) {
    case 0x80:
      fluid_synth_noteoff(synth, channel, data1);
      break;
    case 0x90:
      fluid_synth_noteon(synth, channel, data1, data2);
      break;
    case 0xA0:
      fluid_synth_key_pressure(synth, channel, data1, data2);
      break;
    case 0xB0:
      fluid_synth_cc(synth, channel, data1, data2);
      break;
    case 0xC0:
      fluid_synth_program_change(synth, channel, data1);
      break;
    case 0xD0:
      fluid_synth_channel_pressure(synth, channel, data1);
      break;
    case 0xE0:
      fluid_synth_pitch_bend(synth, channel, data1 | data2 << 7);
      break;
    default:
      if (status == 0xFF) fluid_synth_system_reset(synth);  // MIDI Reset
      break;
  }
  return kMidiOk;
}

bool SynthDevice::RenderOffline(float* left, float* right, int frames) {
  if (!fluid_ || fluid_->audio != nullptr) return false;
  return fluid_synth_write_float(fluid_->synth, frames, left, 0, 1, right, 0, 1) == FLUID_OK;
}

}  // namespace tuttiro
