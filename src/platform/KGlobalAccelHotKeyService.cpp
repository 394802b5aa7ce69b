// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/KGlobalAccelHotKeyService.h"

#include "platform/HotKeyCombination.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QVariant>

#include <utility>

namespace {

constexpr const char *objectPath = "/kglobalaccel";
constexpr const char *interfaceName = "org.kde.KGlobalAccel";
constexpr const char *componentInterface = "org.kde.kglobalaccel.Component";
// setShortcut's flags: the action is there (its application runs). Without
// "NoAutoloading" the service keeps a key the person chose for the action before.
constexpr uint setPresent = 2;
constexpr const char *componentFriendlyName = "Orlette";

// X keysyms of letters and digits, the keys a hot key of the application can be on.
std::optional<int> qtKeyOfKeysym(quint32 keysym)
{
    if (keysym >= 'a' && keysym <= 'z')
        return Qt::Key_A + int(keysym - 'a');
    if (keysym >= 'A' && keysym <= 'Z')
        return Qt::Key_A + int(keysym - 'A');
    if (keysym >= '0' && keysym <= '9')
        return Qt::Key_0 + int(keysym - '0');
    return std::nullopt;
}

} // namespace

KGlobalAccelHotKeyService::KGlobalAccelHotKeyService(QDBusConnection bus, QObject *parent)
    : HotKeyService(parent), m_bus(std::move(bus))
{
}

KGlobalAccelHotKeyService::~KGlobalAccelHotKeyService()
{
    while (!m_registrations.empty())
        unregisterHotKey(m_registrations.begin()->first);
}

bool KGlobalAccelHotKeyService::isRunning() const
{
    return m_bus.isConnected() && m_bus.interface() &&
           m_bus.interface()->isServiceRegistered(QString::fromLatin1(serviceName)).value();
}

bool KGlobalAccelHotKeyService::isAvailable() const
{
    if (isRunning())
        return true;
    if (!m_bus.isConnected() || !m_bus.interface())
        return false;
    const QString name = QString::fromLatin1(serviceName);
    const QDBusReply<QStringList> activatable = m_bus.interface()->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(name);
}

std::optional<int> KGlobalAccelHotKeyService::qtKey(quint32 keyCode, quint32 modifiers)
{
    const std::optional<HotKeyCombination> combination =
        HotKeyCombination::fromCarbon(keyCode, modifiers);
    if (!combination)
        return std::nullopt;
    const std::optional<int> key = qtKeyOfKeysym(combination->keysym);
    if (!key)
        return std::nullopt;
    int bits = 0;
    if (combination->modifiers.testFlag(HotKeyModifier::shift))
        bits |= Qt::ShiftModifier;
    if (combination->modifiers.testFlag(HotKeyModifier::control))
        bits |= Qt::ControlModifier;
    if (combination->modifiers.testFlag(HotKeyModifier::alt))
        bits |= Qt::AltModifier;
    if (combination->modifiers.testFlag(HotKeyModifier::super))
        bits |= Qt::MetaModifier;
    return *key | bits;
}

QString KGlobalAccelHotKeyService::actionName(HotKeyIdentity identity)
{
    return QStringLiteral("hotkey-%1").arg(identity.number);
}

QStringList KGlobalAccelHotKeyService::actionId(const QString &action) const
{
    // The application registers one key, the quick note; KDE's settings list it by this.
    return {QString::fromLatin1(componentName), action, QString::fromLatin1(componentFriendlyName),
            QStringLiteral("Nota nueva")};
}

