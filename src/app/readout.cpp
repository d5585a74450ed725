// The readout's texts.
#include "app/readout.h"

#include <filesystem>

#include "app/app.h"

namespace tuttiro {
namespace {

std::string PieceTitle(const PieceModel& piece) {
  if (!piece.pieceLoaded) return {};
  if (piece.pieceDisplayName && !piece.pieceDisplayName->empty()) return *piece.pieceDisplayName;
  return std::filesystem::path(piece.pieceFileName).filename().string();
}

std::string TransportState(AppRec& app) {
  if (TransportRewinding(app)) return "Rewinding";
  if (!TransportRunning(app)) {
    if (app.transport.previewStage == PreviewStage::kPauseBeforeStarting) return "Get ready...";
    return LoopRestartArmed(app) ? "Stopped, the loop starts again shortly" : "Stopped";
  }
  if (app.transport.previewing.load()) return "Previewing";
  if (TransportFastForward(app)) return "Fast forwarding";
  if (TransportFollowing(app)) return "Playing and following";
  if (app.transport.playingPerformance.load()) return "Playing the performance";
  return "Playing the file";
}

std::string MeasureBeatText(int32_t measure, int32_t beat) {
  if (measure < 0 || beat < 0) return "-";
  return std::to_string(measure) + ":" + std::to_string(beat);
}

}  // namespace

ReadoutRec MakeReadout(AppRec& app) {
  const PositionDisplayRec& d = app.displays;
  ReadoutRec r;
  r.title = PieceTitle(app.piece);
  r.state = TransportState(app);
  r.measureBeat = MeasureBeatText(d.measure, d.beat);
  r.tempo = d.bpm > 0 ? std::to_string(d.bpm) + " bpm" : "-";
  const int32_t percent = d.masterPercent >= 0
                              ? d.masterPercent
                              : (static_cast<int32_t>(app.live.tempoFactor) * 100 + 2048) >> 12;
  r.masterTempo = std::to_string(percent) + " %";
  r.loop = MeasureBeatText(d.loopStartMeasure, d.loopStartBeat) + " - " +
           MeasureBeatText(d.loopEndMeasure, d.loopEndBeat);
  for (size_t i = 0; i < kReadoutButtons.size(); ++i) {
    r.buttons[i] = app.transport.boxImage[static_cast<size_t>(kReadoutButtons[i].box)];
  }
  return r;
}

}  // namespace tuttiro
