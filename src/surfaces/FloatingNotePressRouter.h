// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class NoteWindowView;
class QMouseEvent;
class QWidget;
class QWindow;

// Hands a floating note the clicks that the X server gave to one of the application's
// tiled windows underneath it.
//
// wlroots compositors draw floating windows above tiled ones, but raise the X window they
// focus to the top of XWayland's stack, where XWayland looks for the window under the
// pointer. While a tiled window of ours (the library) has the keyboard, a click on a note
// floating over it can reach the tiled window instead: the compositor then gives the note
// the keyboard without the click, the caret stays where it was (the title), and the click
// lands on whatever the note hides. The router takes such a press, with the moves and the
// release that belong to it, from the tiled window to the note, which puts the caret under
// the pointer as for any click.
class FloatingNotePressRouter : public QObject
{
    Q_OBJECT

public:
    // The notes' views that may take a press.
    using Notes = std::function<QList<NoteWindowView *>()>;

    // Whether this process's desktop can give a note's clicks to the window under it: an
    // X11 client of a wlroots compositor.
    static bool isNeeded();

    // Watches every window of the application while it lives.
    explicit FloatingNotePressRouter(Notes notes, QObject *parent = nullptr);
    ~FloatingNotePressRouter() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The shown note whose paper is at `globalPoint`, if the press went to `window` though
    // the note lies above it.
    NoteWindowView *noteAbove(QWindow *window, const QPointF &globalPoint) const;
    static void deliver(NoteWindowView *note, const QMouseEvent &event);

    Notes m_notes;
    // The window that got the press being handed over, and the note it goes to, until the
    // last button is released.
    QPointer<QWindow> m_from;
    QPointer<NoteWindowView> m_to;
};
