#include "package/inflate_stream.h"

#include <zlib.h>

namespace brx {

namespace {
// The interface version the installer is written against; any later zlib of
// the same major version accepts it.
constexpr char kZlibInterfaceVersion[] = "1.1.3";
}  // namespace

bool InflateStream(const uint8_t* source, uint32_t sourceLength, uint8_t* destination,
                   uint32_t destinationLength) {
  // zlib refuses a null output pointer even when there is no room to fill,
  // and an empty entry may legitimately come with one.
  uint8_t noRoom = 0;
  z_stream stream = {};
  stream.zalloc = Z_NULL;
  stream.zfree = Z_NULL;
  stream.opaque = Z_NULL;
  if (inflateInit_(&stream, kZlibInterfaceVersion, static_cast<int>(sizeof(z_stream))) != Z_OK) {
    return false;
  }
  stream.next_in = const_cast<Bytef*>(source);
  stream.avail_in = sourceLength;
  stream.next_out = destination != nullptr ? destination : &noRoom;
  stream.avail_out = destination != nullptr ? destinationLength : 0;
  // One call with all input and all output space produces the whole content;
  // anything short of the stream's end (with its Adler-32 checked) is damage.
  const int result = inflate(&stream, Z_NO_FLUSH);
  const bool complete = result == Z_STREAM_END && stream.total_out == destinationLength;
  inflateEnd(&stream);
  return complete;
}

}  // namespace brx
