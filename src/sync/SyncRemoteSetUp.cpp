// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/SyncRemoteSetUp.h"

#include "sync/SyncTarget.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

namespace {

const QString targetIdentityKey = QStringLiteral("targetIdentity");
const QString remoteIdentifierKey = QStringLiteral("remoteIdentifier");

} // namespace

SyncRemoteSetUp::SyncRemoteSetUp(SyncPassEnvironment environment, QString targetIdentity)
    : m_env(std::move(environment)), m_targetIdentity(std::move(targetIdentity))
{
}

SyncResult<void> SyncRemoteSetUp::run()
{
    if (auto paired = pairWithTarget(); !paired)
        return paired;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto format = m_env.transport.read(SyncPaths::formatFile);
        if (format)
            return adopt(format->data);
        if (format.error().code != SyncError::unknownItem)
            return Unexpected(format.error());

        // No remote copy. If this computer already mirrored notes there, it vanished
        // (a drive not mounted, a folder deleted or not yet brought back by the other
        // program): never a reason to delete anything here, nor to start over silently.
        if (m_env.state.holdsMirroredNotes()) {
            return Unexpected(
                SyncError::make(SyncError::userDeletedZone,
                                QStringLiteral("La carpeta Orlette ya no está en el destino. "
                                               "No se ha borrado ninguna nota de este "
                                               "ordenador."))
                    .with(SyncErrorInfo::plain(QStringLiteral("file"), SyncPaths::formatFile)));
        }
        auto created = create();
        // Another computer made it at the same moment: read theirs.
        if (created || created.error().code != SyncError::serverRecordChanged)
            return created;
    }
    return Unexpected(
        SyncError::make(SyncError::serverRecordChanged,
                        QStringLiteral("No se pudo crear la carpeta Orlette en el destino.")));
}

SyncResult<void> SyncRemoteSetUp::pairWithTarget()
{
    if (m_env.state.meta(targetIdentityKey) == m_targetIdentity)
        return {};
    // Another target is another remote copy: everything is merged and sent anew.
    return m_env.state.forgetRemote()
        .and_then([&] { return m_env.state.setMeta(targetIdentityKey, m_targetIdentity); })
        .and_then([&] { return m_env.state.setMeta(remoteIdentifierKey, QString()); })
        .transform_error(SyncPassErrors::database);
}

SyncResult<void> SyncRemoteSetUp::adopt(const QByteArray &formatData)
{
    const QJsonObject object = QJsonDocument::fromJson(formatData).object();
    const int version = object.value(QStringLiteral("format")).toInt(0);
    const QString identifier = object.value(QStringLiteral("identifier")).toString();
    if (version < 1 || identifier.isEmpty()) {
        return Unexpected(
            SyncError::make(SyncError::badContainer,
                            QStringLiteral("La carpeta Orlette del destino no es de "
                                           "esta aplicación."))
                .with(SyncErrorInfo::plain(QStringLiteral("file"), SyncPaths::formatFile)));
    }
    if (version > SyncRecord::format) {
        return Unexpected(SyncError::make(SyncError::incompatibleVersion,
                                          QStringLiteral("Las notas del destino las escribió una "
                                                         "versión más nueva de Orlette."))
                              .with(SyncErrorInfo::plain(QStringLiteral("format"), version)));
    }
    const QString known = m_env.state.meta(remoteIdentifierKey);
    if (known == identifier)
        return {};
    Expected<void, StoreError> forgotten;
    if (!known.isEmpty())
        forgotten = m_env.state.forgetRemote();
    return forgotten.and_then([&] { return m_env.state.setMeta(remoteIdentifierKey, identifier); })
        .transform_error(SyncPassErrors::database);
}

SyncResult<void> SyncRemoteSetUp::create()
{
    if (auto allowed = m_env.transport.checkNewCopyAllowed(); !allowed)
        return allowed;
    if (auto made = m_env.transport.makeFolder(SyncTarget::remoteFolder); !made)
        return made;
    if (auto made = m_env.transport.makeFolder(SyncPaths::notesFolder); !made)
        return made;
    const QString identifier = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QJsonObject object{{QStringLiteral("format"), SyncRecord::format},
                             {QStringLiteral("identifier"), identifier}};
    const auto written = m_env.transport.write(
        SyncPaths::formatFile, QJsonDocument(object).toJson(QJsonDocument::Indented),
        SyncWriteCondition::absent());
    if (!written)
        return Unexpected(written.error());
    return m_env.state.setMeta(remoteIdentifierKey, identifier)
        .transform_error(SyncPassErrors::database);
}
