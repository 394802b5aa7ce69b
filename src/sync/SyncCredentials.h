// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncError.h"

#include <QObject>
#include <QString>

#include <functional>

// Where the WebDAV password is kept. Every call answers exactly once, on the caller's
// thread, possibly later; a password is never written anywhere else.
class SyncCredentials : public QObject
{
    Q_OBJECT

public:
    using ReadDone = std::function<void(const SyncResult<QString> &password)>;
    using WriteDone = std::function<void(const SyncResult<void> &written)>;

    using QObject::QObject;
    ~SyncCredentials() override = default;

    virtual void readPassword(const QString &account, ReadDone done) = 0;
    virtual void writePassword(const QString &account, const QString &password, WriteDone done) = 0;
    virtual void removePassword(const QString &account, WriteDone done) = 0;
};
