// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/OkLab.h"

#include <algorithm>
#include <cmath>

// Matrices of Björn Ottosson's OKLab definition, from linear sRGB through the cone
// responses (LMS) and back.

namespace {

double toLinear(double c)
{
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double toGamma(double c)
{
    return c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1.0 / 2.4) - 0.055;
}

double interpolate(double from, double to, double fraction)
{
    return from + (to - from) * fraction;
}

} // namespace

OkLab OkLab::fromColor(const QColor &color)
{
    const QColor rgb = color.toRgb();
    const double r = toLinear(rgb.redF());
    const double g = toLinear(rgb.greenF());
    const double bl = toLinear(rgb.blueF());

    const double l = std::cbrt(0.4122214708 * r + 0.5363325363 * g + 0.0514459929 * bl);
    const double m = std::cbrt(0.2119034982 * r + 0.6806995451 * g + 0.1073969566 * bl);
    const double s = std::cbrt(0.0883024619 * r + 0.2817188376 * g + 0.6299787005 * bl);

    return OkLab{0.2104542553 * l + 0.7936177850 * m - 0.0040720468 * s,
                 1.9779984951 * l - 2.4285922050 * m + 0.4505937099 * s,
                 0.0259040371 * l + 0.7827717662 * m - 0.8086757660 * s};
}

QColor OkLab::toColor(double alpha) const
{
    const double l = std::pow(lightness + 0.3963377774 * a + 0.2158037573 * b, 3);
    const double m = std::pow(lightness - 0.1055613458 * a - 0.0638541728 * b, 3);
    const double s = std::pow(lightness - 0.0894841775 * a - 1.2914855480 * b, 3);

    const auto channel = [](double linear) { return std::clamp(toGamma(linear), 0.0, 1.0); };
    return QColor::fromRgbF(
        static_cast<float>(channel(4.0767416621 * l - 3.3077115913 * m + 0.2309699292 * s)),
        static_cast<float>(channel(-1.2684380046 * l + 2.6097574011 * m - 0.3413193965 * s)),
        static_cast<float>(channel(-0.0041960863 * l - 0.7034186147 * m + 1.7076147010 * s)),
        static_cast<float>(std::clamp(alpha, 0.0, 1.0)));
}

QColor OkLab::mix(const QColor &color, const QColor &other, double fraction)
{
    const OkLab from = fromColor(color);
    const OkLab to = fromColor(other);
    const OkLab mixed{interpolate(from.lightness, to.lightness, fraction),
                      interpolate(from.a, to.a, fraction), interpolate(from.b, to.b, fraction)};
    return mixed.toColor(interpolate(color.alphaF(), other.alphaF(), fraction));
}
