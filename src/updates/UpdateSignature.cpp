// SPDX-License-Identifier: GPL-3.0-or-later
#include "updates/UpdateSignature.h"

#include <sodium.h>

namespace {

std::optional<QByteArray> strictBase64(const QByteArray &text)
{
    const auto decoded = QByteArray::fromBase64Encoding(
        text.trimmed(), QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return decoded.decoded;
}

bool sodiumReady()
{
    // Safe to call more than once; below zero means the library cannot work here.
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace

std::optional<UpdateSignature> UpdateSignature::fromPublicKey(const QByteArray &base64Key)
{
    const auto key = strictBase64(base64Key);
    if (!key || key->size() != crypto_sign_PUBLICKEYBYTES)
        return std::nullopt;
    return UpdateSignature(*key);
}

bool UpdateSignature::verifies(const QByteArray &data, const QString &base64Signature) const
{
    const auto signature = strictBase64(base64Signature.toLatin1());
    if (!signature || signature->size() != crypto_sign_BYTES || !sodiumReady())
        return false;
    return crypto_sign_verify_detached(
               reinterpret_cast<const unsigned char *>(signature->constData()),
               reinterpret_cast<const unsigned char *>(data.constData()),
               static_cast<unsigned long long>(data.size()),
               reinterpret_cast<const unsigned char *>(m_key.constData())) == 0;
}
