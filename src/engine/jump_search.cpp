// Automatic jumping: remembers the soloist's latest chords and, when their notes
// stop matching near the clock, looks through the score for the stretch they are
// playing, by pitch and by timing, and jumps there once one stretch is convincing.
#include <algorithm>
#include <array>
#include <cstdlib>

#include "engine/follower_internal.h"

namespace tuttiro {
namespace {

const PerformedChord& Performed(const FollowerState& f, int32_t i) {
  return f.performedChords[static_cast<size_t>(i)];
}

const ScoreChord& Chord(const FollowerState& f, int32_t i) {
  return f.chords[static_cast<size_t>(i)];
}

// Drops the oldest chords (and their notes) once the buffers are full, keeping the
// newest ones at the front.
void TrimPerformed(FollowerState& f) {
  const int32_t keep =
      std::max(f.performedChordCount - kPerformedChordsDropped, std::min(f.performedChordCount, 1));
  const int32_t firstKept = f.performedChordCount - keep;
  const int32_t firstNote = Performed(f, firstKept).firstNote;
  std::copy(f.performedNotes.begin() + firstNote, f.performedNotes.begin() + f.performedNoteCount,
            f.performedNotes.begin());
  f.performedNoteCount -= firstNote;
  for (int32_t i = 0; i < keep; ++i) {
    PerformedChord chord = Performed(f, firstKept + i);
    chord.firstNote -= firstNote;
    f.performedChords[static_cast<size_t>(i)] = chord;
  }
  f.performedChordCount = keep;
}

// The rate ratio of two rates, at least 1.0; hopeless when a rate is not positive.
int32_t RateRatio(int32_t a, int32_t b) {
  if (a <= 0 || b <= 0) return kNoLimit;
  return a >= b ? FixDiv(a, b) : FixDiv(b, a);
}

// How far a stretch's tempo is from a tempo the soloist plausibly plays: their own
// recent one or the piece's written one, whichever is nearer. After a slow
// introduction the soloist is found again when they take up the written tempo.
int32_t HypothesisRatio(int32_t rate, int32_t reference) {
  return std::min(RateRatio(rate, reference), RateRatio(rate, kFixOne));
}

// The rate at which the soloist went from `performedBack` chords ago to the newest
// one, if the score chords from `chordBack` before `chord` were where they were.
int32_t StretchRate(const FollowerState& f, int32_t chord, int32_t back) {
  const int32_t newest = f.performedChordCount - 1;
  back = std::min({back, newest, chord});
  if (back <= 0) return 0;
  const int64_t distance = int64_t{Chord(f, chord).position} - Chord(f, chord - back).position;
  const SystemTime duration = Performed(f, newest).time - Performed(f, newest - back).time;
  if (distance <= 0 || duration <= 0 || duration > kNoLimit || distance > kNoLimit) return 0;
  return FixDiv(static_cast<int32_t>(distance), static_cast<int32_t>(duration));
}

// Moves every hypothesis on by the soloist's newest chord; those that no longer fit
// are dropped, keeping the order of the rest.
void ExtendHypotheses(FollowerState& f, bool newChord) {
  const int32_t newest = f.performedChordCount - 1;
  int32_t kept = 0;
  for (int32_t i = 0; i < f.hypothesisCount; ++i) {
    Hypothesis h = f.hypotheses[static_cast<size_t>(i)];
    if (newChord) {
      if (newest < 1 || Performed(f, newest - 1).noteCount != Chord(f, h.chord).noteCount) continue;
      if (++h.chord >= static_cast<int32_t>(f.chords.size())) continue;
    }
    if (!ChordFits(f, newest, h.chord, newChord ? h.rate : 0, f.runLength > 1, true, true))
      continue;
    if (newChord) {
      const int32_t rate = StretchRate(f, h.chord, f.runLength);
      if (rate > 0) h.rate = rate;
    }
    f.hypotheses[static_cast<size_t>(kept++)] = h;
  }
  f.hypothesisCount = kept;
  if (newChord && kept > 0) ++f.runLength;
}

// How many of the soloist's latest chords, newest back, fit the score chords ending
// at `chord`; rate receives the tempo that fit.
int32_t RunEndingAt(const FollowerState& f, int32_t chord, int32_t referenceRate, int32_t& rate) {
  const int32_t newest = f.performedChordCount - 1;
  int32_t k = 0;
  rate = referenceRate;
  while (newest - k >= 0 && chord - k >= 0) {
    int32_t stepRate = k == 0 ? 0 : k == 1 ? referenceRate : StretchRate(f, chord, k - 1);
    if (!ChordFits(f, newest - k, chord - k, stepRate, k > 1, false, k == 0)) {
      // The first spacing may also fit the piece's own tempo.
      if (k != 1 || !ChordFits(f, newest - k, chord - k, kFixOne, false, false, false)) break;
      stepRate = kFixOne;
    }
    if (stepRate > 0) rate = stepRate;
    ++k;
  }
  return k;
}

void SearchAfresh(FollowerState& f, int32_t e, uint8_t pitch, int32_t referenceRate, bool running) {
  f.runLength = 0;
  const int32_t count = static_cast<int32_t>(f.chords.size());
  int32_t first = 0;
  int32_t end = count;
  if (running && f.options.localJumpsOnly) {
    const int32_t radius = f.distances.localSearchRadius;
    while (first < count && int64_t{Chord(f, first).position} + radius < e) ++first;
    end = first;
    while (end < count && int64_t{Chord(f, end).position} - radius < e) ++end;
    end = std::max(first, end - 1);  // up to, not including, the last chord within reach
  }
  const PitchRun& run = f.pitchRuns[pitch];
  for (int32_t i = run.start; i < run.start + run.count; ++i) {
    if (f.hypothesisCount >= kHypothesisCapacity) break;
    const int32_t chord = f.pitchChords[static_cast<size_t>(i)];
    if (chord < first || chord >= end) continue;
    int32_t rate = 0;
    const int32_t k = RunEndingAt(f, chord, referenceRate, rate);
    if (k == 0 || k < f.runLength) continue;
    if (k > f.runLength) {
      f.hypothesisCount = 0;
      f.runLength = k;
    }
    f.hypotheses[static_cast<size_t>(f.hypothesisCount++)] = Hypothesis{chord, rate};
  }
}

// Among several equally long runs: the one at or before e (or just after it if
// closer), then the earliest of the stretches overlapping it.
int32_t ChooseAmongSeveral(const FollowerState& f, int32_t e) {
  const auto at = [&f](int32_t i) { return f.hypotheses[static_cast<size_t>(i)].chord; };
  int32_t i = f.hypothesisCount - 1;
  while (i > 0 && Chord(f, at(i)).position > e) --i;
  if (i + 1 < f.hypothesisCount && std::abs(int64_t{Chord(f, at(i + 1)).position} - e) <
                                       std::abs(int64_t{Chord(f, at(i)).position} - e)) {
    ++i;
  }
  while (i > 0 && at(i - 1) > at(i) - f.runLength) --i;
  return i;
}

// Weighs the hypotheses and jumps when one is convincing.
void Decide(FollowerState& f, int32_t e, SystemTime t, int32_t referenceRate, bool running) {
  int32_t minRatio = kNoLimit;
  int32_t best = 0;
  for (int32_t i = 0; i < f.hypothesisCount; ++i) {
    const int32_t ratio = HypothesisRatio(f.hypotheses[static_cast<size_t>(i)].rate, referenceRate);
    if (ratio < minRatio) {
      minRatio = ratio;
      best = i;
    }
  }
  const int32_t bestChord = f.hypotheses[static_cast<size_t>(best)].chord;
  const int32_t span =
      Chord(f, bestChord).position - Chord(f, std::max(bestChord - (f.runLength - 1), 0)).position;
  int32_t kept = 0;
  int32_t near = 0;
  for (int32_t i = 0; i < f.hypothesisCount; ++i) {
    const Hypothesis h = f.hypotheses[static_cast<size_t>(i)];
    const int64_t ratio = HypothesisRatio(h.rate, referenceRate);
    if (h.rate >= kMaxRate || 4 * ratio >= 5 * int64_t{minRatio}) continue;
    if (running && std::abs(int64_t{Chord(f, h.chord).position} - e) < f.distances.jumpThreshold) {
      ++near;
    }
    f.hypotheses[static_cast<size_t>(kept++)] = h;
  }
  f.hypothesisCount = kept;
  if (kept == 0 || span < f.distances.minimumJumpSpan) return;
  const int64_t overTempo = int64_t{minRatio} - kFixOne;
  if (running) {
    const int64_t score = span / f.distances.spanUnit + f.runLength + f.missCount -
                          (overTempo >> 12) + (near == 1 ? 6 : 0);
    if (score < 12) return;
  } else if (span / f.distances.spanUnit + f.runLength - (overTempo >> 14) <= 3) {
    return;
  }
  int32_t chosen = 0;
  if (kept > 1) {
    if (f.runLength < 4) return;
    chosen = ChooseAmongSeveral(f, e);
  }
  const Hypothesis h = f.hypotheses[static_cast<size_t>(chosen)];
  // One unexpected note (a trill, an ornament) is no skip: a far jump while
  // following waits for a second note that matched nothing near the clock.
  if (running && f.missCount < 2 &&
      std::abs(int64_t{Chord(f, h.chord).position} - e) >= f.distances.jumpThreshold) {
    return;
  }
  JumpToChord(f, h.chord, t, h.rate);
}

constexpr int32_t kStartSearchChords = 8;

struct OpeningRun {
  int32_t firstChord = -1;
  SystemTime firstTime = 0;
  int32_t lastChord = -1;
  SystemTime lastTime = 0;
  int32_t matched = 0;
};

// Plays the soloist's notes from performed chord `from` on against the written
// chords from `start` on, in order: each note may finish the chord it is in or
// fall in one of the next two; at most one note may fit nowhere. The run is good
// when the newest note fitted.
bool MatchOpening(FollowerState& f, int32_t from, int32_t start, OpeningRun& run) {
  std::array<int32_t, kPerformedNoteCapacity> marked;
  int32_t markedCount = 0;
  int32_t extra = 0;
  bool newestFits = false;
  const int32_t chordCount = static_cast<int32_t>(f.chords.size());
  for (int32_t pc = from; pc < f.performedChordCount && extra <= 1; ++pc) {
    const PerformedChord& p = Performed(f, pc);
    for (int32_t n = p.firstNote; n < p.firstNote + p.noteCount; ++n) {
      const uint8_t pitch = f.performedNotes[static_cast<size_t>(n)].pitch;
      const int32_t first = run.lastChord < 0 ? start : run.lastChord;
      int32_t fit = -1;
      for (int32_t c = first; c < std::min(first + 3, chordCount) && fit < 0; ++c) {
        const int32_t note = MarkNote(f, f.chords[static_cast<size_t>(c)], pitch);
        if (note < 0) continue;
        marked[static_cast<size_t>(markedCount++)] = note;
        fit = c;
      }
      newestFits = fit >= 0;
      if (fit < 0) {
        ++extra;
        continue;
      }
      if (run.firstChord < 0) {
        run.firstChord = fit;
        run.firstTime = p.time;
      }
      if (fit != run.lastChord) {
        run.lastChord = fit;
        run.lastTime = p.time;
      }
      ++run.matched;
    }
  }
  for (int32_t i = 0; i < markedCount; ++i) {
    f.notes[static_cast<size_t>(marked[static_cast<size_t>(i)])].pitch &= 0x7F;
  }
  return extra <= 1 && newestFits;
}

// Start Automatically: a soloist who begins where following would start, playing
// the opening notes in order, is taken there at once, whatever the tempo and even
// with one stray note. Only that place is tried; anywhere else is the search's.
bool StartAtLocation(FollowerState& f, int32_t e, SystemTime t) {
  const int32_t start = FirstChordAtOrAfter(f, e);
  if (start >= static_cast<int32_t>(f.chords.size())) return false;
  // The start is decided within a few notes of it, so it lies among the newest
  // chords; the oldest of them that fits gives the longest run.
  for (int32_t from = std::max(f.performedChordCount - kStartSearchChords, 0);
       from < f.performedChordCount; ++from) {
    OpeningRun run;
    if (!MatchOpening(f, from, start, run)) continue;
    if (run.matched < 3 || run.lastChord <= run.firstChord) continue;
    const int64_t distance =
        int64_t{Chord(f, run.lastChord).position} - Chord(f, run.firstChord).position;
    const SystemTime duration = run.lastTime - run.firstTime;
    int32_t rate = FollowerClockNow(f).rate;
    if (duration > 0 && duration <= kNoLimit && distance <= kNoLimit) {
      rate = std::clamp(FixDiv(static_cast<int32_t>(distance), static_cast<int32_t>(duration)), 1,
                        kMaxRate - 1);
    }
    JumpToChord(f, run.lastChord, t, rate);
    return true;
  }
  return false;
}

}  // namespace

void ClearHypotheses(FollowerState& f) {
  f.hypothesisCount = 0;
  f.runLength = 0;
}

void RecordPerformedNote(FollowerState& f, uint8_t pitch, uint8_t velocity, SystemTime t) {
  if (f.performedNoteCount >= kPerformedNoteCapacity) {
    // One chord of 200 notes is no chord anyone plays: forget it and start afresh.
    f.performedNoteCount = 0;
    f.performedChordCount = 0;
  }
  const int32_t newest = f.performedChordCount - 1;
  if (newest >= 0 && t - Performed(f, newest).time < f.distances.chordWindow &&
      Performed(f, newest).noteCount < UINT8_MAX) {
    ++f.performedChords[static_cast<size_t>(newest)].noteCount;
  } else {
    f.performedChords[static_cast<size_t>(f.performedChordCount++)] =
        PerformedChord{t, f.performedNoteCount, 1};
  }
  f.performedNotes[static_cast<size_t>(f.performedNoteCount++)] = PerformedNote{pitch, velocity};
  if (f.performedChordCount == kPerformedChordCapacity ||
      f.performedNoteCount == kPerformedNoteCapacity) {
    TrimPerformed(f);
  }
}

bool ChordFits(const FollowerState& f, int32_t performed, int32_t chord, int32_t rate, bool tight,
               bool backward, bool allowFewer) {
  const PerformedChord& p = Performed(f, performed);
  const ScoreChord& c = Chord(f, chord);
  if (p.noteCount > c.noteCount || (p.noteCount < c.noteCount && !allowFewer)) return false;
  const int32_t otherPerformed = backward ? performed - 1 : performed + 1;
  const int32_t otherChord = backward ? chord - 1 : chord + 1;
  if (rate != 0 && otherPerformed >= 0 && otherPerformed < f.performedChordCount &&
      otherChord >= 0 && otherChord < static_cast<int32_t>(f.chords.size())) {
    const SystemTime performedGap = std::abs(Performed(f, otherPerformed).time - p.time);
    const int64_t scoreGap = std::abs(int64_t{Chord(f, otherChord).position} - c.position);
    const int64_t expected = FixMul(ElapsedForFix(performedGap), rate);
    int64_t tolerance =
        tight ? std::min<int64_t>(expected / 4, f.distances.spacingToleranceMaximum) : expected * 4;
    tolerance = std::max<int64_t>(tolerance, f.distances.spacingToleranceMinimum);
    if (scoreGap < expected - tolerance * 4 / 5 || scoreGap > expected + tolerance) return false;
  }
  for (int32_t n = p.firstNote; n < p.firstNote + p.noteCount; ++n) {
    const uint8_t pitch = f.performedNotes[static_cast<size_t>(n)].pitch;
    bool found = false;
    for (int32_t m = c.firstNote; m < c.firstNote + c.noteCount && !found; ++m) {
      found = (f.notes[static_cast<size_t>(m)].pitch & 0x7F) == pitch;
    }
    if (!found) return false;
  }
  return true;
}

void JumpSearch(FollowerState& f, int32_t e, uint32_t message, SystemTime t) {
  if (f.performedChordCount == 0 || f.chords.empty()) return;
  const bool running = FollowerClockNow(f).running;
  const int32_t referenceRate = running ? f.lastGoodRate : FollowerClockNow(f).rate;
  if (!running && StartAtLocation(f, e, t)) return;
  const bool newChord = Performed(f, f.performedChordCount - 1).noteCount == 1;
  ExtendHypotheses(f, newChord);
  if (f.hypothesisCount == 0) {
    SearchAfresh(f, e, static_cast<uint8_t>((message >> 8) & 0x7F), referenceRate, running);
  }
  if (f.hypothesisCount > 0 && f.runLength > 1) Decide(f, e, t, referenceRate, running);
}

}  // namespace tuttiro
