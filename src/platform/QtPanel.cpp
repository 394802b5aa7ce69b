// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QtPanel.h"

#include "platform/GlobalCoordinates.h"
#include "platform/WindowActivation.h"
#include "platform/X11InputShape.h"
#include "platform/X11UserTime.h"
#include "platform/X11WindowHints.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

namespace {

Qt::WindowFlags panelFlags(const PanelOptions &options)
{
    // A rail on X11 is a dock (X11WindowHints), which keeps it above, unframed and out of
    // task bars and switchers by itself. As a tool window Qt would make it transient for
    // the application's client leader, a window no window manager manages (mutter logs an
    // invalid WM_TRANSIENT_FOR).
    const bool dock = !options.takesFocusOnClick && X11Connection::ofApplication();
    Qt::WindowFlags flags =
        (dock ? Qt::Window : Qt::Tool) | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
    if (!options.takesFocusOnClick)
        flags |= Qt::WindowDoesNotAcceptFocus;
    return flags;
}

} // namespace

QtPanel::QtPanel(const QRectF &frame, const PanelOptions &options, const X11UserTime *userTime)
    : m_window(std::make_unique<QWidget>(nullptr, panelFlags(options))), m_options(options),
      m_x11(X11Connection::ofApplication()), m_userTime(userTime),
      m_ignoresMouseEvents(options.ignoresMouseEvents)
{
    m_window->setAttribute(Qt::WA_TranslucentBackground);
    // Qt marks a window shown without activating with a user time of 0, which mutter
    // answers by flagging the window as demanding attention. A dock is never focused on
    // mapping anyway (it declines focus), so it keeps the real time of the latest input.
    m_window->setAttribute(Qt::WA_ShowWithoutActivating, options.takesFocusOnClick);
    m_window->setProperty(panelProperty, true);
    if (!options.minimumSize.isEmpty())
        m_window->setMinimumSize(options.minimumSize.toSize());
    auto *layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_window->installEventFilter(this);
    setFrame(frame);
    m_lastOrigin = this->frame().topLeft();
}

QtPanel::~QtPanel()
{
    if (QWindow *handle = m_window->windowHandle())
        handle->removeEventFilter(this);
    m_window->removeEventFilter(this);
    m_window.reset();
}

void QtPanel::setContent(std::unique_ptr<QWidget> content)
{
    if (m_content)
        delete m_content.data();
    if (!content)
        return;
    m_content = content.release();
    m_window->layout()->addWidget(m_content);
}

QWidget *QtPanel::content() const
{
    return m_content;
}

QRectF QtPanel::frame() const
{
    return GlobalCoordinates::ofApplication().rectToGlobal(QRectF(m_window->geometry()));
}

void QtPanel::setFrame(const QRectF &frame)
{
    const QRect geometry = GlobalCoordinates::ofApplication().rectFromGlobal(frame).toRect();
    if (geometry != m_window->geometry())
        m_window->setGeometry(geometry);
    m_window->update();
}

void QtPanel::setFrameOrigin(const QPointF &origin)
{
    setFrame(QRectF(origin, frame().size()));
}

void QtPanel::orderFrontRegardless()
{
    if (!m_window->isVisible()) {
        prepareForMapping();
        m_window->show();
    }
    m_window->raise();
}

void QtPanel::makeKeyAndOrderFront()
{
    setAcceptsFocus(true);
    orderFrontRegardless();
    WindowActivation::activate(m_window.get(), m_userTime ? m_userTime->latest() : 0);
}

void QtPanel::orderOut()
{
    m_window->hide();
}

bool QtPanel::isVisible() const
{
    return m_window->isVisible();
}

bool QtPanel::isKey() const
{
    return m_window->isActiveWindow();
}

bool QtPanel::ignoresMouseEvents() const
{
    return m_ignoresMouseEvents;
}

void QtPanel::setIgnoresMouseEvents(bool ignores)
{
    if (m_ignoresMouseEvents == ignores)
        return;
    m_ignoresMouseEvents = ignores;
    applyInputShape();
}

std::optional<QList<QRectF>> QtPanel::mouseRects() const
{
    return m_mouseRects;
}

void QtPanel::setMouseRects(const std::optional<QList<QRectF>> &rects)
{
    if (m_mouseRects == rects)
        return;
    m_mouseRects = rects;
    if (!m_ignoresMouseEvents)
        applyInputShape();
}

QList<QRectF> QtPanel::alwaysAcceptingRects() const
{
    return m_alwaysAccepting;
}

void QtPanel::setAlwaysAcceptingRects(const QList<QRectF> &rects)
{
    if (m_alwaysAccepting == rects)
        return;
    m_alwaysAccepting = rects;
    applyInputShape();
}

std::optional<QRegion> QtPanel::visibleRegion() const
{
    return m_visibleRegion;
}

void QtPanel::setVisibleRegion(const std::optional<QRegion> &region)
{
    if (m_visibleRegion == region)
        return;
    m_visibleRegion = region;
    applyVisibleRegion();
}

QPointF QtPanel::mapFromGlobal(const QPointF &globalPoint) const
{
    const QPointF inWindow = GlobalCoordinates::ofApplication().pointFromGlobal(globalPoint) -
                             QPointF(m_window->geometry().topLeft());
    return m_content ? m_content->mapFrom(m_window.get(), inWindow) : inWindow;
}

void QtPanel::startUserMove()
{
    if (QWindow *handle = m_window->windowHandle())
        handle->startSystemMove();
}

void QtPanel::startUserResize(Qt::Edges edges)
{
    if (QWindow *handle = m_window->windowHandle())
        handle->startSystemResize(edges);
}

