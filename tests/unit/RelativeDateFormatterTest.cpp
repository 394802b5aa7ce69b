// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/RelativeDateFormatter.h"

#include <gtest/gtest.h>

#include <QTimeZone>

namespace {

// A fixed moment away from month and year ends, in UTC so the machine's zone never
// matters.
QDateTime fixedNow()
{
    return QDateTime(QDate(2024, 5, 15), QTime(12, 0, 0), QTimeZone::utc());
}

class RelativeDateFormatterTest : public ::testing::Test
{
protected:
    RelativeDateFormatter formatter;
    QDateTime now = fixedNow();
};

} // namespace

TEST_F(RelativeDateFormatterTest, PastIntervalsUseTheLargestWholeUnit)
{
    const struct
    {
        qint64 secondsAgo;
        const char *expected;
    } cases[] = {
        {30, "hace 30 segundos"},
        {60, "hace 1 minuto"},
        {5 * 60, "hace 5 minutos"},
        {5 * 60 + 59, "hace 5 minutos"},
        {3600, "hace 1 hora"},
        {3 * 3600 + 1800, "hace 3 horas"},
        {23 * 3600 + 3599, "hace 23 horas"},
        {24 * 3600, "ayer"},
        {47 * 3600, "ayer"},
        {2 * 86400, "anteayer"},
        {3 * 86400, "hace 3 días"},
        {6 * 86400 + 3600, "hace 6 días"},
        {7 * 86400, "la semana pasada"},
        {15 * 86400, "hace 2 semanas"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(formatter.relative(now.addSecs(-c.secondsAgo), now),
                  QString::fromUtf8(c.expected))
            << c.secondsAgo << " s ago";
    }
}

TEST_F(RelativeDateFormatterTest, MonthsAndYearsFollowTheCalendar)
{
    // 30 days back from 15 May is 15 April: a whole month, although April has 30 days.
    EXPECT_EQ(formatter.relative(now.addDays(-30), now), QStringLiteral("el mes pasado"));
    EXPECT_EQ(formatter.relative(now.addDays(-29), now), QStringLiteral("hace 4 semanas"));
    EXPECT_EQ(formatter.relative(now.addMonths(-3), now), QStringLiteral("hace 3 meses"));
    EXPECT_EQ(formatter.relative(now.addYears(-1), now), QStringLiteral("el año pasado"));
    EXPECT_EQ(formatter.relative(now.addYears(-4).addMonths(-11), now),
              QStringLiteral("hace 4 años"));
}

TEST_F(RelativeDateFormatterTest, FutureAndPresent)
{
    EXPECT_EQ(formatter.relative(now, now), QStringLiteral("ahora"));
    EXPECT_EQ(formatter.relative(now.addSecs(5 * 60), now), QStringLiteral("dentro de 5 minutos"));
    EXPECT_EQ(formatter.relative(now.addDays(1), now), QStringLiteral("mañana"));
    EXPECT_EQ(formatter.relative(now.addDays(3), now), QStringLiteral("dentro de 3 días"));
}

TEST_F(RelativeDateFormatterTest, DatesInOtherZonesCountTheSameInstant)
{
    const QDateTime madrid =
        now.addSecs(-2 * 3600).toTimeZone(QTimeZone(QByteArrayLiteral("Europe/Madrid")));
    EXPECT_EQ(formatter.relative(madrid, now), QStringLiteral("hace 2 horas"));
}

TEST_F(RelativeDateFormatterTest, SavedLinePrefixesTheRelativeDate)
{
    EXPECT_EQ(formatter.saved(now.addSecs(-5 * 60), now),
              QStringLiteral("Guardado · hace 5 minutos"));
    EXPECT_EQ(formatter.saved(now.addDays(-1), now), QStringLiteral("Guardado · ayer"));
}

TEST_F(RelativeDateFormatterTest, SyncDateWithinAMinuteOrAheadIsAMoment)
{
    EXPECT_EQ(formatter.syncDate(std::nullopt, now), QStringLiteral("—"));
    EXPECT_EQ(formatter.syncDate(QDateTime(), now), QStringLiteral("—"));
    EXPECT_EQ(formatter.syncDate(now, now), QStringLiteral("hace un momento"));
    EXPECT_EQ(formatter.syncDate(now.addSecs(-59), now), QStringLiteral("hace un momento"));
    EXPECT_EQ(formatter.syncDate(now.addMSecs(-59999), now), QStringLiteral("hace un momento"));
    EXPECT_EQ(formatter.syncDate(now.addSecs(-60), now), QStringLiteral("hace 1 minuto"));
    EXPECT_EQ(formatter.syncDate(now.addSecs(30), now), QStringLiteral("hace un momento"));
    EXPECT_EQ(formatter.syncDate(now.addDays(2), now), QStringLiteral("hace un momento"));
    EXPECT_EQ(formatter.syncDate(now.addSecs(-3 * 3600), now), QStringLiteral("hace 3 horas"));
}

TEST_F(RelativeDateFormatterTest, DefaultNowIsTheClock)
{
    const QDateTime tenMinutesAgo = QDateTime::currentDateTime().addSecs(-10 * 60);
    EXPECT_EQ(formatter.saved(tenMinutesAgo), QStringLiteral("Guardado · hace 10 minutos"));
    EXPECT_EQ(formatter.syncDate(QDateTime::currentDateTime()), QStringLiteral("hace un momento"));
}
