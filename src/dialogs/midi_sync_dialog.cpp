// The MIDI & Sync Setup dialog's rules.
#include "dialogs/midi_sync_dialog.h"

#include "dialogs/dialogs.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr uint16_t kAllPorts = 65534;
constexpr uint16_t kSameChannel = 65533;
constexpr int kFrameTypes = 4;
const char* const kFrameTypeNames[kFrameTypes] = {"24 fps", "25 fps", "30 fps (drop frame)",
                                                  "30 fps (no drop frame)"};

// Radio groups; a SysEx timing's stored code is 2, 1, 0 in this order.
constexpr int kSysexTimings[] = {kSysexEveryTime, kSysexAsTheyAppear, kSysexWhenOpened};
constexpr int kThruChoices[] = {kThruOn, kThruOff};
constexpr int kSyncKinds[] = {kMidiClockSync, kTimeCodeSync};

// Entry 0 is every port; a setting no list entry stands for (a damaged
// settings file) shows port A, the default.
int PortEntry(uint16_t port) {
  if (port == kAllPorts) return 0;
  return port < 8 ? port + 1 : 1;
}

uint16_t PortOfEntry(int entry) {
  return entry <= 0 || entry > 8 ? kAllPorts : static_cast<uint16_t>(entry - 1);
}

void ApplyEnabling(DialogModel& m) {
  const bool sysex = m.Checked(kTransmitSysex);
  const bool thru = m.Checked(kThruOn);
  const bool sync = m.Checked(kTransmitSync);
  m.Enable({kSysexEveryTime, kSysexAsTheyAppear, kSysexWhenOpened, kSysexPort, kSysexPortLabel},
           sysex);
  m.Enable({kThruChannel, kThruPort, kThruChannelLabel, kThruPortLabel, kThruProcessFirst}, thru);
  m.Enable({kMidiClockSync, kTimeCodeSync, kSyncPort, kSyncPortLabel}, sync);
  m.Enable({kFrameType, kFrameTypeLabel}, sync && m.Checked(kTimeCodeSync));
}

}  // namespace

MidiSyncDialog OpenMidiSync(const MidiSyncValues& v,
                            const std::vector<std::string>& outputDeviceNames) {
  MidiSyncDialog dialog;
  DialogModel& m = dialog.model;
  std::vector<std::string> ports{"All Available Ports"};
  for (std::string& entry : PortList(outputDeviceNames)) ports.push_back(std::move(entry));
  std::vector<std::string> channels{"Same as Input"};
  for (std::string& entry : ChannelList()) channels.push_back(std::move(entry));
  for (int list : {kSysexPort, kThruPort, kSyncPort}) m[list].items = ports;
  m[kThruChannel].items = channels;
  m[kFrameType].items.assign(kFrameTypeNames, kFrameTypeNames + kFrameTypes);

  m[kTransmitSysex].checked = v.transmitSysex != 0;
  m.CheckRadio(kSysexTimings, kSysexTimings[2 - (v.sysexMode <= 2 ? v.sysexMode : 0)]);
  m[kSysexPort].selection = PortEntry(v.sysexPort);
  m[kSoundHeldNotes].checked = v.soundHeldNotes != 0;
  m.CheckRadio(kThruChoices, v.midiThru ? kThruOn : kThruOff);
  m[kThruChannel].selection = v.thruChannel < 16 ? v.thruChannel + 1 : 0;
  m[kThruPort].selection = PortEntry(v.thruPort);
  m[kThruProcessFirst].checked = v.thruProcessFirst != 0;
  m[kTransmitSync].checked = v.transmitSync != 0;
  m[kSyncPort].selection = PortEntry(v.syncPort);
  m.CheckRadio(kSyncKinds, v.syncType == 1 ? kTimeCodeSync : kMidiClockSync);
  m[kFrameType].selection = v.frameRate < kFrameTypes ? v.frameRate : 3;
  MidiSyncCommand(dialog);
  return dialog;
}

bool MidiSyncCommand(MidiSyncDialog& dialog) {
  ApplyEnabling(dialog.model);
  return dialog.model.ok.Set(OkState::kValid);
}

MidiSyncValues StoreMidiSync(const MidiSyncDialog& dialog) {
  const DialogModel& m = dialog.model;
  MidiSyncValues v;
  v.transmitSysex = m.Checked(kTransmitSysex);
  const int timing = m.CheckedOf(kSysexTimings);
  v.sysexMode = timing == kSysexEveryTime ? 2 : timing == kSysexAsTheyAppear ? 1 : 0;
  v.sysexPort = PortOfEntry(m.Selection(kSysexPort));
  v.soundHeldNotes = m.Checked(kSoundHeldNotes);
  v.midiThru = m.Checked(kThruOn);
  const int channel = m.Selection(kThruChannel);
  v.thruChannel = channel >= 1 && channel <= 16 ? static_cast<uint16_t>(channel - 1) : kSameChannel;
  v.thruPort = PortOfEntry(m.Selection(kThruPort));
  v.thruProcessFirst = m.Checked(kThruProcessFirst);
  v.transmitSync = m.Checked(kTransmitSync);
  v.syncPort = PortOfEntry(m.Selection(kSyncPort));
  v.syncType = m.Checked(kTimeCodeSync) ? 1 : 0;
  const int frame = m.Selection(kFrameType);
  v.frameRate = frame >= 0 && frame < kFrameTypes ? static_cast<uint16_t>(frame) : 3;
  return v;
}

}  // namespace tuttiro
