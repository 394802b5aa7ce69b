// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PortalHotKeyService.h"

#include "platform/HotKeyCombination.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QRandomGenerator>

#include <utility>
#include <vector>

namespace portal {

// One entry of the portal's shortcut lists: an id and its properties.
struct Shortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const Shortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Shortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace portal

Q_DECLARE_METATYPE(portal::Shortcut)

namespace {

constexpr const char *requestInterface = "org.freedesktop.portal.Request";
constexpr const char *sessionInterface = "org.freedesktop.portal.Session";
constexpr const char *registryInterface = "org.freedesktop.host.portal.Registry";
constexpr const char *requestPathPrefix = "/org/freedesktop/portal/desktop/request/";
constexpr const char *sessionPathPrefix = "/org/freedesktop/portal/desktop/session/";
// The calls that only hand back a request object; they never wait for the person.
constexpr int requestCallTimeoutMs = 10000;
// The request's answers.
constexpr uint responseSuccess = 0;
constexpr uint responseCancelled = 1;

QString pathOf(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

QVariantMap mapOf(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    return value.toMap();
}

QList<portal::Shortcut> shortcutsOf(const QVariant &value)
{
    if (value.metaType() != QMetaType::fromType<QDBusArgument>())
        return {};
    return qdbus_cast<QList<portal::Shortcut>>(value.value<QDBusArgument>());
}

std::optional<portal::Shortcut> ourShortcut(const QList<portal::Shortcut> &shortcuts)
{
    for (const portal::Shortcut &shortcut : shortcuts) {
        if (shortcut.id == QLatin1String(PortalHotKeyService::shortcutId))
            return shortcut;
    }
    return std::nullopt;
}

QDBusMessage portalCall(const QString &path, const char *interface, const char *method)
{
    return QDBusMessage::createMethodCall(QString::fromLatin1(PortalHotKeyService::serviceName),
                                          path, QString::fromLatin1(interface),
                                          QString::fromLatin1(method));
}

} // namespace

PortalHotKeyService::PortalHotKeyService(QDBusConnection bus, QString applicationId,
                                         QObject *parent, int answerTimeoutMs)
    : HotKeyService(parent), m_bus(std::move(bus)), m_applicationId(std::move(applicationId)),
      m_answerTimeoutMs(answerTimeoutMs)
{
    qDBusRegisterMetaType<portal::Shortcut>();
    qDBusRegisterMetaType<QList<portal::Shortcut>>();
}

PortalHotKeyService::~PortalHotKeyService()
{
    while (!m_registrations.empty())
        unregisterHotKey(m_registrations.begin()->first);
}

void PortalHotKeyService::checkAvailability()
{
    if (m_asking || m_availability != Availability::unknown)
        return;
    m_asking = true;
    // Portals that cannot tell a host application by its process learn its name this way;
    // it must come before any other call, and older portals answer it with an error.
    if (!m_applicationId.isEmpty()) {
        QDBusMessage registration =
            portalCall(QString::fromLatin1(objectPath), registryInterface, "Register");
        registration << m_applicationId << QVariantMap();
        m_bus.call(registration, QDBus::NoBlock);
    }
    QDBusMessage version =
        portalCall(QString::fromLatin1(objectPath), "org.freedesktop.DBus.Properties", "Get");
    version << QString::fromLatin1(interfaceName) << QStringLiteral("version");
    // Without a connection the call fails at once; the watcher still answers from the
    // event loop, after the caller has connected to availabilityKnown.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(version, m_answerTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (!finished->isError()) {
                    availabilityAnswered(Availability::offered);
                    return;
                }
                const QDBusError::ErrorType type = finished->error().type();
                availabilityAnswered(type == QDBusError::NoReply || type == QDBusError::Timeout
                                         ? Availability::unanswered
                                         : Availability::notOffered);
            });
}

void PortalHotKeyService::availabilityAnswered(Availability availability)
{
    m_asking = false;
    m_availability = availability;
    if (availability == Availability::offered && !m_portalWatcher) {
        m_portalWatcher = std::make_unique<QDBusServiceWatcher>(
            QString::fromLatin1(serviceName), m_bus, QDBusServiceWatcher::WatchForUnregistration);
        connect(m_portalWatcher.get(), &QDBusServiceWatcher::serviceUnregistered, this,
                &PortalHotKeyService::portalVanished);
    }
    // The registrations made while the question was out.
    std::vector<quint64> waiting;
    for (const auto &[reference, registration] : m_registrations) {
        if (registration.sessionToken.isEmpty() && registration.binding.state == State::pending)
            waiting.push_back(reference);
    }
    for (const quint64 reference : waiting) {
        if (!m_registrations.contains(reference))
            continue;
        if (availability == Availability::offered)
            openSession(reference);
        else
            fail(reference, unavailableReason());
    }
    Q_EMIT availabilityKnown();
}

