// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ScreenSource.h"
#include "platform/GlobalCoordinates.h"
#include "platform/Subscription.h"

#include <QFlags>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QRegion>
#include <QSizeF>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

// The pointer events a monitor can observe.
enum class PointerEventType : unsigned
{
    mouseMoved = 0x01,
    leftMouseDragged = 0x02,
    leftMouseDown = 0x04,
    rightMouseDown = 0x08,
    otherMouseDown = 0x10,
};
Q_DECLARE_FLAGS(PointerEventMask, PointerEventType)
Q_DECLARE_OPERATORS_FOR_FLAGS(PointerEventMask)

namespace PointerEvents {
inline constexpr PointerEventMask movement =
    PointerEventType::mouseMoved | PointerEventType::leftMouseDragged;
inline constexpr PointerEventMask mouseDowns = PointerEventType::leftMouseDown |
                                               PointerEventType::rightMouseDown |
                                               PointerEventType::otherMouseDown;
} // namespace PointerEvents

struct PointerEvent
{
    PointerEventType type;
    QPointF location; // global (bottom-left origin)
};

using PointerHandler = std::function<void(const PointerEvent &)>;

struct PanelOptions
{
    // A click in the panel gives it the keyboard (floating notes, whose text takes typing
    // as soon as it is clicked). Without it a click leaves the keyboard with the window in
    // front, and only makeKeyAndOrderFront() gives the keyboard to the panel, until it
    // loses it again.
    bool takesFocusOnClick = false;
    // Whether the panel starts click-through.
    bool ignoresMouseEvents = false;
    QSizeF minimumSize;
};

// A borderless, transparent, non-activating window that stands above ordinary windows on
// every desktop, stays out of the task bar and pager, and hosts one widget. Frames and
// origins are global (bottom-left origin). Main thread only.
class Panel : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Installs the content, which fills the panel and lives as long as it.
    virtual void setContent(std::unique_ptr<QWidget> content) = 0;
    virtual QWidget *content() const = 0;

    virtual QRectF frame() const = 0;
    virtual void setFrame(const QRectF &frame) = 0;
    virtual void setFrameOrigin(const QPointF &origin) = 0;

    // Shows the panel in front without taking the keyboard from the window in front.
    virtual void orderFrontRegardless() = 0;
    // Shows the panel in front and gives it the keyboard.
    virtual void makeKeyAndOrderFront() = 0;
    virtual void orderOut() = 0;
    virtual bool isVisible() const = 0;
    virtual bool isKey() const = 0;

    // Click-through. While the panel ignores mouse events every click, scroll and hover
    // reaches the window behind it; while it does not, it takes the mouse inside its
    // mouse rectangles only.
    virtual bool ignoresMouseEvents() const = 0;
    virtual void setIgnoresMouseEvents(bool ignores) = 0;
    // In content coordinates (top-left origin); absent: the whole panel.
    virtual std::optional<QList<QRectF>> mouseRects() const = 0;
    virtual void setMouseRects(const std::optional<QList<QRectF>> &rects) = 0;
    // Rectangles (content coordinates) that take the mouse even while the panel ignores
    // mouse events. Where the desktop reports the pointer only while it is over one of the
    // application's windows (XWayland), the pointer can be seen nowhere else. Empty: none.
    virtual QList<QRectF> alwaysAcceptingRects() const = 0;
    virtual void setAlwaysAcceptingRects(const QList<QRectF> &rects) = 0;
    // Where the desktop gives a window every click inside its frame, whatever its input
    // shape (X clients of KWin and mutter in a Wayland session), the panel's window covers
    // only what takes the mouse: the rectangle around the always accepting rectangles and,
    // while the panel takes the mouse, its mouse rectangles. frame() and the content keep
    // their place on the screen; what the content draws outside that rectangle is not
    // shown. The window grows at once and shrinks a little later, once what slid back
    // into a smaller rectangle has been drawn there.
    virtual bool fitsWindowToInput() const = 0;
    virtual void setFitsWindowToInput(bool fits) = 0;

    // The part of the panel that is drawn at all, in content coordinates; absent: all of
    // it. Without compositing the transparent parts of a panel are black, so the owner
    // clips the panel to what it draws.
    virtual std::optional<QRegion> visibleRegion() const = 0;
    virtual void setVisibleRegion(const std::optional<QRegion> &region) = 0;

    // A global pointer location in content coordinates (top-left origin, y downwards).
    virtual QPointF mapFromGlobal(const QPointF &globalPoint) const = 0;

    // Lets the user drag or resize the panel from the mouse press being handled.
    virtual void startUserMove() = 0;
    virtual void startUserResize(Qt::Edges edges) = 0;

Q_SIGNALS:
    // The frame's origin (its bottom-left corner) changed, by the program or the user.
    void moved(const QPointF &origin);
    void keyChanged(bool isKey);
};

// Regular: the application's windows appear in the task bar and window switcher.
// Accessory: they stay out of them and the application lives in the tray.
enum class ActivationPolicy
{
    regular,
    accessory
};

// The desktop window system as the application uses it: screens, panels, the pointer and
// its monitors, timers and activation. Main thread only.
class WindowSystem : public QObject, public ScreenSource
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Screens: screens(), mainScreen() and pointerLocation() of ScreenSource.

    // The conversion between Qt's coordinates and the global ones.
    virtual GlobalCoordinates coordinates() const = 0;
    // Whether translucent windows are composited over what lies behind them.
    virtual bool isCompositing() const = 0;

    // The mouse buttons held down anywhere on the desktop.
    virtual Qt::MouseButtons pressedMouseButtons() const = 0;

    virtual std::unique_ptr<Panel> createPanel(const QRectF &frame,
                                               const PanelOptions &options) = 0;

    // Pointer events sent to other applications' windows. Absent when the desktop does
    // not report them.
    [[nodiscard]] virtual std::optional<Subscription> addGlobalMonitor(PointerEventMask events,
                                                                       PointerHandler handler) = 0;
    // Pointer events sent to this application's windows (the event itself goes on).
    [[nodiscard]] virtual std::optional<Subscription> addLocalMonitor(PointerEventMask events,
                                                                      PointerHandler handler) = 0;

    // Timers on the main event loop; they also fire while a menu is open.
    [[nodiscard]] virtual Subscription scheduleRepeating(std::chrono::milliseconds interval,
                                                         std::function<void()> callback) = 0;
    [[nodiscard]] virtual Subscription scheduleOnce(std::chrono::milliseconds delay,
                                                    std::function<void()> callback) = 0;

    // Brings the application in front of the others: its last active window, else its
    // front-most visible window, takes the keyboard.
    virtual void activateApplication() = 0;
    // Raises `window` and gives it the keyboard.
    virtual void activateWindow(QWidget *window) = 0;
    virtual ActivationPolicy activationPolicy() const = 0;
    virtual void setActivationPolicy(ActivationPolicy policy) = 0;

Q_SIGNALS:
    // A screen was connected, disconnected or changed its frame or visible frame, or the
    // main screen changed. Several changes at once are announced once.
    void screenParametersChanged();
    void compositingChanged(bool compositing);
};
