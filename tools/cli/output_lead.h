// The --lead option of play and follow: how much earlier than due the output's
// messages are sent.
#pragma once

namespace tuttiro::cli {

// Reads MS (0-500) into lead; otherwise says why on stderr and returns false.
bool ParseLead(const char* text, const char* command, int& lead);

}  // namespace tuttiro::cli