QString PortalHotKeyService::unavailableReason() const
{
    switch (m_availability) {
    case Availability::unknown:
    case Availability::offered:
        break;
    case Availability::notOffered:
        return QStringLiteral("el escritorio no ofrece atajos globales a las aplicaciones");
    case Availability::unanswered:
        return QStringLiteral("no contestó a tiempo");
    }
    return {};
}

std::optional<QString> PortalHotKeyService::trigger(quint32 keyCode, quint32 modifiers)
{
    const std::optional<HotKeyCombination> combination =
        HotKeyCombination::fromCarbon(keyCode, modifiers);
    if (!combination)
        return std::nullopt;
    // Letters and digits: their keysym names are the characters themselves.
    QChar key(char16_t(combination->keysym));
    if (combination->keysym > 0x7f || !key.isLetterOrNumber())
        return std::nullopt;
    QStringList parts;
    if (combination->modifiers.testFlag(HotKeyModifier::super))
        parts << QStringLiteral("LOGO");
    if (combination->modifiers.testFlag(HotKeyModifier::control))
        parts << QStringLiteral("CTRL");
    if (combination->modifiers.testFlag(HotKeyModifier::alt))
        parts << QStringLiteral("ALT");
    if (combination->modifiers.testFlag(HotKeyModifier::shift))
        parts << QStringLiteral("SHIFT");
    parts << key.toLower();
    return parts.join(QLatin1Char('+'));
}

std::optional<quint64> PortalHotKeyService::registerHotKey(quint32 keyCode, quint32 modifiers,
                                                           HotKeyIdentity identity)
{
    m_lastError.clear();
    const std::optional<QString> preferred = trigger(keyCode, modifiers);
    if (!preferred) {
        m_lastError = QStringLiteral("esa combinación no tiene equivalente en el escritorio");
        return std::nullopt;
    }
    if (const QString reason = unavailableReason(); !reason.isEmpty()) {
        m_lastError = reason;
        return std::nullopt;
    }
    const quint64 reference = m_nextReference++;
    Registration registration;
    registration.identity = identity;
    registration.trigger = *preferred;
    m_registrations.emplace(reference, std::move(registration));
    if (m_availability == Availability::offered)
        openSession(reference);
    else
        checkAvailability();
    return reference;
}

void PortalHotKeyService::openSession(quint64 reference)
{
    listenToShortcuts();
    Registration &registration = m_registrations.at(reference);
    registration.sessionToken = newToken("session");
    const QVariantMap options{{QStringLiteral("session_handle_token"), registration.sessionToken}};
    sendRequest(reference, "CreateSession", {}, options);
}

void PortalHotKeyService::unregisterHotKey(quint64 reference)
{
    const auto found = m_registrations.find(reference);
    if (found == m_registrations.end())
        return;
    Registration registration = std::move(found->second);
    m_registrations.erase(found);
    forgetRequest(registration);
    closeSession(registration);
}

std::optional<PortalHotKeyService::Binding> PortalHotKeyService::binding(quint64 reference) const
{
    const auto found = m_registrations.find(reference);
    if (found == m_registrations.end())
        return std::nullopt;
    return found->second.binding;
}

QString PortalHotKeyService::senderPathElement() const
{
    // ":1.42" becomes "1_42", as the portal names its request and session objects.
    QString sender = m_bus.baseService();
    if (sender.startsWith(QLatin1Char(':')))
        sender.remove(0, 1);
    return sender.replace(QLatin1Char('.'), QLatin1Char('_'));
}

QString PortalHotKeyService::newToken(const char *kind)
{
    return QStringLiteral("orlette_%1_%2_%3")
        .arg(QString::fromLatin1(kind))
        .arg(m_nextToken++)
        .arg(QRandomGenerator::global()->generate());
}

bool PortalHotKeyService::watchRequest(const QString &path)
{
    return m_bus.connect(QString::fromLatin1(serviceName), path,
                         QString::fromLatin1(requestInterface), QStringLiteral("Response"), this,
                         SLOT(requestAnswered(QDBusMessage)));
}

void PortalHotKeyService::forgetRequest(Registration &registration)
{
    if (registration.requestPath.isEmpty())
        return;
    m_bus.disconnect(QString::fromLatin1(serviceName), registration.requestPath,
                     QString::fromLatin1(requestInterface), QStringLiteral("Response"), this,
                     SLOT(requestAnswered(QDBusMessage)));
    // Ends whatever the desktop is asking the person about it.
    m_bus.call(portalCall(registration.requestPath, requestInterface, "Close"), QDBus::NoBlock);
    registration.requestPath.clear();
}

