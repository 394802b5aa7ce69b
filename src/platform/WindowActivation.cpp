// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/WindowActivation.h"

#include "platform/X11Connection.h"
#include "platform/X11WindowHints.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {

// Makes the activation request once the window it watches is exposed, then goes away.
class ActivateWhenExposed : public QObject
{
public:
    static constexpr const char *pendingProperty = "orletteActivationPending";

    explicit ActivateWhenExposed(QWindow *window) : QObject(window)
    {
        window->setProperty(pendingProperty, true);
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = qobject_cast<QWindow *>(watched);
        if (window && event->type() == QEvent::Expose && window->isExposed()) {
            if (const auto x11 = X11Connection::ofApplication())
                X11WindowHints::requestActivation(*x11, xcb_window_t(window->winId()),
                                                  XCB_CURRENT_TIME);
            window->removeEventFilter(this);
            window->setProperty(pendingProperty, false);
            deleteLater();
        }
        return false;
    }
};

} // namespace

namespace WindowActivation {

void activate(QWidget *widget)
{
    if (!widget)
        return;
    QWidget *window = widget->window();
    window->raise();
    window->activateWindow();
    const auto x11 = X11Connection::ofApplication();
    QWindow *handle = window->windowHandle();
    if (!x11 || !handle)
        return;
    if (handle->isExposed()) {
        X11WindowHints::requestActivation(*x11, xcb_window_t(handle->winId()), XCB_CURRENT_TIME);
    } else if (!handle->property(ActivateWhenExposed::pendingProperty).toBool()) {
        new ActivateWhenExposed(handle);
    }
}

} // namespace WindowActivation
