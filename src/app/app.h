// The application aggregate: one record that owns the piece, the settings, the
// engine (follower, scheduler, input path, ports, clock), the transport and the
// views, so that a test (or the headless player) creates a whole fresh system
// in one line. Also the toolkit-free part of the idle pass and the tick clock.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/connect_notice.h"
#include "app/host.h"
#include "engine/engine.h"
#include "piece/piece_model.h"
#include "piece/piece_settings.h"
#include "piece/system_settings.h"
#include "transport/locate.h"
#include "transport/transport.h"
#include "views/views.h"

namespace tuttiro {

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
  EngineRec engine;
  // What a dialog's commit still has to hand the follower (FollowerPending bits).
  uint8_t followerPending = 0;
  // Where the ports report devices that cannot be opened or have gone; none: nowhere.
  MidiPortHost* portHost = nullptr;
  SystemTime nextDeviceCheck = 0;  // when the idle pass next looks for devices come or gone
  TransportRec transport;
  ViewsRec views;
  SettingsContext settings;  // the settings operations' view of the records above
  ConnectNoticeRec connectNotice;
};

// Sixtieths of a second from the platform clock.
int64_t TickNow(const AppRec& app);

// Sets up the follower with the transport's report function and the piece
// hooks; then opens `pieceName` (empty: none). Returns OpenPiece's result.
int AppOpenPiece(AppRec& app, const std::string& pieceName);
// The hooks OpenPiece calls, bound to this application.
PieceHooks AppPieceHooks(AppRec& app);

// Publishes what the timer and input threads read of the settings (EnginePublish)
// and, while stopped, the follower's input mode. Every change to the system
// settings ends here.
void PublishSystemSettings(AppRec& app);

// Idle pass steps 2 to 6 (rewind motion, displays and end of piece, follower
// jump and automatic stop, loop restart, queued commands), plus the timed
// preview steps and the notice of what to connect.
void IdlePass(AppRec& app);
// The connect notice's "Don't Show Again" and its close button.
void ConnectNoticeNeverAgain(AppRec& app);
void ConnectNoticeDismiss(AppRec& app);

// Stops the transport if it runs and sends the piece's closing SysEx (the
// shutdown sequence's part that concerns playback).
void AppShutdown(AppRec& app);

}  // namespace tuttiro
