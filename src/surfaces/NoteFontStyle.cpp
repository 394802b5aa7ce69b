// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteFontStyle.h"

#include "model/AppSettings.h"
#include "model/UserDefaults.h"

#include <cmath>

NoteFontStyle NoteFontStyle::fromDefaults(const UserDefaults &defaults, double scale)
{
    return NoteFontStyle{
        defaults.stringValue(AppSettings::Keys::noteFont, AppSettings::Defaults::noteFont),
        defaults.doubleValue(AppSettings::Keys::noteFontSize, AppSettings::Defaults::noteFontSize),
        scale};
}

NoteFont NoteFontStyle::noteFont() const
{
    return NoteFonts::fromToken(token).value_or(NoteFont::caveat);
}

QFont NoteFontStyle::font() const
{
    const double points =
        std::isfinite(size) && size > 0 ? size : AppSettings::Defaults::noteFontSize;
    return NoteFonts::font(noteFont(), points * scale);
}
