// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

#include <unicode/uversion.h>

#include <memory>
#include <optional>

U_NAMESPACE_BEGIN
class RelativeDateTimeFormatter;
U_NAMESPACE_END

// Dates as the views word them relative to now, in Spanish: "hace 5 minutos", "ayer",
// "la semana pasada". The phrase names the largest whole unit elapsed (years, months,
// weeks, days, hours, minutes, seconds) and uses the language's own words where it has
// them. `now` is a parameter so callers can hold it steady.
class RelativeDateFormatter
{
public:
    RelativeDateFormatter();
    ~RelativeDateFormatter();
    RelativeDateFormatter(RelativeDateFormatter &&) noexcept;
    RelativeDateFormatter &operator=(RelativeDateFormatter &&) noexcept;

    // `date` relative to `now`, past or future ("hace 2 horas", "mañana"); "—" for an
    // invalid date.
    QString relative(const QDateTime &date, const QDateTime &now) const;

    // The status line of an open note: "Guardado · " and when it was last saved.
    QString saved(const QDateTime &date, const QDateTime &now = QDateTime::currentDateTime()) const;

    // The last transfer of the sync status: "—" when there was none, "hace un momento"
    // within the last minute (and for dates ahead of this clock, which another machine's
    // clock can give), otherwise the relative date.
    QString syncDate(const std::optional<QDateTime> &date,
                     const QDateTime &now = QDateTime::currentDateTime()) const;

private:
    std::unique_ptr<icu::RelativeDateTimeFormatter> m_formatter;
};
