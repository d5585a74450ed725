// The Performance Settings dialog's rules.
#include "dialogs/performance_dialog.h"

#include <algorithm>

#include "dialogs/dialogs.h"
#include "dialogs/program_combo_fields.h"

namespace tuttiro {
namespace {

using namespace dialogs;

constexpr int kOutputChoices[] = {kFollowingTrackOutput, kOwnPort};
constexpr ComboControls kProgram{kPerformanceKind,
                                 {kPerformanceValue1, kPerformanceValue2, kPerformanceValue3},
                                 0,
                                 0,
                                 kPerformanceValuesLabel};
constexpr int kTempoLists[] = {kTempoBefore, kTempoDuring, kTempoAfter};

const std::vector<std::string> kModes = {
    "Performance Overdubbed on Following Track (Punch-In)",
    "Performance Overdubbed on Following Track (Sound on Sound)",
    "Performance Instead of Following Track (Overwrite)", "Only the Following Track"};
const std::vector<std::string> kTempoChoices[] = {
    {"Use File's Original Tempo", "Use Average Performed Tempo"},
    {"Use File's Original Tempo", "Use Performed Tempos"},
    {"Use File's Original Tempo", "Use Average Performed Tempo", "Use Last Performed Tempo"}};

int Chosen(const DialogModel& m, int id, int fallback) {
  const int index = m.Selection(id);
  return index >= 0 && index < static_cast<int>(m.controls.at(id).items.size()) ? index : fallback;
}

int Listed(int value, size_t count) {
  return value >= 0 && static_cast<size_t>(value) < count ? value : 0;
}

}  // namespace

PerformanceDialog OpenPerformance(const PerformanceValues& v,
                                  const std::vector<std::string>& portNames) {
  PerformanceDialog d;
  DialogModel& m = d.model;
  m[kPerformanceMode].items = kModes;
  m[kPerformanceMode].selection = Listed(v.performancePlayback, kModes.size());
  m[kPlayTappedNotes].checked = v.playTappedNotes != 0;
  m.CheckRadio(kOutputChoices, v.usesOwnPort ? kOwnPort : kFollowingTrackOutput);
  m[kPerformancePort].items = PortList(portNames);
  m[kPerformancePort].selection = Listed(v.outputPort, 8);
  m[kPerformanceChannel].items = ChannelList();
  m[kPerformanceChannel].selection = Listed(v.outputChannel, 16);
  for (size_t i = 0; i < 3; ++i) {
    m[kTempoLists[i]].items = kTempoChoices[i];
    m[kTempoLists[i]].selection = Listed(v.performanceTempo[i], kTempoChoices[i].size());
  }
  ShowCombo(m, kProgram, v.program);
  PerformanceCommand(d, 0);
  return d;
}

bool PerformanceCommand(PerformanceDialog& d, int id) {
  DialogModel& m = d.model;
  if (id == kPerformanceKind) ComboKindChosen(m, kProgram);
  m.Enable({kPerformancePort, kPerformanceChannel, kPerformanceKind, kPerformanceValue1,
            kPerformanceValue2, kPerformanceValue3, kPerformanceValuesLabel},
           m.Checked(kOwnPort));
  // The program is checked even while its controls are disabled.
  return m.ok.Set(ComboState(m, kProgram));
}

PerformanceValues StorePerformance(const PerformanceDialog& d) {
  const DialogModel& m = d.model;
  PerformanceValues v;
  v.performancePlayback = static_cast<uint16_t>(Chosen(m, kPerformanceMode, 0));
  v.playTappedNotes = m.Checked(kPlayTappedNotes) ? 1 : 0;
  v.usesOwnPort = m.Checked(kOwnPort) ? 1 : 0;
  v.outputPort = static_cast<uint16_t>(Chosen(m, kPerformancePort, 0));
  v.outputChannel = static_cast<uint16_t>(Chosen(m, kPerformanceChannel, 0));
  v.program = ReadCombo(m, kProgram).value_or(ProgramCombo{});
  for (size_t i = 0; i < 3; ++i) {
    v.performanceTempo[i] = static_cast<uint16_t>(Chosen(m, kTempoLists[i], 0));
  }
  return v;
}

}  // namespace tuttiro
