// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GlobalHotKey.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>

namespace {

// Process-wide, main thread only: the numbering, the handler table and the services whose
// presses are already routed to the handler.
struct HotKeyRegistry
{
    quint32 nextId = 1;
    QHash<quint32, GlobalHotKey::Handler> handlers;
    QList<QPointer<HotKeyService>> routed;
};

HotKeyRegistry &registry()
{
    static HotKeyRegistry instance;
    return instance;
}

void installEventHandler(HotKeyService *service)
{
    auto &routed = registry().routed;
    routed.removeAll(nullptr);
    for (const auto &known : routed) {
        if (known == service)
            return;
    }
    routed << service;
    QObject::connect(service, &HotKeyService::hotKeyPressed, service,
                     [](HotKeyIdentity identity) { GlobalHotKey::handleEvent(identity); });
}

} // namespace

std::unique_ptr<GlobalHotKey> GlobalHotKey::create(HotKeyService *service, quint32 keyCode,
                                                   quint32 modifiers, Handler handler)
{
    auto &table = registry();
    std::unique_ptr<GlobalHotKey> hotKey(new GlobalHotKey(service, table.nextId++));
    if (!service)
        return nullptr;
    installEventHandler(service);
    table.handlers.insert(hotKey->m_id, std::move(handler));
    hotKey->m_reference =
        service->registerHotKey(keyCode, modifiers, HotKeyIdentity{signature, hotKey->m_id});
    if (!hotKey->m_reference) {
        table.handlers.remove(hotKey->m_id);
        return nullptr;
    }
    return hotKey;
}

GlobalHotKey::~GlobalHotKey()
{
    unregister();
}

void GlobalHotKey::unregister()
{
    if (m_reference && m_service)
        m_service->unregisterHotKey(*m_reference);
    m_reference.reset();
    registry().handlers.remove(m_id);
}

int GlobalHotKey::handleEvent(const std::optional<HotKeyIdentity> &identity)
{
    if (!identity || identity->signature != signature)
        return eventNotHandledErr;
    const quint32 number = identity->number;
    // The handler runs from the event loop, never inside the desktop's event dispatch.
    QTimer::singleShot(0, [number] {
        const auto handler = registry().handlers.value(number);
        if (handler)
            handler();
    });
    return 0;
}

bool GlobalHotKey::hasHandler(quint32 id)
{
    return registry().handlers.contains(id);
}

quint32 GlobalHotKey::nextId()
{
    return registry().nextId;
}
