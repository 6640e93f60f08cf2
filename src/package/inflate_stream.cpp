#include "package/inflate_stream.h"

namespace brx {

namespace {
// The interface version the installer is written against; any later zlib of
// the same major version accepts it.
constexpr char kZlibInterfaceVersion[] = "1.1.3";
}  // namespace

InflateState::~InflateState() {
  End();
}

void InflateState::End() {
  if (begun_) inflateEnd(&stream_);
  begun_ = false;
}

bool InflateState::Inflate(const uint8_t* source, uint32_t sourceLength, uint8_t* destination,
                           uint32_t destinationLength) {
  End();
  stream_ = {};
  if (inflateInit_(&stream_, kZlibInterfaceVersion, static_cast<int>(sizeof(z_stream))) != Z_OK) {
    return false;
  }
  // Marked before inflate runs: a fault may leave it at any point.
  begun_ = true;
  stream_.next_in = const_cast<Bytef*>(source);
  stream_.avail_in = sourceLength;
  stream_.next_out = destination != nullptr ? destination : &noRoom_;
  stream_.avail_out = destination != nullptr ? destinationLength : 0;
  // One call with all input and all output space produces the whole content;
  // anything short of the stream's end (with its Adler-32 checked) is damage.
  const int result = inflate(&stream_, Z_NO_FLUSH);
  const bool complete = result == Z_STREAM_END && stream_.total_out == destinationLength;
  End();
  return complete;
}

bool InflateStream(const uint8_t* source, uint32_t sourceLength, uint8_t* destination,
                   uint32_t destinationLength) {
  InflateState state;
  return state.Inflate(source, sourceLength, destination, destinationLength);
}

}  // namespace brx
