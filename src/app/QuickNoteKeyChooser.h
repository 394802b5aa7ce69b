// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/GlobalHotKey.h"
#include "app/QuickNoteKey.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class HotKeyService;
class KGlobalAccelHotKeyService;
class PortalHotKeyService;

// Chooses the desktop service that holds the quick-note key for this session and registers
// the key there. Where the desktop portal is the candidate its answer comes later (asking
// may start the portal, or find it hung), so the choice is finished from the event loop
// and start-up never waits for it. Main thread only.
class QuickNoteKeyChooser : public QObject
{
    Q_OBJECT

public:
    struct Session
    {
        bool wayland = false;
        // KDE Plasma, whose own service gives the key at once.
        bool plasma = false;
        // GNOME's custom shortcut that runs `orlette --new-note` has the key already.
        bool gnomeHasTheKey = false;
    };
    // How each candidate service is made; each is made at most once, when it is considered.
    struct Services
    {
        std::function<std::unique_ptr<HotKeyService>()> keyGrab;
        std::function<std::unique_ptr<KGlobalAccelHotKeyService>()> kde;
        std::function<std::unique_ptr<PortalHotKeyService>()> portal;
    };

    QuickNoteKeyChooser(Services services, GlobalHotKey::Handler handler,
                        QObject *parent = nullptr);
    ~QuickNoteKeyChooser() override;
    QuickNoteKeyChooser(const QuickNoteKeyChooser &) = delete;
    QuickNoteKeyChooser &operator=(const QuickNoteKeyChooser &) = delete;

    // Chooses for `session`, once, and registers the key where it can without waiting;
    // changed() tells when a choice left open is made.
    void start(const Session &session);
    // Releases the key; a portal answer still to come is then ignored.
    void stop();

    // How the key's registration stands, for the settings.
    QuickNoteKey::Registration registration() const;
    // The key, while registered (or awaiting the desktop's answer).
    GlobalHotKey *hotKey() const { return m_hotKey.get(); }
    // The chosen service; null while choosing and where none can hold the key.
    HotKeyService *service() const { return m_service.get(); }
    bool isChoosing() const { return m_choosing; }

Q_SIGNALS:
    // The registration's state changed: the choice was made, or the desktop answered.
    void changed();

private:
    void portalAnswered();
    void use(std::unique_ptr<HotKeyService> service);

    Services m_services;
    GlobalHotKey::Handler m_handler;
    bool m_started = false;
    bool m_choosing = false;
    // The candidates kept while the portal is asked.
    std::unique_ptr<PortalHotKeyService> m_portal;
    std::unique_ptr<KGlobalAccelHotKeyService> m_kde;
    // Declared before the key, which releases itself through it.
    std::unique_ptr<HotKeyService> m_service;
    std::unique_ptr<GlobalHotKey> m_hotKey;
    // Why the key could not be registered, when the service said.
    QString m_error;
};
