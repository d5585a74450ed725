// The connect notice's rules, without a toolkit.
#include "app/connect_notice.h"

namespace tuttiro {

ConnectNotice ConnectNoticeStep(ConnectNoticeRec& rec, const ConnectFacts& facts) {
  if (!facts.following) {
    rec.followingSince = -1;
  } else if (rec.followingSince < 0) {
    rec.followingSince = facts.now;
    rec.notesAtStart = facts.notesHeard;
    rec.closed = false;
  }
  const bool heard = facts.following && facts.notesHeard != rec.notesAtStart;
  if (!facts.enabled || rec.closed) {
    rec.shown = ConnectNotice::kNone;
  } else if (facts.listening && !facts.anyInput) {
    rec.shown = ConnectNotice::kNoInput;
  } else if (facts.following && !heard && facts.now - rec.followingSince >= kNothingHeardMs) {
    rec.shown = ConnectNotice::kNothingHeard;
  } else if ((rec.shown == ConnectNotice::kNoInput && facts.anyInput) ||
             (rec.shown == ConnectNotice::kNothingHeard && heard)) {
    rec.shown = ConnectNotice::kNone;
  }
  return rec.shown;
}

void ConnectNoticeClose(ConnectNoticeRec& rec) {
  rec.shown = ConnectNotice::kNone;
  rec.closed = true;
}

std::string ConnectNoticeText(ConnectNotice notice) {
  switch (notice) {
    case ConnectNotice::kNoInput:
      return "Tuttiro cannot hear you: no MIDI input is connected. Connect your keyboard's "
             "MIDI output to Tuttiro's MIDI input, or choose its device under Settings > "
             "MIDI Ports and Devices.";
    case ConnectNotice::kNothingHeard:
      return "Tuttiro has heard no note for ten seconds. Is your keyboard connected to "
             "Tuttiro's MIDI input, and is its device chosen under Settings > MIDI Ports and "
             "Devices?";
    case ConnectNotice::kNone:
      break;
  }
  return {};
}

}  // namespace tuttiro
