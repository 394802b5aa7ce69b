// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/SqliteDatabase.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <memory>

class ModelContext;
class QFileSystemWatcher;

// The records one save touched, by persistent identifier.
struct SavedChanges
{
    QList<qint64> inserted;
    QList<qint64> updated;
    QList<qint64> deleted;
};
Q_DECLARE_METATYPE(SavedChanges)
class QTimer;

// Where a container keeps its notes.
struct ModelConfiguration
{
    enum class Storage
    {
        onDisk,
        inMemory
    };

    Storage storage = Storage::inMemory;
    // The store file for `onDisk` ("…/default.store").
    QString path;
    // The store is to be mirrored to the other computers of the person.
    bool isMirrored = false;

    static ModelConfiguration onDisk(const QString &path, bool mirrored);
    static ModelConfiguration inMemory();
};

// The store built from the schema (the one entity `Note`, schema version 1.0.0) and one
// configuration. Owns the main context; other contexts share its store.
class ModelContainer : public QObject
{
    Q_OBJECT

public:
    static inline const QString schemaVersion = QStringLiteral("1.0.0");
    static inline const QString entityName = QStringLiteral("Note");

    // Fails with a readable error; never rewrites, truncates or deletes an existing file
    // that it cannot read or that a newer schema version wrote.
    static Expected<std::unique_ptr<ModelContainer>, StoreError>
    create(const ModelConfiguration &configuration);
    ~ModelContainer() override;

    const ModelConfiguration &configuration() const { return m_configuration; }
    // The store's own identity, recorded in the file.
    const QString &storeIdentifier() const { return m_storeIdentifier; }
    // The SQLite name of the store: a path or an in-memory URI.
    const QString &databaseUri() const { return m_uri; }

    // The context for the main thread, used by every command and view.
    ModelContext *mainContext() const { return m_mainContext.get(); }
    // A separate context, for the thread that calls this.
    Expected<std::unique_ptr<ModelContext>, StoreError> makeContext();

Q_SIGNALS:
    // Any context of this container saved.
    void contextDidSave(ModelContext *origin, const SavedChanges &changes);
    // The store files changed; possibly another process wrote them.
    void storeFilesMayHaveChanged();
    // The main context saw changes that it did not make itself.
    void remoteChange();

private:
    ModelContainer(const ModelConfiguration &configuration, const QString &uri);
    Expected<void, StoreError> initialise();
    void watchFiles();

    ModelConfiguration m_configuration;
    QString m_uri;
    QString m_storeIdentifier;
    // Keeps an in-memory store alive and serves schema work.
    SqliteDatabase m_anchor;
    std::unique_ptr<ModelContext> m_mainContext;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_poll = nullptr;
};
