// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How a note card shows itself: a thin chip on a sleeping rail, a tab on an awake one, or
// opened in place as a card.
enum class NotePhase
{
    chip,
    tab,
    preview
};
