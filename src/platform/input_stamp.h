// The time an incoming MIDI message was played, from the back end's own
// spacing of the messages: RtMidi hands each message with the seconds since
// the one before, measured where the back end received it (ALSA's queue
// timestamps, JACK's period), which is closer to when the key went down than
// the moment our callback runs. The chain of those spacings is kept on the
// platform clock: never later than now and never further behind it than a
// callback can plausibly be late.
#pragma once

#include "platform/platform.h"

namespace tuttiro {

// How far behind the platform clock a stamp may lie.
inline constexpr double kMaxInputLagMs = 50.0;

// One input device's chain; reset when the device is opened.
struct InputStampRec {
  bool started = false;
  double lastMs = 0;  // the previous message's stamp, in fractional ms
};

// The stamp of a message that arrives at `now`, `sinceLastSeconds` after the
// previous one by the back end's clock (negative or not a number when it
// gives none: then the message is stamped `now`). The first message of a
// chain is stamped `now`.
SystemTime InputStamp(InputStampRec& chain, SystemTime now, double sinceLastSeconds);

}  // namespace tuttiro
