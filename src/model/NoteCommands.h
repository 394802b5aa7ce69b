// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/NoteColor.h"
#include "model/ScreenEdge.h"

#include <QUuid>

#include <functional>
#include <optional>

class FloatingWindows;
class ModelContext;
class Note;

// The note operations a rail hands to its content. Each ends with a save whose failure
// leaves the change in the context for the next save.
struct NoteCommands
{
    std::function<void(Note *)> complete;
    std::function<void(Note *)> remove; // moves to the trash
    std::function<void(Note *)> archive;
    std::function<std::optional<QUuid>()> create;
    std::function<void(Note *)> open;
    std::function<void(Note *, NoteColor)> recolor;
    std::function<void(Note *, ScreenEdge)> move;
    std::function<void(Note *, double)> reorder;

    // The commands of the rail of `edge`. `floating` may be null; it must outlive the
    // commands, as must `context`.
    static NoteCommands forRail(ScreenEdge edge, ModelContext *context, FloatingWindows *floating);
};

// The callbacks one note card or window receives, already bound to its note.
struct NoteCardActions
{
    std::function<void()> open;
    std::function<void()> close;
    std::function<void()> complete;
    std::function<void()> remove; // moves to the trash
    std::function<void(NoteColor)> recolor;
};
