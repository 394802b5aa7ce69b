// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/StyledText.h"

#include <QByteArray>

#include <optional>

// Writes styled text as an RTF 1 document that common word processors read: code page
// 1252 header, font and colour tables, every character outside printable ASCII as a
// `\uN` escape with a one-byte fallback.
//
// Attributes a run leaves unset are not written, so they read back unset: the default
// font is the document's `\deff0` entry, and a run with no size carries no `\fs`.
class RtfWriter
{
public:
    // Sizes are written in half points and kept within what word processors accept.
    static constexpr int minimumHalfPoints = 2;
    static constexpr int maximumHalfPoints = 3276;
    // Name of the `\deff0` entry, which stands for "the surface's default font".
    static constexpr const char *defaultFontName = "Helvetica";

    // Nothing when the text cannot be written: it holds a surrogate code unit without its
    // pair, which is no character at all and which no RTF reader could give back.
    static std::optional<QByteArray> write(const StyledText &text);
};
