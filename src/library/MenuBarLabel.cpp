// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/MenuBarLabel.h"

#include "platform/NotificationCenter.h"
#include "platform/StatusNotifierHost.h"
#include "platform/X11TrayHost.h"

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
    m_menu = menu;
    if (!m_host) {
        m_host = std::make_unique<X11TrayHost>();
        connect(m_host.get(), &X11TrayHost::changed, this, &MenuBarLabel::followTrayHost);
        m_statusNotifierHost = std::make_unique<StatusNotifierHost>();
        connect(m_statusNotifierHost.get(), &StatusNotifierHost::changed, this,
                &MenuBarLabel::followTrayHost);
    }
    followTrayHost();
}

void MenuBarLabel::followTrayHost()
{
    // A new icon for every host: Qt docks an icon once and does not dock it again with a
    // host that starts later or replaces the one it knew.
    m_tray.reset();
    // Qt is never asked whether there is a tray: it looks for a StatusNotifier watcher once
    // per process, the first time an icon is made or the tray asked for, and if there was
    // none then, its icons never go over D-Bus, not even to a bar that starts later. So no
    // icon is made before an X tray or a StatusNotifier host is known.
    const bool hasHost =
        (m_host->isWatching() && m_host->hasHost()) || m_statusNotifierHost->hasHost();
    if (!hasHost)
        return;
    m_tray = std::make_unique<QSystemTrayIcon>(noteTextIcon(m_host->foreground()));
    m_tray->setContextMenu(m_menu);
    m_tray->setToolTip(m_toolTip);
    // A left click opens the same menu: the tray is the application's only menu.
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger && m_menu)
                    m_menu->popup(QCursor::pos());
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

QIcon MenuBarLabel::noteTextIcon(std::optional<QColor> foreground)
{
    // Without the host's colour: paper a little lighter than any dark panel, ink darker
    // than any light one, so one of the two always stands out.
    const QColor ink = foreground.value_or(QColor(34, 34, 38));
    const QColor paper = foreground ? QColor(Qt::transparent) : QColor(250, 248, 240);
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 16.0;
        QPen pen(ink, 1.3 * unit);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        painter.setBrush(paper);
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
