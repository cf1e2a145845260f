#pragma once

#include <QtGlobal>

namespace qv {

// Stored shortcut modifier bits (the classic Mac event flags). Caps Lock (0x10000) and Fn never take
// part: every flags value the input path hands on is masked with keyModifierMask.
inline constexpr quint32 keyShiftFlag = 0x20000;
inline constexpr quint32 keyControlFlag = 0x40000;
inline constexpr quint32 keyOptionFlag = 0x80000;
inline constexpr quint32 keyCommandFlag = 0x100000;
inline constexpr quint32 keyCapsLockFlag = 0x10000;
inline constexpr quint32 keyModifierMask = 0x1E0000;

} // namespace qv
