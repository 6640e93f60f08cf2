#pragma once

namespace brxpack {

inline constexpr int kExitOk = 0;
inline constexpr int kExitDamaged = 1;    // verification found damage
inline constexpr int kExitRunFailed = 1;  // a simulated installation failed or gave another result
inline constexpr int kExitBadInput = 2;   // bad use, or input that cannot be used

}  // namespace brxpack
