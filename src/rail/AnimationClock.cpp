// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/AnimationClock.h"

AnimationClock::AnimationClock(QObject *parent) : QObject(parent) {}

AnimationClock::~AnimationClock() = default;

void AnimationClock::hold()
{
    if (m_holds++ == 0)
        startFrames();
}

void AnimationClock::release()
{
    if (m_holds == 0)
        return;
    if (--m_holds == 0)
        stopFrames();
}