std::optional<quint64> KGlobalAccelHotKeyService::registerHotKey(quint32 keyCode, quint32 modifiers,
                                                                 HotKeyIdentity identity)
{
    m_lastError.clear();
    const std::optional<int> key = qtKey(keyCode, modifiers);
    if (!key) {
        m_lastError = QStringLiteral("esa combinación no tiene equivalente en KDE");
        return std::nullopt;
    }
    if (!isAvailable()) {
        m_lastError = QStringLiteral("el servicio de atajos de KDE no está en marcha");
        return std::nullopt;
    }
    const QStringList id = actionId(actionName(identity));
    QDBusMessage doRegister = QDBusMessage::createMethodCall(
        QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
        QString::fromLatin1(interfaceName), QStringLiteral("doRegister"));
    doRegister << id;
    const QDBusMessage registered = m_bus.call(doRegister);
    if (registered.type() == QDBusMessage::ErrorMessage) {
        m_lastError = registered.errorMessage();
        return std::nullopt;
    }
    QDBusMessage setShortcut = QDBusMessage::createMethodCall(
        QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
        QString::fromLatin1(interfaceName), QStringLiteral("setShortcut"));
    setShortcut << id << QVariant::fromValue(QList<int>{*key}) << setPresent;
    const QDBusReply<QList<int>> assigned = m_bus.call(setShortcut);
    if (!assigned.isValid()) {
        m_lastError = assigned.error().message();
        return std::nullopt;
    }
    QList<int> keys = assigned.value();
    keys.removeAll(0);
    if (keys.isEmpty()) {
        // The service gives no key to an action whose key another action holds.
        m_lastError = QStringLiteral("otro atajo del escritorio ya usa esa combinación");
        return std::nullopt;
    }
    if (!connectComponent()) {
        m_lastError = QStringLiteral("el servicio de atajos de KDE no avisa de las pulsaciones");
        return std::nullopt;
    }
    const quint64 reference = m_nextReference++;
    m_registrations.emplace(reference, identity);
    return reference;
}

bool KGlobalAccelHotKeyService::connectComponent()
{
    if (m_componentConnected)
        return true;
    QDBusMessage getComponent = QDBusMessage::createMethodCall(
        QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
        QString::fromLatin1(interfaceName), QStringLiteral("getComponent"));
    getComponent << QString::fromLatin1(componentName);
    const QDBusReply<QDBusObjectPath> component = m_bus.call(getComponent);
    if (!component.isValid())
        return false;
    m_componentConnected = m_bus.connect(QString::fromLatin1(serviceName), component.value().path(),
                                         QString::fromLatin1(componentInterface),
                                         QStringLiteral("globalShortcutPressed"), this,
                                         SLOT(shortcutPressed(QString, QString, qlonglong)));
    return m_componentConnected;
}

void KGlobalAccelHotKeyService::unregisterHotKey(quint64 reference)
{
    const auto found = m_registrations.find(reference);
    if (found == m_registrations.end())
        return;
    const HotKeyIdentity identity = found->second;
    m_registrations.erase(found);
    // Inactive, not forgotten: the person's choice of key stays for the next start.
    QDBusMessage setInactive = QDBusMessage::createMethodCall(
        QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
        QString::fromLatin1(interfaceName), QStringLiteral("setInactive"));
    setInactive << actionId(actionName(identity));
    m_bus.call(setInactive, QDBus::NoBlock);
}

QList<int> KGlobalAccelHotKeyService::activeKeys(quint64 reference) const
{
    const auto found = m_registrations.find(reference);
    if (found == m_registrations.end())
        return {};
    QDBusMessage shortcut = QDBusMessage::createMethodCall(
        QString::fromLatin1(serviceName), QString::fromLatin1(objectPath),
        QString::fromLatin1(interfaceName), QStringLiteral("shortcut"));
    shortcut << actionId(actionName(found->second));
    const QDBusReply<QList<int>> keys = m_bus.call(shortcut);
    return keys.isValid() ? keys.value() : QList<int>{};
}

void KGlobalAccelHotKeyService::shortcutPressed(const QString &component, const QString &action,
                                                qlonglong)
{
    if (component != QLatin1String(componentName))
        return;
    for (const auto &[reference, identity] : m_registrations) {
        if (actionName(identity) == action) {
            Q_EMIT hotKeyPressed(identity);
            return;
        }
    }
}
