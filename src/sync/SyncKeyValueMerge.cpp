// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncKeyValueMerge.h"

#include "sync/SyncPass.h"
#include "sync/SyncRecord.h"

#include <QJsonDocument>

QJsonObject SyncKeyValueMerge::merge(const QJsonObject &local, const QJsonObject &remote)
{
    QJsonObject merged = remote;
    for (auto it = local.constBegin(); it != local.constEnd(); ++it) {
        const QJsonObject mine = it.value().toObject();
        const QJsonObject theirs = remote.value(it.key()).toObject();
        if (!remote.contains(it.key())) {
            merged.insert(it.key(), mine);
            continue;
        }
        const double mineTime = mine.value(QStringLiteral("modifiedAt")).toDouble();
        const double theirTime = theirs.value(QStringLiteral("modifiedAt")).toDouble();
        const bool mineValue = mine.value(QStringLiteral("value")).toBool();
        const bool theirValue = theirs.value(QStringLiteral("value")).toBool();
        if (mineTime > theirTime || (mineTime == theirTime && mineValue && !theirValue))
            merged.insert(it.key(), mine);
    }
    return merged;
}

SyncResult<void> SyncKeyValueMerge::read(SyncTransport &transport)
{
    const auto file = transport.read(SyncPaths::keyValueFile);
    if (file) {
        const QJsonObject object = QJsonDocument::fromJson(file->data).object();
        if (object.value(QStringLiteral("format")).toInt(0) > SyncRecord::format) {
            m_tag.clear();
            m_read = false;
            return {};
        }
        m_remote = object.value(QStringLiteral("values")).toObject();
        m_tag = file->tag;
    } else if (file.error().code == SyncError::unknownItem) {
        m_remote = QJsonObject();
        m_tag.clear();
    } else {
        return Unexpected(file.error());
    }
    m_read = true;
    return {};
}

SyncResult<void> SyncKeyValueMerge::write(SyncTransport &transport)
{
    const QJsonObject values = merged();
    const QJsonObject object{{QStringLiteral("format"), SyncRecord::format},
                             {QStringLiteral("values"), values}};
    const auto written = transport.write(
        SyncPaths::keyValueFile, QJsonDocument(object).toJson(QJsonDocument::Indented),
        m_tag.isEmpty() ? SyncWriteCondition::absent() : SyncWriteCondition::matching(m_tag));
    if (!written)
        return Unexpected(written.error());
    m_remote = values;
    m_tag = *written;
    return {};
}
