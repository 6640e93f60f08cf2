#include "app/usage.h"

#include "run/status.h"
#include "run/user_texts.h"

namespace brx {

void ShowUsage(System& system) {
  ShowStatus(system, "%s", kUsageText);
}

}  // namespace brx
