// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rail/Spring.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>

class AnimationClock;

// Moves a set of numbers (one qreal, a point, a size, a rectangle, or any list) towards a
// target along a damped spring, frame by frame from an animation clock. A new target
// mid-flight starts from the current values and velocities, so the motion never jumps.
// Main thread only.
class SpringAnimator : public QObject
{
    Q_OBJECT

public:
    using Values = QList<double>;

    // An animator with its own real frame clock.
    explicit SpringAnimator(QObject *parent = nullptr);
    // An animator driven by `clock`, which must be non-null; it may be shared and may die first.
    explicit SpringAnimator(AnimationClock *clock, QObject *parent = nullptr);
    ~SpringAnimator() override;

    // The spring used by `animateTo` calls that name none.
    Spring spring() const { return m_spring; }
    // Sets the default spring; a running animation keeps its own.
    void setSpring(Spring spring) { m_spring = spring; }

    // Jumps to `values` at once, ending any animation (emits valueChanged, not finished).
    void setValues(const Values &values);
    void setValue(qreal value) { setValues({value}); }
    void setValue(QPointF value) { setValues({value.x(), value.y()}); }
    void setValue(QSizeF value) { setValues({value.width(), value.height()}); }
    void setValue(const QRectF &value);

    // Springs towards `target` (with `spring`, or the default one), keeping the current
    // velocity. An animator that has no values yet, or values of another dimension, jumps.
    void animateTo(const Values &target, const std::optional<Spring> &spring = std::nullopt);
    void animateTo(qreal target, const std::optional<Spring> &spring = std::nullopt);
    void animateTo(QPointF target, const std::optional<Spring> &spring = std::nullopt);
    void animateTo(QSizeF target, const std::optional<Spring> &spring = std::nullopt);
    void animateTo(const QRectF &target, const std::optional<Spring> &spring = std::nullopt);
    // Stops where the values are now, without reaching the target (emits nothing).
    void stop();

    // The current values.
    const Values &values() const { return m_values; }
    // The first value (0 when there is none).
    qreal value() const { return component(m_values, 0); }
    // The first two values as a point.
    QPointF pointValue() const { return {component(m_values, 0), component(m_values, 1)}; }
    // The first two values as a size.
    QSizeF sizeValue() const { return {component(m_values, 0), component(m_values, 1)}; }
    // The first four values as a rectangle (x, y, width, height).
    QRectF rectValue() const;
    // The values the animation is heading for (the current values at rest).
    const Values &targetValues() const { return m_target; }
    // The current velocities, per second (zero at rest).
    const Values &velocities() const { return m_velocities; }
    // Whether an animation is under way.
    bool isAnimating() const { return m_animating; }

    // Values closer than this to the target (and slower than this × the spring's angular
    // frequency per second) count as arrived. Default 0.001.
    double restThreshold() const { return m_restThreshold; }
    // Sets the arrival threshold.
    void setRestThreshold(double threshold) { m_restThreshold = threshold; }

Q_SIGNALS:
    // The values moved (every animation frame, and jumps).
    void valueChanged();
    // An animation reached its target and stopped.
    void finished();

private:
    static double component(const Values &values, qsizetype index)
    {
        return index < values.size() ? values[index] : 0;
    }
    // Brings values and velocities to the clock's current time; true when they arrived.
    bool sample();
    void onTick();
    void startRunning();
    void stopRunning();

    QPointer<AnimationClock> m_clock;
    QMetaObject::Connection m_tickConnection;
    Spring m_spring;
    Spring m_activeSpring;
    Values m_values;
    Values m_velocities;
    Values m_target;
    // The state each component started its current segment from, relative to the target.
    QList<Spring::State> m_startStates;
    double m_startTime = 0;
    bool m_animating = false;
    double m_restThreshold = 0.001;
};
