// Fuzz target: any bytes, opened as a piece from memory, must load or fail with
// a load result; never crash, overread, hang or allocate without bound. The
// piece's settings record is read and every slot applied, and settings written
// into the same bytes must read back as they were built.
#include <cstddef>
#include <cstdint>

#include "piece/piece_model.h"
#include "piece/piece_settings.h"
#include "piece/settings_writer.h"

namespace {

void CheckSettings(tuttiro::SettingsContext& context, const std::vector<uint8_t>& image) {
  using namespace tuttiro;
  for (int slot = 0; slot < kSettingsSlotCount; ++slot) ApplySettingsSlot(context, slot);
  std::optional<PieceSettingsRecord> existing = ReadPieceSettings(context.sources, "fuzz");
  if (!existing) return;
  if (existing->bytes.size() < kSettingsHeaderSize) __builtin_trap();
  PieceSettingsRecord record =
      BuildPieceSettingsRecord(*existing, 0, "fuzz", context.live, context.piece);
  std::vector<uint8_t> written = image;
  if (PlaceSettingsEvent(written, record) != SettingsWriteResult::kOk) return;
  context.sources.memoryImages["written"] = written;
  std::optional<PieceSettingsRecord> back = ReadPieceSettings(context.sources, "written");
  if (!back || back->bytes != record.bytes) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tuttiro::PieceSourceState sources;
  sources.memoryImages["fuzz"] = std::vector<uint8_t>(data, data + size);
  tuttiro::PieceModel piece;
  tuttiro::PieceSettings live;
  tuttiro::SystemSettings system;
  tuttiro::SettingsContext context{piece, sources, live, system};
  tuttiro::PieceHooks hooks;
  tuttiro::SetPieceSettingsHooks(hooks, context);
  int result = tuttiro::OpenPiece(piece, sources, "fuzz", hooks);
  if (result < tuttiro::kLoadOk || result > tuttiro::kLoadTooLarge) __builtin_trap();
  if (result == tuttiro::kLoadOk &&
      piece.tracks.size() != static_cast<size_t>(piece.trackCount) + 1) {
    __builtin_trap();
  }
  if (result == tuttiro::kLoadOk) CheckSettings(context, sources.memoryImages["fuzz"]);
  return 0;
}
