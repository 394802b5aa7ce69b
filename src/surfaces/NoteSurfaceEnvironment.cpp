// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteSurfaceEnvironment.h"

#include "model/UserDefaults.h"
#include "surfaces/NoteChromeFonts.h"

UserDefaults &NoteSurfaceEnvironment::settings() const
{
    return defaults ? *defaults : UserDefaults::standard();
}

NoteFontStyle NoteSurfaceEnvironment::fontStyle(double scale) const
{
    return NoteFontStyle::fromDefaults(settings(), scale);
}

QFont NoteSurfaceEnvironment::noteFont(double scale) const
{
    return NoteChromeFonts::inDesignUnits(fontStyle(scale).font());
}
