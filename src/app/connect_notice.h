// The notice that tells a newcomer what to connect. It shows in the window,
// not as a box, when the soloist is to be followed while no input port has a
// device, and when following has heard no note for ten seconds; it goes when
// the reason goes, when it is closed (until following starts again) and for
// good with "Don't Show Again".
#pragma once

#include <cstdint>
#include <string>

namespace tuttiro {

enum class ConnectNotice : uint8_t { kNone, kNoInput, kNothingHeard };

inline constexpr int64_t kNothingHeardMs = 10000;
inline constexpr const char* kConnectHelpPage = "midi-ports-and-devices.html";

struct ConnectNoticeRec {
  ConnectNotice shown = ConnectNotice::kNone;
  bool closed = false;          // closed by the musician since following last began
  int64_t followingSince = -1;  // ms; -1 while not following
  uint32_t notesAtStart = 0;    // the input's note count when following began
};

// What the notice goes by at one idle pass.
struct ConnectFacts {
  bool enabled = true;      // not turned off with "Don't Show Again"
  bool following = false;   // Play and Follow runs on the soloist's playing
  bool listening = false;   // following, or Start Automatically waiting for the soloist
  bool anyInput = false;    // some input port has a device
  uint32_t notesHeard = 0;  // note-ons come in from every input, ever
  int64_t now = 0;          // ms
};

// The notice to show now.
ConnectNotice ConnectNoticeStep(ConnectNoticeRec& rec, const ConnectFacts& facts);
// Closed by the musician: gone until following starts again.
void ConnectNoticeClose(ConnectNoticeRec& rec);
// The notice's words; empty for none.
std::string ConnectNoticeText(ConnectNotice notice);

}  // namespace tuttiro
