// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <optional>

// One connected screen. Frames are in global screen coordinates with a bottom-left
// origin and y upwards (QRectF's x/y hold the minimum corner).
struct ScreenInfo
{
    std::optional<quint32> displayNumber;
    QRectF frame;
    QRectF visibleFrame;
    QString localizedName;

    friend bool operator==(const ScreenInfo &, const ScreenInfo &) = default;
};

// Contains in the half-open sense: the maximum edges belong to the next screen.
inline bool frameContains(const QRectF &frame, const QPointF &point)
{
    return point.x() >= frame.left() && point.x() < frame.left() + frame.width() &&
           point.y() >= frame.top() && point.y() < frame.top() + frame.height();
}

// The screens of the window system and the pointer; faked in tests.
class ScreenSource
{
public:
    virtual ~ScreenSource() = default;
    virtual QList<ScreenInfo> screens() const = 0;
    virtual std::optional<ScreenInfo> mainScreen() const = 0;
    // Global pointer location (bottom-left origin).
    virtual QPointF pointerLocation() const = 0;
};
