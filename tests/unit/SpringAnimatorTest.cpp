// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/SpringAnimator.h"
#include "rail/FrameClock.h"
#include "rail/RailSprings.h"

#include "ManualClock.h"
#include "TestSupport.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace {

} // namespace

TEST(Spring, ResponseIsThePeriodOfTheUndampedSpring)
{
    const Spring undamped{0.5, 0};
    EXPECT_NEAR(undamped.angularFrequency(), 4 * std::numbers::pi, 1e-12);
    const auto half = undamped.evolve({-100, 0}, 0.25);
    EXPECT_NEAR(half.displacement, 100, 1e-9);
    const auto full = undamped.evolve({-100, 0}, 0.5);
    EXPECT_NEAR(full.displacement, -100, 1e-9);
    EXPECT_NEAR(full.velocity, 0, 1e-9);
}

TEST(Spring, VelocityIsTheDerivativeOfThePosition)
{
    for (const double zeta : {0.3, 0.82, 1.0, 1.0000001, 1.7}) {
        const Spring spring{0.44, zeta};
        const Spring::State start{-80, 350};
        EXPECT_NEAR(spring.evolve(start, 0).displacement, -80, 1e-9) << zeta;
        EXPECT_NEAR(spring.evolve(start, 0).velocity, 350, 1e-6) << zeta;
        for (const double t : {0.01, 0.1, 0.3}) {
            const double h = 1e-6;
            const double slope = (spring.evolve(start, t + h).displacement -
                                  spring.evolve(start, t - h).displacement) /
                                 (2 * h);
            EXPECT_NEAR(spring.evolve(start, t).velocity, slope, 1e-3) << zeta << " at " << t;
        }
    }
}

TEST(SpringAnimator, ConvergesExactlyAndStopsTheClock)
{
    ManualClock clock;
    SpringAnimator animator(&clock);
    QSignalSpy finished(&animator, &SpringAnimator::finished);
    QSignalSpy moved(&animator, &SpringAnimator::valueChanged);
    animator.setValue(0.0);
    animator.animateTo(100.0, RailSprings::wake);
    EXPECT_TRUE(animator.isAnimating());
    EXPECT_TRUE(clock.isRunning());

    clock.run(0.1);
    EXPECT_GT(animator.value(), 0);
    EXPECT_LT(animator.value(), 100);
    clock.run(3);
    EXPECT_FALSE(animator.isAnimating());
    EXPECT_EQ(animator.value(), 100);
    EXPECT_EQ(animator.velocities(), SpringAnimator::Values{0});
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(clock.isRunning());
    EXPECT_EQ(clock.stops, 1);

    // Frames after the end change nothing.
    const auto movesAtRest = moved.count();
    clock.run(0.5);
    EXPECT_EQ(moved.count(), movesAtRest);

    // Asking for the value it already rests at is no animation.
    animator.animateTo(100.0);
    EXPECT_FALSE(animator.isAnimating());
    EXPECT_EQ(finished.count(), 1);
}

TEST(SpringAnimator, OvershootsOnlyBelowCriticalDamping)
{
    const auto peak = [](double zeta) {
        ManualClock clock;
        SpringAnimator animator(&clock);
        animator.setValue(0.0);
        animator.animateTo(100.0, Spring{0.44, zeta});
        double highest = 0;
        bool monotonic = true;
        double previous = 0;
        clock.run(10, 1.0 / 120, [&] {
            highest = std::max(highest, animator.value());
            monotonic = monotonic && animator.value() >= previous;
            previous = animator.value();
        });
        EXPECT_FALSE(animator.isAnimating()) << zeta;
        EXPECT_EQ(animator.value(), 100) << zeta;
        return std::pair(highest, monotonic);
    };
    EXPECT_GT(peak(0.5).first, 110);
    EXPECT_GT(peak(0.82).first, 100.5);
    EXPECT_FALSE(peak(0.82).second);
    for (const double zeta : {1.0, 1.5, 3.0}) {
        const auto [highest, monotonic] = peak(zeta);
        EXPECT_LE(highest, 100) << zeta;
        EXPECT_TRUE(monotonic) << zeta;
    }
}

TEST(SpringAnimator, FrameRateDoesNotChangeThePath)
{
    ManualClock fastClock, slowClock;
    SpringAnimator fast(&fastClock), slow(&slowClock);
    fast.setValue(QPointF(0, 0));
    slow.setValue(QPointF(0, 0));
    fast.animateTo(QPointF(300, -40), RailSprings::preview);
    slow.animateTo(QPointF(300, -40), RailSprings::preview);
    fastClock.run(0.2, 1.0 / 240);
    slowClock.run(0.2, 0.1);
    EXPECT_NEAR(fast.pointValue().x(), slow.pointValue().x(), 1e-6);
    EXPECT_NEAR(fast.pointValue().y(), slow.pointValue().y(), 1e-6);
}

