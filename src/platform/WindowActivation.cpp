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

    static constexpr const char *timeProperty = "orletteActivationTime";

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
                X11WindowHints::requestActivation(
                    *x11, xcb_window_t(window->winId()),
                    xcb_timestamp_t(window->property(timeProperty).toUInt()));
            window->removeEventFilter(this);
            window->setProperty(pendingProperty, false);
            deleteLater();
        }
        return false;
    }
};

} // namespace

namespace WindowActivation {

void activate(QWidget *widget, unsigned int userTime)
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
        X11WindowHints::requestActivation(*x11, xcb_window_t(handle->winId()), userTime);
    } else {
        // The latest request's press goes with the request made on exposure.
        handle->setProperty(ActivateWhenExposed::timeProperty, userTime);
        if (!handle->property(ActivateWhenExposed::pendingProperty).toBool())
            new ActivateWhenExposed(handle);
    }
}

} // namespace WindowActivation
