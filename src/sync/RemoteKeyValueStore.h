// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/KeyValueStore.h"

#include <QJsonObject>
#include <QPointer>

#include <functional>

class SyncEngine;

// The shared key-value document kept on the sync target (`Orlette/keyvalue.json`), as
// every computer of the person sees it. Values set here are kept at once in a local copy
// (so they survive a restart before the next transfer) and sent with the engine's next
// pass; values set elsewhere arrive with the passes and are taken in by `synchronize`.
// Per key the later write wins.
class RemoteKeyValueStore : public KeyValueStore
{
    Q_OBJECT

public:
    explicit RemoteKeyValueStore(SyncEngine *engine, const QString &cachePath = defaultPath(),
                                 QObject *parent = nullptr);

    // AppPaths::dataDirectory()/keyvalue-sync.json
    static QString defaultPath();
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }

    // True once the document on the target was read and the last exchange worked.
    bool synchronize() override;
    bool boolValue(const QString &key) const override;
    void setBool(const QString &key, bool value) override;

private:
    void received(const QJsonObject &values, bool ok);
    bool writeCache() const;

    QPointer<SyncEngine> m_engine;
    QString m_cachePath;
    std::function<qint64()> m_clock;
    // key → {"value": bool, "modifiedAt": ms}
    QJsonObject m_values;
    QJsonObject m_incoming;
    bool m_hasIncoming = false;
    bool m_lastExchangeOk = false;
};
