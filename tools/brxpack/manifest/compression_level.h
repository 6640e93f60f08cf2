#pragma once
// The compression levels of a manifest's [package] level and of --level.
namespace brxpack {

inline constexpr int kMaxCompressionLevel = 12;
// brxpack's default: the lowest level whose packages came out at most 1 %
// larger than zlib's level 9 on every tree measured, a JavaScript tree
// among them, at a fraction of its time (tools/bench/README.md).
inline constexpr int kDefaultCompressionLevel = 7;

}  // namespace brxpack
