// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/MenuBarLabel.h"

#include "platform/NotificationCenter.h"

#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSystemTrayIcon>

MenuBarLabel::MenuBarLabel(OpenWindow openWindow, std::function<void()> activate, QObject *parent)
    : QObject(parent), m_openWindow(std::move(openWindow)), m_activate(std::move(activate))
{
    m_subscription = NotificationCenter::standard().addObserver(
        Notifications::openWindow, [this](const QVariant &object) {
            if (object.metaType().id() != QMetaType::QString)
                return;
            if (m_openWindow)
                m_openWindow(object.toString());
            if (m_activate)
                m_activate();
        });
}

MenuBarLabel::~MenuBarLabel() = default;

void MenuBarLabel::show(QMenu *menu)
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!m_tray)
        m_tray = std::make_unique<QSystemTrayIcon>(noteTextIcon());
    m_tray->setContextMenu(menu);
    m_tray->setToolTip(m_toolTip);
    // A left click opens the same menu: the tray is the application's only menu.
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [menu](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && menu)
                    menu->popup(QCursor::pos());
            });
    m_tray->show();
}

bool MenuBarLabel::isShown() const
{
    return m_tray && m_tray->isVisible();
}

void MenuBarLabel::setToolTip(const QString &text)
{
    m_toolTip = text;
    if (m_tray)
        m_tray->setToolTip(text);
}

QString MenuBarLabel::toolTip() const
{
    return m_toolTip;
}

QIcon MenuBarLabel::noteTextIcon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 16.0;
        QPen pen(QColor(235, 235, 235), 1.3 * unit);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        // A page with a folded corner and three lines of text.
        QPainterPath page;
        page.moveTo(3 * unit, 1.5 * unit);
        page.lineTo(10 * unit, 1.5 * unit);
        page.lineTo(13 * unit, 4.5 * unit);
        page.lineTo(13 * unit, 14.5 * unit);
        page.lineTo(3 * unit, 14.5 * unit);
        page.closeSubpath();
        painter.drawPath(page);
        for (const qreal y : {6.5, 9.0, 11.5})
            painter.drawLine(QPointF(5.5 * unit, y * unit),
                             QPointF((y > 11 ? 8.5 : 10.5) * unit, y * unit));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
