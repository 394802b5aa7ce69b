// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncCredentials.h"

#include <chrono>

// The password in the desktop's secret store (Secret Service or KWallet, through
// QtKeychain). Without a reachable secret service (no D-Bus session) every call fails
// with the credentials error instead of waiting: a call that has not answered after
// `timeout` is answered as failed.
class KeychainCredentials : public SyncCredentials
{
    Q_OBJECT

public:
    static inline const QString service = QStringLiteral("org.orlette.Orlette.sync");
    static constexpr std::chrono::milliseconds defaultTimeout{10000};

    explicit KeychainCredentials(QObject *parent = nullptr,
                                 std::chrono::milliseconds timeout = defaultTimeout);

    void readPassword(const QString &account, ReadDone done) override;
    void writePassword(const QString &account, const QString &password, WriteDone done) override;
    void removePassword(const QString &account, WriteDone done) override;

private:
    std::chrono::milliseconds m_timeout;
};
