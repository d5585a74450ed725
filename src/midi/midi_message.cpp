// The messages of a program combination (see midi_message.h).
#include "midi/midi_message.h"

namespace tuttiro {

ProgramCombo TrackComboAt(const TrackRec& track, uint8_t index) {
  if (track.substitutePrograms && index < kMaxProgramCombos) {
    return track.programCombos[index].substitute;
  }
  return FileComboAt(track, index);
}

int ProgramComboMessages(const ProgramCombo& combo, int channel,
                         std::array<uint32_t, kProgramComboMessages>& out) {
  const auto& v = combo.values;
  const int program = 0xC0 | (channel & 0x0F);
  const int controller = 0xB0 | (channel & 0x0F);
  switch (combo.kind) {
    case kComboProgram:
      out[0] = Pack(program, v[0], 0);
      return 1;
    case kComboBank0:
    case kComboBank32:
      out[0] = Pack(controller, combo.kind == kComboBank0 ? 0 : 32, v[0]);
      out[1] = Pack(program, v[1], 0);
      return 2;
    case kComboBank0And32:
      out[0] = Pack(controller, 0, v[0]);
      out[1] = Pack(controller, 32, v[1]);
      out[2] = Pack(program, v[2], 0);
      return 3;
    case kComboProgramPair:
      out[0] = Pack(program, v[0], 0);
      out[1] = Pack(program, v[1], 0);
      return 2;
    default:
      return 0;
  }
}

}  // namespace tuttiro
