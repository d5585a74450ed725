// The MIDI & Sync Setup dialog in Qt: three groups (system exclusive, MIDI
// Thru, external sync) over the dialog's model.
#include "ui/dialogs/midi_sync_dialogs.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

#include "app/app.h"
#include "app/dialog_commit.h"
#include "app/dialog_commit_midi_sync.h"
#include "app/dialog_table.h"
#include "dialogs/dialogs.h"
#include "ui/dialogs/model_dialog.h"
#include "ui/dialogs/settings_dialogs.h"

namespace tuttiro {
namespace {

using namespace dialogs;

// A labelled list on one row of `grid`.
void ListRow(ModelDialog& d, QGridLayout* grid, int row, int labelId, const QString& label,
             int listId) {
  QComboBox* list = d.Combo(listId);
  grid->addWidget(d.Label(labelId, label, list), row, 0);
  grid->addWidget(list, row, 1);
}

QGroupBox* SysexBox(ModelDialog& d) {
  auto* timing = d.Group();
  auto* grid = new QGridLayout;
  grid->addWidget(d.Check(kTransmitSysex, QStringLiteral("Transmit SysE&x")), 0, 0, 1, 2);
  grid->addWidget(d.Radio(kSysexEveryTime, QStringLiteral("All Messages &Every Time"), timing), 1,
                  0, 1, 2);
  grid->addWidget(
      d.Radio(kSysexAsTheyAppear, QStringLiteral("&As They Appear in the File"), timing), 2, 0, 1,
      2);
  grid->addWidget(d.Radio(kSysexWhenOpened, QStringLiteral("&When the File is Opened"), timing), 3,
                  0, 1, 2);
  ListRow(d, grid, 4, kSysexPortLabel, QStringLiteral("Por&t:"), kSysexPort);
  return GroupBox(&d, QStringLiteral("System Exclusive"), grid);
}

QGroupBox* ThruBox(ModelDialog& d) {
  auto* onOff = d.Group();
  auto* grid = new QGridLayout;
  auto* choice = new QHBoxLayout;
  choice->addWidget(d.Radio(kThruOn, QStringLiteral("&On"), onOff));
  choice->addWidget(d.Radio(kThruOff, QStringLiteral("O&ff"), onOff));
  grid->addLayout(choice, 0, 0, 1, 2);
  ListRow(d, grid, 1, kThruChannelLabel, QStringLiteral("Cha&nnel:"), kThruChannel);
  ListRow(d, grid, 2, kThruPortLabel, QStringLiteral("Po&rt:"), kThruPort);
  grid->addWidget(d.Check(kThruProcessFirst, QStringLiteral("Process F&irst")), 3, 0, 1, 2);
  return GroupBox(&d, QStringLiteral("MIDI Thru"), grid);
}

QGroupBox* SyncBox(ModelDialog& d) {
  auto* kind = d.Group();
  auto* grid = new QGridLayout;
  grid->addWidget(d.Check(kTransmitSync, QStringLiteral("Transmit External Syn&c")), 0, 0, 1, 2);
  ListRow(d, grid, 1, kSyncPortLabel, QStringLiteral("&Port:"), kSyncPort);
  grid->addWidget(d.Radio(kMidiClockSync, QStringLiteral("MIDI &Sync"), kind), 2, 0, 1, 2);
  grid->addWidget(d.Radio(kTimeCodeSync, QStringLiteral("MIDI Time Co&de"), kind), 3, 0, 1, 2);
  ListRow(d, grid, 4, kFrameTypeLabel, QStringLiteral("T&ype:"), kFrameType);
  return GroupBox(&d, QStringLiteral("External Sync"), grid);
}

}  // namespace

bool RunMidiSyncSetup(DialogEnv& env) {
  AppRec& app = env.app;
  MidiSyncDialog model = OpenMidiSync(MidiSyncValuesOf(app), OutputPortNames(app));
  ModelDialog d(
      env.parent, DialogTitle(kDialogMidiSync), model.model,
      [&](int) { return MidiSyncCommand(model); }, env.help);
  d.ZoomFrom(env.zoomCanvas);
  auto* columns = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addWidget(SysexBox(d));
  left->addWidget(ThruBox(d));
  columns->addLayout(left);
  columns->addWidget(SyncBox(d), 0, Qt::AlignTop);
  auto* all = new QVBoxLayout(&d);
  all->addLayout(columns);
  all->addWidget(d.Check(kSoundHeldNotes,
                         QStringLiteral("Sound &Held Notes When Starting to Play in the Middle of "
                                        "the Piece")));
  all->addLayout(d.ButtonRow());
  d.Refresh();
  if (d.exec() != QDialog::Accepted) {
    CancelMidiSync(app);
    return false;
  }
  CommitMidiSync(app, StoreMidiSync(model));
  return true;
}

}  // namespace tuttiro
