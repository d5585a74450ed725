// The Tracks dialog's rules.
#include "dialogs/tracks_dialog.h"

#include <algorithm>

#include "dialogs/dialogs.h"
#include "dialogs/tempo_dialogs.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kVolumePercentLimit = 150;
constexpr int kPlayChoices[] = {kPlayTrack, kMuteTrack};

TrackValues& Current(TracksDialog& d) {
  return d.working[static_cast<size_t>(d.current)];
}

void ShowTrack(TracksDialog& d) {
  DialogModel& m = d.model;
  const TrackValues& t = Current(d);
  m[kTrackList].selection = d.current;
  m[kTrackName].text = ShownName(t);
  m[kTrackPort].selection = t.outputPort < 8 ? t.outputPort : -1;
  m[kTrackChannel].selection = t.outputChannel < 16 ? t.outputChannel : -1;
  m.CheckRadio(kPlayChoices, t.play ? kPlayTrack : kMuteTrack);
  m[kTrackTranspose].text = ShowHalfSteps(t.transposition);
  m[kTrackVolumeField].text = std::to_string(VolumePercentOf(t.volume));
}

FieldValue Transposition(const DialogModel& m) {
  return ReadHalfSteps(m.Text(kTrackTranspose));
}

FieldValue VolumePercent(const DialogModel& m) {
  FieldValue v = ReadInteger(m.Text(kTrackVolumeField), true, false);
  v.ok = v.ok && v.value >= 0 && v.value <= kVolumePercentLimit;
  return v;
}

// The enabling of the three resets and the OK state; true when it beeps.
bool Validate(TracksDialog& d) {
  DialogModel& m = d.model;
  const FieldValue transpose = Transposition(m);
  const FieldValue volume = VolumePercent(m);
  const std::string& name = m.Text(kTrackName);
  m.Enable({kResetTranspose}, transpose.ok && transpose.value != 0);
  const FieldValue percent = ReadInteger(m.Text(kTrackVolumeField), true, false);
  m.Enable({kResetVolume}, !(percent.ok && percent.value == 100));
  m.Enable({kResetToOriginalName}, name != Current(d).name);
  if (!transpose.ok) return m.ok.Set({OkState::kInvalid, HalfStepRule()});
  if (!volume.ok)
    return m.ok.Set({OkState::kInvalid, RangeRule("The volume", 0, kVolumePercentLimit, " %")});
  if (name.empty()) return m.ok.Set({OkState::kInvalid, "The track needs a name."});
  return m.ok.Set(OkState::kValid);
}

// The controls into the working copy; only called with valid entries.
void StoreTrack(TracksDialog& d) {
  const DialogModel& m = d.model;
  TrackValues& t = Current(d);
  const std::string& name = m.Text(kTrackName);
  if (name != t.name) {
    t.userName = name;
  } else {
    t.userName.reset();
  }
  t.transposition = static_cast<int16_t>(Transposition(m).value);
  t.play = m.Checked(kPlayTrack) ? 1 : 0;
  t.volume = VolumeOfPercent(VolumePercent(m).value);
  if (m.Selection(kTrackChannel) >= 0)
    t.outputChannel = static_cast<uint16_t>(m.Selection(kTrackChannel));
  if (m.Selection(kTrackPort) >= 0) t.outputPort = static_cast<uint16_t>(m.Selection(kTrackPort));
  d.model[kTrackList].items[static_cast<size_t>(d.current)] = ShownName(t);
}

void ResetTrack(TrackValues& t) {
  t.userName.reset();
  t.transposition = 0;
  t.volume = 256;
  t.substitutePrograms = 0;
  t.play = 1;
  t.outputChannel = static_cast<uint16_t>(std::clamp<int>(t.fileChannel, 0, 15));
}

// Switching tracks is refused with a beep while an entry is invalid.
bool ChooseTrack(TracksDialog& d) {
  DialogModel& m = d.model;
  const int chosen = m.Selection(kTrackList);
  if (m.ok.state == OkState::kInvalid) {
    m[kTrackList].selection = d.current;
    return true;
  }
  if (chosen < 0 || chosen >= static_cast<int>(d.working.size())) {
    m[kTrackList].selection = d.current;
    return false;
  }
  StoreTrack(d);
  d.current = chosen;
  ShowTrack(d);
  return false;
}

// The buttons' actions on the fields or on the working copy.
void Act(TracksDialog& d, int id) {
  DialogModel& m = d.model;
  switch (id) {
    case kResetToOriginalName:
      m[kTrackName].text = Current(d).name;
      break;
    case kResetTranspose:
      m[kTrackTranspose].text.clear();
      break;
    case kResetVolume:
      m[kTrackVolumeField].text = "100";
      break;
    case kResetTrack:
      ResetTrack(Current(d));
      ShowTrack(d);
      break;
    case kUndoChanges:
      Current(d) = d.committed[static_cast<size_t>(d.current)];
      ShowTrack(d);
      break;
    default:
      break;
  }
}

}  // namespace

int VolumePercentOf(int volume) {
  return (volume * 100 + 128) / 256;
}

uint16_t VolumeOfPercent(int percent) {
  return static_cast<uint16_t>((percent * 256 + 50) / 100);
}

TracksDialog OpenTracks(const std::vector<TrackValues>& tracks,
                        const std::vector<std::string>& portNames, int track) {
  TracksDialog d;
  d.working = tracks;
  d.committed = tracks;
  DialogModel& m = d.model;
  for (const TrackValues& t : tracks) m[kTrackList].items.push_back(ShownName(t));
  m[kTrackPort].items = PortList(portNames);
  m[kTrackChannel].items = ChannelList();
  if (tracks.empty()) {
    m.ok.Set(OkState::kIncomplete);
    return d;
  }
  d.current = std::clamp(track, 0, static_cast<int>(tracks.size()) - 1);
  ShowTrack(d);
  Validate(d);
  return d;
}

bool TracksCommand(TracksDialog& d, int id) {
  if (d.working.empty()) return false;
  if (id == kTrackList) {
    if (ChooseTrack(d)) return true;
  } else {
    Act(d, id);
  }
  const bool beep = Validate(d);
  if (d.model.ok.enabled()) StoreTrack(d);
  return beep;
}

}  // namespace tuttiro
