// The lock list: the method files that threads of this process have taken for themselves.
#ifndef LYRUTIL_LOCK_LIST_H
#define LYRUTIL_LOCK_LIST_H

namespace lyrutil {

constexpr int kLockListSlots = 50;
constexpr int kLockListSlotBytes = 255;

// Empties every slot.
void ClearLockList();

}  // namespace lyrutil

#endif  // LYRUTIL_LOCK_LIST_H
