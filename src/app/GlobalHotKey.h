// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/HotKeyService.h"

#include <QHash>

#include <functional>
#include <memory>
#include <optional>

// One system-wide hot key of this process. Registrations are numbered by a process-wide
// counter; a press is routed through one handler table by that number, so a late press
// of a key that was already unregistered finds nothing and does nothing.
class GlobalHotKey
{
public:
    using Handler = std::function<void()>;

    // The signature of this application's hot keys: "ORLT".
    static constexpr quint32 signature = HotKeyIdentity::fourCharCode("ORLT");
    // What the event handler answers for a press it does not handle.
    static constexpr int eventNotHandledErr = -9874;
    // Option-Command-N: the N key with command (256) and option (2048).
    static constexpr quint32 quickNoteKeyCode = 45;
    static constexpr quint32 quickNoteModifiers = 2304;

    // Registers the key with `service`; nothing when the service refuses it, in which case
    // no handler is left behind.
    static std::unique_ptr<GlobalHotKey> create(HotKeyService *service, quint32 keyCode,
                                                quint32 modifiers, Handler handler);
    ~GlobalHotKey();
    GlobalHotKey(const GlobalHotKey &) = delete;
    GlobalHotKey &operator=(const GlobalHotKey &) = delete;

    quint32 id() const { return m_id; }
    std::optional<quint64> reference() const { return m_reference; }
    // Releases the key and forgets its handler.
    void unregister();

    // The event handler: 0 when the press is ours (its handler then runs from the event
    // loop), eventNotHandledErr for a foreign or unreadable press.
    static int handleEvent(const std::optional<HotKeyIdentity> &identity);
    // Registered handlers, for diagnostics and tests.
    static bool hasHandler(quint32 id);
    static quint32 nextId();

private:
    GlobalHotKey(HotKeyService *service, quint32 id) : m_service(service), m_id(id) {}

    HotKeyService *m_service;
    quint32 m_id;
    std::optional<quint64> m_reference;
};
