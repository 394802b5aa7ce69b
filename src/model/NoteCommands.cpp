// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/NoteCommands.h"

#include "model/FloatingWindows.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/NoteActions.h"

#include <QPointer>
#include <tuple>

NoteCommands NoteCommands::forRail(ScreenEdge edge, ModelContext *context,
                                   FloatingWindows *floating)
{
    const QPointer<ModelContext> weak(context);
    auto now = [] { return QDateTime::currentDateTimeUtc(); };
    auto save = [weak] {
        if (weak)
            std::ignore = weak->save();
    };

    NoteCommands commands;
    commands.complete = [save, now](Note *note) {
        note->setCompletedAt(now());
        save();
    };
    commands.remove = [save, now](Note *note) {
        note->setDeletedAt(now());
        save();
    };
    commands.archive = [save](Note *note) {
        note->setIsArchived(true);
        save();
    };
    commands.create = [weak, edge]() -> std::optional<QUuid> {
        if (!weak)
            return std::nullopt;
        Note *note = NoteActions::makeNote(*weak, edge);
        std::ignore = weak->save();
        return note->id();
    };
    commands.open = [save, floating](Note *note) {
        note->setIsFloating(true);
        save();
        if (floating)
            floating->open(note);
    };
    commands.recolor = [save, now](Note *note, NoteColor color) {
        note->setColor(color);
        note->setUpdatedAt(now());
        save();
    };
    commands.move = [weak, save, now](Note *note, ScreenEdge target) {
        if (!weak)
            return;
        const double index = NoteActions::appendedSortIndex(target, *weak);
        note->setEdgeToken(ScreenEdges::token(target));
        note->setSortIndex(index);
        note->setUpdatedAt(now());
        save();
    };
    commands.reorder = [save](Note *note, double sortIndex) {
        note->setSortIndex(sortIndex);
        save();
    };
    return commands;
}
