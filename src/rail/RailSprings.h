// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rail/Spring.h"

// The springs that animate the rail's state changes.
namespace RailSprings {
// Waking and falling asleep.
inline constexpr Spring wake{0.3, 0.8};
// Opening and closing a note in place.
inline constexpr Spring preview{0.44, 0.82};
// A tab sliding out under the pointer.
inline constexpr Spring hover{0.22, 0.85};
// The new-note tab widening under the pointer.
inline constexpr Spring addHover{0.26, 0.85};
} // namespace RailSprings