void PortalHotKeyService::sendRequest(quint64 reference, const char *method, QVariantList arguments,
                                      QVariantMap options)
{
    Registration &registration = m_registrations.at(reference);
    const QString handleToken = newToken(method);
    // The answer may come before the call returns: listen where it will be first.
    const QString predicted =
        QLatin1String(requestPathPrefix) + senderPathElement() + QLatin1Char('/') + handleToken;
    registration.requestPath = predicted;
    watchRequest(predicted);

    options.insert(QStringLiteral("handle_token"), handleToken);
    arguments << options;
    QDBusMessage call = portalCall(QString::fromLatin1(objectPath), interfaceName, method);
    call.setArguments(arguments);

    const QDBusPendingCall pending = m_bus.asyncCall(call, requestCallTimeoutMs);
    auto *watcher = new QDBusPendingCallWatcher(pending, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, reference, predicted](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *finished;
                const auto found = m_registrations.find(reference);
                // Unregistered meanwhile, or already answered.
                if (found == m_registrations.end() || found->second.requestPath != predicted)
                    return;
                if (reply.isError()) {
                    const QDBusError::ErrorType type = reply.error().type();
                    fail(reference, type == QDBusError::NoReply || type == QDBusError::Timeout
                                        ? QStringLiteral("no contestó a tiempo")
                                        : reply.error().message());
                    return;
                }
                // Portals older than the predictable paths name the request themselves.
                const QString actual = reply.value().path();
                if (actual != predicted) {
                    m_bus.disconnect(QString::fromLatin1(serviceName), predicted,
                                     QString::fromLatin1(requestInterface),
                                     QStringLiteral("Response"), this,
                                     SLOT(requestAnswered(QDBusMessage)));
                    found->second.requestPath = actual;
                    watchRequest(actual);
                }
            });
}

void PortalHotKeyService::requestAnswered(const QDBusMessage &message)
{
    const QString path = message.path();
    quint64 reference = 0;
    for (const auto &[candidate, registration] : m_registrations) {
        if (registration.requestPath == path)
            reference = candidate;
    }
    if (reference == 0 || message.arguments().size() < 2)
        return;
    Registration &registration = m_registrations.at(reference);
    m_bus.disconnect(QString::fromLatin1(serviceName), path, QString::fromLatin1(requestInterface),
                     QStringLiteral("Response"), this, SLOT(requestAnswered(QDBusMessage)));
    registration.requestPath.clear();

    const uint response = message.arguments().at(0).toUInt();
    const QVariantMap results = mapOf(message.arguments().at(1));
    if (response != responseSuccess) {
        fail(reference, response == responseCancelled
                            ? QStringLiteral("se canceló la petición en el escritorio")
                            : QStringLiteral("el escritorio no lo permitió"));
        return;
    }
    if (registration.sessionPath.isEmpty()) {
        const QString session = pathOf(results.value(QStringLiteral("session_handle")));
        if (session.isEmpty()) {
            fail(reference, QStringLiteral("el portal del escritorio no abrió la sesión"));
            return;
        }
        registration.sessionPath = session;
        m_bus.connect(QString::fromLatin1(serviceName), session,
                      QString::fromLatin1(sessionInterface), QStringLiteral("Closed"), this,
                      SLOT(sessionClosed(QDBusMessage)));
        bindShortcut(reference);
        return;
    }
    const std::optional<portal::Shortcut> bound =
        ourShortcut(shortcutsOf(results.value(QStringLiteral("shortcuts"))));
    if (!bound) {
        // Some desktops bind only what the person assigns in their settings, and say so
        // later with ShortcutsChanged.
        fail(reference,
             QStringLiteral("el escritorio aún no le ha asignado ninguna tecla (puedes hacerlo "
                            "en sus ajustes de atajos)"),
             Session::keep);
        return;
    }
    registration.binding.state = State::bound;
    registration.binding.trigger =
        bound->properties.value(QStringLiteral("trigger_description")).toString();
    Q_EMIT bindingChanged(reference);
}

void PortalHotKeyService::bindShortcut(quint64 reference)
{
    const Registration &registration = m_registrations.at(reference);
    const portal::Shortcut shortcut{
        QString::fromLatin1(shortcutId),
        {{QStringLiteral("description"), QStringLiteral("Crear una nota nueva")},
         {QStringLiteral("preferred_trigger"), registration.trigger}}};
    sendRequest(reference, "BindShortcuts",
                {QVariant::fromValue(QDBusObjectPath(registration.sessionPath)),
                 QVariant::fromValue(QList<portal::Shortcut>{shortcut}), QString()},
                {});
}

void PortalHotKeyService::fail(quint64 reference, const QString &reason, Session session)
{
    Registration &registration = m_registrations.at(reference);
    forgetRequest(registration);
    if (session == Session::close) {
        closeSession(registration);
        registration.sessionPath.clear();
    }
    registration.binding = {State::failed, {}, reason};
    const HotKeyIdentity identity = registration.identity;
    Q_EMIT registrationFailed(identity, reason);
    Q_EMIT bindingChanged(reference);
}

