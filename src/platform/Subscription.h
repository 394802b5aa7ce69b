// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <utility>

// Ownership of something installed in the window system or a notification centre (an
// observer, a monitor, a timer). Cancelling, destroying or assigning over it removes what
// it owns, once; it is safe to outlive the thing it was installed in.
class Subscription
{
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : m_cancel(std::move(cancel)) {}
    Subscription(Subscription &&other) noexcept : m_cancel(std::exchange(other.m_cancel, {})) {}
    Subscription &operator=(Subscription &&other) noexcept
    {
        if (this != &other) {
            cancel();
            m_cancel = std::exchange(other.m_cancel, {});
        }
        return *this;
    }
    Subscription(const Subscription &) = delete;
    Subscription &operator=(const Subscription &) = delete;
    ~Subscription() { cancel(); }

    bool isActive() const { return bool(m_cancel); }
    void cancel()
    {
        if (auto cancel = std::exchange(m_cancel, {}))
            cancel();
    }

private:
    std::function<void()> m_cancel;
};
