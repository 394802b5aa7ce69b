// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

#include <algorithm>

// `color` at `opacity` times its own alpha: how ink is used at the design's opacities.
inline QColor withOpacity(QColor color, double opacity)
{
    color.setAlphaF(float(std::clamp(double(color.alphaF()) * opacity, 0.0, 1.0)));
    return color;
}
