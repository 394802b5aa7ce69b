// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/RemoteKeyValueStore.h"

#include "model/AppPaths.h"
#include "model/PrivateFiles.h"
#include "sync/SyncEngine.h"
#include "sync/SyncEngineWorker.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

RemoteKeyValueStore::RemoteKeyValueStore(SyncEngine *engine, const QString &cachePath,
                                         QObject *parent)
    : KeyValueStore(parent), m_engine(engine), m_cachePath(cachePath)
{
    QFile file(m_cachePath);
    if (file.open(QIODevice::ReadOnly))
        m_values = QJsonDocument::fromJson(file.readAll()).object();
    if (m_engine) {
        connect(m_engine, &SyncEngine::keyValuesSynced, this, &RemoteKeyValueStore::received);
        m_engine->setKeyValues(m_values);
    }
}

QString RemoteKeyValueStore::defaultPath()
{
    return AppPaths::dataDirectory() + QStringLiteral("/keyvalue-sync.json");
}

bool RemoteKeyValueStore::boolValue(const QString &key) const
{
    return m_values.value(key).toObject().value(QStringLiteral("value")).toBool(false);
}

void RemoteKeyValueStore::setBool(const QString &key, bool value)
{
    const qint64 now = m_clock ? m_clock() : QDateTime::currentMSecsSinceEpoch();
    const qint64 previous =
        qint64(m_values.value(key).toObject().value(QStringLiteral("modifiedAt")).toDouble());
    m_values.insert(key,
                    QJsonObject{{QStringLiteral("value"), value},
                                {QStringLiteral("modifiedAt"), double(qMax(now, previous + 1))}});
    writeCache();
    if (m_engine)
        m_engine->setKeyValues(m_values);
}

void RemoteKeyValueStore::received(const QJsonObject &values, bool ok)
{
    m_lastExchangeOk = ok;
    m_incoming = values;
    m_hasIncoming = true;
}

bool RemoteKeyValueStore::synchronize()
{
    if (m_hasIncoming) {
        const QJsonObject merged = SyncEngineWorker::mergeKeyValues(m_values, m_incoming);
        QStringList changed;
        for (auto it = merged.constBegin(); it != merged.constEnd(); ++it) {
            if (boolValue(it.key()) !=
                it.value().toObject().value(QStringLiteral("value")).toBool(false))
                changed << it.key();
        }
        m_values = merged;
        m_hasIncoming = false;
        writeCache();
        if (!changed.isEmpty())
            Q_EMIT didChangeExternally(changed);
    }
    if (m_engine)
        m_engine->setKeyValues(m_values);
    return m_lastExchangeOk;
}

bool RemoteKeyValueStore::writeCache() const
{
    if (!PrivateFiles::makeFolder(QFileInfo(m_cachePath).absolutePath()))
        return false;
    QSaveFile file(m_cachePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    PrivateFiles::restrict(file);
    file.write(QJsonDocument(m_values).toJson(QJsonDocument::Indented));
    return file.commit();
}
