// The application aggregate: one record that owns the piece, the settings, the
// follower, the ports, the transport and the scheduler, so that a test (or the
// headless player) creates a whole fresh system in one line. Also the toolkit-free
// part of the idle pass, the loop restart timer and the tick clock.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/host.h"
#include "engine/follower.h"
#include "engine/input_path.h"
#include "engine/scheduler.h"
#include "engine/time_base.h"
#include "midi/midi_ports.h"
#include "piece/piece_model.h"
#include "piece/piece_settings.h"
#include "piece/system_settings.h"
#include "transport/command_queue.h"
#include "transport/locate.h"
#include "transport/transport.h"
#include "views/views.h"

namespace tuttiro {

inline constexpr int64_t kLoopRestartOff = 0x7FFFFFFF;

// Armed by the scheduler at the loop end (timer thread), fired by the idle pass.
struct LoopRestartRec {
  std::atomic<int64_t> deadline{kLoopRestartOff};  // in ticks
  std::atomic<uint16_t> command{kCmdPlayFile};
};

struct AppRec {
  AppRec(Platform& platform, Host& host);
  ~AppRec();
  AppRec(const AppRec&) = delete;
  AppRec& operator=(const AppRec&) = delete;

  Platform& platform;
  Host& host;
  PieceModel piece;
  PieceSourceState sources;
  PieceSettings live;
  SystemSettings system;
  FollowerState follower;
  bool followerReady = false;
  // What a dialog's commit still has to hand the follower (FollowerPending bits).
  uint8_t followerPending = 0;
  MidiPortsRec ports;
  // Where the ports report devices that cannot be opened or have gone; none: nowhere.
  MidiPortHost* portHost = nullptr;
  SystemTime nextDeviceCheck = 0;  // when the idle pass next looks for devices come or gone
  TransportClockRec clock;
  TransportRec transport;
  SchedulerRec scheduler;
  CommandQueueRec commands;
  LoopRestartRec loopRestart;
  ViewsRec views;
  InputPathRec input;
  SettingsContext settings;  // the settings operations' view of the records above
};

// Sixtieths of a second from the platform clock.
int64_t TickNow(const AppRec& app);

void LoopRestartArm(AppRec& app, uint16_t command, int seconds);
void LoopRestartCancel(AppRec& app);
bool LoopRestartArmed(const AppRec& app);

// Sets up the follower with the transport's report function and the piece
// hooks; then opens `pieceName` (empty: none). Returns OpenPiece's result.
int AppOpenPiece(AppRec& app, const std::string& pieceName);
// The hooks OpenPiece calls, bound to this application.
PieceHooks AppPieceHooks(AppRec& app);

// Publishes what the timer and input threads read of the system settings (their
// atomic copies) and, while stopped, the follower's input mode. Every change to
// the system settings ends here.
void PublishSystemSettings(AppRec& app);

// Idle pass steps 2 to 6 (rewind motion, displays and end of piece, follower
// jump and automatic stop, loop restart, queued commands), plus the timed
// preview steps.
void IdlePass(AppRec& app);

// Stops the transport if it runs and sends the piece's closing SysEx (the
// shutdown sequence's part that concerns playback).
void AppShutdown(AppRec& app);

}  // namespace tuttiro
