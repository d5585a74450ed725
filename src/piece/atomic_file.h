// Replacing a file so that a crash never leaves it half written: the new
// contents go to a temporary file in the same folder, are flushed to disk and
// then renamed over the old file in one step.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tuttiro {

// True when `path` now holds exactly `bytes`. On failure the old file, if
// any, is left as it was and no temporary file remains. An existing file
// keeps its permissions.
bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes);

// Why this thread's last WriteFileAtomically failed: the system's words and the
// path ("Permission denied: /home/me/piece.mid"); empty after a success.
const std::string& LastWriteFailure();

}  // namespace tuttiro
