// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/SpringAnimator.h"

#include "rail/AnimationClock.h"
#include "rail/FrameClock.h"

#include <cmath>

SpringAnimator::SpringAnimator(QObject *parent) : QObject(parent), m_clock(new FrameClock(this)) {}

SpringAnimator::SpringAnimator(AnimationClock *clock, QObject *parent)
    : QObject(parent), m_clock(clock)
{
    Q_ASSERT(clock);
}

SpringAnimator::~SpringAnimator()
{
    stopRunning();
}

void SpringAnimator::setValue(const QRectF &value)
{
    setValues({value.x(), value.y(), value.width(), value.height()});
}

QRectF SpringAnimator::rectValue() const
{
    return {component(m_values, 0), component(m_values, 1), component(m_values, 2),
            component(m_values, 3)};
}

void SpringAnimator::setValues(const Values &values)
{
    stopRunning();
    m_values = values;
    m_target = values;
    m_velocities = Values(values.size(), 0.0);
    m_startStates.clear();
    Q_EMIT valueChanged();
}

void SpringAnimator::animateTo(const Values &target, const std::optional<Spring> &spring)
{
    const Spring chosen = spring.value_or(m_spring);
    if (m_values.size() != target.size() || m_values.isEmpty() || !(chosen.response > 0) ||
        !m_clock) {
        const bool differs = m_values != target;
        setValues(target);
        if (differs)
            Q_EMIT finished();
        return;
    }
    if (m_animating)
        sample(); // start the new segment from where the motion really is now
    else if (m_values == target)
        return;

    m_activeSpring = chosen;
    m_target = target;
    m_startStates.resize(target.size());
    for (qsizetype i = 0; i < target.size(); ++i)
        m_startStates[i] = Spring::State{m_values[i] - target[i], m_velocities[i]};
    m_startTime = m_clock->now();
    startRunning();
}

void SpringAnimator::animateTo(qreal target, const std::optional<Spring> &spring)
{
    animateTo(Values{target}, spring);
}

void SpringAnimator::animateTo(QPointF target, const std::optional<Spring> &spring)
{
    animateTo(Values{target.x(), target.y()}, spring);
}

void SpringAnimator::animateTo(QSizeF target, const std::optional<Spring> &spring)
{
    animateTo(Values{target.width(), target.height()}, spring);
}

void SpringAnimator::animateTo(const QRectF &target, const std::optional<Spring> &spring)
{
    animateTo(Values{target.x(), target.y(), target.width(), target.height()}, spring);
}

void SpringAnimator::stop()
{
    if (!m_animating)
        return;
    sample();
    stopRunning();
    m_target = m_values;
    m_velocities.fill(0.0);
}

bool SpringAnimator::sample()
{
    if (!m_clock)
        return true;
    const double t = std::max(0.0, m_clock->now() - m_startTime);
    const double speedThreshold = m_restThreshold * m_activeSpring.angularFrequency();
    bool arrived = true;
    for (qsizetype i = 0; i < m_target.size(); ++i) {
        const Spring::State state = m_activeSpring.evolve(m_startStates[i], t);
        m_values[i] = m_target[i] + state.displacement;
        m_velocities[i] = state.velocity;
        arrived = arrived && std::abs(state.displacement) <= m_restThreshold &&
                  std::abs(state.velocity) <= speedThreshold;
    }
    return arrived;
}

void SpringAnimator::onTick()
{
    if (!m_animating)
        return;
    if (!sample()) {
        Q_EMIT valueChanged();
        return;
    }
    stopRunning();
    m_values = m_target;
    m_velocities.fill(0.0);
    Q_EMIT valueChanged();
    Q_EMIT finished();
}

void SpringAnimator::startRunning()
{
    if (m_animating || !m_clock)
        return;
    m_animating = true;
    m_tickConnection = connect(m_clock, &AnimationClock::tick, this, &SpringAnimator::onTick);
    m_clock->hold();
}

void SpringAnimator::stopRunning()
{
    if (!m_animating)
        return;
    m_animating = false;
    disconnect(m_tickConnection);
    if (m_clock)
        m_clock->release();
}
