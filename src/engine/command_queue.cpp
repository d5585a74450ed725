// The transport command queue: a ring of 32 codes under one mutex, held only for
// the few instructions that move an entry.
#include "engine/command_queue.h"

namespace tuttiro {

void QueueCommand(CommandQueueRec& queue, uint16_t code) {
  if (code == kCmdAllNotesOff && !queue.enabled[kCmdAllNotesOff].load()) return;
  std::lock_guard guard(queue.lock);
  if (queue.count == kCommandQueueCapacity) {
    queue.head = (queue.head + 1) % kCommandQueueCapacity;
    --queue.count;
  }
  queue.entries[static_cast<size_t>((queue.head + queue.count) % kCommandQueueCapacity)] = code;
  ++queue.count;
}

uint16_t TakeCommand(CommandQueueRec& queue) {
  std::lock_guard guard(queue.lock);
  if (queue.count == 0) return kNoCommand;
  const uint16_t code = queue.entries[static_cast<size_t>(queue.head)];
  queue.head = (queue.head + 1) % kCommandQueueCapacity;
  --queue.count;
  return code;
}

bool CommandQueueEmpty(CommandQueueRec& queue) {
  std::lock_guard guard(queue.lock);
  return queue.count == 0;
}

}  // namespace tuttiro
