// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/KeyValueStore.h"

#include <QJsonObject>
#include <QSet>

// The key-value store as a JSON document in the data folder, for when no sync target is
// configured. Every write replaces the file atomically, merged over what other
// processes wrote, so a crash never leaves half a document.
class LocalKeyValueStore : public KeyValueStore
{
    Q_OBJECT

public:
    explicit LocalKeyValueStore(const QString &path = defaultPath(), QObject *parent = nullptr);

    // AppPaths::dataDirectory()/keyvalues.json
    static QString defaultPath();
    const QString &path() const { return m_path; }

    bool synchronize() override;
    bool boolValue(const QString &key) const override;
    void setBool(const QString &key, bool value) override;

private:
    // Reads the document; an absent file is an empty document, a damaged one fails.
    bool readDocument(QJsonObject *values) const;
    bool writeDocument(const QJsonObject &values) const;

    QString m_path;
    QJsonObject m_values;
    // Keys set here and not yet written.
    QSet<QString> m_pending;
};
