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

std::optional<SyncError> SyncRemoteSetUp::run()
{
    if (auto error = pairWithTarget())
        return error;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto format = m_env.transport.read(SyncPaths::formatFile);
        if (format.ok())
            return adopt(format.value->data);
        if (format.error->code != SyncError::unknownItem)
            return format.error;

        // No remote copy. If this computer already mirrored notes there, it vanished
        // (a drive not mounted, a folder deleted or not yet brought back by the other
        // program): never a reason to delete anything here, nor to start over silently.
        if (m_env.state.holdsMirroredNotes()) {
            return SyncError::make(SyncError::userDeletedZone,
                                   QStringLiteral("La carpeta Orlette ya no está en el destino. "
                                                  "No se ha borrado ninguna nota de este "
                                                  "ordenador."))
                .with(SyncErrorInfo::plain(QStringLiteral("file"), SyncPaths::formatFile));
        }
        auto error = create();
        // Another computer made it at the same moment: read theirs.
        if (!error || error->code != SyncError::serverRecordChanged)
            return error;
    }
    return SyncError::make(SyncError::serverRecordChanged,
                           QStringLiteral("No se pudo crear la carpeta Orlette en el destino."));
}

std::optional<SyncError> SyncRemoteSetUp::pairWithTarget()
{
    StoreError failure;
    if (m_env.state.meta(targetIdentityKey) == m_targetIdentity)
        return std::nullopt;
    // Another target is another remote copy: everything is merged and sent anew.
    if (!m_env.state.forgetRemote(&failure) ||
        !m_env.state.setMeta(targetIdentityKey, m_targetIdentity, &failure) ||
        !m_env.state.setMeta(remoteIdentifierKey, QString(), &failure))
        return SyncPassErrors::database(failure);
    return std::nullopt;
}

std::optional<SyncError> SyncRemoteSetUp::adopt(const QByteArray &formatData)
{
    const QJsonObject object = QJsonDocument::fromJson(formatData).object();
    const int version = object.value(QStringLiteral("format")).toInt(0);
    const QString identifier = object.value(QStringLiteral("identifier")).toString();
    if (version < 1 || identifier.isEmpty()) {
        return SyncError::make(SyncError::badContainer,
                               QStringLiteral("La carpeta Orlette del destino no es de "
                                              "esta aplicación."))
            .with(SyncErrorInfo::plain(QStringLiteral("file"), SyncPaths::formatFile));
    }
    if (version > SyncRecord::format) {
        return SyncError::make(SyncError::incompatibleVersion,
                               QStringLiteral("Las notas del destino las escribió una "
                                              "versión más nueva de Orlette."))
            .with(SyncErrorInfo::plain(QStringLiteral("format"), version));
    }
    StoreError failure;
    const QString known = m_env.state.meta(remoteIdentifierKey);
    if (!known.isEmpty() && known != identifier && !m_env.state.forgetRemote(&failure))
        return SyncPassErrors::database(failure);
    if (known != identifier && !m_env.state.setMeta(remoteIdentifierKey, identifier, &failure))
        return SyncPassErrors::database(failure);
    return std::nullopt;
}

std::optional<SyncError> SyncRemoteSetUp::create()
{
    if (auto refusal = m_env.transport.refusalOfNewCopy())
        return refusal;
    if (auto error = m_env.transport.makeFolder(SyncTarget::remoteFolder))
        return error;
    if (auto error = m_env.transport.makeFolder(SyncPaths::notesFolder))
        return error;
    const QString identifier = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    const QJsonObject object{{QStringLiteral("format"), SyncRecord::format},
                             {QStringLiteral("identifier"), identifier}};
    const auto written = m_env.transport.write(
        SyncPaths::formatFile, QJsonDocument(object).toJson(QJsonDocument::Indented),
        SyncWriteCondition::absent());
    if (!written.ok())
        return written.error;
    StoreError failure;
    if (!m_env.state.setMeta(remoteIdentifierKey, identifier, &failure))
        return SyncPassErrors::database(failure);
    return std::nullopt;
}
