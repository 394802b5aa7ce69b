// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

// A source of animation frames. Animators hold it while they move and release it when they
// come to rest; frames only run while someone holds the clock.
class AnimationClock : public QObject
{
    Q_OBJECT

public:
    explicit AnimationClock(QObject *parent = nullptr);
    ~AnimationClock() override;

    // The current time in seconds, on a clock that never goes backwards.
    virtual double now() const = 0;
    // Asks for frames; the first hold starts them.
    void hold();
    // Gives back one hold; the last release stops the frames.
    void release();
    // Whether frames are running (someone holds the clock).
    bool isRunning() const { return m_holds > 0; }

Q_SIGNALS:
    // One frame; animators read `now()` and move.
    void tick();

protected:
    // Starts delivering `tick()`.
    virtual void startFrames() = 0;
    // Stops delivering `tick()`.
    virtual void stopFrames() = 0;

private:
    int m_holds = 0;
};
