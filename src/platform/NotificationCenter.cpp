// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NotificationCenter.h"

#include <QList>

#include <algorithm>

struct NotificationCenter::State
{
    struct Entry
    {
        quint64 id;
        QString name;
        std::shared_ptr<Observer> observer;
    };
    QList<Entry> entries;
    quint64 nextId = 1;

    std::shared_ptr<Observer> find(quint64 id) const
    {
        const auto it = std::find_if(entries.cbegin(), entries.cend(),
                                     [id](const Entry &entry) { return entry.id == id; });
        return it == entries.cend() ? nullptr : it->observer;
    }
};

NotificationCenter::NotificationCenter() : m_state(std::make_shared<State>()) {}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter &NotificationCenter::standard()
{
    static NotificationCenter center;
    return center;
}

Subscription NotificationCenter::addObserver(const QString &name, Observer observer)
{
    const quint64 id = m_state->nextId++;
    m_state->entries.append({id, name, std::make_shared<Observer>(std::move(observer))});
    return Subscription([weak = std::weak_ptr<State>(m_state), id] {
        if (const auto state = weak.lock()) {
            state->entries.removeIf([id](const State::Entry &entry) { return entry.id == id; });
        }
    });
}

void NotificationCenter::post(const QString &name, const QVariant &object) const
{
    // Observers may add or remove observers, or destroy the centre's owner of a callback:
    // walk a snapshot of ids and look each one up again before the call.
    QList<quint64> ids;
    for (const State::Entry &entry : std::as_const(m_state->entries)) {
        if (entry.name == name)
            ids.append(entry.id);
    }
    const std::shared_ptr<State> state = m_state;
    for (const quint64 id : std::as_const(ids)) {
        if (const std::shared_ptr<Observer> observer = state->find(id))
            (*observer)(object);
    }
}

int NotificationCenter::observerCount(const QString &name) const
{
    return int(std::count_if(m_state->entries.cbegin(), m_state->entries.cend(),
                             [&name](const State::Entry &entry) { return entry.name == name; }));
}
