// The command table: every menu item and accelerator arrives here by its
// command id and reaches its operation. Also the space bar's rule and the
// Incoming MIDI channel switches, which the menus and the keyboard share.
#pragma once

namespace tuttiro {

struct AppRec;
struct ShellRec;

// Runs command `id`; false when the table has no action for it.
bool DispatchCommand(ShellRec& shell, int id);

// A key-down of the space bar. Only its first key-down counts (not the
// auto-repeat of a held key), and only with a piece loaded: while stopped it
// starts Play and Follow; while running it stops, unless the space bar is
// tapping the beats being followed.
void SpaceBarDown(AppRec& app, bool autoRepeat);

// Sets channel `channel` (0-15) of input port `port` on or off, on every port
// that listens to the same input device, with their check marks.
void SetIncomingChannel(AppRec& app, int port, int channel, bool on);

}  // namespace tuttiro