void PortalHotKeyService::closeSession(const Registration &registration)
{
    // Never asked for: the portal had not answered whether it offers shortcuts.
    if (registration.sessionToken.isEmpty())
        return;
    // Before the desktop's answer the session has the name asked for; closing it then
    // keeps a late answer from leaving it open.
    const QString path =
        registration.sessionPath.isEmpty() && registration.binding.state == State::pending
            ? QLatin1String(sessionPathPrefix) + senderPathElement() + QLatin1Char('/') +
                  registration.sessionToken
            : registration.sessionPath;
    if (path.isEmpty())
        return;
    m_bus.disconnect(QString::fromLatin1(serviceName), path, QString::fromLatin1(sessionInterface),
                     QStringLiteral("Closed"), this, SLOT(sessionClosed(QDBusMessage)));
    m_bus.call(portalCall(path, sessionInterface, "Close"), QDBus::NoBlock);
}

void PortalHotKeyService::listenToShortcuts()
{
    if (m_listening)
        return;
    const QString service = QString::fromLatin1(serviceName);
    const QString path = QString::fromLatin1(objectPath);
    const QString interface = QString::fromLatin1(interfaceName);
    m_listening = m_bus.connect(service, path, interface, QStringLiteral("Activated"), this,
                                SLOT(shortcutActivated(QDBusMessage))) &&
                  m_bus.connect(service, path, interface, QStringLiteral("ShortcutsChanged"), this,
                                SLOT(shortcutsChanged(QDBusMessage)));
}

quint64 PortalHotKeyService::referenceOfSession(const QString &sessionPath) const
{
    if (sessionPath.isEmpty())
        return 0;
    for (const auto &[reference, registration] : m_registrations) {
        if (registration.sessionPath == sessionPath)
            return reference;
    }
    return 0;
}

void PortalHotKeyService::shortcutActivated(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2 || arguments.at(1).toString() != QLatin1String(shortcutId))
        return;
    const quint64 reference = referenceOfSession(pathOf(arguments.at(0)));
    if (reference == 0)
        return;
    const Registration &registration = m_registrations.at(reference);
    if (registration.binding.state == State::bound)
        Q_EMIT hotKeyPressed(registration.identity);
}

void PortalHotKeyService::shortcutsChanged(const QDBusMessage &message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2)
        return;
    const quint64 reference = referenceOfSession(pathOf(arguments.at(0)));
    if (reference == 0)
        return;
    Registration &registration = m_registrations.at(reference);
    const std::optional<portal::Shortcut> ours = ourShortcut(shortcutsOf(arguments.at(1)));
    if (registration.binding.state == State::pending || !ours)
        return;
    const QString trigger =
        ours->properties.value(QStringLiteral("trigger_description")).toString();
    if (registration.binding.state == State::bound && trigger == registration.binding.trigger)
        return;
    // Bound now, if the person assigned it a key only after the desktop's answer.
    registration.binding = {State::bound, trigger, {}};
    Q_EMIT bindingChanged(reference);
}

void PortalHotKeyService::sessionClosed(const QDBusMessage &message)
{
    const quint64 reference = referenceOfSession(message.path());
    if (reference == 0)
        return;
    // Closed by the desktop: nothing left to close on this side.
    m_bus.disconnect(QString::fromLatin1(serviceName), message.path(),
                     QString::fromLatin1(sessionInterface), QStringLiteral("Closed"), this,
                     SLOT(sessionClosed(QDBusMessage)));
    m_registrations.at(reference).sessionPath.clear();
    fail(reference, QStringLiteral("el escritorio retiró el atajo"));
}

void PortalHotKeyService::portalVanished()
{
    std::vector<quint64> lost;
    for (auto &[reference, registration] : m_registrations) {
        if (registration.binding.state == State::failed)
            continue;
        // Its sessions went with it; a call now would only start it again.
        m_bus.disconnect(QString::fromLatin1(serviceName), registration.requestPath,
                         QString::fromLatin1(requestInterface), QStringLiteral("Response"), this,
                         SLOT(requestAnswered(QDBusMessage)));
        registration.requestPath.clear();
        registration.sessionPath.clear();
        registration.binding.state = State::failed;
        registration.binding.error = QStringLiteral("el portal del escritorio se cerró");
        lost.push_back(reference);
    }
    for (const quint64 reference : lost) {
        const auto found = m_registrations.find(reference);
        if (found == m_registrations.end())
            continue;
        const HotKeyIdentity identity = found->second.identity;
        const QString reason = found->second.binding.error;
        Q_EMIT registrationFailed(identity, reason);
        Q_EMIT bindingChanged(reference);
    }
}
