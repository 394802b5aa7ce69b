// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/NoteColor.h"
#include "surfaces/ColorScheme.h"

#include <QColor>
#include <QKeySequence>
#include <QList>
#include <QRectF>
#include <QString>

#include <memory>
#include <variant>

class CardShadowCache;
class QPainter;

// A note of the tour's drawings; never stored.
struct TourNote
{
    QString title;
    QString text;
    NoteColor color = NoteColor::citrus;

    friend bool operator==(const TourNote &, const TourNote &) = default;
};

// A miniature of a rail at the right edge of the drawing, made of sample notes: sleeping
// chips, or awake tabs standing out from the edge with the new-note tab below them, one of
// them opened as a card when `open`.
class TourRail
{
public:
    // The notes the tour shows.
    static const QList<TourNote> &sampleNotes();
    // The note opened by an open rail.
    static constexpr int openNoteIndex = 0;
    // The size at which the miniature is drawn, against the real rail's.
    static constexpr double scale = 0.74;

    TourRail(bool awake, bool open, QList<TourNote> notes = sampleNotes());

    bool isAwake() const { return m_awake; }
    bool isOpen() const { return m_open; }
    const QList<TourNote> &notes() const { return m_notes; }

    void paint(QPainter &painter, const QRectF &bounds, ColorScheme scheme) const;
    // The rail on its way from `from` to `to`; `progress` 0 is `from`, 1 is `to` (a spring may
    // carry it a little beyond).
    static void paintBetween(QPainter &painter, const QRectF &bounds, ColorScheme scheme,
                             const TourRail &from, const TourRail &to, double progress);

    friend bool operator==(const TourRail &a, const TourRail &b)
    {
        return a.m_awake == b.m_awake && a.m_open == b.m_open && a.m_notes == b.m_notes;
    }

private:
    bool m_awake;
    bool m_open;
    QList<TourNote> m_notes;
    std::shared_ptr<CardShadowCache> m_shadows;
};

// A miniature of the desktop's top bar with the application's icon and its menu dropped.
class TourMenuBar
{
public:
    struct Item
    {
        QString text;
        QKeySequence shortcut;
        bool isSeparator = false;
    };

    // The items of the application's own menu.
    TourMenuBar();

    const QList<Item> &items() const { return m_items; }
    void paint(QPainter &painter, const QRectF &bounds, ColorScheme scheme) const;

    friend bool operator==(const TourMenuBar &, const TourMenuBar &) { return true; }

private:
    QList<Item> m_items;
};

// The sync symbol (a cloud with two arrows turning round), with notes on their way.
class TourCloud
{
public:
    void paint(QPainter &painter, const QRectF &bounds, ColorScheme scheme) const;
    // The symbol alone, filling `rect`.
    static void paintSymbol(QPainter &painter, const QRectF &rect, const QColor &fill,
                            const QColor &ink);

    friend bool operator==(const TourCloud &, const TourCloud &) { return true; }
};

using TourIllustration = std::variant<TourRail, TourMenuBar, TourCloud>;

namespace TourIllustrations {
// The background of the drawings' pane, lighter or darker with the appearance.
QColor background(ColorScheme scheme);
void paint(QPainter &painter, const TourIllustration &illustration, const QRectF &bounds,
           ColorScheme scheme);
// The drawing on its way from `from` to `to`: a rail moves its cards, anything else fades.
void paintTransition(QPainter &painter, const TourIllustration &from, const TourIllustration &to,
                     double progress, const QRectF &bounds, ColorScheme scheme);
} // namespace TourIllustrations
