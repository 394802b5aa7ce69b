// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/FrameClock.h"

FrameClock::FrameClock(QObject *parent) : AnimationClock(parent)
{
    m_elapsed.start();
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(frameInterval);
    connect(&m_timer, &QTimer::timeout, this, &AnimationClock::tick);
}

double FrameClock::now() const
{
    return double(m_elapsed.nsecsElapsed()) / 1e9;
}

void FrameClock::startFrames()
{
    m_timer.start();
}

void FrameClock::stopFrames()
{
    m_timer.stop();
}
