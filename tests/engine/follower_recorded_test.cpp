// Real recorded performances, cut and repeated: a passage of the soloist's own
// playing is left out, or played twice, and the follower must be back on the
// soloist within a few notes. The recordings live outside the repository (in
// ../shared/eval beside it, or where TUTTIRO_EVAL_DIR says); without them these
// tests are skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/follower.h"
#include "piece/piece_model.h"
#include "platform/simulated_platform.h"

namespace tuttiro::test {
namespace {

namespace fs = std::filesystem;

struct RecordedNote {
  SystemTime time;
  uint8_t pitch;
  double truth;  // the note's score position in ms, -1 when it is not in the score
};

fs::path EvalDir() {
  if (const char* dir = std::getenv("TUTTIRO_EVAL_DIR")) return dir;
  return fs::path(TUTTIRO_SOURCE_DIR) / ".." / "shared" / "eval";
}

// The soloist's notes with their true score positions from the alignment.
std::vector<RecordedNote> LoadPerformance(const fs::path& dir, const PieceModel& score) {
  PieceModel performance;
  PieceSourceState sources;
  if (OpenPiece(performance, sources, (dir / "performance_solo.mid").string()) != kLoadOk)
    return {};
  std::vector<RecordedNote> notes;
  for (int t = 0; t < performance.trackCount; ++t) {
    for (const PieceEvent& e : performance.tracks[static_cast<size_t>(t)].events) {
      if (e.status == 0x90 && e.data2 > 0) notes.push_back(RecordedNote{e.time, e.data1, -1});
    }
  }
  std::stable_sort(notes.begin(), notes.end(),
                   [](const RecordedNote& a, const RecordedNote& b) { return a.time < b.time; });
  const double msPerTick = score.smfTempoList.front().tempo / 1000.0 / score.division;
  std::ifstream truth(dir / "ground_truth.csv");
  std::string line;
  std::getline(truth, line);
  while (std::getline(truth, line)) {
    std::stringstream row(line);
    std::string perfMs, pitch, velocity, kind, tick;
    std::getline(row, perfMs, ',');
    std::getline(row, pitch, ',');
    std::getline(row, velocity, ',');
    std::getline(row, kind, ',');
    std::getline(row, tick, ',');
    if (kind != "match" || tick.empty()) continue;
    const double at = std::stod(perfMs);
    for (RecordedNote& n : notes) {
      if (n.truth < 0 && n.pitch == std::stoi(pitch) && std::abs(n.time - at) <= 2.0) {
        n.truth = std::stod(tick) * msPerTick;
        break;
      }
    }
  }
  return notes;
}

// Plays notes [from, to) again right after `to`, or leaves them out, keeping the
// soloist's rhythm across the seam.
std::vector<RecordedNote> Edit(const std::vector<RecordedNote>& notes, size_t from, size_t to,
                               bool repeat) {
  const SystemTime length = notes[to].time - notes[from].time;
  std::vector<RecordedNote> edited(notes.begin(), notes.begin() + static_cast<long>(to));
  if (repeat) {
    for (size_t i = from; i < to; ++i) {
      edited.push_back(notes[i]);
      edited.back().time += length;
    }
  } else {
    edited.resize(from);
  }
  const SystemTime shift = repeat ? length : -length;
  for (size_t i = to; i < notes.size(); ++i) {
    edited.push_back(notes[i]);
    edited.back().time += shift;
  }
  return edited;
}

// Follows the notes as the player does (a jump request restarts following there)
// and returns, note by note, how far the follower is from the soloist's true place
// (-1 for notes that are not in the score).
std::vector<double> Follow(const PieceModel& score, const std::vector<RecordedNote>& notes) {
  SimulatedPlatform platform;
  FollowerState f;
  bool jumped = false;
  FollowerInit(f, platform, [&](int code, int64_t, int64_t, int64_t) -> int64_t {
    if (code == kReportJump) jumped = true;
    return 0;
  });
  FollowerSetOptions(f, 4, true, true, false, true);
  const std::vector<uint32_t> beats = FollowerBeatList(score.beatMap);
  FollowerSetScore(f, score.tracks[0].events, {}, beats);
  std::vector<double> errors;
  for (const RecordedNote& n : notes) {
    platform.SetNow(n.time);
    jumped = false;
    FollowerNoteInput(f, 0x90u | uint32_t{n.pitch} << 8 | 64u << 16, n.time);
    if (jumped) {
      FollowerStop(f);
      FollowerResumeAfterJump(f, kFixOne);
    }
    errors.push_back(n.truth < 0 ? -1 : std::abs(FollowerPosition(f) - n.truth));
  }
  FollowerFreeAll(f);
  return errors;
}

// Two steady players, a passage of about eight seconds left out or played twice at
// two places each; after the seam the follower is back within twelve notes and
// stays with the soloist.
TEST(FollowerRecorded, CutAndRepeatedPassagesAreFoundAgainWithinAFewNotes) {
  for (const char* name : {"Haydn_Keyboard_Sonatas_46-1_Bach01", "asap_k332_WuuE02M"}) {
    const fs::path dir = EvalDir() / name;
    if (!fs::exists(dir / "ground_truth.csv")) GTEST_SKIP() << "no recorded performance at " << dir;
    PieceModel score;
    PieceSourceState sources;
    ASSERT_EQ(OpenPiece(score, sources, (dir / "score.mid").string()), kLoadOk);
    const std::vector<RecordedNote> notes = LoadPerformance(dir, score);
    ASSERT_GT(notes.size(), 400u);
    for (const size_t percent : {40u, 60u}) {
      const size_t from = notes.size() * percent / 100;
      size_t to = from;
      while (to < notes.size() && notes[to].time < notes[from].time + 8000) ++to;
      for (const bool repeat : {false, true}) {
        SCOPED_TRACE(std::string(name) + " at " + std::to_string(percent) + " %" +
                     (repeat ? ", repeated" : ", cut"));
        const std::vector<double> errors = Follow(score, Edit(notes, from, to, repeat));
        const size_t seam = repeat ? to : from;
        size_t back = seam;
        while (back < errors.size() && !(errors[back] >= 0 && errors[back] <= 300)) ++back;
        EXPECT_LE(back - seam, 12u) << "notes after the seam before the follower is back";
        size_t near = 0;
        size_t aligned = 0;
        for (size_t i = back; i < std::min(back + 200, errors.size()); ++i) {
          if (errors[i] < 0) continue;
          ++aligned;
          near += errors[i] <= 300;
        }
        EXPECT_GE(near * 10, aligned * 9) << "and it stays with the soloist";
      }
    }
  }
}

}  // namespace
}  // namespace tuttiro::test
