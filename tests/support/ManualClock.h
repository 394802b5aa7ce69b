// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rail/AnimationClock.h"

// An animation clock moved by hand, for tests and benchmarks: springs move only when it
// advances, and it never starts a timer of its own.
class ManualClock : public AnimationClock
{
public:
    // Not zero by default, so that nothing relies on time starting at 0.
    explicit ManualClock(double start = 100) : m_now(start) {}

    double now() const override { return m_now; }
    // Moves time on by `seconds` and delivers one frame (when someone holds the clock).
    void advance(double seconds)
    {
        m_now += seconds;
        if (isRunning())
            Q_EMIT tick();
    }
    // Moves time on without a frame, as between two frames.
    void skip(double seconds) { m_now += seconds; }
    // Runs frames of `frame` seconds for `seconds`; calls `each` after every frame.
    template <typename Each> void run(double seconds, double frame, Each each)
    {
        for (double t = 0; t < seconds - 1e-12; t += frame) {
            advance(frame);
            each();
        }
    }
    void run(double seconds, double frame = 1.0 / 60)
    {
        run(seconds, frame, [] {});
    }

    // How often the clock was asked to start and to stop delivering frames.
    int starts = 0;
    int stops = 0;

protected:
    void startFrames() override { ++starts; }
    void stopFrames() override { ++stops; }

private:
    double m_now;
};
