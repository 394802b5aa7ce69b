// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <optional>

TEST(NotificationCenter, DeliversObjectsToObserversOfTheNameInOrder)
{
    NotificationCenter center;
    QStringList calls;
    Subscription first = center.addObserver(Notifications::openWindow, [&](const QVariant &object) {
        calls << QStringLiteral("first:") + object.toString();
    });
    Subscription other = center.addObserver(
        QStringLiteral("other"), [&](const QVariant &) { calls << QStringLiteral("other"); });
    Subscription second =
        center.addObserver(Notifications::openWindow, [&](const QVariant &object) {
            calls << QStringLiteral("second:") + object.toString();
        });

    center.post(Notifications::openWindow, QStringLiteral("library"));
    EXPECT_EQ(calls, (QStringList{"first:library", "second:library"}));
    EXPECT_EQ(center.observerCount(Notifications::openWindow), 2);
}

TEST(NotificationCenter, EndedSubscriptionsStopDelivery)
{
    NotificationCenter center;
    int calls = 0;
    {
        Subscription scoped =
            center.addObserver(QStringLiteral("n"), [&](const QVariant &) { ++calls; });
        center.post(QStringLiteral("n"));
    }
    center.post(QStringLiteral("n"));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center.observerCount(QStringLiteral("n")), 0);

    Subscription moved =
        center.addObserver(QStringLiteral("n"), [&](const QVariant &) { ++calls; });
    Subscription target = std::move(moved);
    EXPECT_FALSE(moved.isActive());
    center.post(QStringLiteral("n"));
    EXPECT_EQ(calls, 2) << "moving keeps the observer";
    target = Subscription();
    center.post(QStringLiteral("n"));
    EXPECT_EQ(calls, 2) << "assigning over it removes the observer";
}

TEST(NotificationCenter, ObserversChangedDuringDeliveryTakeEffectAtOnce)
{
    NotificationCenter center;
    QStringList calls;
    std::optional<Subscription> second;
    std::optional<Subscription> added;
    Subscription first = center.addObserver(QStringLiteral("n"), [&](const QVariant &) {
        calls << QStringLiteral("first");
        second.reset(); // removed before its turn: not called
        if (!added) {
            added = center.addObserver(QStringLiteral("n"),
                                       [&](const QVariant &) { calls << QStringLiteral("added"); });
        }
    });
    second = center.addObserver(QStringLiteral("n"),
                                [&](const QVariant &) { calls << QStringLiteral("second"); });

    center.post(QStringLiteral("n"));
    EXPECT_EQ(calls, QStringList{"first"});
    center.post(QStringLiteral("n"));
    EXPECT_EQ(calls, (QStringList{"first", "first", "added"}));
}

TEST(NotificationCenter, SubscriptionsMayOutliveTheCenter)
{
    Subscription survivor;
    {
        NotificationCenter center;
        survivor = center.addObserver(QStringLiteral("n"), [](const QVariant &) {});
    }
    survivor.cancel();
    EXPECT_FALSE(survivor.isActive());
    EXPECT_EQ(&NotificationCenter::standard(), &NotificationCenter::standard());
}
