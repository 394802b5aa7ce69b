// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/HotKeyService.h"

#include <QDBusConnection>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>

// Hot keys through KDE's global-shortcut service (kglobalaccel, on the session bus), which
// is how an application gets a key on KDE Plasma, on Wayland as on X11. Each registration
// is an action of this application's component; the service may keep a key the person
// chose for it in KDE's settings, and refuses one that another action holds, which then
// cannot be registered.
class KGlobalAccelHotKeyService : public HotKeyService
{
    Q_OBJECT

public:
    static constexpr const char *serviceName = "org.kde.kglobalaccel";
    // The component the actions belong to, and its name as KDE's settings show it.
    static constexpr const char *componentName = "orlette";

    explicit KGlobalAccelHotKeyService(QDBusConnection bus = QDBusConnection::sessionBus(),
                                       QObject *parent = nullptr);
    ~KGlobalAccelHotKeyService() override;

    // Whether the service runs on the bus.
    bool isRunning() const;
    // Whether it runs or the bus can start it.
    bool isAvailable() const;

    std::optional<quint64> registerHotKey(quint32 keyCode, quint32 modifiers,
                                          HotKeyIdentity identity) override;
    void unregisterHotKey(quint64 reference) override;

    // The keys the service holds for a registration, as Qt key combinations; empty when
    // none (or unknown).
    QList<int> activeKeys(quint64 reference) const;
    // Why the last registration failed, for the settings to tell; empty after a success.
    QString lastError() const { return m_lastError; }

    // A key code and modifier mask of the application's hot-key calls as one Qt key
    // combination (Qt's key with its modifier bits); absent for a key without one.
    static std::optional<int> qtKey(quint32 keyCode, quint32 modifiers);
    // The action's unique name for a registration.
    static QString actionName(HotKeyIdentity identity);

private Q_SLOTS:
    void shortcutPressed(const QString &component, const QString &action, qlonglong timestamp);

private:
    QStringList actionId(const QString &action) const;
    bool connectComponent();

    QDBusConnection m_bus;
    std::map<quint64, HotKeyIdentity> m_registrations;
    quint64 m_nextReference = 1;
    bool m_componentConnected = false;
    QString m_lastError;
};
