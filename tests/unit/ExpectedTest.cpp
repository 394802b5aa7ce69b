// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Expected.h"

#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

// The steps of a chain run only while the ones before succeeded, and a failure reaches
// the end in the caller's own error type: a write that depends on a failed one never runs.
TEST(ExpectedTest, AChainStopsAtTheFirstFailureAndTellsItInTheCallersWords)
{
    QStringList ran;
    const auto step = [&](const QString &name, bool succeeds) {
        return [&ran, name, succeeds]() -> Expected<void, int> {
            ran << name;
            if (succeeds)
                return {};
            return Unexpected(int(ran.size()));
        };
    };
    const auto words = [](int failedStep) { return QStringLiteral("paso %1").arg(failedStep); };

    const Expected<void, QString> whole = step(QStringLiteral("olvidar"), true)()
                                              .and_then(step(QStringLiteral("emparejar"), false))
                                              .and_then(step(QStringLiteral("anotar"), true))
                                              .transform_error(words);
    ASSERT_FALSE(whole);
    EXPECT_EQ(whole.error(), QStringLiteral("paso 2"));
    EXPECT_EQ(ran, QStringList({QStringLiteral("olvidar"), QStringLiteral("emparejar")}));

    // With values: each step gets the value of the one before; a value passes a
    // translation untouched.
    const auto half = [](int value) -> Expected<int, int> {
        if (value % 2 != 0)
            return Unexpected(value);
        return value / 2;
    };
    const Expected<int, QString> quarter =
        Expected<int, int>(12).and_then(half).and_then(half).transform_error(words);
    EXPECT_EQ(quarter, 3);
    const auto odd = Expected<int, int>(12).and_then(half).and_then(half).and_then(half);
    ASSERT_FALSE(odd);
    EXPECT_EQ(odd.error(), 3);
}
