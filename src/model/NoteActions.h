// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/NoteColor.h"
#include "model/ScreenEdge.h"

#include <QList>

#include <optional>

class ModelContext;
class Note;

// The shared store operations on notes. Main thread, main context.
namespace NoteActions {

inline constexpr double sortIndexStep = 1024;

// The notes on the rail of `edge`, by ascending sort index; empty when the fetch fails.
QList<Note *> railNotes(ScreenEdge edge, ModelContext &context);
// The sort index after the last note of `edge` (0 on an empty rail).
double appendedSortIndex(ScreenEdge edge, ModelContext &context);
// A new empty note at the end of `edge`, coloured after the last one unless `color` is
// given. Inserted, not saved.
Note *makeNote(ModelContext &context, ScreenEdge edge, std::optional<NoteColor> color = {});
// Every note, in any state, onto `edge`, renumbered 0, 1024, 2048, …; saves.
void gather(ScreenEdge edge, ModelContext &context);

} // namespace NoteActions
