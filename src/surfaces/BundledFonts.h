// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// The fonts shipped inside the executable (the resource folder ":/fonts").
namespace BundledFonts {

// Makes every shipped font file usable by family name. Call once the application object
// exists; later calls do nothing more. Gives the families now available from the shipped
// files (empty when they could not be registered, for instance before the application
// object exists).
QStringList registerAll();

} // namespace BundledFonts
