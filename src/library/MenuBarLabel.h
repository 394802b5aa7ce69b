// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Subscription.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QIcon;
class QMenu;
class QSystemTrayIcon;

// The tray icon, and the one place that opens windows on request: every window request
// whose object is a string opens that window and brings the application forward.
class MenuBarLabel : public QObject
{
    Q_OBJECT

public:
    using OpenWindow = std::function<void(const QString &windowID)>;

    MenuBarLabel(OpenWindow openWindow, std::function<void()> activate, QObject *parent = nullptr);
    ~MenuBarLabel() override;

    // Shows the tray icon with `menu`, when the desktop has a tray.
    void show(QMenu *menu);
    bool isShown() const;
    // The tooltip of the icon; warnings (notes not kept on disk) go here too.
    void setToolTip(const QString &text);
    QString toolTip() const;

    // The "note.text" symbol, drawn for the tray at any size.
    static QIcon noteTextIcon();

private:
    OpenWindow m_openWindow;
    std::function<void()> m_activate;
    std::optional<Subscription> m_subscription;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    QString m_toolTip;
};