TEST(SpringAnimator, RetargetingKeepsPositionAndVelocity)
{
    ManualClock clock;
    SpringAnimator animator(&clock);
    animator.setValue(0.0);
    animator.animateTo(100.0, RailSprings::hover);
    clock.run(0.05);
    // Between two frames, where the last frame's values are already stale.
    clock.skip(0.007);
    const Spring::State expected = RailSprings::hover.evolve({-100, 0}, 0.05 + 0.007);
    animator.animateTo(-50.0);
    EXPECT_NEAR(animator.value(), 100 + expected.displacement, 1e-9);
    EXPECT_NEAR(animator.velocities()[0], expected.velocity, 1e-9);
    EXPECT_GT(animator.velocities()[0], 0); // still heading up towards the old target

    // The next instant continues smoothly: no jump, the same slope.
    const double before = animator.value();
    clock.advance(1e-5);
    EXPECT_NEAR((animator.value() - before) / 1e-5, expected.velocity, 5);
    EXPECT_TRUE(animator.isAnimating());
    clock.run(3);
    EXPECT_EQ(animator.value(), -50);
    EXPECT_FALSE(clock.isRunning());
}

TEST(SpringAnimator, AnimatesRectanglesComponentWise)
{
    ManualClock clock;
    SpringAnimator animator(&clock);
    QSignalSpy finished(&animator, &SpringAnimator::finished);
    animator.setValue(QRectF(462, 371.5, 78, 116));
    animator.animateTo(QRectF(124, 262.5, 416, 260), RailSprings::preview);
    clock.run(0.1);
    const QRectF mid = animator.rectValue();
    EXPECT_LT(mid.x(), 462);
    EXPECT_GT(mid.x(), 124);
    EXPECT_GT(mid.width(), 78);
    EXPECT_LT(mid.y(), 371.5);
    clock.run(3);
    EXPECT_EQ(animator.rectValue(), QRectF(124, 262.5, 416, 260));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(animator.targetValues(), (SpringAnimator::Values{124, 262.5, 416, 260}));
}

TEST(SpringAnimator, JumpsWhenThereIsNothingToAnimateFrom)
{
    ManualClock clock;
    SpringAnimator animator(&clock);
    QSignalSpy finished(&animator, &SpringAnimator::finished);
    animator.animateTo(QSizeF(10, 20));
    EXPECT_EQ(animator.sizeValue(), QSizeF(10, 20));
    EXPECT_FALSE(animator.isAnimating());
    EXPECT_EQ(clock.starts, 0);
    EXPECT_EQ(finished.count(), 1);

    // Another dimension: a jump as well.
    animator.animateTo(5.0);
    EXPECT_EQ(animator.values(), SpringAnimator::Values{5});
    // A spring without response: a jump.
    animator.animateTo(9.0, Spring{0, 1});
    EXPECT_EQ(animator.value(), 9);
    EXPECT_EQ(clock.starts, 0);
    EXPECT_EQ(finished.count(), 3);
}

TEST(SpringAnimator, JumpsAndStopsEndTheAnimationWithoutFinishing)
{
    ManualClock clock;
    SpringAnimator animator(&clock);
    QSignalSpy finished(&animator, &SpringAnimator::finished);
    animator.setValue(0.0);
    animator.animateTo(100.0);
    clock.run(0.1);
    animator.setValue(40.0);
    EXPECT_FALSE(animator.isAnimating());
    EXPECT_FALSE(clock.isRunning());
    EXPECT_EQ(animator.value(), 40);

    animator.animateTo(0.0);
    clock.run(0.05);
    clock.skip(0.01);
    animator.stop();
    const double stoppedAt = animator.value();
    EXPECT_LT(stoppedAt, 40);
    EXPECT_GT(stoppedAt, 0);
    EXPECT_EQ(animator.targetValues(), SpringAnimator::Values{stoppedAt});
    EXPECT_FALSE(clock.isRunning());
    clock.run(1);
    EXPECT_EQ(animator.value(), stoppedAt);
    EXPECT_EQ(finished.count(), 0);
}

TEST(SpringAnimator, SharesOneClockAndReleasesItWhenDestroyed)
{
    ManualClock clock;
    SpringAnimator quick(&clock);
    auto slow = std::make_unique<SpringAnimator>(&clock);
    quick.setValue(0.0);
    slow->setValue(0.0);
    quick.animateTo(1.0, Spring{0.1, 1});
    slow->animateTo(1.0, Spring{5, 1});
    EXPECT_EQ(clock.starts, 1);
    clock.run(1);
    EXPECT_FALSE(quick.isAnimating());
    EXPECT_TRUE(slow->isAnimating());
    EXPECT_TRUE(clock.isRunning());
    slow.reset();
    EXPECT_FALSE(clock.isRunning());
    EXPECT_EQ(clock.stops, 1);
}

TEST(SpringAnimator, SurvivesItsClock)
{
    auto clock = std::make_unique<ManualClock>();
    SpringAnimator animator(clock.get());
    animator.setValue(0.0);
    animator.animateTo(1.0);
    clock.reset();
    animator.animateTo(2.0); // no clock left: a jump
    EXPECT_EQ(animator.value(), 2);
}

TEST(FrameClock, TicksWhileHeldWithRisingTime)
{
    FrameClock clock;
    int ticks = 0;
    QObject::connect(&clock, &AnimationClock::tick, [&] { ++ticks; });
    const double start = clock.now();
    clock.hold();
    EXPECT_TRUE(waitUntil([&] { return ticks >= 2; }, 2000));
    EXPECT_GT(clock.now(), start);
    clock.release();
    EXPECT_FALSE(clock.isRunning());
    clock.release(); // an extra release is harmless
    EXPECT_FALSE(clock.isRunning());
}
