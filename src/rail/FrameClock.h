// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rail/AnimationClock.h"

#include <QElapsedTimer>
#include <QTimer>

// The real animation clock: frames about every 16 ms from a precise timer, time from a
// monotonic clock.
class FrameClock : public AnimationClock
{
    Q_OBJECT

public:
    // Frame interval in milliseconds.
    static constexpr int frameInterval = 16;

    explicit FrameClock(QObject *parent = nullptr);

    // Seconds since the clock was made.
    double now() const override;

protected:
    void startFrames() override;
    void stopFrames() override;

private:
    QElapsedTimer m_elapsed;
    QTimer m_timer;
};
