// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Orders version strings the way people read them: numbers compare as numbers
// ("1.10" is newer than "1.9"), missing trailing zeros do not count ("1.0" equals "1"),
// and a word after a number marks a pre-release ("1.0b2" is older than "1.0").
namespace VersionComparator {

// Negative when `a` is older than `b`, zero when they are the same version, positive when
// `a` is newer.
int compare(const QString &a, const QString &b);

inline bool isNewer(const QString &candidate, const QString &current)
{
    return compare(candidate, current) > 0;
}

} // namespace VersionComparator
