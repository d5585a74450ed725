// Saving the recorded performance: the piece, the performance track, the
// performance's tempo list and the live settings go to the file builder.
#include "app/save_performance.h"

#include <cmath>
#include <filesystem>
#include <mutex>

#include "app/app.h"
#include "app/open_file.h"
#include "app/shell.h"
#include "engine/performance_file.h"
#include "piece/atomic_file.h"
#include "piece/settings_writer.h"
#include "shell_strings.h"
#include "string_table.h"

namespace tuttiro {
namespace {

// The live settings with their positions in performed time: in the saved file
// a score unit is a millisecond of the performance. The tempo is already the
// performed one, so the master tempo is 100 %.
PieceSettings PerformedSettings(const PieceSettings& live, const PerformanceTiming& timing) {
  const auto at = [&](int32_t position) {
    return static_cast<int32_t>(std::lround(PerformedTime(timing, position)));
  };
  PieceSettings s = live;
  s.tempoFactor = 4096;
  s.loopStart = at(live.loopStart);
  s.loopEnd = at(live.loopEnd);
  for (auto* list : {&s.rehearsalPoints, &s.waitForSoloistMarkers, &s.waitForSignalMarkers,
                     &s.restoreTempoMarkers}) {
    for (int32_t& p : *list) p = at(p);
  }
  for (MarkerRange& r : s.ignoreSoloistRanges) r = {at(r.begin), at(r.end)};
  return s;
}

}  // namespace

bool WritePerformanceFile(AppRec& app, const std::string& path) {
  if (!app.piece.pieceLoaded || !app.transport.performanceAvailable) return false;
  std::vector<uint8_t> image;
  if (!ReadPieceImage(app.sources, app.piece.piecePath, image)) return false;
  PerformanceFileParts parts;
  parts.pieceImage = image;
  parts.piece = &app.piece;
  parts.soloist = app.piece.performanceTrack().events;
  parts.followingTracks.push_back(app.live.followTrack1);
  if (app.live.followTwoTracks && app.live.followTrack2 != app.live.followTrack1)
    parts.followingTracks.push_back(app.live.followTrack2);
  parts.sectionStart = app.engine.performance.start;
  parts.sectionEnd = app.engine.performance.end;
  {
    std::lock_guard lock(app.engine.input.recording.lock);
    parts.timing.tempoList = app.engine.input.recording.tempoList;
  }
  parts.timing.tempoFactor = app.engine.performance.recordedTempoFactor;
  if (app.settings.hooks.storeViewPositions) app.settings.hooks.storeViewPositions();
  parts.settings = BuildPieceSettingsRecord(DefaultSettingsRecord(), 0, "Performance",
                                            PerformedSettings(app.live, parts.timing), app.piece);
  std::vector<uint8_t> file;
  if (BuildPerformanceFile(parts, file) != PerformanceFileResult::kOk) return false;
  return WriteFileAtomically(path, file);
}

std::string ProposedPerformanceName(const AppRec& app) {
  const char* prefix = StringText(kStringPerformancePrefix);
  return std::string(prefix ? prefix : "") +
         std::filesystem::path(app.piece.pieceFileName).filename().string() + ".mid";
}

void SavePerformanceCommand(ShellRec& shell) {
  AppRec& app = shell.app;
  if (!app.transport.performanceAvailable) return;
  const std::optional<std::string> path =
      shell.ui.ChooseSaveFile(MidiFileDialogFilter(), ProposedPerformanceName(app));
  if (path && !WritePerformanceFile(app, *path)) ShowSaveFailure(app.host, kStringCannotSaveFile);
}

}  // namespace tuttiro
