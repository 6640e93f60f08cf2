#include "package/payload_cursor.h"

#include <cstring>

#include "package/format.h"

namespace brx {

const char* PayloadCursor::ReadText() {
  if (AtEnd()) return nullptr;
  const uint8_t* text = block_.data + position_;
  const void* terminator = std::memchr(text, 0, remaining());
  // Without a terminator the text ends with the block; the zero byte that
  // follows every block in memory terminates it.
  position_ =
      terminator != nullptr
          ? position_ + static_cast<uint32_t>(static_cast<const uint8_t*>(terminator) - text) + 1
          : block_.size;
  return reinterpret_cast<const char*>(text);
}

bool PayloadCursor::TextIsComplete() const {
  return !AtEnd() && std::memchr(block_.data + position_, 0, remaining()) != nullptr;
}

const char* PayloadCursor::ReadCompleteText() {
  if (AtEnd()) return nullptr;
  if (!TextIsComplete()) {
    SkipToEnd();
    return nullptr;
  }
  return ReadText();
}

std::optional<uint32_t> PayloadCursor::ReadUint32() {
  if (remaining() < 4) {
    SkipToEnd();
    return std::nullopt;
  }
  const uint32_t value = ReadLe32(block_.data + position_);
  position_ += 4;
  return value;
}

std::optional<int32_t> PayloadCursor::ReadInt32() {
  const std::optional<uint32_t> value = ReadUint32();
  if (!value) return std::nullopt;
  return static_cast<int32_t>(*value);
}

std::optional<uint8_t> PayloadCursor::ReadByte() {
  if (AtEnd()) return std::nullopt;
  return block_.data[position_++];
}

void PayloadCursor::Close() {
  SkipToEnd();
  closed_ = true;
}

}  // namespace brx
