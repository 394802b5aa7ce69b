// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AutostartEntry.h"

#include <QString>

#include <optional>

// Whether the application opens when the user logs in, and how a change of it is
// reported to the user.
class LoginItem
{
public:
    // What the switch shows after a change: the state as it really is now, and the text
    // to show under it when the change failed.
    struct Change
    {
        bool isEnabled = false;
        std::optional<QString> errorMessage;
    };

    LoginItem() = default;
    explicit LoginItem(AutostartEntry entry) : m_entry(std::move(entry)) {}

    bool isEnabled() const { return m_entry.isEnabled(); }
    // Turns the login item on or off; on failure, the description of what went wrong.
    std::optional<QString> setEnabled(bool enabled) const;
    // Turns it on or off and reads the state back, so a failed change leaves the switch
    // where the system really is.
    Change change(bool enabled) const;

    // The text shown under the switch when a change failed.
    static QString failureMessage(const QString &description);

private:
    AutostartEntry m_entry;
};
