// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/FloatingNotePositions.h"

#include "model/AppSettings.h"
#include "model/ScreenSource.h"
#include "model/UserDefaults.h"

#include <QStringList>

#include <charconv>
#include <cmath>

namespace FloatingNotePositions {

namespace {

QString shortest(double value)
{
    // Without a format, to_chars writes the shortest text that reads back to the same
    // double, and never in a locale's notation; 32 characters hold the longest of them.
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    // Whole numbers keep one decimal ("412.0"), as positions written before read.
    if (!text.contains(u'.') && !text.contains(u'e'))
        text += QStringLiteral(".0");
    return text;
}

std::optional<double> number(QStringView piece)
{
    // Characters outside Latin-1 become '?', which is no number.
    const QByteArray text = piece.toLatin1();
    const char *begin = text.constData();
    const char *end = begin + text.size();
    // A plain leading plus is a number too; "+-1" is not.
    if (begin != end && *begin == '+' && (end - begin) > 1 && begin[1] != '-')
        ++begin;
    double value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Two numbers under `name`, as `parse` reads them.
std::optional<QPointF> pair(const UserDefaults &defaults, const QString &name)
{
    const QVariant value = defaults.value(name);
    if (!value.isValid())
        return std::nullopt;
    // An INI value written by hand without quotes comes back as a list split at the
    // commas; it is the same pair.
    if (value.metaType().id() == QMetaType::QStringList)
        return parse(value.toStringList().join(QLatin1Char(',')));
    return parse(value.toString());
}

} // namespace

QString sizeKey(const QUuid &noteId)
{
    return QStringLiteral("floatingNoteSize.") + noteId.toString(QUuid::WithoutBraces).toUpper();
}

QString key(const QUuid &noteId)
{
    return AppSettings::Keys::floatingNotePrefix + noteId.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QString> format(const QPointF &origin)
{
    if (!std::isfinite(origin.x()) || !std::isfinite(origin.y()))
        return std::nullopt;
    return shortest(origin.x()) + QLatin1Char(',') + shortest(origin.y());
}

std::optional<QPointF> parse(const QString &stored)
{
    QList<double> numbers;
    for (const QStringView piece : QStringView(stored).split(u',', Qt::SkipEmptyParts)) {
        if (const auto value = number(piece))
            numbers.append(*value);
    }
    if (numbers.size() != 2)
        return std::nullopt;
    return QPointF(numbers[0], numbers[1]);
}

std::optional<QPointF> load(const QUuid &noteId, const UserDefaults &defaults)
{
    return pair(defaults, key(noteId));
}

std::optional<QSizeF> loadSize(const QUuid &noteId, const QSizeF &minimum,
                               const UserDefaults &defaults)
{
    const std::optional<QPointF> stored = pair(defaults, sizeKey(noteId));
    if (!stored || stored->x() < minimum.width() || stored->y() < minimum.height())
        return std::nullopt;
    return QSizeF(stored->x(), stored->y());
}

void saveFrame(const QUuid &noteId, const QRectF &frame, UserDefaults &defaults)
{
    const auto write = [&defaults](const QString &name, const QPointF &value) {
        const std::optional<QString> text = format(value);
        if (text && defaults.value(name).toString() != *text)
            defaults.setValue(name, *text);
    };
    write(key(noteId), frame.topLeft());
    if (frame.width() > 0 && frame.height() > 0)
        write(sizeKey(noteId), QPointF(frame.width(), frame.height()));
}

void save(const QUuid &noteId, const QPointF &origin, UserDefaults &defaults)
{
    if (const auto text = format(origin))
        defaults.setValue(key(noteId), *text);
}

void forget(const QUuid &noteId, UserDefaults &defaults)
{
    defaults.remove(key(noteId));
    defaults.remove(sizeKey(noteId));
}

std::optional<QPointF> load(const QUuid &noteId)
{
    return load(noteId, UserDefaults::standard());
}

void save(const QUuid &noteId, const QPointF &origin)
{
    save(noteId, origin, UserDefaults::standard());
}

void forget(const QUuid &noteId)
{
    forget(noteId, UserDefaults::standard());
}

QPointF defaultOrigin(qsizetype index, const QSizeF &size, const ScreenSource &screens)
{
    std::optional<ScreenInfo> screen = screens.mainScreen();
    if (!screen) {
        const QList<ScreenInfo> all = screens.screens();
        if (all.isEmpty())
            return QPointF(200, 200);
        screen = all.first();
    }
    const qsizetype step = ((index % cascadeLength) + cascadeLength) % cascadeLength;
    const double offset = double(step) * cascadeStep;
    const QRectF visible = screen->visibleFrame;
    return QPointF(visible.center().x() - size.width() * 0.5 + offset,
                   visible.center().y() - size.height() * 0.5 - offset);
}

} // namespace FloatingNotePositions
