// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/OwnMenus.h"

#include "rail/WindowSystem.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>

OwnMenus::OwnMenus(WindowSystem &windows, QObject *parent) : QObject(parent), m_windows(windows)
{
    // Menus built before this object (the tray's) are found among the widgets.
    for (QWidget *widget : QApplication::allWidgets()) {
        if (auto *menu = qobject_cast<QMenu *>(widget))
            watch(menu);
    }
    qApp->installEventFilter(this);
}

OwnMenus::~OwnMenus()
{
    if (qApp)
        qApp->removeEventFilter(this);
}

bool OwnMenus::claimPress() const
{
    return !m_open.isEmpty() || m_justClosed || QApplication::activePopupWidget() != nullptr;
}

void OwnMenus::watch(QMenu *menu)
{
    if (menu == nullptr || m_watched.contains(menu))
        return;
    m_watched.insert(menu);
    // Emitted for widget menus and for those the tray host draws alike.
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { opened(menu); });
    connect(menu, &QMenu::aboutToHide, this, [this, menu] { closed(menu); });
    connect(menu, &QObject::destroyed, this, [this, menu] {
        m_watched.remove(menu);
        closed(menu);
    });
}

bool OwnMenus::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show || event->type() == QEvent::ChildAdded) {
        if (auto *menu = qobject_cast<QMenu *>(watched)) {
            const bool known = m_watched.contains(menu);
            watch(menu);
            // Shown before it was known: its aboutToShow has gone by.
            if (!known && event->type() == QEvent::Show)
                opened(menu);
        }
    }
    return QObject::eventFilter(watched, event);
}

void OwnMenus::opened(QMenu *menu)
{
    m_open.insert(menu);
}

void OwnMenus::closed(QMenu *menu)
{
    if (!m_open.remove(menu))
        return;
    m_justClosed = true;
    const QPointer<OwnMenus> self(this);
    m_grace = m_windows.scheduleOnce(dismissGrace, [self] {
        if (self)
            self->m_justClosed = false;
    });
}
