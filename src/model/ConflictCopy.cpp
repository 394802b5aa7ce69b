// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/ConflictCopy.h"

#include "model/ModelContext.h"
#include "model/Note.h"

#include <memory>

QString ConflictCopy::title(const QString &displayTitle)
{
    return QStringLiteral("Copia en conflicto de «%1»").arg(displayTitle);
}

Note *ConflictCopy::keep(ModelContext &context, const Note &original, const StyledText &body)
{
    auto copy = std::make_unique<Note>();
    copy->setText(body);
    Note shown;
    shown.setTitle(original.title());
    shown.setPlainText(body.text());
    copy->setTitle(title(shown.displayTitle()));
    copy->setColorToken(original.colorToken());
    copy->setIsArchived(true);
    return context.insert(std::move(copy));
}
