// The signals that end Tuttiro cleanly (the transport stopped, every note
// ended, the ports closed, the window's state kept): Ctrl+C, a kill, a closed
// terminal or dropped session, and Ctrl+\. The window and every command that
// sends MIDI handle the same list.
#pragma once

#include <csignal>

namespace tuttiro {

inline constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Puts `handler` on every stop signal (SIG_DFL puts the default back).
inline void HandleStopSignals(void (*handler)(int)) {
  for (const int s : kStopSignals) std::signal(s, handler);
}

}  // namespace tuttiro
