// The command table and the space bar.
#include "app/dispatch.h"

#include "app/app.h"
#include "app/dialog_table.h"
#include "app/help.h"
#include "app/named_settings.h"
#include "app/open_file.h"
#include "app/save_performance.h"
#include "app/shell.h"
#include "app/startup.h"
#include "transport/midi_state.h"
#include "views/view_controls.h"

namespace tuttiro {
namespace {

constexpr int kAllVolume = 256;

void Flash(AppRec& app, int box) {
  FlashButton(app, kViewMainTransport, box);
}

// Every track's strip in the Tracks view, the performance track's included.
void RedrawTrackStrips(AppRec& app) {
  for (int track = 0; track <= app.piece.trackCount; ++track) app.host.InvalidateTrackStrip(track);
  app.host.UpdateNow();
}

// Changes every track, the performance track's included; while playing the
// scheduler is held off the tracks meanwhile.
template <typename Change>
void ChangeAllTracks(AppRec& app, Change change) {
  if (!app.piece.pieceLoaded) return;
  const bool running = TransportRunning(app);
  if (running) SchedulerHold(app.engine);
  for (TrackRec& track : app.piece.tracks) change(track);
  if (running) SchedulerRelease(app.engine);
  RedrawTrackStrips(app);
}

void ResetVolumes(AppRec& app) {
  ChangeAllTracks(app, [](TrackRec& track) { track.volume = kAllVolume; });
  app.host.EnableMenuItem(kIdResetVolumes, false);
}

void ChangeAllTracksToPort(AppRec& app, int port) {
  ChangeAllTracks(app, [port](TrackRec& track) { track.outputPort = static_cast<uint16_t>(port); });
}

// All (every channel of the port on), None (every channel off), or one
// channel toggled.
void IncomingCommand(AppRec& app, int id) {
  const int port = (id - kIdIncomingFirst) / kIncomingPortStride;
  const int item = (id - kIdIncomingFirst) % kIncomingPortStride;
  const auto flag = [&](int channel) {
    return app.system.incomingChannels[static_cast<size_t>(port * 16 + channel)] != 0;
  };
  if (item < 2) {
    const bool on = item == 0;
    for (int channel = 0; channel < 16; ++channel) {
      if (flag(channel) != on) SetIncomingChannel(app, port, channel, on);
    }
    return;
  }
  const int channel = item - 2;
  SetIncomingChannel(app, port, channel, !flag(channel));
}

bool RunDialogCommand(ShellRec& shell, int id) {
  const DialogInfo* dialog = DialogForCommand(id);
  if (!dialog) return false;
  shell.app.host.RunDialog(dialog->templateId);
  return true;
}

}  // namespace

void SetIncomingChannel(AppRec& app, int port, int channel, bool on) {
  const int16_t device = app.engine.ports.inputDevice[static_cast<size_t>(port)];
  for (int p = 0; p < kSettingsPortCount; ++p) {
    if (app.engine.ports.inputDevice[static_cast<size_t>(p)] != device) continue;
    const size_t index = static_cast<size_t>(p * 16 + channel);
    app.system.incomingChannels[index] = on ? 1 : 0;
    app.engine.ports.channelEnable[index].store(on ? 1 : 0);
    app.host.CheckMenuItem(kCmdIncomingChannel + kIncomingPortStride * p + channel, on);
  }
}

void SpaceBarDown(AppRec& app, bool autoRepeat) {
  if (autoRepeat || !app.piece.pieceLoaded) return;
  if (!TransportRunning(app)) {
    PlayAndFollow(app);
    Flash(app, kBoxPlayAndFollow);
    return;
  }
  // The key poll reads the space bar as a tap; it must not stop the music.
  const bool tappingSpace = TransportFollowing(app) &&
                            app.engine.mode.followerInputMode.load() == kInputKeyTaps &&
                            app.system.tapSource == 0;
  if (tappingSpace) return;
  StopTransport(app);
  Flash(app, kBoxStop);
}

bool DispatchCommand(ShellRec& shell, int id) {
  AppRec& app = shell.app;
  if (NamedSettingsCommand(shell, id)) return true;
  if (id >= kIdOpenBuiltinFirst && id < kIdOpenBuiltinFirst + kBuiltinPieceCount) {
    if (PieceMayClose(shell))
      OpenPieceKeepingCurrent(shell, BuiltinPieceName(id - kIdOpenBuiltinFirst));
    return true;
  }
  if (id >= kIdRecentFileFirst && id < kIdRecentFileFirst + kRecentFileCount) {
    const size_t index = static_cast<size_t>(id - kIdRecentFileFirst);
    // A copy: opening reorders the list the name comes from.
    if (index < shell.recentFiles.size() && PieceMayClose(shell)) {
      OpenUserFile(shell, std::string(shell.recentFiles[index]));
    }
    return true;
  }
  if (id >= kIdViewFirst && id < kIdViewFirst + kViewCount) {
    ViewsToggle(app, id - kIdViewFirst);
    return true;
  }
  if (id >= kIdOutputPortFirst && id < kIdOutputPortFirst + kSettingsPortCount) {
    ChangeAllTracksToPort(app, id - kIdOutputPortFirst);
    return true;
  }
  if (id >= kIdIncomingFirst && id < kIdIncomingFirst + kIncomingPortStride * kSettingsPortCount &&
      (id - kIdIncomingFirst) % kIncomingPortStride < kIncomingItemCount) {
    IncomingCommand(app, id);
    return true;
  }
  switch (id) {
    case kIdOpenFile:
      if (PieceMayClose(shell)) OpenFileCommand(shell);
      return true;
    case kIdPerformanceTempo:
      shell.ui.ShowPerformanceTempo();
      return true;
    case kIdSavePerformanceAs:
      SavePerformanceCommand(shell);
      return true;
    case kIdExit:
      MainWindowClosing(app);
      shell.ui.CloseMainWindow();
      return true;
    case kIdShowAllViews:
      ViewsSetAll(app, true);
      return true;
    case kIdHideAllViews:
      ViewsSetAll(app, false);
      return true;
    case kIdCenterAllViews:
      ViewsCenter(app);
      return true;
    case kIdPlayAndFollow:
      PlayAndFollow(app);
      Flash(app, kBoxPlayAndFollow);
      return true;
    case kIdPlayFile:
      PlayFile(app);
      Flash(app, kBoxPlayFile);
      return true;
    case kIdPlayPerformance:
      PlayPerformance(app);
      Flash(app, kBoxPlayPerformance);
      return true;
    case kIdFastForward:
      FastForward(app);
      Flash(app, kBoxFastForward);
      return true;
    case kIdRewind:
      Rewind(app);
      Flash(app, kBoxRewind);
      return true;
    case kIdStop:
      StopTransport(app);
      Flash(app, kBoxStop);
      return true;
    case kIdPreview:
      Flash(app, kBoxPreview);
      Preview(app);
      return true;
    case kIdJumpTo:
      JumpTo(app);
      return true;
    case kIdJumpAhead:
      JumpAhead(app);
      ResumeSaved(app);
      return true;
    case kIdJumpBack:
      JumpBack(app);
      ResumeSaved(app);
      return true;
    case kIdJumpAgain:
      JumpAgain(app);
      return true;
    case kIdResetVolumes:
      ResetVolumes(app);
      return true;
    case kIdAllNotesOff:
      AllNotesOff(app);
      return true;
    case kIdMidiReset:
      MidiReset(app);
      return true;
    case kIdHelpTopics:
      ShowHelp(shell, HelpCommand::kTopics);
      return true;
    case kIdHelpContents:
      ShowHelp(shell, HelpCommand::kContents);
      return true;
    case kIdHelpSearch:
      ShowHelp(shell, HelpCommand::kSearch);
      return true;
    case kIdHelpOnHelp:
      ShowHelp(shell, HelpCommand::kHelpOnHelp);
      return true;
    case kIdAbout:
      shell.ui.ShowAbout();
      return true;
    default:
      return RunDialogCommand(shell, id);
  }
}

}  // namespace tuttiro
