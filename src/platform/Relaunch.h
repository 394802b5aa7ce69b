// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace Relaunch {

// The argument a start made by the running Orlette just before it quits carries, so the
// new process waits for the old one to leave instead of handing over to it.
inline const QString argument = QStringLiteral("--relaunched");

} // namespace Relaunch
