// The follower's own helpers, shared by note matching, the jump search and tapped
// beats. Each runs on the thread that holds the follower's busy flag.
#pragma once

#include "engine/follower.h"

namespace tuttiro {

// The current time, asked of the host.
SystemTime FollowerNow(FollowerState& f);
FollowerClock FollowerClockNow(const FollowerState& f);
// Moves the clock to (position, time) at rate and, when push is set, records the
// anchor in the tempo map.
void FollowerSetAnchor(FollowerState& f, int32_t position, SystemTime time, int32_t rate,
                       bool push);
void FollowerReportClock(FollowerState& f);
void FollowerReportLoudness(FollowerState& f);
// Empties a tempo map that holds only the start anchor (the clock really starts later).
void FollowerDropStartAnchor(FollowerState& f);
void ComputeWaitLimit(FollowerState& f);
// The first chord at or after position p (the chord count when there is none).
int32_t FirstChordAtOrAfter(const FollowerState& f, int32_t p);
// Marks an unmatched written note of this pitch in the chord; -1 when there is none.
int32_t MarkNote(FollowerState& f, const ScoreChord& chord, uint8_t pitch);
bool InIgnoreRange(const FollowerState& f, int32_t p);
void JumpToChord(FollowerState& f, int32_t chord, SystemTime t, int32_t rate);
void ClearHypotheses(FollowerState& f);

void RecordPerformedNote(FollowerState& f, uint8_t pitch, uint8_t velocity, SystemTime t);
bool ChordFits(const FollowerState& f, int32_t performed, int32_t chord, int32_t rate, bool tight,
               bool backward, bool allowFewer);
void JumpSearch(FollowerState& f, int32_t e, uint32_t message, SystemTime t);

void ProcessTap(FollowerState& f, int32_t strength, SystemTime t);

}  // namespace tuttiro
