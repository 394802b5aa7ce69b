// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/HotKeyService.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QString>

#include <map>
#include <memory>
#include <optional>

class QDBusMessage;

// Hot keys through the desktop portal's global shortcuts (org.freedesktop.portal.Desktop,
// on the session bus), the way a Wayland desktop that has them lets an application have a
// key. Each registration is a portal session with one shortcut. The desktop answers when
// it likes (it may ask the person first), so a registration is pending at first; a refusal
// then comes as registrationFailed. The sessions close with the service.
//
// Nothing here waits on the bus: whether the portal offers global shortcuts at all is asked
// once, and a portal that is not running yet is started by that question, which can take
// seconds; its answer comes as availabilityKnown.
class PortalHotKeyService : public HotKeyService
{
    Q_OBJECT

public:
    static constexpr const char *serviceName = "org.freedesktop.portal.Desktop";
    static constexpr const char *objectPath = "/org/freedesktop/portal/desktop";
    static constexpr const char *interfaceName = "org.freedesktop.portal.GlobalShortcuts";
    // The shortcut's id, by which the desktop keeps the key the person chose for it.
    static constexpr const char *shortcutId = "nota-rapida";
    // How long the portal has to answer whether it offers global shortcuts: nothing waits
    // for it, and a portal started at login with its back-ends can take many seconds. The
    // desktop's answers to requests come as signals and are not bounded by it.
    static constexpr int callTimeoutMs = 25000;

    // `applicationId` (the desktop file's name without ".desktop") tells portals that know
    // no other way which application this is; empty to leave it unsaid.
    explicit PortalHotKeyService(QDBusConnection bus = QDBusConnection::sessionBus(),
                                 QString applicationId = {}, QObject *parent = nullptr,
                                 int answerTimeoutMs = callTimeoutMs);
    ~PortalHotKeyService() override;

    enum class Availability
    {
        // Not asked yet, or asked and not answered yet.
        unknown,
        offered,
        // No portal, or one without global shortcuts.
        notOffered,
        // The portal did not answer in time.
        unanswered,
    };
    // Asks the portal whether it offers global shortcuts, once, and returns without waiting;
    // availabilityKnown tells when the answer is in.
    void checkAvailability();
    Availability availability() const { return m_availability; }
    // Why the portal gives no keys, for the person; empty unless it was asked and does not.
    QString unavailableReason() const;

    // A registration made before the portal's answer is pending until then, and fails with
    // that answer's reason when the portal offers no global shortcuts.

    std::optional<quint64> registerHotKey(quint32 keyCode, quint32 modifiers,
                                          HotKeyIdentity identity) override;
    void unregisterHotKey(quint64 reference) override;

    enum class State
    {
        // Asked for; the desktop has not answered yet.
        pending,
        bound,
        // Refused, or given up since; or left without a key, which the person may still
        // assign in the desktop's settings (it is bound then).
        failed,
    };
    struct Binding
    {
        State state = State::pending;
        // How the desktop says the key is pressed, once it said (it may differ from the
        // key asked for: the person may have chosen another one).
        QString trigger;
        // Why it failed, for the person.
        QString error;
    };
    // A registration's state; nothing for an unknown reference.
    std::optional<Binding> binding(quint64 reference) const;
    // Why the last registerHotKey returned nothing; empty after a success.
    QString lastError() const { return m_lastError; }

    // The key as the portal's trigger ("LOGO+ALT+n"); absent for a key without one.
    static std::optional<QString> trigger(quint32 keyCode, quint32 modifiers);

Q_SIGNALS:
    // A registration became bound, failed, or got another trigger.
    void bindingChanged(quint64 reference);
    // The portal answered whether it offers global shortcuts, or was given up.
    void availabilityKnown();

private Q_SLOTS:
    void requestAnswered(const QDBusMessage &message);
    void shortcutActivated(const QDBusMessage &message);
    void shortcutsChanged(const QDBusMessage &message);
    void sessionClosed(const QDBusMessage &message);

private:
    struct Registration
    {
        HotKeyIdentity identity;
        QString trigger;
        QString sessionToken;
        // Known once the desktop created the session.
        QString sessionPath;
        // The request waiting for the desktop's answer, if any.
        QString requestPath;
        Binding binding;
    };

    void availabilityAnswered(Availability availability);
    // Asks the desktop for the registration's session, the first step towards its key.
    void openSession(quint64 reference);
    QString senderPathElement() const;
    QString newToken(const char *kind);
    bool watchRequest(const QString &path);
    void forgetRequest(Registration &registration);
    // Calls `method` with `arguments` and then `options`, to which it adds the request's
    // token, and waits for its answer at the request's path.
    void sendRequest(quint64 reference, const char *method, QVariantList arguments,
                     QVariantMap options);
    void bindShortcut(quint64 reference);
    // Tells the failure; the session stays open when the desktop may still give the key
    // (the person assigning one in its settings), and closes otherwise.
    enum class Session
    {
        close,
        keep,
    };
    void fail(quint64 reference, const QString &reason, Session session = Session::close);
    void closeSession(const Registration &registration);
    void listenToShortcuts();
    void portalVanished();
    // The registration whose session that is; 0 for none.
    quint64 referenceOfSession(const QString &sessionPath) const;

    QDBusConnection m_bus;
    QString m_applicationId;
    int m_answerTimeoutMs;
    Availability m_availability = Availability::unknown;
    bool m_asking = false;
    bool m_listening = false;
    std::unique_ptr<QDBusServiceWatcher> m_portalWatcher;
    std::map<quint64, Registration> m_registrations;
    quint64 m_nextReference = 1;
    quint64 m_nextToken = 1;
    QString m_lastError;
};
