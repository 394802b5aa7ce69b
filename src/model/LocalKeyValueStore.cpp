// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/LocalKeyValueStore.h"

#include "model/AppPaths.h"
#include "model/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

LocalKeyValueStore::LocalKeyValueStore(const QString &path, QObject *parent)
    : KeyValueStore(parent), m_path(path)
{
    QJsonObject values;
    if (readDocument(&values))
        m_values = values;
}

QString LocalKeyValueStore::defaultPath()
{
    return AppPaths::dataDirectory() + QStringLiteral("/keyvalues.json");
}

bool LocalKeyValueStore::boolValue(const QString &key) const
{
    return m_values.value(key).toBool(false);
}

void LocalKeyValueStore::setBool(const QString &key, bool value)
{
    m_values.insert(key, value);
    m_pending.insert(key);
    synchronize();
}

bool LocalKeyValueStore::synchronize()
{
    QJsonObject disk;
    const bool readable = readDocument(&disk);
    // A damaged document is replaced only when there is something of ours to write, and
    // then with everything this process knows.
    QJsonObject merged = readable ? disk : m_values;
    for (const QString &key : std::as_const(m_pending))
        merged.insert(key, m_values.value(key));

    bool sound = readable;
    if (!m_pending.isEmpty()) {
        sound = writeDocument(merged);
        if (sound)
            m_pending.clear();
    }

    QStringList changed;
    for (auto it = merged.constBegin(); it != merged.constEnd(); ++it) {
        if (m_values.value(it.key()) != it.value())
            changed << it.key();
    }
    for (auto it = m_values.constBegin(); it != m_values.constEnd(); ++it) {
        if (!merged.contains(it.key()))
            changed << it.key();
    }
    m_values = merged;
    if (!changed.isEmpty())
        Q_EMIT didChangeExternally(changed);
    return sound;
}

bool LocalKeyValueStore::readDocument(QJsonObject *values) const
{
    QFile file(m_path);
    if (!file.exists()) {
        *values = QJsonObject();
        return true;
    }
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    *values = document.object();
    return true;
}

bool LocalKeyValueStore::writeDocument(const QJsonObject &values) const
{
    if (!PrivateFiles::makeFolder(QFileInfo(m_path).absolutePath()))
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    PrivateFiles::restrict(file);
    file.write(QJsonDocument(values).toJson(QJsonDocument::Indented));
    return file.commit();
}
