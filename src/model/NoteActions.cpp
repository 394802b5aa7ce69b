// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/NoteActions.h"

#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/StyledText.h"

#include <tuple>

namespace NoteActions {

QList<Note *> railNotes(ScreenEdge edge, ModelContext &context)
{
    const auto notes = context.fetch(FetchDescriptor{
        NotePredicate::onRail(edge), {SortDescriptor{Note::Field::sortIndex, true}}, std::nullopt});
    return notes.value_or(QList<Note *>());
}

namespace {

// The last note of a rail, the one with the largest sort index; only it decides where a
// new note goes and which colour it takes.
Note *lastRailNote(ScreenEdge edge, ModelContext &context)
{
    const auto notes = context.fetch(FetchDescriptor{
        NotePredicate::onRail(edge), {SortDescriptor{Note::Field::sortIndex, false}}, 1});
    return notes && !notes->isEmpty() ? notes->first() : nullptr;
}

} // namespace

double appendedSortIndex(ScreenEdge edge, ModelContext &context)
{
    const Note *last = lastRailNote(edge, context);
    return last ? last->sortIndex() + sortIndexStep : 0;
}

Note *makeNote(ModelContext &context, ScreenEdge edge, std::optional<NoteColor> color)
{
    const Note *last = lastRailNote(edge, context);
    NoteColor chosen = NoteColor::citrus;
    if (color)
        chosen = *color;
    else if (last)
        chosen = NoteColors::successor(last->color());
    const double sortIndex = last ? last->sortIndex() + sortIndexStep : 0;
    return context.insert(Note::make(QString(), StyledText(), chosen, edge, sortIndex));
}

void gather(ScreenEdge edge, ModelContext &context)
{
    const auto all = context.fetch(
        FetchDescriptor{{}, {SortDescriptor{Note::Field::sortIndex, true}}, std::nullopt});
    if (!all || all->isEmpty())
        return;
    QList<Note *> ordered;
    QList<Note *> others;
    for (Note *note : *all)
        (note->edge() == edge ? ordered : others) << note;
    ordered << others;
    const QString token = ScreenEdges::token(edge);
    for (qsizetype i = 0; i < ordered.size(); ++i) {
        ordered[i]->setEdgeToken(token);
        ordered[i]->setSortIndex(double(i) * sortIndexStep);
    }
    std::ignore = context.save();
}

} // namespace NoteActions
