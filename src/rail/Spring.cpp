// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/Spring.h"

#include <algorithm>
#include <cmath>
#include <numbers>

double Spring::angularFrequency() const
{
    return 2 * std::numbers::pi / response;
}

Spring::State Spring::evolve(State start, double t) const
{
    const double omega = angularFrequency();
    const double zeta = std::max(dampingFraction, 0.0);
    const double x0 = start.displacement;
    const double v0 = start.velocity;

    // Close to critical damping the under- and over-damped forms divide by almost zero.
    if (std::abs(zeta - 1) < 1e-6) {
        const double decay = std::exp(-omega * t);
        const double b = v0 + omega * x0;
        return {decay * (x0 + b * t), decay * (v0 - omega * t * b)};
    }
    if (zeta < 1) {
        const double a = zeta * omega;
        const double omegaD = omega * std::sqrt(1 - zeta * zeta);
        const double b = (v0 + a * x0) / omegaD;
        const double decay = std::exp(-a * t);
        const double c = std::cos(omegaD * t);
        const double s = std::sin(omegaD * t);
        const double x = decay * (x0 * c + b * s);
        const double v = decay * (-a * (x0 * c + b * s) + omegaD * (b * c - x0 * s));
        return {x, v};
    }
    const double root = std::sqrt(zeta * zeta - 1);
    const double r1 = -omega * (zeta - root);
    const double r2 = -omega * (zeta + root);
    const double c2 = (v0 - r1 * x0) / (r2 - r1);
    const double c1 = x0 - c2;
    const double e1 = std::exp(r1 * t);
    const double e2 = std::exp(r2 * t);
    return {c1 * e1 + c2 * e2, c1 * r1 * e1 + c2 * r2 * e2};
}
