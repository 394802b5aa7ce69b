// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncLog.h"

// Only error-level messages are ever written, so the category is enabled from there on.
Q_LOGGING_CATEGORY(lcSync, SyncLog::categoryName, QtCriticalMsg)

namespace SyncLog {

void error(const QString &message)
{
    qCCritical(lcSync, "%s", qUtf8Printable(message));
}

} // namespace SyncLog
