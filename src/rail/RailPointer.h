// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointF>

#include <optional>

// Where the pointer is over one rail and how many clicks landed outside its tabs, as the
// hosting view reports them to the rail content. Main thread only.
class RailPointer : public QObject
{
    Q_OBJECT

public:
    explicit RailPointer(QObject *parent = nullptr);

    // The pointer in rail coordinates; absent while it is outside the rail or the rail has no
    // window.
    std::optional<QPointF> location() const { return m_location; }
    // Moves the pointer; an equal location (compared exactly) notifies nobody.
    void setLocation(std::optional<QPointF> location);

    // How many clicks landed outside this rail's tabs; only its changes matter.
    qint64 outsideClicks() const { return m_outsideClicks; }
    // Counts one more click outside the rail's tabs.
    void addOutsideClick();

Q_SIGNALS:
    // The location changed (including to or from absent).
    void locationChanged();
    // The outside-click counter changed.
    void outsideClicksChanged();

private:
    std::optional<QPointF> m_location;
    qint64 m_outsideClicks = 0;
};
