// The track dialogs in Qt.
#include "ui/dialogs/track_dialogs.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/app.h"
#include "app/dialog_commit.h"
#include "app/dialog_commit_tracks.h"
#include "app/dialog_table.h"
#include "dialogs/banks_dialog.h"
#include "dialogs/dialogs.h"
#include "dialogs/performance_dialog.h"
#include "dialogs/tracks_dialog.h"
#include "ui/dialogs/model_dialog.h"

namespace tuttiro {
namespace {

using namespace dialogs;

// A button that puts something into a field and hands it the focus.
QPushButton* FieldButton(ModelDialog& d, int id, const QString& text, int field) {
  return d.Button(id, text, [&d, field] {
    if (QWidget* w = d.Control(field)) w->setFocus();
  });
}

// Value fields past the first have no label of their own: screen readers get a name.
void NameValueFields(ModelDialog& d, int second, int third) {
  d.Control(second)->setAccessibleName(QStringLiteral("Second value"));
  d.Control(third)->setAccessibleName(QStringLiteral("Third value"));
}

QLayout* TrackFields(ModelDialog& d) {
  auto* grid = new QGridLayout;
  QComboBox* tracks = d.Combo(kTrackList);
  tracks->setMinimumContentsLength(24);
  grid->addWidget(d.Label(0, QStringLiteral("Trac&k:"), tracks), 0, 0);
  grid->addWidget(tracks, 0, 1, 1, 3);
  QLineEdit* name = d.Field(kTrackName, 220);
  grid->addWidget(d.Label(0, QStringLiteral("&Name:"), name), 1, 0);
  grid->addWidget(name, 1, 1, 1, 2);
  grid->addWidget(
      FieldButton(d, kResetToOriginalName, QStringLiteral("Reset to &Original Name"), kTrackName),
      1, 3);
  QComboBox* port = d.Combo(kTrackPort);
  grid->addWidget(d.Label(0, QStringLiteral("Por&t:"), port), 2, 0);
  grid->addWidget(port, 2, 1, 1, 3);
  QComboBox* channel = d.Combo(kTrackChannel);
  grid->addWidget(d.Label(0, QStringLiteral("&Channel:"), channel), 3, 0);
  grid->addWidget(channel, 3, 1, 1, 3);
  QLineEdit* transpose = d.Field(kTrackTranspose);
  grid->addWidget(d.Label(0, QStringLiteral("Tr&anspose:"), transpose), 4, 0);
  grid->addWidget(transpose, 4, 1);
  grid->addWidget(d.Label(0, QStringLiteral("half-steps")), 4, 2);
  grid->addWidget(FieldButton(d, kResetTranspose, QStringLiteral("R&eset"), kTrackTranspose), 4, 3);
  // The follower compares the soloist with the written part, so a following
  // track's own transposition never changes what the soloist must play.
  QLabel* written = d.Label(0, QStringLiteral("Moves only what Tuttiro plays: a soloist "
                                              "following this track plays its written notes."));
  written->setWordWrap(true);
  grid->addWidget(written, 5, 1, 1, 3);
  QLineEdit* volume = d.Field(kTrackVolumeField);
  grid->addWidget(d.Label(0, QStringLiteral("&Volume:"), volume), 6, 0);
  grid->addWidget(volume, 6, 1);
  grid->addWidget(d.Label(0, QStringLiteral("%")), 6, 2);
  grid->addWidget(FieldButton(d, kResetVolume, QStringLiteral("&Reset"), kTrackVolumeField), 6, 3);
  return grid;
}

QLayout* BanksFields(ModelDialog& d) {
  auto* grid = new QGridLayout;
  QComboBox* tracks = d.Combo(kBanksTrackList);
  tracks->setMinimumContentsLength(24);
  grid->addWidget(d.Label(0, QStringLiteral("Trac&k:"), tracks), 0, 0);
  grid->addWidget(tracks, 0, 1, 1, 4);
  auto* choice = d.Group();
  grid->addWidget(d.Radio(kUseFilesPrograms, QStringLiteral("Use the &File's:"), choice), 1, 0, 1,
                  2);
  grid->addWidget(d.Radio(kSubstitutePrograms, QStringLiteral("&Substitute:"), choice), 1, 2, 1, 3);
  QListWidget* entries = d.List(kProgramEntries);
  entries->setMinimumWidth(380);
  grid->addWidget(
      d.Label(0, QStringLiteral("&Entries (the file's change, then its substitute):"), entries), 2,
      0, 1, 5);
  grid->addWidget(entries, 3, 0, 1, 5);
  QComboBox* kind = d.Combo(kNewChangeKind);
  grid->addWidget(d.Label(0, QStringLiteral("New &Change:"), kind), 4, 0);
  grid->addWidget(kind, 4, 1, 1, 4);
  QLineEdit* first = d.Field(kNewValue1, 50);
  auto* labels = new QHBoxLayout;
  labels->addWidget(d.Label(kNewValueLabel, QStringLiteral("New &Value:"), first));
  labels->addWidget(d.Label(kNewValuesLabel, QStringLiteral("New &Values:"), first));
  grid->addLayout(labels, 5, 0);
  grid->addWidget(first, 5, 1);
  grid->addWidget(d.Field(kNewValue2, 50), 5, 2);
  grid->addWidget(d.Field(kNewValue3, 50), 5, 3);
  NameValueFields(d, kNewValue2, kNewValue3);
  grid->addWidget(d.Button(kSetNew, QStringLiteral("Set &New"), [] {}), 5, 4);
  return grid;
}

QLayout* PerformanceOutput(ModelDialog& d) {
  auto* grid = new QGridLayout;
  auto* output = d.Group();
  grid->addWidget(
      d.Radio(kFollowingTrackOutput,
              QStringLiteral("Use the &Following Track's MIDI Output and Program Setting"), output),
      0, 0, 1, 5);
  grid->addWidget(d.Radio(kOwnPort, QStringLiteral("Use &MIDI Port:"), output), 1, 0);
  QComboBox* port = d.Combo(kPerformancePort);
  port->setAccessibleName(QStringLiteral("MIDI Port"));
  grid->addWidget(port, 1, 1, 1, 4);
  QComboBox* channel = d.Combo(kPerformanceChannel);
  grid->addWidget(d.Label(0, QStringLiteral("C&hannel:"), channel), 2, 0);
  grid->addWidget(channel, 2, 1, 1, 4);
  QComboBox* kind = d.Combo(kPerformanceKind);
  grid->addWidget(d.Label(0, QStringLiteral("Pro&gram:"), kind), 3, 0);
  grid->addWidget(kind, 3, 1, 1, 4);
  QLineEdit* first = d.Field(kPerformanceValue1, 50);
  grid->addWidget(d.Label(kPerformanceValuesLabel, QStringLiteral("Val&ues:"), first), 4, 0);
  grid->addWidget(first, 4, 1);
  grid->addWidget(d.Field(kPerformanceValue2, 50), 4, 2);
  grid->addWidget(d.Field(kPerformanceValue3, 50), 4, 3);
  NameValueFields(d, kPerformanceValue2, kPerformanceValue3);
  return grid;
}

QLayout* PerformanceTempo(ModelDialog& d) {
  auto* grid = new QGridLayout;
  const std::pair<int, const char*> rows[] = {{kTempoBefore, "&Before Performed Section:"},
                                              {kTempoDuring, "&During Performed Section:"},
                                              {kTempoAfter, "&After Performed Section:"}};
  int row = 0;
  for (const auto& [id, text] : rows) {
    QComboBox* list = d.Combo(id);
    grid->addWidget(d.Label(0, QString::fromUtf8(text), list), row, 0);
    grid->addWidget(list, row++, 1);
  }
  return grid;
}

}  // namespace

bool RunTracks(DialogEnv& env, const DialogCall& call) {
  AppRec& app = env.app;
  TracksDialog model = OpenTracks(TrackValuesOf(app.piece), OutputPortNames(app), call.track);
  ShowWorkingTracks(app, &model.working);
  ModelDialog d(
      env.parent, DialogTitle(kDialogTracks), model.model,
      [&](int id) {
        const int before = model.current;
        const bool beep = TracksCommand(model, id);
        RedrawTrackStrip(app, before);
        RedrawTrackStrip(app, model.current);
        return beep;
      },
      env.help);
  d.ZoomFrom(env.zoomCanvas);
  auto* play = new QVBoxLayout;
  auto* playGroup = d.Group();
  play->addWidget(d.Radio(kPlayTrack, QStringLiteral("&Play Track"), playGroup));
  play->addWidget(d.Radio(kMuteTrack, QStringLiteral("&Mute Track"), playGroup));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(d.Button(kResetTrack, QStringLiteral("Re&set Track"), [] {}));
  buttons->addWidget(d.Button(kUndoChanges, QStringLiteral("&Undo Changes"), [] {}));
  buttons->addStretch();
  auto* all = new QVBoxLayout(&d);
  all->addLayout(TrackFields(d));
  all->addWidget(GroupBox(&d, QStringLiteral("Playing"), play));
  all->addLayout(buttons);
  all->addLayout(d.ButtonRow());
  d.Refresh();
  const bool ok = d.exec() == QDialog::Accepted;
  if (ok) CommitTracks(app, model.working);
  ShowWorkingTracks(app, nullptr);
  return ok;
}

bool RunBanksAndPrograms(DialogEnv& env) {
  AppRec& app = env.app;
  BanksDialog model = OpenBanks(TrackValuesOf(app.piece));
  ModelDialog d(
      env.parent, DialogTitle(kDialogBanksAndPrograms), model.model,
      [&](int id) { return BanksCommand(model, id); }, env.help);
  d.ZoomFrom(env.zoomCanvas);
  auto* all = new QVBoxLayout(&d);
  all->addLayout(BanksFields(d));
  all->addLayout(d.ButtonRow());
  d.Refresh();
  if (d.exec() != QDialog::Accepted) return false;
  CommitTracks(app, model.working);
  return true;
}

bool RunPerformanceSettings(DialogEnv& env) {
  AppRec& app = env.app;
  PerformanceDialog model = OpenPerformance(PerformanceValuesOf(app), OutputPortNames(app));
  ModelDialog d(
      env.parent, DialogTitle(kDialogPerformanceSettings), model.model,
      [&](int id) { return PerformanceCommand(model, id); }, env.help);
  d.ZoomFrom(env.zoomCanvas);
  auto* mode = new QGridLayout;
  QComboBox* modes = d.Combo(kPerformanceMode);
  mode->addWidget(d.Label(0, QStringLiteral("P&lay:"), modes), 0, 0);
  mode->addWidget(modes, 0, 1);
  mode->addWidget(
      d.Check(kPlayTappedNotes, QStringLiteral("&Play Notes Recorded when Tapping Beats")), 1, 0, 1,
      2);
  auto* all = new QVBoxLayout(&d);
  all->addLayout(mode);
  all->addWidget(GroupBox(&d, QStringLiteral("Output"), PerformanceOutput(d)));
  all->addWidget(GroupBox(&d, QStringLiteral("Tempo"), PerformanceTempo(d)));
  all->addLayout(d.ButtonRow());
  d.Refresh();
  if (d.exec() != QDialog::Accepted) return false;
  CommitPerformance(app, StorePerformance(model));
  return true;
}

}  // namespace tuttiro
