// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Subscription.h"

#include <QObject>
#include <QPointer>
#include <QSet>

#include <chrono>
#include <optional>

class QMenu;
class WindowSystem;

// Knows when Orlette's own menus (a tab's context menu, the tray menu, any other) are
// open, so that a mouse-down on one of their items, or the one that dismisses them, is not
// taken for a click elsewhere on the desktop. Menus are found as they show, as widgets or
// through the tray host, and a press is still theirs for a moment after the menu closed,
// because the press that dismisses a menu is reported once the menu has already gone.
class OwnMenus : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds dismissGrace{250};

    explicit OwnMenus(WindowSystem &windows, QObject *parent = nullptr);
    ~OwnMenus() override;

    // Whether a mouse-down now belongs to one of the menus.
    bool claimPress() const;
    // Follows a menu that may open without showing a widget (the tray's).
    void watch(QMenu *menu);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void opened(QMenu *menu);
    void closed(QMenu *menu);

    WindowSystem &m_windows;
    QSet<QMenu *> m_watched;
    QSet<QMenu *> m_open;
    bool m_justClosed = false;
    std::optional<Subscription> m_grace;
};
