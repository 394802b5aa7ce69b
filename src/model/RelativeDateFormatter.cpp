// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/RelativeDateFormatter.h"

#include <QLocale>
#include <QTimeZone>

#include <unicode/locid.h>
#include <unicode/reldatefmt.h>
#include <unicode/unistr.h>

namespace {

const QString noDate = QStringLiteral("—");

struct Span
{
    URelativeDateTimeUnit unit;
    qint64 count;
};

// The largest calendar unit with a non-zero whole count between `from` and `to`
// (from ≤ to), counted the way a calendar adds them: years first, then months, weeks,
// days, and the remaining time.
Span largestSpan(QDateTime from, const QDateTime &to)
{
    int years = to.date().year() - from.date().year();
    if (from.addYears(years) > to)
        --years;
    from = from.addYears(years);
    if (years != 0)
        return {UDAT_REL_UNIT_YEAR, years};

    int months =
        (to.date().year() - from.date().year()) * 12 + to.date().month() - from.date().month();
    if (from.addMonths(months) > to)
        --months;
    from = from.addMonths(months);
    if (months != 0)
        return {UDAT_REL_UNIT_MONTH, months};

    qint64 days = from.date().daysTo(to.date());
    if (from.addDays(days) > to)
        --days;
    from = from.addDays(days);
    if (days >= 7)
        return {UDAT_REL_UNIT_WEEK, days / 7};
    if (days != 0)
        return {UDAT_REL_UNIT_DAY, days};

    const qint64 seconds = from.secsTo(to);
    if (seconds >= 3600)
        return {UDAT_REL_UNIT_HOUR, seconds / 3600};
    if (seconds >= 60)
        return {UDAT_REL_UNIT_MINUTE, seconds / 60};
    return {UDAT_REL_UNIT_SECOND, seconds};
}

} // namespace

RelativeDateFormatter::RelativeDateFormatter()
{
    UErrorCode status = U_ZERO_ERROR;
    auto formatter = std::make_unique<icu::RelativeDateTimeFormatter>(
        icu::Locale("es"), nullptr, UDAT_STYLE_LONG, UDISPCTX_CAPITALIZATION_NONE, status);
    if (U_SUCCESS(status))
        m_formatter = std::move(formatter);
}

RelativeDateFormatter::~RelativeDateFormatter() = default;
RelativeDateFormatter::RelativeDateFormatter(RelativeDateFormatter &&) noexcept = default;
RelativeDateFormatter &
RelativeDateFormatter::operator=(RelativeDateFormatter &&) noexcept = default;

QString RelativeDateFormatter::relative(const QDateTime &date, const QDateTime &now) const
{
    if (!date.isValid() || !now.isValid())
        return noDate;

    // Count in now's time zone, so that days and months break where the reader's do.
    const QTimeZone zone = now.timeZone();
    const QDateTime then = date.toTimeZone(zone);
    const QDateTime current = now.toTimeZone(zone);
    const bool past = then < current;
    const Span span = past ? largestSpan(then, current) : largestSpan(current, then);

    if (m_formatter) {
        UErrorCode status = U_ZERO_ERROR;
        icu::UnicodeString text;
        m_formatter->format(static_cast<double>(past ? -span.count : span.count), span.unit, text,
                            status);
        if (U_SUCCESS(status))
            return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
    }
    // Without the locale data there is no phrase to build; the plain date still tells.
    return QLocale(QLocale::Spanish).toString(date, QLocale::ShortFormat);
}

QString RelativeDateFormatter::saved(const QDateTime &date, const QDateTime &now) const
{
    return QStringLiteral("Guardado · ") + relative(date, now);
}

QString RelativeDateFormatter::syncDate(const std::optional<QDateTime> &date,
                                        const QDateTime &now) const
{
    if (!date || !date->isValid())
        return noDate;
    if (date->msecsTo(now) < 60 * 1000)
        return QStringLiteral("hace un momento");
    return relative(*date, now);
}
