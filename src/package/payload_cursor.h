#pragma once
// Reads the items of a section payload and never reads past the block's size.
// The block must be followed by one zero byte in memory (SectionBlock
// guarantees it), so a text cut short by the block's end is still terminated.
#include <cstdint>
#include <optional>

#include "package/memory_range.h"

namespace brx {

class PayloadCursor {
 public:
  explicit PayloadCursor(MemoryRange block) : block_(block) {}

  bool AtEnd() const { return position_ >= block_.size; }
  uint32_t position() const { return position_; }
  uint32_t remaining() const { return AtEnd() ? 0 : block_.size - position_; }

  // The zero-terminated text at the cursor (possibly empty), moving past its
  // terminator; a text without terminator ends at the block's end. Nothing
  // (nullptr) when no byte is left.
  const char* ReadText();
  // Whether the text at the cursor ends with its terminator inside the
  // block (false at the block's end).
  bool TextIsComplete() const;
  // Like ReadText, but a text that the block's end cuts short gives nothing
  // (the cursor then stands at the end): for the last field of a record,
  // whose truncation must not pass as a complete record.
  const char* ReadCompleteText();
  // Unaligned little-endian numbers. Nothing when fewer bytes remain than the
  // number needs; the cursor then stands at the block's end.
  std::optional<uint32_t> ReadUint32();
  std::optional<int32_t> ReadInt32();
  std::optional<uint8_t> ReadByte();
  // Ends the list where the cursor stands, inside the block: every later
  // read gives nothing, and closed() tells this end from the block's.
  void Close();
  bool closed() const { return closed_; }

 private:
  void SkipToEnd() { position_ = block_.size; }

  MemoryRange block_;
  uint32_t position_ = 0;
  bool closed_ = false;
};

}  // namespace brx
