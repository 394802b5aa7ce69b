// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

// A colour in the OKLab perceptual space: `lightness` from 0 (black) to 1 (white), `a` and
// `b` the green–red and blue–yellow axes. Mixing here keeps hue and shifts lightness evenly,
// where a mix of sRGB components drifts greyish.
struct OkLab
{
    double lightness = 0;
    double a = 0;
    double b = 0;

    static OkLab fromColor(const QColor &color);
    // Back to sRGB; components outside the sRGB gamut are clipped.
    QColor toColor(double alpha = 1.0) const;

    // `color` moved towards `other` by `fraction` (0 keeps `color`, 1 gives `other`), in
    // OKLab; opacity is mixed linearly.
    static QColor mix(const QColor &color, const QColor &other, double fraction);

    friend bool operator==(const OkLab &, const OkLab &) = default;
};
