// The Remote Control, MIDI Metronome, Master Transpose and Tempo dialogs in Qt:
// widgets over their models, MIDI taken in on the window thread, and the
// commit step on OK.
#include "ui/dialogs/control_dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/app.h"
#include "app/dialog_commit.h"
#include "app/dialog_commit_controls.h"
#include "app/dialog_table.h"
#include "dialogs/dialogs.h"
#include "dialogs/tempo_dialogs.h"
#include "ui/dialogs/model_dialog.h"

namespace tuttiro {
namespace {

using namespace dialogs;

// Moving the keyboard focus onto one of the controls first..last is a command
// from that control, as clicking or typing there is. The caller ends this
// once the dialog has closed, before its widgets go.
QMetaObject::Connection CommandOnFocus(ModelDialog& d, int first, int last) {
  return QObject::connect(qApp, &QApplication::focusChanged, &d,
                          [&d, first, last](QWidget*, QWidget* now) {
                            for (int id = first; now && id <= last; ++id) {
                              if (d.Control(id) == now) {
                                d.Changed(id);
                                return;
                              }
                            }
                          });
}

// Routes messages taken from MIDI to `take` while `on`, else nowhere.
void CaptureTarget(DialogEnv& env, bool on, std::function<void(uint32_t)> take) {
  if (!env.setCaptureTarget) return;
  env.setCaptureTarget(on ? std::move(take) : std::function<void(uint32_t)>{});
}

constexpr const char* kRemoteLabels[kRemoteRows] = {
    "&Play and Follow:", "Pla&y File:",     "Play Performa&nce:", "&Fast Forward:",
    "&Rewind:",          "&Stop:",          "Pr&eview:",          "Jump &Ahead:",
    "Jump &Back:",       "Jump A&gain:",    "Me&tronome:",        "&Loop Mode:",
    "All Notes &Off:",   "Spec&ial Signal:"};

void RemoteRow(ModelDialog& d, QGridLayout* grid, int row) {
  QLineEdit* note = d.Field(kRemoteNoteField + row, 50);
  QLineEdit* controller = d.Field(kRemoteControllerField + row, 50);
  const QString name = QString::fromUtf8(kRemoteLabels[row]).remove('&').remove(':');
  note->setAccessibleName(name + QStringLiteral(" note"));
  controller->setAccessibleName(name + QStringLiteral(" controller"));
  QButtonGroup* group = d.Group();
  grid->addWidget(d.Label(0, QString::fromUtf8(kRemoteLabels[row]), note), row, 0);
  grid->addWidget(d.Radio(kRemoteNoteRadio + row, QStringLiteral("Note"), group), row, 1);
  grid->addWidget(note, row, 2);
  grid->addWidget(d.Radio(kRemoteControllerRadio + row, QStringLiteral("Controller"), group), row,
                  3);
  grid->addWidget(controller, row, 4);
}

void MetronomeRow(ModelDialog& d, QGridLayout* grid, int row, int noteId, int labelId,
                  const QString& noteLabel, const QString& velocityLabel) {
  QLineEdit* note = d.Field(noteId, 50);
  QLineEdit* velocity = d.Field(noteId + 1, 50);
  grid->addWidget(d.Label(labelId, noteLabel, note), row, 0);
  grid->addWidget(note, row, 1);
  grid->addWidget(d.Label(labelId + 1, velocityLabel, velocity), row, 2);
  grid->addWidget(velocity, row, 3);
}

}  // namespace

bool RunRemoteControl(DialogEnv& env) {
  AppRec& app = env.app;
  RemoteControlDialog model = OpenRemoteControl(RemoteControlOf(app), app.piece.keyUsesFlats != 0);
  const CaptureRec capture = CaptureOpen(app);
  ModelDialog d(
      env.parent, DialogTitle(kDialogRemoteControl), model.model,
      [&](int id) { return RemoteControlCommand(model, id); }, env.help);
  d.ZoomFrom(env.zoomCanvas);
  auto* grid = new QGridLayout;
  for (int row = 0; row < kRemoteRows; ++row) RemoteRow(d, grid, row);
  auto* captureBox = d.Check(kRemoteCapture, QStringLiteral("Allow &MIDI Input For These Values"));
  QObject::connect(captureBox, &QAbstractButton::clicked, &d, [&] {
    const bool on = RemoteControlCaptureOn(model);
    CaptureSwitch(app, capture, on);
    CaptureTarget(env, on, [&](uint32_t message) {
      if (RemoteControlCapture(model, message)) QApplication::beep();
      d.Refresh();
    });
  });
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(captureBox);
  bottom->addStretch();
  bottom->addWidget(d.Button(kRemoteClearAll, QStringLiteral("&Clear All"),
                             [&] { RemoteControlClearAll(model); }));
  auto* all = new QVBoxLayout(&d);
  all->addWidget(GroupBox(&d, QStringLiteral("Remote Functions"), grid));
  all->addLayout(bottom);
  all->addLayout(d.ButtonRow());
  const auto focus = CommandOnFocus(d, kRemoteNoteRadio, kRemoteControllerField + kRemoteRows - 1);
  d.Refresh();
  const bool ok = d.exec() == QDialog::Accepted;
  QObject::disconnect(focus);
  CaptureTarget(env, false, {});
  CaptureClose(app, capture);
  if (ok) CommitRemoteControl(app, StoreRemoteControl(model));
  return ok;
}

bool RunMetronome(DialogEnv& env) {
  AppRec& app = env.app;
  MetronomeDialog model = OpenMetronome(MetronomeValuesOf(app), PortList(OutputPortNames(app)),
                                        app.piece.keyUsesFlats != 0);
  const CaptureRec capture = CaptureOpen(app);
  ModelDialog d(
      env.parent, DialogTitle(kDialogMetronome), model.model,
      [&](int id) { return MetronomeCommand(model, id); }, env.help);
  d.ZoomFrom(env.zoomCanvas);
  const auto captureSwitch = [&] {
    const bool on = MetronomeCaptureOn(model);
    MetronomeAuditionSwitch(app, on);
    CaptureSwitch(app, capture, on);
    CaptureTarget(env, on, [&](uint32_t message) {
      bool beep = false;
      if (auto click = MetronomeCapture(model, message, beep)) MetronomeAuditionSend(app, *click);
      if (beep) QApplication::beep();
      d.Refresh();
    });
  };
  QButtonGroup* onOff = d.Group();
  auto* mode = new QHBoxLayout;
  mode->addWidget(d.Radio(kMetronomeOn, QStringLiteral("&On"), onOff));
  mode->addWidget(d.Radio(kMetronomeOff, QStringLiteral("O&ff"), onOff));
  mode->addStretch();
  auto* output = new QGridLayout;
  QComboBox* port = d.Combo(kMetronomePort);
  QComboBox* channel = d.Combo(kMetronomeChannel);
  QLineEdit* patch = d.Field(kMetronomePatch, 50);
  output->addWidget(d.Label(kMetronomeLabelFirst, QStringLiteral("&MIDI Port:"), port), 0, 0);
  output->addWidget(port, 0, 1, 1, 3);
  output->addWidget(d.Label(kMetronomeLabelFirst + 1, QStringLiteral("&Channel:"), channel), 1, 0);
  output->addWidget(channel, 1, 1);
  output->addWidget(d.Label(kMetronomeLabelFirst + 2, QStringLiteral("&Patch:"), patch), 1, 2);
  output->addWidget(patch, 1, 3);
  auto* clicks = new QGridLayout;
  clicks->addWidget(new QLabel(QStringLiteral("Downbeats"), &d), 0, 0, 1, 4);
  MetronomeRow(d, clicks, 1, kDownbeatNote, kMetronomeLabelFirst + 3, QStringLiteral("&Note:"),
               QStringLiteral("&Volume:"));
  clicks->addWidget(new QLabel(QStringLiteral("Other Beats"), &d), 2, 0, 1, 4);
  MetronomeRow(d, clicks, 3, kBeatNote, kMetronomeLabelFirst + 5, QStringLiteral("No&te:"),
               QStringLiteral("Vol&ume:"));
  auto* all = new QVBoxLayout(&d);
  all->addWidget(GroupBox(&d, QStringLiteral("Metronome"), mode));
  all->addWidget(GroupBox(&d, QStringLiteral("Output"), output));
  all->addWidget(GroupBox(&d, QStringLiteral("Clicks"), clicks));
  all->addWidget(d.Check(kMetronomeCapture, QStringLiteral("&Allow MIDI Input for These Values")));
  all->addLayout(d.ButtonRow());
  for (int id : {kMetronomeOn, kMetronomeOff, kMetronomeCapture}) {
    QObject::connect(qobject_cast<QAbstractButton*>(d.Control(id)), &QAbstractButton::clicked, &d,
                     captureSwitch);
  }
  const auto focus = CommandOnFocus(d, kDownbeatNote, kBeatVelocity);
  d.Refresh();
  const bool ok = d.exec() == QDialog::Accepted;
  QObject::disconnect(focus);
  CaptureTarget(env, false, {});
  MetronomeAuditionSwitch(app, false);
  CaptureClose(app, capture);
  if (ok) CommitMetronome(app, StoreMetronome(model));
  return ok;
}

bool RunMasterTranspose(DialogEnv& env) {
  MasterTransposeDialog model = OpenMasterTranspose(MasterTransposeOf(env.app));
  ModelDialog d(
      env.parent, DialogTitle(kDialogMasterTranspose), model.model,
      [&](int) { return MasterTransposeCommand(model); }, env.help);
  d.ZoomFrom(env.zoomCanvas);
  QLineEdit* field = d.Field(kTransposeField, 50);
  auto* row = new QHBoxLayout;
  row->addWidget(d.Label(0, QStringLiteral("&Transpose everything by"), field));
  row->addWidget(field);
  row->addWidget(d.Label(0, QStringLiteral("half-steps")));
  row->addStretch();
  auto* all = new QVBoxLayout(&d);
  all->addLayout(row);
  all->addWidget(d.Button(kTransposeReset, QStringLiteral("Reset to &Normal"), [&] {
    MasterTransposeReset(model);
    field->setFocus();
  }));
  all->addLayout(d.ButtonRow());
  d.Refresh();
  if (d.exec() != QDialog::Accepted) return false;
  CommitMasterTranspose(env.app, StoreMasterTranspose(model));
  return true;
}

bool RunTempo(DialogEnv& env) {
  const TempoFacts facts = TempoFactsOf(env.app);
  TempoDialog model = OpenTempo(facts.factor, facts.beatLength, facts.currentBpm);
  ModelDialog d(
      env.parent, DialogTitle(kDialogTempo), model.model,
      [&](int id) { return TempoCommand(model, id); }, env.help);
  d.ZoomFrom(env.zoomCanvas);
  QLineEdit* percent = d.Field(kTempoPercent, 50);
  QLineEdit* bpm = d.Field(kTempoBpm, 50);
  auto* grid = new QGridLayout;
  grid->addWidget(d.Label(0, QStringLiteral("&Percent of the file's tempo:"), percent), 0, 0);
  grid->addWidget(percent, 0, 1);
  grid->addWidget(d.Label(0, QStringLiteral("%")), 0, 2);
  grid->addWidget(d.Label(0, QStringLiteral("&Beats per minute:"), bpm), 1, 0);
  grid->addWidget(bpm, 1, 1);
  grid->setColumnStretch(3, 1);
  auto* all = new QVBoxLayout(&d);
  all->addWidget(GroupBox(&d, QStringLiteral("Master Tempo"), grid));
  all->addWidget(d.Button(kTempoReset, QStringLiteral("&Reset to Original Tempo"), [&] {
    TempoReset(model);
    percent->setFocus();
  }));
  all->addLayout(d.ButtonRow());
  d.Refresh();
  if (d.exec() != QDialog::Accepted) return false;
  CommitTempo(env.app, StoreTempo(model));
  return true;
}

}  // namespace tuttiro
