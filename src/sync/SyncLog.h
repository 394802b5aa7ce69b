// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLoggingCategory>
#include <QString>

// The one diagnostic log of the application: the mirroring's failures, at error level,
// under the application id plus ".sync". Nothing written here may carry a password or a
// token.
Q_DECLARE_LOGGING_CATEGORY(lcSync)

namespace SyncLog {
inline constexpr const char *categoryName = "org.orlette.Orlette.sync";
// Writes one message at error level in the sync category.
void error(const QString &message);
} // namespace SyncLog
