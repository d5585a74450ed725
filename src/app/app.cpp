// The application aggregate, the tick clock, the loop restart timer and the
// toolkit-free steps of the idle pass.
#include "app/app.h"

#include <algorithm>

#include "app/dialog_commit.h"
#include "app/dialog_commit_ports.h"
#include "string_table.h"
#include "transport/midi_state.h"
#include "views/view_controls.h"

namespace tuttiro {

namespace {

// The platform's input callback: every short message goes through the input
// path, stamped with the system time at which it arrived.
void OnMidiInput(void* context, uint32_t port, const MidiInputMessage& message) {
  if (message.sysex) return;
  auto& app = *static_cast<AppRec*>(context);
  ProcessInput(app, app.input, message.shortMessage, app.platform.ClockNow(),
               static_cast<int>(port));
}

}  // namespace

AppRec::AppRec(Platform& platformRef, Host& hostRef)
    : platform(platformRef),
      host(hostRef),
      ports(platformRef),
      settings{piece, sources, live, system, &follower} {
  SchedulerPublishSettings(*this);
  SettingsHooks& views = settings.hooks;
  views.moveViewsToSaved = [this] { ViewsMoveToSaved(*this); };
  views.storeViewPositions = [this] { ViewsStorePositions(*this); };
  views.centreViews = [this] { ViewsCenter(*this); };
  views.updateTitle = [this] { ViewsUpdateTitle(*this); };
  views.redrawViews = [this] { RedrawAllViews(*this); };
  ports.inputCallback = OnMidiInput;
  ports.inputContext = this;
}

AppRec::~AppRec() {
  SchedulerHalt(*this);
  if (followerReady) FollowerFreeAll(follower);
}

int64_t TickNow(const AppRec& app) {
  return app.platform.ClockNow() * 3 / 50;
}

void PublishSystemSettings(AppRec& app) {
  SchedulerPublishSettings(app);
  InputTakeSettings(app.input, app.system, app.live.masterTranspose);
  if (!TransportRunning(app)) {
    app.transport.followerInputMode.store(IdleFollowerInputMode(app.system));
  }
}

void LoopRestartArm(AppRec& app, uint16_t command, int seconds) {
  app.loopRestart.command.store(command);
  app.loopRestart.deadline.store(TickNow(app) + 60 * static_cast<int64_t>(seconds));
}

void LoopRestartCancel(AppRec& app) {
  app.loopRestart.deadline.store(kLoopRestartOff);
}

bool LoopRestartArmed(const AppRec& app) {
  return app.loopRestart.deadline.load() != kLoopRestartOff;
}

PieceHooks AppPieceHooks(AppRec& app) {
  PieceHooks hooks;
  SetPieceSettingsHooks(hooks, app.settings);
  hooks.sendClosingSysex = [&app] { SendClosingSysEx(app); };
  hooks.layoutViews = [&app] { ViewsLayOut(app); };
  hooks.clearJumpHistory = [&app] { app.transport.startHistory = {}; };
  hooks.sendOpeningSysex = [&app] { SendOpeningSysEx(app); };
  hooks.resetPlaybackState = [&app] {
    app.transport.performanceAvailable = false;
    TransportClock clock = TransportClockRead(app.clock);
    clock.basePosition = 0;
    clock.endPosition = app.piece.endPosition;
    clock.tempoFactor = app.live.tempoFactor;
    {
      std::lock_guard guard(app.transport.clockUpdate);
      TransportClockWrite(app.clock, clock);
    }
    SchedulerPublishSettings(app);
    const int32_t travel = SongThumbTravel();
    app.views.displays.unitsPerPixel =
        std::max<int32_t>(1, (app.piece.endPosition + travel / 2) / travel);
    Locate(app);
    RefreshPositionDisplays(app);
    SetStoppedMenus(app);
  };
  return hooks;
}

int AppOpenPiece(AppRec& app, const std::string& pieceName) {
  if (!app.followerReady) {
    app.followerReady =
        FollowerInit(app.follower, app.platform, [&app](int code, int64_t a, int64_t b, int64_t c) {
          return TransportFollowerReport(app, code, a, b, c);
        });
  }
  if (pieceName.empty()) return kLoadOk;
  if (TransportRunning(app)) StopTransport(app);
  app.input.inputBlocked = true;
  const int result = OpenPiece(app.piece, app.sources, pieceName, AppPieceHooks(app));
  InputTakeSettings(app.input, app.system, app.live.masterTranspose);
  app.input.inputBlocked = !app.piece.pieceLoaded;
  return result;
}

void IdlePass(AppRec& app) {
  const int64_t t = TickNow(app);
  PreviewPoll(app);
  CheckDevicesFromIdle(app);
  if (TransportRewinding(app)) {
    int64_t position = app.clock.basePosition.load() - (t - app.transport.lastRewindTick) * 66;
    if (position < 1) {
      position = 0;
      QueueCommand(app.commands, kCmdStop);
    }
    app.transport.lastRewindTick = t;
    SetPosition(app, static_cast<int32_t>(position));
    Locate(app);
  }
  if (TransportRunning(app) && !app.transport.previewing.load()) RefreshPositionDisplays(app);
  if (TransportFollowing(app) && !RecordingGrow(app.input)) {
    app.host.ShowMessage(kStringRecordingOutOfMemory);
  }
  if (app.followerPending && !TransportFollowing(app)) HandFollowerPending(app);
  if (app.transport.jumpPending.load()) {
    QueueCommand(app.commands, kCmdStop);
  } else {
    AutoStopCheck(app);
  }
  if (LoopRestartArmed(app) && t >= app.loopRestart.deadline.load()) {
    if (app.system.loopMode) QueueCommand(app.commands, app.loopRestart.command.load());
    LoopRestartCancel(app);
  }
  for (uint16_t code = TakeCommand(app.commands); code != kNoCommand;
       code = TakeCommand(app.commands)) {
    ExecuteCommand(app, code);
  }
}

void AppShutdown(AppRec& app) {
  if (TransportRunning(app)) StopTransport(app);
  if (app.piece.pieceLoaded) SendClosingSysEx(app);
}

}  // namespace tuttiro
