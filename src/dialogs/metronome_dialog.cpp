// The MIDI Metronome dialog's rules.
#include "dialogs/metronome_dialog.h"

#include <tuple>

#include "dialogs/dialogs.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kOnOff[] = {kMetronomeOn, kMetronomeOff};
constexpr uint8_t kNoValue = 255;
constexpr int kDataLimit = 128;
constexpr int kPortCount = 8;

// An empty field or a MIDI data byte.
FieldValue ReadDataByte(const std::string& text) {
  FieldValue v = ReadInteger(text, false, true);
  if (v.value >= kDataLimit) v.ok = false;
  return v;
}

OkVerdict ComputeOk(const DialogModel& m) {
  bool incomplete = false;
  if (!ReadDataByte(m.Text(kMetronomePatch)).ok)
    return {OkState::kInvalid, RangeRule("The patch", 0, kDataLimit - 1)};
  for (auto [noteId, velocityId] :
       {std::pair{kDownbeatNote, kDownbeatVelocity}, std::pair{kBeatNote, kBeatVelocity}}) {
    const FieldValue note = ReadNote(m.Text(noteId), true);
    const FieldValue velocity = ReadDataByte(m.Text(velocityId));
    if (!note.ok) return {OkState::kInvalid, NoteRule("A click's note")};
    if (!velocity.ok) return {OkState::kInvalid, RangeRule("A velocity", 0, kDataLimit - 1)};
    incomplete |= !note.empty && velocity.empty;
  }
  if (incomplete) return {OkState::kIncomplete, "Give a velocity for each click's note."};
  return {};
}

void ApplyEnabling(DialogModel& m) {
  const bool on = m.Checked(kMetronomeOn);
  m.Enable({kMetronomePort, kMetronomeChannel, kMetronomePatch, kDownbeatNote, kDownbeatVelocity,
            kBeatNote, kBeatVelocity, kMetronomeCapture},
           on);
  for (int label = kMetronomeLabelFirst; label <= kMetronomeLabelLast; ++label) {
    m.Enable({label}, on);
  }
}

void ShowRow(MetronomeDialog& dialog, int noteId, int velocityId, uint8_t note, uint8_t velocity) {
  const bool given = note < kDataLimit;
  dialog.model[noteId].text = given ? ShowNote(note, dialog.flats) : std::string();
  dialog.model[velocityId].text =
      given && velocity < kDataLimit ? std::to_string(velocity) : std::string();
}

// The row as stored: both 255 when the note field is empty.
std::pair<uint8_t, uint8_t> StoreRow(const DialogModel& m, int noteId, int velocityId) {
  const FieldValue note = ReadNote(m.Text(noteId), true);
  const FieldValue velocity = ReadDataByte(m.Text(velocityId));
  if (!note.ok || note.empty) return {kNoValue, kNoValue};
  return {static_cast<uint8_t>(note.value),
          velocity.ok && !velocity.empty ? static_cast<uint8_t>(velocity.value) : kNoValue};
}

}  // namespace

MetronomeDialog OpenMetronome(const MetronomeValues& v, const std::vector<std::string>& ports,
                              bool flats) {
  MetronomeDialog dialog;
  dialog.flats = flats;
  dialog.storedPort = v.port;
  DialogModel& m = dialog.model;
  m[kMetronomeChannel].items = ChannelList();
  m[kMetronomeChannel].selection = v.channel < 16 ? v.channel : 0;
  m[kMetronomePort].items = ports;
  m[kMetronomePort].selection = v.port < kPortCount ? v.port : -1;
  m.CheckRadio(kOnOff, v.on ? kMetronomeOn : kMetronomeOff);
  m[kMetronomePatch].text = v.patch < kDataLimit ? std::to_string(v.patch) : std::string();
  ShowRow(dialog, kDownbeatNote, kDownbeatVelocity, v.downbeatNote, v.downbeatVelocity);
  ShowRow(dialog, kBeatNote, kBeatVelocity, v.beatNote, v.beatVelocity);
  m[kMetronomeCapture].checked = false;
  MetronomeCommand(dialog, 0);
  return dialog;
}

bool MetronomeCommand(MetronomeDialog& dialog, int id) {
  if (id == kDownbeatNote || id == kDownbeatVelocity) dialog.downbeatRow = true;
  if (id == kBeatNote || id == kBeatVelocity) dialog.downbeatRow = false;
  ApplyEnabling(dialog.model);
  return dialog.model.ok.Set(ComputeOk(dialog.model));
}

bool MetronomeCaptureOn(const MetronomeDialog& dialog) {
  return dialog.model.Checked(kMetronomeCapture) && dialog.model.Checked(kMetronomeOn);
}

std::optional<MetronomeAudition> MetronomeCapture(MetronomeDialog& dialog, uint32_t message,
                                                  bool& beep) {
  beep = false;
  if (!MetronomeCaptureOn(dialog)) return std::nullopt;
  DialogModel& m = dialog.model;
  const uint8_t status = message & 0xF0;
  const uint8_t data1 = (message >> 8) & 0x7F;
  const uint8_t data2 = (message >> 16) & 0x7F;
  if (status == 0xC0) {
    m[kMetronomePatch].text = std::to_string(data1);
    beep = MetronomeCommand(dialog, 0);
    return std::nullopt;
  }
  if (status != 0x90) return std::nullopt;
  const int noteId = dialog.downbeatRow ? kDownbeatNote : kBeatNote;
  m[noteId].text = ShowNote(data1, dialog.flats);
  m[noteId + 1].text = std::to_string(data2);
  beep = MetronomeCommand(dialog, 0);
  MetronomeAudition click;
  const int port = m.Selection(kMetronomePort);
  click.port = port >= 0 ? port : dialog.storedPort;
  const uint32_t channel = static_cast<uint32_t>(m.Selection(kMetronomeChannel)) & 0x0F;
  const FieldValue patch = ReadDataByte(m.Text(kMetronomePatch));
  if (patch.ok && !patch.empty) {
    click.programChange = 0xC0u | channel | static_cast<uint32_t>(patch.value) << 8;
  }
  click.noteOn =
      0x90u | channel | static_cast<uint32_t>(data1) << 8 | static_cast<uint32_t>(data2) << 16;
  return click;
}

MetronomeValues StoreMetronome(const MetronomeDialog& dialog) {
  const DialogModel& m = dialog.model;
  MetronomeValues v;
  v.on = m.Checked(kMetronomeOn) ? 1 : 0;
  const int port = m.Selection(kMetronomePort);
  v.port = port >= 0 ? static_cast<uint16_t>(port) : dialog.storedPort;
  v.channel = static_cast<uint8_t>(m.Selection(kMetronomeChannel) & 0x0F);
  const FieldValue patch = ReadDataByte(m.Text(kMetronomePatch));
  v.patch = patch.ok && !patch.empty ? static_cast<uint8_t>(patch.value) : kNoValue;
  std::tie(v.downbeatNote, v.downbeatVelocity) = StoreRow(m, kDownbeatNote, kDownbeatVelocity);
  std::tie(v.beatNote, v.beatVelocity) = StoreRow(m, kBeatNote, kBeatVelocity);
  return v;
}

}  // namespace tuttiro
