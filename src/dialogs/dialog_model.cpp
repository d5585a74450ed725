// The dialog state record's accessors.
#include "dialogs/dialog_model.h"

namespace tuttiro {
namespace {

const ControlState kAbsent{};

const ControlState& Find(const DialogModel& model, int id) {
  auto it = model.controls.find(id);
  return it == model.controls.end() ? kAbsent : it->second;
}

}  // namespace

const std::string& DialogModel::Text(int id) const {
  return Find(*this, id).text;
}

bool DialogModel::Checked(int id) const {
  return Find(*this, id).checked;
}

int DialogModel::Selection(int id) const {
  return Find(*this, id).selection;
}

bool DialogModel::Enabled(int id) const {
  return Find(*this, id).enabled;
}

void DialogModel::Enable(std::initializer_list<int> ids, bool on) {
  for (int id : ids) controls[id].enabled = on;
}

void DialogModel::CheckRadio(std::span<const int> group, int id) {
  for (int member : group) controls[member].checked = member == id;
}

int DialogModel::CheckedOf(std::span<const int> group) const {
  for (int member : group) {
    if (Checked(member)) return member;
  }
  return group.front();
}

void ShowPair(DialogModel& m, int measureId, int beatId, MeasureBeat at) {
  m[measureId].text = std::to_string(at.measure);
  m[beatId].text = std::to_string(at.beat);
}

std::optional<MeasureBeat> ReadPair(const DialogModel& m, int measureId, int beatId) {
  const FieldValue measure = ReadInteger(m.Text(measureId), false, true);
  const FieldValue beat = ReadInteger(m.Text(beatId), false, true);
  if (!measure.ok || !beat.ok) return std::nullopt;
  return MeasureBeat{measure.value, beat.value};
}

}  // namespace tuttiro
