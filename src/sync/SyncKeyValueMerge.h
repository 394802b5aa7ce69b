// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sync/SyncTransport.h"

#include <QJsonObject>

// The shared key-value document (key → {value, modifiedAt}) as this computer holds it and
// as the target last held it, and their merge: the newer value per key, ties to true.
class SyncKeyValueMerge
{
public:
    static QJsonObject merge(const QJsonObject &local, const QJsonObject &remote);

    void setLocal(const QJsonObject &values) { m_local = values; }
    // Reads the target's document; a missing one is empty, a newer one is never written over.
    SyncResult<void> read(SyncTransport &transport);
    // The target must be written: it was read and lacks something this computer holds.
    bool isDue() const { return m_read && merged() != m_remote; }
    // Writes the merge, on condition that nobody wrote it since it was read.
    SyncResult<void> write(SyncTransport &transport);
    QJsonObject merged() const { return merge(m_local, m_remote); }
    bool isRead() const { return m_read; }

private:
    QJsonObject m_local;
    QJsonObject m_remote;
    QString m_tag;
    bool m_read = false;
};
