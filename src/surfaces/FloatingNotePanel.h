// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rail/WindowSystem.h"

#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>

#include <functional>
#include <memory>

class NoteWindowView;

// The window of one floating note: a panel of the window system that stands above ordinary
// windows on every desktop, takes the keyboard when clicked, is dragged by its paper and
// resized by the paper's rim, and reports every change of its origin.
//
// The transparent margin around the paper, where only the shadow is drawn, lets clicks
// through to the windows behind.
class FloatingNotePanel : public QObject
{
    Q_OBJECT

public:
    static constexpr QSizeF minimumSize{260, 200};
    static PanelOptions options();

    // A window with content rectangle `frame` (global, bottom-left origin) showing `view`.
    // `windows` must outlive the window.
    FloatingNotePanel(WindowSystem &windows, const QRectF &frame,
                      std::unique_ptr<NoteWindowView> view, QObject *parent = nullptr);
    ~FloatingNotePanel() override;

    // Called with the new origin (bottom-left corner, global) every time the window's
    // origin is set, by the program or by the person dragging or resizing it.
    std::function<void(const QPointF &origin)> onMoved;

    Panel &panel() const { return *m_panel; }
    NoteWindowView *view() const { return m_view; }

    QRectF frame() const { return m_panel->frame(); }
    void setFrameOrigin(const QPointF &origin) { m_panel->setFrameOrigin(origin); }
    // In front of the other windows, without taking the keyboard from the one in front.
    void orderFrontRegardless() { m_panel->orderFrontRegardless(); }
    void orderOut() { m_panel->orderOut(); }
    bool isVisible() const { return m_panel->isVisible(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refreshShape();

    WindowSystem &m_windows;
    std::unique_ptr<Panel> m_panel;
    QPointer<NoteWindowView> m_view;
};
