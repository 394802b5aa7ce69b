// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/StyledText.h"

#include <QString>

class ModelContext;
class Note;

// A text that lost a meeting with another change of the same note is kept aside as a note
// of its own, archived, rather than written over.
namespace ConflictCopy {

QString title(const QString &displayTitle);
// Inserts into `context` an archived copy of `original` whose body is `body`.
Note *keep(ModelContext &context, const Note &original, const StyledText &body);

} // namespace ConflictCopy
