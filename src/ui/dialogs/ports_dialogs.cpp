// The MIDI Ports & Devices dialog in Qt: one row per port with its input
// device, its output device and the output's lead time, and the built-in
// synthesizer's soundfont below. The device lists are read again each time
// it opens; OK stays in the dialog while a device cannot be opened.
#include "ui/dialogs/ports_dialogs.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/app.h"
#include "app/dialog_commit_ports.h"
#include "app/dialog_table.h"
#include "dialogs/dialogs.h"
#include "ui/dialogs/model_dialog.h"

namespace tuttiro {
namespace {

using namespace dialogs;

QGridLayout* PortRows(ModelDialog& d) {
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("Input device"), &d), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Output device"), &d), 0, 3);
  grid->addWidget(new QLabel(QStringLiteral("Lead (ms)"), &d), 0, 5);
  for (int p = 0; p < kPortsDialogPorts; ++p) {
    const QString letter(QChar('A' + p));
    QComboBox* input = d.Combo(kPortInputFirst + p);
    QComboBox* output = d.Combo(kPortOutputFirst + p);
    QLineEdit* lead = d.Field(kPortLeadFirst + p, 45);
    for (QComboBox* combo : {input, output}) {
      combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
      combo->setMinimumContentsLength(34);
      combo->setPlaceholderText(QStringLiteral("(no device)"));
    }
    const int row = p + 1;
    grid->addWidget(d.Label(kPortInputLabelFirst + p, QStringLiteral("In &") + letter + ":", input),
                    row, 0);
    grid->addWidget(input, row, 1);
    grid->addWidget(
        d.Label(kPortOutputLabelFirst + p, QStringLiteral("Out ") + letter + ":", output), row, 2);
    grid->addWidget(output, row, 3);
    grid->addWidget(d.Label(kPortLeadLabelFirst + p, QStringLiteral("Lead ") + letter + ":", lead),
                    row, 4);
    grid->addWidget(lead, row, 5);
  }
  return grid;
}

QGridLayout* SoundfontRow(ModelDialog& d, PortsDialog& model) {
  auto* grid = new QGridLayout;
  QLineEdit* path = d.Field(kSoundfont, 320);
  path->setPlaceholderText(QStringLiteral("The General MIDI soundfont installed"));
  grid->addWidget(d.Label(kSoundfontLabel, QStringLiteral("Sound&font (.sf2, .sf3):"), path), 0, 0);
  grid->addWidget(path, 0, 1);
  grid->addWidget(
      d.Button(kSoundfontBrowse, QStringLiteral("&Browse..."),
               [&d, &model] {
                 const QString start =
                     QFileInfo(QString::fromStdString(model.model.Text(kSoundfont))).absolutePath();
                 const QString file =
                     QFileDialog::getOpenFileName(&d, QStringLiteral("Choose a Soundfont"), start,
                                                  QStringLiteral("Soundfonts (*.sf2 *.sf3)"));
                 if (!file.isEmpty()) model.model[kSoundfont].text = file.toStdString();
               }),
      0, 2);
  QLabel* problem = d.Text(kSoundfontProblem);
  problem->setWordWrap(true);
  grid->addWidget(problem, 1, 1, 1, 2);
  return grid;
}

}  // namespace

bool RunPortsAndDevices(DialogEnv& env) {
  AppRec& app = env.app;
  const PortsDeviceLists devices = RefreshPortsDevices(app);
  PortsDialog model = OpenPorts(PortsValuesOf(app), devices.inputs, devices.outputs);
  ModelDialog d(
      env.parent, DialogTitle(kDialogPortsAndDevices), model.model,
      [&](int) { return PortsCommand(model); }, env.help);
  d.ZoomFrom(env.zoomCanvas);
  d.SetAcceptCheck([&] { return CommitPorts(app, StorePorts(model)); });

  auto* ports = new QGroupBox(QStringLiteral("Ports"), &d);
  ports->setLayout(PortRows(d));
  auto* synth = new QGroupBox(QStringLiteral("Built-in Synthesizer"), &d);
  synth->setLayout(SoundfontRow(d, model));
  auto* all = new QVBoxLayout(&d);
  all->addWidget(ports);
  all->addWidget(synth);
  all->addLayout(d.ButtonRow());
  d.Refresh();
  const bool ok = d.exec() == QDialog::Accepted;
  PortsDialogClosed(app);
  return ok;
}

}  // namespace tuttiro
