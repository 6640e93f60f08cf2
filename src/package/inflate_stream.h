#pragma once
#include <zlib.h>

#include <cstdint>

namespace brx {

// Deflate cannot expand its input by more than about 1032:1. A size beyond
// this bound cannot come from a stream of compressedSize bytes, so it is
// refused before anything of that size is allocated or inflated.
inline bool CouldInflateTo(uint32_t compressedSize, uint64_t size) {
  constexpr uint64_t kMaxInflateRatio = 1032;
  constexpr uint64_t kInflateSlack = 1024;
  return size <= uint64_t{compressedSize} * kMaxInflateRatio + kInflateSlack;
}

// The state of one inflate call, kept by its owner's frame. A fault in the
// destination (a file's view whose page the disk cannot back) jumps out of
// inflate past every frame below the view guard; a state owned above the
// guard is still ended, by its destructor, when that frame returns.
class InflateState {
 public:
  InflateState() = default;
  InflateState(const InflateState&) = delete;
  InflateState& operator=(const InflateState&) = delete;
  ~InflateState();

  // Inflates one zlib stream held wholly in memory with a single inflate
  // call that is given all input and all output space. True only when the
  // stream ended (zlib has checked its Adler-32) with exactly
  // destinationLength bytes produced. The destination never receives more
  // than destinationLength bytes.
  bool Inflate(const uint8_t* source, uint32_t sourceLength, uint8_t* destination,
               uint32_t destinationLength);

 private:
  void End();

  z_stream stream_ = {};
  bool begun_ = false;
  // zlib refuses a null output pointer even when there is no room to fill,
  // and an empty entry may legitimately come with one.
  uint8_t noRoom_ = 0;
};

// InflateState::Inflate with a state of its own, for destinations that
// cannot fault (heap blocks).
bool InflateStream(const uint8_t* source, uint32_t sourceLength, uint8_t* destination,
                   uint32_t destinationLength);

}  // namespace brx
