// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/QuickNoteKeyChooser.h"

#include "platform/KGlobalAccelHotKeyService.h"
#include "platform/PortalHotKeyService.h"

#include <utility>

QuickNoteKeyChooser::QuickNoteKeyChooser(Services services, GlobalHotKey::Handler handler,
                                         QObject *parent)
    : QObject(parent), m_services(std::move(services)), m_handler(std::move(handler))
{
}

QuickNoteKeyChooser::~QuickNoteKeyChooser() = default;

void QuickNoteKeyChooser::start(const Session &session)
{
    if (m_started)
        return;
    m_started = true;
    // In a Wayland session an X grab through XWayland would see the key only while an X
    // client has the keyboard.
    if (!session.wayland) {
        use(m_services.keyGrab());
        return;
    }
    // On KDE Plasma its own service gives the key at once (Plasma 5's portal binds nothing
    // for an application outside a sandbox until the person assigns a key, and opens
    // System Settings for it).
    std::unique_ptr<KGlobalAccelHotKeyService> kde = m_services.kde();
    if (session.plasma && kde->isAvailable()) {
        use(std::move(kde));
        return;
    }
    // GNOME's own shortcut runs `orlette --new-note`: asking the portal for the key as well
    // would make two notes a press.
    if (session.gnomeHasTheKey)
        return;
    m_kde = std::move(kde);
    m_portal = m_services.portal();
    m_choosing = true;
    connect(m_portal.get(), &PortalHotKeyService::availabilityKnown, this,
            &QuickNoteKeyChooser::portalAnswered);
    m_portal->checkAvailability();
}

void QuickNoteKeyChooser::portalAnswered()
{
    if (!m_choosing)
        return;
    m_choosing = false;
    // Called from the portal service's own signal: a service not chosen goes once it is
    // done emitting.
    std::unique_ptr<PortalHotKeyService> portal = std::move(m_portal);
    disconnect(portal.get(), nullptr, this, nullptr);
    std::unique_ptr<KGlobalAccelHotKeyService> kde = std::move(m_kde);
    const PortalHotKeyService::Availability availability = portal->availability();
    if (availability == PortalHotKeyService::Availability::offered) {
        use(std::move(portal));
    } else if (kde->isRunning()) {
        portal.release()->deleteLater();
        use(std::move(kde));
    } else if (availability == PortalHotKeyService::Availability::unanswered) {
        // Kept, so that its refusal tells the person the portal did not answer.
        use(std::move(portal));
    } else {
        portal.release()->deleteLater();
        qWarning("No desktop service offers Orlette the quick-note key Super+Alt+N");
    }
    Q_EMIT changed();
}

void QuickNoteKeyChooser::use(std::unique_ptr<HotKeyService> service)
{
    m_service = std::move(service);
    m_hotKey = GlobalHotKey::create(m_service.get(), GlobalHotKey::quickNoteKeyCode,
                                    GlobalHotKey::quickNoteModifiers, m_handler);
    auto *portal = qobject_cast<PortalHotKeyService *>(m_service.get());
    if (!m_hotKey) {
        if (const auto *kde = qobject_cast<const KGlobalAccelHotKeyService *>(m_service.get()))
            m_error = kde->lastError();
        else if (portal)
            m_error = portal->lastError();
        qWarning("The quick-note key Super+Alt+N could not be registered%s%s",
                 m_error.isEmpty() ? "" : ": ", qPrintable(m_error));
        return;
    }
    if (portal) {
        // The portal answers later, perhaps after asking the person.
        connect(portal, &HotKeyService::registrationFailed, this,
                [](HotKeyIdentity, const QString &reason) {
                    qWarning("The desktop portal did not bind Super+Alt+N: %s", qPrintable(reason));
                });
        connect(portal, &PortalHotKeyService::bindingChanged, this, &QuickNoteKeyChooser::changed);
    }
}

void QuickNoteKeyChooser::stop()
{
    if (m_choosing) {
        m_choosing = false;
        disconnect(m_portal.get(), nullptr, this, nullptr);
    }
    if (m_hotKey)
        m_hotKey->unregister();
}

QuickNoteKey::Registration QuickNoteKeyChooser::registration() const
{
    using Registration = QuickNoteKey::Registration;
    Registration registration;
    const auto *portal = qobject_cast<const PortalHotKeyService *>(m_service.get());
    if (m_choosing) {
        registration.outcome = Registration::Outcome::choosing;
        registration.route = Registration::Route::desktopPortal;
        return registration;
    }
    if (portal && m_hotKey && m_hotKey->reference()) {
        if (const auto binding = portal->binding(*m_hotKey->reference()))
            registration = QuickNoteKey::portalRegistration(*binding);
    } else if (m_hotKey && m_hotKey->reference()) {
        registration.outcome = Registration::Outcome::registered;
    } else if (m_service) {
        registration.outcome = Registration::Outcome::refused;
        registration.error = m_error;
    }
    if (portal)
        registration.route = Registration::Route::desktopPortal;
    else if (qobject_cast<const KGlobalAccelHotKeyService *>(m_service.get()))
        registration.route = Registration::Route::kdeShortcuts;
    return registration;
}
