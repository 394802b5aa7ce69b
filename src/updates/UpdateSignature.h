// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The Ed25519 public key that update archives are signed with, and the check of an
// archive against the base64 signature its feed gives.
class UpdateSignature
{
public:
    // A key written in base64 (32 bytes once decoded); anything else gives none.
    static std::optional<UpdateSignature> fromPublicKey(const QByteArray &base64Key);

    // True only for a well-formed base64 signature of exactly these bytes by this key.
    bool verifies(const QByteArray &data, const QString &base64Signature) const;

private:
    explicit UpdateSignature(QByteArray key) : m_key(std::move(key)) {}
    QByteArray m_key;
};
