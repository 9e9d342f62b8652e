// File times as the stand-in's caches read them (the drive table, the profiles).
#include "internal.h"

#include <ctime>

namespace lyrwin {

bool SettledBefore(const struct timespec& changed, const struct timespec& then) {
  return changed.tv_sec + 1 < then.tv_sec ||
         (changed.tv_sec + 1 == then.tv_sec && changed.tv_nsec <= then.tv_nsec);
}

}  // namespace lyrwin
