// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LoginItem.h"

std::optional<QString> LoginItem::setEnabled(bool enabled) const
{
    return enabled ? m_entry.enable() : m_entry.disable();
}

LoginItem::Change LoginItem::change(bool enabled) const
{
    const std::optional<QString> error = setEnabled(enabled);
    Change result;
    result.isEnabled = isEnabled();
    if (error)
        result.errorMessage = failureMessage(*error);
    return result;
}

QString LoginItem::failureMessage(const QString &description)
{
    QString reason = description.trimmed();
    // The sentence goes on after the description; a closing full stop would double up.
    while (reason.endsWith(u'.'))
        reason.chop(1);
    return QStringLiteral("No se pudo cambiar: ") + reason +
           QStringLiteral(". Suele pasar con una copia ejecutada fuera de la carpeta "
                          "Aplicaciones.");
}
