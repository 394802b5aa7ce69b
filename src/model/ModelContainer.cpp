// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ModelContainer.h"

#include "model/ModelContext.h"
#include "model/PrivateFiles.h"
#include "model/StoreSchema.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>
#include <QUuid>

namespace {

StoreError makeError(int code, const QString &description)
{
    return StoreError{code, description};
}

} // namespace

ModelConfiguration ModelConfiguration::onDisk(const QString &path, bool mirrored)
{
    return ModelConfiguration{Storage::onDisk, path, mirrored};
}

ModelConfiguration ModelConfiguration::inMemory()
{
    return ModelConfiguration{Storage::inMemory, QString(), false};
}

ModelContainer::ModelContainer(const ModelConfiguration &configuration, const QString &uri)
    : m_configuration(configuration), m_uri(uri)
{
    // Saves made on a worker thread reach the other contexts through queued signals.
    qRegisterMetaType<SavedChanges>();
    qRegisterMetaType<ModelContext *>();
}

ModelContainer::~ModelContainer()
{
    // Contexts hold connections to the store; they go before the anchor closes.
    m_mainContext.reset();
}

Expected<std::unique_ptr<ModelContainer>, StoreError>
ModelContainer::create(const ModelConfiguration &configuration)
{
    QString uri;
    if (configuration.storage == ModelConfiguration::Storage::inMemory) {
        // The memdb file system lets every context open its own connection to the same
        // database in memory with ordinary locking; a shared cache would instead fail
        // concurrent connections at once with "table is locked" instead of waiting.
        uri = QStringLiteral("file:/orlette-memory-%1?vfs=memdb")
                  .arg(QUuid::createUuid().toString(QUuid::Id128));
    } else {
        if (configuration.path.isEmpty())
            return Unexpected(
                makeError(1, QStringLiteral("No se indicó dónde guardar las notas.")));
        const QFileInfo info(configuration.path);
        if (!PrivateFiles::makeFolder(info.absolutePath())) {
            return Unexpected(makeError(
                1, QStringLiteral("No se pudo crear la carpeta %1.").arg(info.absolutePath())));
        }
        if (info.exists() && !info.isFile())
            return Unexpected(
                makeError(1, QStringLiteral("%1 no es un archivo.").arg(configuration.path)));
        uri = info.absoluteFilePath();
        // Made here rather than by SQLite, whose new files follow the umask: the WAL and
        // shared-memory files take the main file's mode, so all three stay the owner's.
        if (!info.exists() && !PrivateFiles::makeFile(uri))
            return Unexpected(
                makeError(1, QStringLiteral("No se pudo crear el archivo %1.").arg(uri)));
    }

    std::unique_ptr<ModelContainer> container(new ModelContainer(configuration, uri));
    if (const auto initialised = container->initialise(); !initialised)
        return Unexpected(initialised.error());
    return container;
}

Expected<void, StoreError> ModelContainer::initialise()
{
    const bool onDisk = m_configuration.storage == ModelConfiguration::Storage::onDisk;
    const bool existed = onDisk && QFileInfo(m_uri).size() > 0;
    if (auto opened = m_anchor.open(m_uri, SqliteDatabase::OpenMode::readWriteCreate); !opened)
        return opened;

    // Everything up to the version check only reads, so a file that is not ours, is
    // damaged or comes from a newer version is left exactly as it was.
    if (existed) {
        const auto tables = m_anchor.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        if (!tables || !tables.value().isValid()) {
            const StoreError failure = tables ? StoreError{} : tables.error();
            return Unexpected(makeError(
                failure.code, QStringLiteral("El archivo %1 no se puede leer como almacén de "
                                             "notas (%2).")
                                  .arg(m_uri, failure.description)));
        }
        if (tables.value().toInt() > 0) {
            const QVariant version =
                m_anchor
                    .scalar(
                        QStringLiteral("SELECT value FROM metadata WHERE key = 'schemaVersion'"))
                    .value_or(QVariant());
            const QVariant entity =
                m_anchor.scalar(QStringLiteral("SELECT value FROM metadata WHERE key = 'entity'"))
                    .value_or(QVariant());
            if (!version.isValid() || entity.toString() != entityName) {
                return Unexpected(makeError(
                    1, QStringLiteral("El archivo %1 no es un almacén de notas de Orlette.")
                           .arg(m_uri)));
            }
            if (StoreSchema::compareVersions(version.toString(), schemaVersion) > 0) {
                return Unexpected(makeError(
                    1, QStringLiteral("El almacén %1 lo escribió una versión más nueva de "
                                      "Orlette (esquema %2; esta versión lee el %3).")
                           .arg(m_uri, version.toString(), schemaVersion)));
            }
        }
    }

    if (onDisk) {
        if (auto journal = m_anchor.exec(QStringLiteral("PRAGMA journal_mode=WAL")); !journal)
            return journal;
    }
    const QString storeIdentifier = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QString setup =
        QStringLiteral("BEGIN IMMEDIATE;") + StoreSchema::createStatements() +
        QStringLiteral("INSERT OR IGNORE INTO metadata VALUES ('schemaVersion', '%1');"
                       "INSERT OR IGNORE INTO metadata VALUES ('entity', '%2');"
                       "INSERT OR IGNORE INTO metadata VALUES ('storeIdentifier', '%3');"
                       "INSERT OR REPLACE INTO metadata VALUES ('mirrored', '%4');"
                       "COMMIT;")
            .arg(schemaVersion, entityName, storeIdentifier,
                 m_configuration.isMirrored ? QStringLiteral("1") : QStringLiteral("0"));
    if (auto created = m_anchor.exec(setup); !created) {
        // Nothing to undo when the transaction never began; the outcome that counts is
        // the setup's.
        (void)m_anchor.exec(QStringLiteral("ROLLBACK"));
        return created;
    }
    m_storeIdentifier =
        m_anchor.scalar(QStringLiteral("SELECT value FROM metadata WHERE key = 'storeIdentifier'"))
            .value_or(QVariant())
            .toString();

    m_mainContext.reset(new ModelContext(this));
    if (auto opened = m_mainContext->open(); !opened)
        return opened;
    connect(m_mainContext.get(), &ModelContext::remoteChange, this, &ModelContainer::remoteChange);
    if (onDisk)
        watchFiles();
    return {};
}

Expected<std::unique_ptr<ModelContext>, StoreError> ModelContainer::makeContext()
{
    std::unique_ptr<ModelContext> context(new ModelContext(this));
    if (auto opened = context->open(); !opened)
        return Unexpected(opened.error());
    return context;
}

void ModelContainer::watchFiles()
{
    // Another process writing the same store shows up as a change of the WAL file; the
    // slow poll covers file systems without change notification.
    m_watcher = new QFileSystemWatcher(this);
    m_watcher->addPath(m_uri);
    const QString wal = m_uri + QStringLiteral("-wal");
    if (QFileInfo::exists(wal))
        m_watcher->addPath(wal);
    auto *debounce = new QTimer(this);
    debounce->setSingleShot(true);
    debounce->setInterval(50);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, debounce, qOverload<>(&QTimer::start));
    connect(debounce, &QTimer::timeout, this, [this, wal] {
        if (!m_watcher->files().contains(wal) && QFileInfo::exists(wal))
            m_watcher->addPath(wal);
        Q_EMIT storeFilesMayHaveChanged();
    });
    m_poll = new QTimer(this);
    m_poll->setInterval(2000);
    connect(m_poll, &QTimer::timeout, this, &ModelContainer::storeFilesMayHaveChanged);
    m_poll->start();
}
