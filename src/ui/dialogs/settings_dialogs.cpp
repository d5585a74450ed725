// The Following, Special Markers, Ignore Soloist Range, Location, Loop Mode,
// File Information and Display Preferences dialogs in Qt.
#include "ui/dialogs/settings_dialogs.h"

#include <QApplication>
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
#include "app/dialog_table.h"
#include "dialogs/dialogs.h"
#include "dialogs/field_rules.h"
#include "ui/dialogs/control_dialogs.h"
#include "ui/dialogs/midi_sync_dialogs.h"
#include "ui/dialogs/model_dialog.h"
#include "ui/dialogs/ports_dialogs.h"
#include "ui/dialogs/save_settings_dialogs.h"
#include "ui/dialogs/track_dialogs.h"

namespace tuttiro {
namespace {

using namespace dialogs;

// A measure and a beat field on one row of `grid`.
void PairRow(ModelDialog& d, QGridLayout* grid, int row, int labelId, const QString& label,
             int measureId, int beatId) {
  QLineEdit* measure = d.Field(measureId);
  QLineEdit* beat = d.Field(beatId);
  grid->addWidget(d.Label(labelId, label, measure), row, 0);
  grid->addWidget(measure, row, 1);
  grid->addWidget(d.Label(labelId ? labelId + 1 : 0, QStringLiteral(":")), row, 2);
  grid->addWidget(beat, row, 3);
  grid->setColumnStretch(4, 1);  // the fields stay together at the left
}

bool RunFollowing(DialogEnv& env) {
  AppRec& app = env.app;
  FollowingDialog model = OpenFollowing(FollowingValuesOf(app), TrackList(app.piece, false),
                                        app.piece.keyUsesFlats != 0);
  const CaptureRec capture = CaptureOpen(app);
  ModelDialog d(
      env.parent, DialogTitle(kDialogFollowing), model.model,
      [&](int) { return FollowingCommand(model); }, env.help);
  d.ZoomFrom(env.zoomCanvas);
  const auto captureSwitch = [&] {
    const bool on = FollowingCaptureOn(model);
    CaptureSwitch(app, capture, on);
    if (!env.setCaptureTarget) return;
    if (on) {
      env.setCaptureTarget([&](uint32_t message) {
        if (FollowingCapture(model, message)) QApplication::beep();
        d.Refresh();
      });
    } else {
      env.setCaptureTarget({});
    }
  };

  auto* sourceGroup = d.Group();
  auto* source = new QVBoxLayout;
  source->addWidget(d.Radio(kSoloistsPlaying, QStringLiteral("&Soloist's Playing"), sourceGroup));
  source->addWidget(d.Radio(kTappedBeats, QStringLiteral("&Tapped beats"), sourceGroup));

  auto* tracksGroup = d.Group();
  auto* tracks = new QGridLayout;
  tracks->addWidget(d.Radio(kOneTrack, QStringLiteral("&One"), tracksGroup), 0, 0);
  tracks->addWidget(d.Radio(kTwoTracks, QStringLiteral("T&wo"), tracksGroup), 0, 1);
  QComboBox* first = d.Combo(kFirstTrack);
  QComboBox* second = d.Combo(kSecondTrack);
  tracks->addWidget(d.Label(kFirstTrackLabel, QStringLiteral("First Trac&k:"), first), 1, 0);
  tracks->addWidget(first, 1, 1);
  tracks->addWidget(d.Label(kSecondTrackLabel, QStringLiteral("Secon&d Track:"), second), 2, 0);
  tracks->addWidget(second, 2, 1);

  auto* tapGroup = d.Group();
  auto* taps = new QGridLayout;
  taps->addWidget(d.Radio(kTapSpaceBar, QStringLiteral("S&pace Bar"), tapGroup), 0, 0);
  taps->addWidget(d.Radio(kTapRightMouse, QStringLiteral("Right &Mouse Button"), tapGroup), 1, 0);
  taps->addWidget(d.Radio(kTapNote, QStringLiteral("&Note:"), tapGroup), 2, 0);
  taps->addWidget(d.Field(kTapNoteField), 2, 1);
  taps->addWidget(d.Radio(kTapAnyNote, QStringLiteral("&Any Note"), tapGroup), 3, 0);
  taps->addWidget(d.Radio(kTapController, QStringLiteral("&Controller:"), tapGroup), 4, 0);
  taps->addWidget(d.Field(kTapControllerField), 4, 1);
  taps->addWidget(d.Radio(kTapAnyController, QStringLiteral("An&y Controller"), tapGroup), 5, 0);
  taps->addWidget(d.Check(kAllowMidiInput, QStringLiteral("Allow MIDI &Input for These Values")), 6,
                  0, 1, 2);

  auto* starting = new QGridLayout;
  starting->addWidget(d.Check(kWaitForSolo, QStringLiteral("Wait fo&r Solo/Tap to Start")), 0, 0, 1,
                      4);
  starting->addWidget(d.Check(kPreviewBeforeStarting, QStringLiteral("Pre&view before Starting")),
                      1, 0, 1, 4);
  starting->addWidget(d.Check(kStartAutomatically, QStringLiteral("Start A&utomatically")), 2, 0, 1,
                      4);
  starting->addWidget(d.Check(kStopAutomatically, QStringLiteral("Stop Automatica&lly")), 3, 0);
  QLineEdit* delay = d.Field(kStopDelay, 40);
  starting->addWidget(d.Label(kStopAfterLabel, QStringLiteral("after"), delay), 3, 1);
  starting->addWidget(delay, 3, 2);
  starting->addWidget(d.Label(kStopSecondsLabel, QStringLiteral("seconds")), 3, 3);
  starting->addWidget(
      d.Check(kStrictTime, QStringLiteral("Keep Strict Time (never wait at the next solo note)")),
      4, 0, 1, 4);

  auto* jumpGroup = d.Group();
  auto* jumping = new QVBoxLayout;
  jumping->addWidget(d.Radio(kJumpOff, QStringLiteral("O&ff"), jumpGroup));
  jumping->addWidget(d.Radio(kJumpSeveralBeats, QStringLiteral("Jump Several &Beats"), jumpGroup));
  jumping->addWidget(d.Radio(kJumpAnywhere, QStringLiteral("Jump Anyw&here in Piece"), jumpGroup));

  auto* sensitivity = new QGridLayout;
  QComboBox* timing = d.Combo(kTiming);
  QComboBox* volume = d.Combo(kVolume);
  sensitivity->addWidget(d.Label(0, QStringLiteral("Timin&g:"), timing), 0, 0);
  sensitivity->addWidget(timing, 0, 1);
  sensitivity->addWidget(d.Label(kVolumeLabel, QStringLiteral("Volum&e:"), volume), 1, 0);
  sensitivity->addWidget(volume, 1, 1);

  auto* left = new QVBoxLayout;
  left->addWidget(GroupBox(&d, QStringLiteral("Follow"), source));
  left->addWidget(GroupBox(&d, QStringLiteral("Following Tracks"), tracks));
  left->addWidget(GroupBox(&d, QStringLiteral("Tap Source"), taps));
  auto* right = new QVBoxLayout;
  right->addWidget(GroupBox(&d, QStringLiteral("Starting and Stopping"), starting));
  right->addWidget(GroupBox(&d, QStringLiteral("Automatic Jumping"), jumping));
  right->addWidget(GroupBox(&d, QStringLiteral("Sensitivity"), sensitivity));
  right->addStretch();
  auto* columns = new QHBoxLayout;
  columns->addLayout(left);
  columns->addLayout(right);
  auto* all = new QVBoxLayout(&d);
  all->addLayout(columns);
  all->addLayout(d.ButtonRow());
  for (int id : {kSoloistsPlaying, kTappedBeats, kAllowMidiInput}) {
    QObject::connect(qobject_cast<QAbstractButton*>(d.Control(id)), &QAbstractButton::clicked, &d,
                     captureSwitch);
  }
  d.Refresh();
  const bool ok = d.exec() == QDialog::Accepted;
  if (env.setCaptureTarget) env.setCaptureTarget({});
  CaptureClose(app, capture);
  if (ok) CommitFollowing(app, StoreFollowing(model));
  return ok;
}

bool RunIgnoreRange(DialogEnv& env, DialogCall& call) {
  RangeDialog model = OpenIgnoreRange(call.begin, call.end, env.app.piece.beatMap);
  ModelDialog d(
      env.parent, DialogTitle(kDialogIgnoreRange), model.model,
      [&](int) {
        IgnoreRangeCommand(model);
        return false;
      },
      env.help);
  d.ZoomFrom(env.zoomCanvas);
  auto* grid = new QGridLayout;
  PairRow(d, grid, 0, 0, QStringLiteral("&Begin:"), kRangeBeginMeasure, kRangeBeginBeat);
  PairRow(d, grid, 1, 0, QStringLiteral("&End:"), kRangeEndMeasure, kRangeEndBeat);
  auto* all = new QVBoxLayout(&d);
  all->addWidget(GroupBox(&d, QStringLiteral("Ignore Soloist (measure:beat)"), grid));
  all->addLayout(d.ButtonRow());
  d.Refresh();
  if (d.exec() != QDialog::Accepted) return false;
  std::tie(call.begin, call.end) = StoreIgnoreRange(model);
  return true;
}

bool RunSpecialMarkers(DialogEnv& env) {
  AppRec& app = env.app;
  SpecialMarkersDialog model = OpenSpecialMarkers(MarkerListsOf(app), app.piece.beatMap);
  ModelDialog d(
      env.parent, DialogTitle(kDialogSpecialMarkers), model.model,
      [&](int) {
        SpecialMarkersCommand(model);
        return false;
      },
      env.help);
  d.ZoomFrom(env.zoomCanvas);
  const auto edit = [&](int button) {
    std::optional<MarkerEdit> wanted = MarkerEditFor(model, button, CurrentPosition(app));
    if (!wanted) return;
    DialogCall call;
    call.begin = wanted->begin;
    call.end = wanted->end;
    if (!env.run(wanted->range ? kDialogIgnoreRange : kDialogLocation, call)) return;
    wanted->begin = call.begin;
    wanted->end = call.end;
    MarkerEditDone(model, *wanted);
  };
  static const char* const kGroups[kMarkerListCount] = {"Rehearsal Points", "Wait for Soloist",
                                                        "Wait for Special Signal", "Restore Tempo",
                                                        "Ignore Soloist"};
  auto* grid = new QGridLayout;
  for (int i = 0; i < kMarkerListCount; ++i) {
    const int listId = kRehearsalPoints + i;
    const int newId = kMarkerButtonsFirst + 3 * i;
    auto* column = new QVBoxLayout;
    QListWidget* list = d.List(listId);
    list->setMinimumWidth(i == kMarkerListCount - 1 ? 130 : 80);
    column->addWidget(list);
    column->addWidget(d.Button(newId, QStringLiteral("&New..."), [&, newId, list] {
      edit(newId);
      list->setFocus();
    }));
    column->addWidget(d.Button(newId + 1, QStringLiteral("&Change..."), [&, newId, list] {
      edit(newId + 1);
      list->setFocus();
    }));
    column->addWidget(d.Button(newId + 2, QStringLiteral("&Delete"), [&, newId, list] {
      MarkerDelete(model, newId + 2);
      list->setFocus();
    }));
    QObject::connect(list, &QListWidget::itemDoubleClicked, &d, [&, newId] {
      edit(newId + 1);
      d.Changed(newId + 1);
    });
    grid->addWidget(GroupBox(&d, QString::fromUtf8(kGroups[i]), column), 0, i);
  }
  auto* all = new QVBoxLayout(&d);
  all->addLayout(grid);
  all->addLayout(d.ButtonRow());
  d.Refresh();
  if (d.exec() != QDialog::Accepted) return false;
  CommitSpecialMarkers(app, StoreSpecialMarkers(model));
  return true;
}

bool RunLocation(DialogEnv& env, DialogCall& call) {
  LocationDialog model = OpenLocation(call.begin, env.app.piece.beatMap);
  ModelDialog d(
      env.parent, DialogTitle(kDialogLocation), model.model,
      [&](int) {
        LocationCommand(model);
        return false;
      },
      env.help);
  d.ZoomFrom(env.zoomCanvas);
  auto* grid = new QGridLayout;
  PairRow(d, grid, 0, 0, QStringLiteral("&Measure:Beat"), kLocationMeasure, kLocationBeat);
  auto* all = new QVBoxLayout(&d);
  all->addWidget(GroupBox(&d, QStringLiteral("Specify the Location"), grid));
  all->addLayout(d.ButtonRow());
  d.Refresh();
  if (d.exec() != QDialog::Accepted) return false;
  call.begin = StoreLocation(model);
  call.position = LocationPosition(model);
  return call.position.has_value();
}

bool RunLoopMode(DialogEnv& env) {
  AppRec& app = env.app;
  LoopModeDialog model = OpenLoopMode(LoopValuesOf(app), app.piece.beatMap);
  ModelDialog d(
      env.parent, DialogTitle(kDialogLoopMode), model.model,
      [&](int) { return LoopModeCommand(model); }, env.help);
  d.ZoomFrom(env.zoomCanvas);
  auto* onOff = d.Group();
  auto* mode = new QHBoxLayout;
  mode->addWidget(d.Radio(kLoopOn, QStringLiteral("&On"), onOff));
  mode->addWidget(d.Radio(kLoopOff, QStringLiteral("O&ff"), onOff));
  auto* points = new QGridLayout;
  PairRow(d, points, 0, kLoopLabelFirst, QStringLiteral("&Begin:"), kLoopBeginMeasure,
          kLoopBeginBeat);
  PairRow(d, points, 1, kLoopLabelFirst + 2, QStringLiteral("&End:"), kLoopEndMeasure,
          kLoopEndBeat);
  auto* restart = new QHBoxLayout;
  restart->addWidget(d.Check(kRestartAutomatically, QStringLiteral("&Restart Loop Automatically")));
  QLineEdit* delay = d.Field(kRestartDelay, 40);
  restart->addWidget(d.Label(kLoopLabelFirst + 4, QStringLiteral("&after"), delay));
  restart->addWidget(delay);
  restart->addWidget(d.Label(kLoopLabelFirst + 5, QStringLiteral("seconds")));
  auto* all = new QVBoxLayout(&d);
  all->addWidget(GroupBox(&d, QStringLiteral("Loop Mode"), mode));
  all->addWidget(GroupBox(&d, QStringLiteral("Loop Points (measure:beat)"), points));
  all->addLayout(restart);
  all->addWidget(
      d.Check(kSetLoopPointsAutomatically, QStringLiteral("&Set Loop Points Automatically")));
  all->addLayout(d.ButtonRow());
  d.Refresh();
  if (d.exec() != QDialog::Accepted) return false;
  CommitLoopMode(app, StoreLoopMode(model));
  return true;
}

bool RunFileInformation(DialogEnv& env) {
  AppRec& app = env.app;
  FileInformationDialog model = OpenFileInformation(FileFactsOf(app));
  ModelDialog d(
      env.parent, DialogTitle(kDialogFileInformation), model.model,
      [&](int) {
        FileInformationCommand(model);
        return false;
      },
      env.help);
  d.ZoomFrom(env.zoomCanvas);
  auto* grid = new QGridLayout;
  QLineEdit* name = d.Field(kDisplayName, 220);
  grid->addWidget(d.Label(0, QStringLiteral("Display Name:"), name), 0, 0);
  grid->addWidget(name, 0, 1);
  grid->addWidget(d.Button(kResetToFileName, QStringLiteral("Reset to File Name"),
                           [&] {
                             ResetToFileName(model);
                             name->setFocus();
                           }),
                  0, 2);
  const std::pair<int, const char*> facts[] = {{kFileName, "File Name:"},
                                               {kLength, "Length:"},
                                               {kInitialKey, "Initial Key Sgnature:"},
                                               {kInitialTimeSignature, "Initial Time Signature:"}};
  int row = 1;
  for (const auto& [id, label] : facts) {
    grid->addWidget(d.Label(0, QString::fromUtf8(label)), row, 0);
    grid->addWidget(d.Text(id), row++, 1, 1, 2);
  }
  auto* note = d.Label(0, QStringLiteral("Note:  Some Standard MIDI Files may not include accurate "
                                         "information about key and time signatures."));
  note->setWordWrap(true);
  auto* all = new QVBoxLayout(&d);
  all->addLayout(grid);
  all->addWidget(note);
  all->addLayout(d.ButtonRow());
  d.Refresh();
  if (d.exec() != QDialog::Accepted) return false;
  CommitDisplayName(app, StoreDisplayName(model));
  return true;
}

bool RunDisplayPreferences(DialogEnv& env) {
  DisplayPreferencesDialog model = OpenDisplayPreferences(DisplayValuesOf(env.app));
  ModelDialog d(
      env.parent, DialogTitle(kDialogDisplayPreferences), model.model,
      [&](int) {
        DisplayPreferencesCommand(model);
        return false;
      },
      env.help);
  d.ZoomFrom(env.zoomCanvas);
  auto* group = d.Group();
  auto* all = new QVBoxLayout(&d);
  all->addWidget(d.Radio(kFreezeViews, QStringLiteral("&Freeze View Positions"), group));
  all->addWidget(d.Radio(kViewsMove, QStringLiteral("Allow Views to &Move"), group));
  QAbstractButton* shift =
      d.Check(kRequireShiftDrag, QStringLiteral("Require &SHIFT-Drag to Move"));
  shift->setContentsMargins(20, 0, 0, 0);
  all->addWidget(shift);
  all->addWidget(
      d.Check(kRememberViewLocations, QStringLiteral("&Remember View Locations between Sessions")));
  all->addLayout(d.ButtonRow());
  d.Refresh();
  if (d.exec() != QDialog::Accepted) return false;
  CommitDisplayPreferences(env.app, StoreDisplayPreferences(model));
  return true;
}

}  // namespace

bool RunSettingsDialog(int templateId, DialogEnv& env, DialogCall& call) {
  switch (templateId) {
    case kDialogFollowing:
      return RunFollowing(env);
    case kDialogSpecialMarkers:
      return RunSpecialMarkers(env);
    case kDialogIgnoreRange:
      return RunIgnoreRange(env, call);
    case kDialogLocation:
      return RunLocation(env, call);
    case kDialogLoopMode:
      return RunLoopMode(env);
    case kDialogFileInformation:
      return RunFileInformation(env);
    case kDialogDisplayPreferences:
      return RunDisplayPreferences(env);
    case kDialogRemoteControl:
      return RunRemoteControl(env);
    case kDialogMetronome:
      return RunMetronome(env);
    case kDialogMasterTranspose:
      return RunMasterTranspose(env);
    case kDialogTempo:
      return RunTempo(env);
    case kDialogTracks:
      return RunTracks(env, call);
    case kDialogBanksAndPrograms:
      return RunBanksAndPrograms(env);
    case kDialogPerformanceSettings:
      return RunPerformanceSettings(env);
    case kDialogSaveSettings:
      return RunSaveSettings(env, call);
    case kDialogPortsAndDevices:
      return RunPortsAndDevices(env);
    case kDialogMidiSync:
      return RunMidiSyncSetup(env);
    default:
      return false;
  }
}

}  // namespace tuttiro
