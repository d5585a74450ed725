// The transport command queue: the only way the real-time callbacks (remote
// control, the loop end, the end of the piece) ask the window thread to start or
// stop anything. Producers on any thread, one consumer (the idle pass).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

namespace tuttiro {

enum TransportCommand : uint16_t {
  kCmdPlayAndFollow = 0,
  kCmdPlayFile = 1,
  kCmdPlayPerformance = 2,
  kCmdFastForward = 3,
  kCmdRewind = 4,
  kCmdStop = 5,
  kCmdPreview = 6,
  kCmdJumpAhead = 7,
  kCmdJumpBack = 8,
  kCmdJumpAgain = 9,
  kCmdMetronome = 10,
  kCmdLoopMode = 11,
  kCmdAllNotesOff = 12,
};
inline constexpr int kTransportCommandCount = 13;
inline constexpr int kCommandQueueCapacity = 32;
inline constexpr uint16_t kNoCommand = 65535;

struct CommandQueueRec {
  std::mutex lock;  // guards entries, head and count
  std::array<uint16_t, kCommandQueueCapacity> entries{};
  int head = 0;
  int count = 0;
  // One flag per command; a dequeued command whose flag is clear is dropped
  // (Stop excepted).
  std::array<std::atomic<bool>, kTransportCommandCount> enabled{};
};

// Appends a command; when 32 wait, the oldest is dropped. All Notes Off is
// refused while its flag is clear (one is running). Any thread.
void QueueCommand(CommandQueueRec& queue, uint16_t code);
// The oldest command, or kNoCommand.
uint16_t TakeCommand(CommandQueueRec& queue);
bool CommandQueueEmpty(CommandQueueRec& queue);

}  // namespace tuttiro
