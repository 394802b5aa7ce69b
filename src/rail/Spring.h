// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The character of a spring animation: `response` is the period in seconds of the undamped
// oscillation (stiffness (2π / response)² on a unit mass) and `dampingFraction` the ratio to
// critical damping (1 settles without overshoot, less bounces, more creeps).
struct Spring
{
    double response = 0.55;
    double dampingFraction = 0.825;

    // Position and velocity relative to the target.
    struct State
    {
        double displacement = 0;
        double velocity = 0;
    };

    // Angular frequency of the undamped spring, 2π / response.
    double angularFrequency() const;
    // The exact state `t` seconds after `start` (closed form of the damped oscillator).
    State evolve(State start, double t) const;

    friend bool operator==(const Spring &, const Spring &) = default;
};
