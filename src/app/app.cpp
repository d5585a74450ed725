// The application aggregate, the tick clock and the toolkit-free steps of the
// idle pass.
#include "app/app.h"

#include <algorithm>

#include "app/dialog_commit.h"
#include "app/dialog_commit_ports.h"
#include "engine/follower_settings.h"
#include "string_table.h"
#include "transport/midi_state.h"
#include "views/view_controls.h"

namespace tuttiro {

namespace {

// The platform's input callback: every short message goes through the input
// path with the time the platform stamped it with when it was played.
void OnMidiInput(void* context, uint32_t port, const MidiInputMessage& message) {
  if (message.sysex) return;
  auto& engine = *static_cast<EngineRec*>(context);
  ProcessInput(engine, message.shortMessage, message.time, static_cast<int>(port));
}

}  // namespace

AppRec::AppRec(Platform& platformRef, Host& hostRef)
    : platform(platformRef),
      host(hostRef),
      engine(platformRef, piece),
      settings{piece, sources, live, system, FollowerSettingsHooks(engine.follower)} {
  EnginePublish(engine, system, live);
  SettingsHooks& views = settings.hooks;
  views.moveViewsToSaved = [this] { ViewsMoveToSaved(*this); };
  views.storeViewPositions = [this] { ViewsStorePositions(*this); };
  views.centreViews = [this] { ViewsCenter(*this); };
  views.updateTitle = [this] { ViewsUpdateTitle(*this); };
  views.redrawViews = [this] { RedrawAllViews(*this); };
  engine.ports.inputCallback = OnMidiInput;
  engine.ports.inputContext = &engine;
}

AppRec::~AppRec() = default;

int64_t TickNow(const AppRec& app) {
  return EngineTickNow(app.engine);
}

void PublishSystemSettings(AppRec& app) {
  EnginePublish(app.engine, app.system, app.live);
  if (!TransportRunning(app)) {
    app.engine.mode.followerInputMode.store(IdleFollowerInputMode(app.system));
  }
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
    UpdateClock(app.engine, [&app](TransportClock& clock) {
      clock.basePosition = 0;
      clock.endPosition = app.piece.endPosition;
      clock.tempoFactor = app.live.tempoFactor;
    });
    EnginePublish(app.engine, app.system, app.live);
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
  EngineInitFollower(app.engine);
  if (pieceName.empty()) return kLoadOk;
  if (TransportRunning(app)) StopTransport(app);
  app.engine.input.inputBlocked = true;
  const int result = OpenPiece(app.piece, app.sources, pieceName, AppPieceHooks(app));
  EnginePublish(app.engine, app.system, app.live);
  app.engine.input.inputBlocked = !app.piece.pieceLoaded;
  return result;
}

namespace {

void ShowConnectNotice(AppRec& app, ConnectNotice before) {
  if (app.connectNotice.shown != before)
    app.host.ShowNotice(ConnectNoticeText(app.connectNotice.shown));
}

void ConnectNoticePass(AppRec& app) {
  const bool soloist = app.system.followSource == 0;
  ConnectFacts facts;
  facts.enabled = app.system.connectNotice != 0;
  facts.following = soloist && TransportFollowing(app);
  facts.listening = facts.following || (soloist && app.system.startAutomatically &&
                                        app.piece.pieceLoaded && !TransportRunning(app));
  facts.anyInput = MidiAnyInputOpen(app.engine.ports);
  facts.notesHeard = app.engine.input.notesHeard.load(std::memory_order_relaxed);
  facts.now = app.platform.ClockNow();
  const ConnectNotice before = app.connectNotice.shown;
  ConnectNoticeStep(app.connectNotice, facts);
  ShowConnectNotice(app, before);
}

}  // namespace

void ConnectNoticeNeverAgain(AppRec& app) {
  app.system.connectNotice = 0;
  ConnectNoticePass(app);
}

void ConnectNoticeDismiss(AppRec& app) {
  const ConnectNotice before = app.connectNotice.shown;
  ConnectNoticeClose(app.connectNotice);
  ShowConnectNotice(app, before);
}

void IdlePass(AppRec& app) {
  const int64_t t = TickNow(app);
  PreviewPoll(app);
  CheckDevicesFromIdle(app);
  if (TransportRewinding(app)) {
    int64_t position =
        app.engine.clock.basePosition.load() - (t - app.transport.lastRewindTick) * 66;
    if (position < 1) {
      position = 0;
      QueueCommand(app.engine.commands, kCmdStop);
    }
    app.transport.lastRewindTick = t;
    SetPosition(app, static_cast<int32_t>(position));
    Locate(app);
  }
  if (TransportRunning(app) && !app.engine.mode.previewing.load()) RefreshPositionDisplays(app);
  if (TransportFollowing(app) && !RecordingGrow(app.engine.input)) {
    app.host.ShowMessage(kStringRecordingOutOfMemory);
  }
  if (app.followerPending && !TransportFollowing(app)) HandFollowerPending(app);
  if (app.engine.jump.pending.load()) {
    QueueCommand(app.engine.commands, kCmdStop);
  } else {
    AutoStopCheck(app);
  }
  if (LoopRestartArmed(app.engine) && t >= app.engine.loopRestart.deadline.load()) {
    if (app.system.loopMode)
      QueueCommand(app.engine.commands, app.engine.loopRestart.command.load());
    LoopRestartCancel(app.engine);
  }
  for (uint16_t code = TakeCommand(app.engine.commands); code != kNoCommand;
       code = TakeCommand(app.engine.commands)) {
    ExecuteCommand(app, code);
  }
  ConnectNoticePass(app);
}

void AppShutdown(AppRec& app) {
  if (TransportRunning(app)) StopTransport(app);
  if (app.piece.pieceLoaded) SendClosingSysEx(app);
}

}  // namespace tuttiro
