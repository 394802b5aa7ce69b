// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Subscription.h"

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

namespace Notifications {
// The window request; its object is a window identifier ("library", "settings", "welcome").
inline const QString openWindow = QStringLiteral("Orlette.openWindow");
} // namespace Notifications

// Named in-process notifications. Observers are called on the posting (main) thread, in
// the order they were added; one removed while a notification is being delivered is not
// called any more, one added meanwhile waits for the next post.
class NotificationCenter
{
public:
    using Observer = std::function<void(const QVariant &object)>;

    NotificationCenter();
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter &) = delete;
    NotificationCenter &operator=(const NotificationCenter &) = delete;

    // The centre of this process.
    static NotificationCenter &standard();

    // Observes `name` until the returned subscription ends.
    [[nodiscard]] Subscription addObserver(const QString &name, Observer observer);
    void post(const QString &name, const QVariant &object = {}) const;
    int observerCount(const QString &name) const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};
