// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Folds text for case- and diacritic-insensitive matching: canonical decomposition,
// combining marks dropped, full case folding ("Café" and "CAFE" both give "cafe").
namespace SearchFolding {
QString fold(QStringView text);
// True when `needle` occurs in `haystack`, ignoring case and diacritics.
bool contains(QStringView haystack, QStringView needle);
} // namespace SearchFolding
