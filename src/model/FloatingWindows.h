// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class Note;

// What the note commands and the library need of the floating-notes coordinator.
class FloatingWindows
{
public:
    virtual ~FloatingWindows() = default;
    // Shows the note's floating window (the note is already marked floating).
    virtual void open(Note *note) = 0;
    // Hides the note's floating window if one is open; changes no note.
    virtual void closeWindow(Note *note) = 0;
};
