// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QUuid>

#include <optional>

// The one drag gesture of a rail card: a click that opens the note in place, or a vertical
// drag that reorders the notes of the rail. Holds the state of the gesture under way and
// the slot and sort-index arithmetic.
class RailDrag
{
public:
    // Vertical movement (points) beyond which a press becomes a drag instead of a click.
    static constexpr double threshold = 6;
    // Gap of sort index left before the first and after the last note.
    static constexpr double sortIndexGap = 1024;

    // What the end of a gesture asks the rail to do.
    struct Outcome
    {
        enum class Kind
        {
            none,    // a drag that lands in its own slot
            open,    // a click: open `noteID` in place
            reorder, // give `noteID` the new `sortIndex`
        };
        Kind kind = Kind::none;
        QUuid noteID;
        double sortIndex = 0;

        friend bool operator==(const Outcome &, const Outcome &) = default;
    };

    // The note being dragged; present only once the gesture passed the threshold.
    std::optional<QUuid> draggingNoteID() const { return m_draggingNoteID; }
    // Vertical translation of the dragged card (down positive).
    double dragOffset() const { return m_dragOffset; }
    // Whether the gesture under way has moved more than the threshold vertically.
    bool dragExceededThreshold() const { return m_dragExceededThreshold; }

    // A pointer movement of the gesture on `noteID` with vertical translation `dy`; returns
    // whether the drag state changed. Movements back within the threshold keep the last offset.
    bool change(const QUuid &noteID, double dy);
    // The release of the gesture on the note `noteID` at `index`, with final translation `dy`,
    // over the sort indexes of the rail's notes in display order and the slot pitch `step`.
    // Resets the drag state and says what to do.
    Outcome end(const QUuid &noteID, int index, double dy, const QList<double> &sortIndexes,
                double step);
    // Forgets the gesture under way.
    void reset();

    // Slot pitch converting a distance into slots: the largest item height plus the spacing
    // (109 awake, 31 asleep), whatever the current item height.
    static double dragStep(bool awake);
    // The slot a note dragged from `from` by `dy` lands in, clamped to the `count` slots.
    static int targetSlot(int from, double dy, int count, double step);
    // The slot where the note at `index` shows while the note at `from` is dragged to `to`.
    static int displayIndex(int index, int from, int to);
    // The new sort index of the note moved from slot `from` to slot `to` of `list`: the mean
    // of its new neighbours, or 1024 beyond the first or last one.
    static double sortIndex(int from, int to, const QList<double> &list);

private:
    std::optional<QUuid> m_draggingNoteID;
    double m_dragOffset = 0;
    bool m_dragExceededThreshold = false;
};
