// The transport: what the system is doing (stopped, or one of Play and Follow,
// Play File, Play Performance, Preview, Fast Forward, Rewind), the transitions
// between those modes, and the menus and buttons that show them. Every operation
// here runs on the window thread; the callbacks only queue commands.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "layout_table.h"
#include "platform/platform.h"

namespace tuttiro {

struct AppRec;

// Menu command ids the transport enables and greys.
enum TransportMenuItem : int {
  kItemPlayAndFollow = 120,
  kItemPlayFile = 121,
  kItemPlayPerformance = 122,
  kItemFastForward = 123,
  kItemRewind = 124,
  kItemStop = 125,
  kItemPreview = 126,
  kItemJumpTo = 127,
  kItemJumpAhead = 128,
  kItemJumpBack = 129,
  kItemAllNotesOff = 132,
  kItemMidiReset = 133,
  kItemSavePerformance = 11,
};

inline constexpr SystemTime kPreviewMs = 4000;
inline constexpr SystemTime kPauseAfterPreviewMs = 2000;
inline constexpr int kFlashMs = 50;

// What a preview that runs on timers is doing: the steps of Preview and of
// Preview before Starting, in their order, each with its duration.
enum class PreviewStage : uint8_t {
  kNone,
  kPreview,                // Preview: 4 s of playback, then back to the start
  kPreviewBeforeStarting,  // the same, then Play and Follow continues
  kPauseBeforeStarting,    // 2 s of silence before following starts
};

// The window thread's side of the transport; what the real-time threads read
// of it (the mode flags, the jump request) lives in the engine.
struct TransportRec {
  // Following restarts after a jump the follower asked for.
  bool resumingAfterJump = false;
  int32_t savedTempoFactor = 4096;

  // The mode that StopIfRunning last stopped, for ResumeSaved.
  bool resumeFollowing = false;
  bool resumePlayingFile = false;
  bool resumePlayingPerformance = false;
  bool resumeFastForward = false;
  bool resumeRewinding = false;
  bool keepResumeFlags = false;
  bool holdGestureActive = false;

  int64_t lastRewindTick = 0;
  // Start positions of the last four distinct starts, newest first.
  std::array<int32_t, 4> startHistory{};

  // The play flags of the following tracks while the soloist plays them.
  uint8_t savedPlay1 = 1;
  uint8_t savedPlay2 = 1;

  // Kept by the settings layer for the stopped menus: how many system settings
  // are saved, and which piece settings entries (1-4) hold settings.
  int savedSystemSettings = 0;
  std::array<bool, 4> pieceSettingsSaved{};

  // Performance data (filled by recording; Play Performance reads it).
  bool performanceAvailable = false;

  // Preview on timers.
  PreviewStage previewStage = PreviewStage::kNone;
  SystemTime previewDue = 0;
  int32_t previewReturnPosition = 0;
};

// The playback position: the transport clock's (the base position while stopped).
int32_t CurrentPosition(AppRec& app);
// Sets the base position (while stopped).
void SetPosition(AppRec& app, int32_t position);
bool TransportRunning(AppRec& app);
bool TransportFollowing(AppRec& app);
bool TransportFastForward(AppRec& app);
bool TransportRewinding(AppRec& app);

void PlayAndFollow(AppRec& app);
void PlayFile(AppRec& app);
void PlayPerformance(AppRec& app);
void FastForward(AppRec& app);
void Rewind(AppRec& app);
void Preview(AppRec& app);
// Ends the preview: called by the idle pass when its time is up (and by the
// press-and-hold gesture on release).
void PreviewEnd(AppRec& app);
// Runs the preview steps whose time has come; idle pass.
void PreviewPoll(AppRec& app);

bool StartTransport(AppRec& app, bool includeFollowingTracks);
void StopTransport(AppRec& app);
bool StopIfRunning(AppRec& app);
void ResumeSaved(AppRec& app);
// The Stop command from the queue.
void StopCommand(AppRec& app);
void ExecuteCommand(AppRec& app, uint16_t code);

void SetRunningMenus(AppRec& app);
void SetStoppedMenus(AppRec& app);
void FlashButton(AppRec& app, int view, int box);
void SetBoxImage(AppRec& app, int box, uint16_t state);
void ToggleMetronome(AppRec& app);
// While playing with the metronome on, sends its patch to its channel, so a
// click switched on or set up mid-piece sounds with the chosen sound.
void SendMetronomePatchIfPlaying(AppRec& app);
void ToggleLoopMode(AppRec& app);
void AutoStopCheck(AppRec& app);

// Switches a track on or off while playing: its notes are released (or its
// start state sounded) with the scheduler held off the track.
void SetTrackPlay(AppRec& app, int track, bool on);
void SetMasterTranspose(AppRec& app, int16_t semitones);
// The master tempo factor (4.12, 40-8192): a running transport is re-timed
// from where it is now, so the position does not jump.
void SetMasterTempo(AppRec& app, uint16_t factor);
// The master volume (0-512, 256 = 100 %).
void SetMasterVolume(AppRec& app, uint16_t volume);
// After piece settings were applied (a slot, Revert, Default Settings): their
// master tempo and transposition take effect through the same steps as the
// Master Tempo slider and the Master Transpose dialog.
void TakeMasterSettings(AppRec& app);

}  // namespace tuttiro