bool QtPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_window)
        return false;
    if (watched == m_window->windowHandle()) {
        // A window manager reads a client's shapes from the shape events that follow its
        // managing the window (openbox copies them to its frame then): a shape set before
        // the mapping is not seen, and every mapping may bring a new frame. So the shapes
        // are set again once the window is mapped.
        if (event->type() == QEvent::Expose && m_window->windowHandle()->isExposed() &&
            !m_shapedSinceMapping) {
            m_shapedSinceMapping = true;
            applyInputShape();
            applyVisibleRegion();
            // The frame the window manager made for this mapping exists by now.
            if (m_x11)
                X11WindowHints::declineCompositorShadow(*m_x11, nativeWindow());
        }
        return false;
    }
    if (watched != m_window.get())
        return false;
    switch (event->type()) {
    case QEvent::WinIdChange:
        // A new native window starts without our shapes.
        if (QWindow *handle = m_window->windowHandle())
            handle->installEventFilter(this);
        applyInputShape();
        applyVisibleRegion();
        break;
    case QEvent::Hide:
        m_shapedSinceMapping = false;
        break;
    case QEvent::Move:
    case QEvent::Resize:
        // The origin is the bottom-left corner: a change of height alone moves it too.
        if (const QPointF origin = frame().topLeft(); origin != m_lastOrigin) {
            m_lastOrigin = origin;
            Q_EMIT moved(origin);
        }
        break;
    case QEvent::WindowActivate:
        // A widget that took the focus while its panel was inactive (an editor opened to be
        // typed into) is not always handed the keyboard when the panel becomes active;
        // once activation has settled, the panel's focus widget gets it.
        QTimer::singleShot(0, m_window.get(), [window = m_window.get()] {
            QWidget *focus = window->focusWidget();
            if (focus && window->isActiveWindow() && QApplication::focusWidget() != focus)
                focus->setFocus(Qt::ActiveWindowFocusReason);
        });
        if (!m_isKey) {
            m_isKey = true;
            Q_EMIT keyChanged(true);
        }
        break;
    case QEvent::WindowDeactivate:
        if (!m_options.takesFocusOnClick)
            setAcceptsFocus(false);
        if (m_isKey) {
            m_isKey = false;
            Q_EMIT keyChanged(false);
        }
        break;
    default:
        break;
    }
    return false;
}

void QtPanel::setAcceptsFocus(bool accepts)
{
    Qt::WindowFlags flags = m_window->windowFlags();
    if (flags.testFlag(Qt::WindowDoesNotAcceptFocus) == !accepts)
        return;
    flags.setFlag(Qt::WindowDoesNotAcceptFocus, !accepts);
    // Changes the native window in place; setWindowFlags() would unmap and map it again.
    m_window->overrideWindowFlags(flags);
    if (QWindow *handle = m_window->windowHandle()) {
        handle->setFlags(flags);
        // Qt wrote its own window type again with the flags.
        if (m_x11)
            X11WindowHints::setWindowType(*m_x11, nativeWindow(), windowType());
    }
}

void QtPanel::applyInputShape()
{
    if (m_x11 && X11InputShape::isAvailable(*m_x11)) {
        const xcb_window_t window = nativeWindow();
        if (window == XCB_WINDOW_NONE)
            return; // applied when the native window is created
        QList<QRectF> accepting = m_alwaysAccepting;
        if (m_ignoresMouseEvents || m_mouseRects) {
            if (!m_ignoresMouseEvents)
                accepting << *m_mouseRects;
            X11InputShape::set(
                *m_x11, window, X11InputShape::Kind::input,
                X11InputShape::toDevicePixels(accepting, m_window->devicePixelRatioF()));
        } else {
            X11InputShape::reset(*m_x11, window, X11InputShape::Kind::input);
        }
        // mutter applies the input shape of an XWayland window only with the window's next
        // frame: without one, clicks keep landing on the shape that was.
        m_window->update();
        return;
    }
    if (QWindow *handle = m_window->windowHandle())
        handle->setFlag(Qt::WindowTransparentForInput, m_ignoresMouseEvents);
}

void QtPanel::applyVisibleRegion()
{
    if (m_x11 && X11InputShape::isAvailable(*m_x11)) {
        const xcb_window_t window = nativeWindow();
        if (window == XCB_WINDOW_NONE)
            return;
        if (m_visibleRegion) {
            X11InputShape::set(
                *m_x11, window, X11InputShape::Kind::bounding,
                X11InputShape::toDevicePixels(*m_visibleRegion, m_window->devicePixelRatioF()));
        } else {
            X11InputShape::reset(*m_x11, window, X11InputShape::Kind::bounding);
        }
        return;
    }
    // Desktops without X11 always composite: clipping to nothing is not needed there.
    if (m_visibleRegion && !m_visibleRegion->isEmpty())
        m_window->setMask(*m_visibleRegion);
    else
        m_window->clearMask();
}

void QtPanel::prepareForMapping()
{
    // Creating the native window now lets the hints be written before the window manager
    // sees the window (it forgets them whenever the window is unmapped).
    const xcb_window_t window = xcb_window_t(m_window->winId());
    if (!m_x11)
        return;
    X11WindowHints::setWindowType(*m_x11, window, windowType());
    X11WindowHints::prepareUnmapped(*m_x11, window, {true, true, true, true});
    X11WindowHints::declineCompositorShadow(*m_x11, window);
}

X11WindowHints::WindowType QtPanel::windowType() const
{
    return m_options.takesFocusOnClick ? X11WindowHints::WindowType::normal
                                       : X11WindowHints::WindowType::dock;
}

xcb_window_t QtPanel::nativeWindow() const
{
    return xcb_window_t(m_window->internalWinId());
}
