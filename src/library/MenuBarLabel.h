// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Subscription.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QIcon;
class QMenu;
class QSystemTrayIcon;
class StatusNotifierHost;
class X11TrayHost;

// The tray icon, and the one place that opens windows on request: every window request
// whose object is a string opens that window and brings the application forward.
class MenuBarLabel : public QObject
{
    Q_OBJECT

public:
    using OpenWindow = std::function<void(const QString &windowID)>;

    MenuBarLabel(OpenWindow openWindow, std::function<void()> activate, QObject *parent = nullptr);
    ~MenuBarLabel() override;

    // Shows the tray icon with `menu` whenever the desktop has a tray host: at once, when
    // one starts later, and again after the host restarts.
    void show(QMenu *menu);
    bool isShown() const;
    // The tooltip of the icon; warnings (notes not kept on disk) go here too.
    void setToolTip(const QString &text);
    QString toolTip() const;

    // The "note.text" symbol, drawn for the tray at any size: in the host's foreground
    // colour when it gives one, else as dark ink on light paper, which reads on light and
    // dark panels alike.
    static QIcon noteTextIcon(std::optional<QColor> foreground = std::nullopt);

private:
    void followTrayHost();

    OpenWindow m_openWindow;
    std::function<void()> m_activate;
    std::optional<Subscription> m_subscription;
    std::unique_ptr<X11TrayHost> m_host;
    std::unique_ptr<StatusNotifierHost> m_statusNotifierHost;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    QPointer<QMenu> m_menu;
    QString m_toolTip;
};
