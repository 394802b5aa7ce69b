// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QtPanel.h"

#include "platform/GlobalCoordinates.h"
#include "platform/SessionKind.h"
#include "platform/WindowActivation.h"
#include "platform/X11InputShape.h"
#include "platform/X11UserTime.h"
#include "platform/X11WindowHints.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

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
      m_ignoresMouseEvents(options.ignoresMouseEvents),
      m_tilesNormalWindows(SessionKind(SessionKind::Environment::fromProcess()).isWlroots())
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
    m_crossingsSettle.setSingleShot(true);
    m_crossingsSettle.setInterval(crossingsSettleTime);
    connect(&m_crossingsSettle, &QTimer::timeout, this, &QtPanel::settleCrossings);
    // By then the window manager has applied the geometry (see redrawOnceShown).
    connect(&m_crossingsSettle, &QTimer::timeout, this, &QtPanel::redrawOnceShown);
    m_shrinkTimer.setSingleShot(true);
    m_shrinkTimer.setInterval(shrinkDelay);
    connect(&m_shrinkTimer, &QTimer::timeout, this, [this] { fitWindow(true); });
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
    placeContent();
}

QWidget *QtPanel::content() const
{
    return m_content;
}

QRectF QtPanel::frame() const
{
    if (m_fitsInput)
        return m_fittedFrame;
    return GlobalCoordinates::ofApplication().rectToGlobal(QRectF(m_window->geometry()));
}

void QtPanel::setFrame(const QRectF &frame)
{
    if (m_fitsInput) {
        m_fittedFrame = frame;
        fitWindow(false);
        placeContent();
        // The window may keep its place while the frame moves: the move is told here.
        if (frame.topLeft() != m_lastOrigin) {
            m_lastOrigin = frame.topLeft();
            Q_EMIT moved(m_lastOrigin);
        }
        return;
    }
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
    inputChanged();
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
        inputChanged();
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
    inputChanged();
}

bool QtPanel::fitsWindowToInput() const
{
    return m_fitsInput;
}

void QtPanel::setFitsWindowToInput(bool fits)
{
    if (m_fitsInput == fits)
        return;
    const QRectF panelFrame = frame();
    m_shrinkTimer.stop();
    if (fits) {
        m_fittedFrame = panelFrame;
        m_fitsInput = true;
        keepContentsInPlace();
        fitWindow(true);
    } else {
        m_fitsInput = false;
        m_window->setGeometry(
            GlobalCoordinates::ofApplication().rectFromGlobal(panelFrame).toRect());
    }
    placeContent();
    applyInputShape();
    applyVisibleRegion();
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
    if (m_fitsInput) {
        const GlobalCoordinates coordinates = GlobalCoordinates::ofApplication();
        return coordinates.pointFromGlobal(globalPoint) -
               coordinates.rectFromGlobal(m_fittedFrame).topLeft();
    }
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
        if ((event->type() == QEvent::Enter || event->type() == QEvent::Leave) && m_fitsInput &&
            !crossingIsBelieved(event->type() == QEvent::Enter))
            return true;
        if (event->type() == QEvent::MouseMove && m_fitsInput && !m_pointerInside)
            enterOnMotion(static_cast<QMouseEvent *>(event));
        if (event->type() == QEvent::Expose && m_fitsInput)
            redrawOnceShown();
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
        keepContentsInPlace();
        applyInputShape();
        applyVisibleRegion();
        break;
    case QEvent::Hide:
        m_shapedSinceMapping = false;
        m_pointerInside = false;
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

void QtPanel::inputChanged()
{
    if (m_fitsInput)
        fitWindow(false);
    applyInputShape();
}

QList<QRectF> QtPanel::acceptingRects() const
{
    QList<QRectF> accepting = m_alwaysAccepting;
    if (!m_ignoresMouseEvents) {
        if (m_mouseRects)
            accepting << *m_mouseRects;
        else
            accepting << QRectF(QPointF(), frame().size());
    }
    return accepting;
}

QRect QtPanel::fittedGeometry() const
{
    const QRect panel = GlobalCoordinates::ofApplication().rectFromGlobal(m_fittedFrame).toRect();
    QRectF bounds;
    for (const QRectF &rect : acceptingRects())
        bounds |= rect.normalized();
    const QRect fitted = bounds.translated(panel.topLeft())
                             .toAlignedRect()
                             .adjusted(-fittedMargin, -fittedMargin, fittedMargin, fittedMargin) &
                         panel;
    // A window has at least one pixel; a lone pixel in the panel's corner takes the least.
    return fitted.isEmpty() ? QRect(panel.topLeft(), QSize(1, 1)) : fitted;
}

void QtPanel::fitWindow(bool shrink)
{
    const QRect target = fittedGeometry();
    QRect next = target;
    if (!shrink && m_window->isVisible()) {
        // Growing is needed at once, for the pointer to be seen and clicks to land; a
        // shrink waits, so a tab sliding back into the smaller rectangle is not cut off.
        const QRect panel =
            GlobalCoordinates::ofApplication().rectFromGlobal(m_fittedFrame).toRect();
        next = (m_window->geometry() | target) & panel;
        if (next != target)
            m_shrinkTimer.start();
    }
    if (next == m_window->geometry())
        return;
    m_crossingsSettle.start();
    m_window->setGeometry(next);
    placeContent();
    applyInputShape();
    applyVisibleRegion();
}

void QtPanel::redrawOnceShown()
{
    // The window manager applies a new geometry some time after the panel has drawn for
    // it, and what was drawn meanwhile went to the window at its old place and size: with
    // mutter, the tabs above a card that has just opened stayed missing. So all of it is
    // drawn again once the server shows the window anew.
    if (m_window->windowHandle() && m_window->windowHandle()->isExposed())
        m_window->update();
}

void QtPanel::placeContent()
{
    if (!m_content)
        return;
    QLayout *layout = m_window->layout();
    if (!m_fitsInput) {
        if (layout->indexOf(m_content) < 0)
            layout->addWidget(m_content);
        return;
    }
    // The content keeps the panel's size and its place on the screen; the window is a view
    // onto a part of it.
    layout->removeWidget(m_content);
    const QRect panel = GlobalCoordinates::ofApplication().rectFromGlobal(m_fittedFrame).toRect();
    m_content->setGeometry(QRect(panel.topLeft() - m_window->geometry().topLeft(), panel.size()));
}

QPoint QtPanel::contentOffset() const
{
    return m_content ? m_content->pos() : QPoint();
}

void QtPanel::keepContentsInPlace()
{
    // When the window grows or shrinks at its left or top edge, the X server copies what
    // it shows to the window's new corner until the panel has repainted; with static
    // gravity what is shown stays where it is on the screen.
    if (!m_x11 || !m_fitsInput)
        return;
    const xcb_window_t window = nativeWindow();
    if (window == XCB_WINDOW_NONE)
        return;
    const quint32 gravity = XCB_GRAVITY_STATIC;
    xcb_change_window_attributes(m_x11->connection(), window, XCB_CW_BIT_GRAVITY, &gravity);
    m_x11->flush();
}

void QtPanel::applyInputShape()
{
    if (m_x11 && X11InputShape::isAvailable(*m_x11)) {
        const xcb_window_t window = nativeWindow();
        if (window == XCB_WINDOW_NONE)
            return; // applied when the native window is created
        if (m_ignoresMouseEvents || m_mouseRects) {
            QList<QRectF> accepting;
            for (const QRectF &rect : acceptingRects())
                accepting << rect.translated(contentOffset());
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
                X11InputShape::toDevicePixels(m_visibleRegion->translated(contentOffset()),
                                              m_window->devicePixelRatioF()));
        } else {
            X11InputShape::reset(*m_x11, window, X11InputShape::Kind::bounding);
        }
        return;
    }
    // Desktops without X11 always composite: clipping to nothing is not needed there.
    if (m_visibleRegion && !m_visibleRegion->isEmpty())
        m_window->setMask(m_visibleRegion->translated(contentOffset()));
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
    keepContentsInPlace();
}

X11WindowHints::WindowType QtPanel::windowType() const
{
    if (!m_options.takesFocusOnClick)
        return X11WindowHints::WindowType::dock;
    // KWin hides utility windows of an inactive application, so only where normal windows
    // would be tiled (filling the workspace) is a floating note a utility window.
    return m_tilesNormalWindows ? X11WindowHints::WindowType::utility
                                : X11WindowHints::WindowType::normal;
}

bool QtPanel::crossingIsBelieved(bool entered)
{
    // While the window manager applies a new geometry the X server reports the pointer
    // leaving and entering the window as the frame and the window change one after the
    // other, and XWayland places a pointer that is over another client at the last
    // position it saw over its own: such crossings say nothing of the hand. They are
    // dropped until the geometry has settled, and the pointer is checked then.
    if (m_crossingsSettle.isActive())
        return false;
    m_pointerInside = entered;
    return true;
}

void QtPanel::enterOnMotion(const QMouseEvent *move)
{
    // Only the hand moves the pointer over the window: it is in, whether the entry was
    // dropped while the geometry settled or the server never saw it leave (XWayland,
    // after placing a pointer that had gone elsewhere back into the window).
    m_pointerInside = true;
    QEnterEvent enter(move->position(), move->scenePosition(), move->globalPosition());
    QCoreApplication::sendEvent(m_window->windowHandle(), &enter);
}

void QtPanel::settleCrossings()
{
    // What the server says once the geometry has settled is where the pointer is: a
    // pointer that went over another client meanwhile has left XWayland's windows (the
    // server holds it in none of them until it comes back), and one that came to rest in
    // the window while its entry was dropped is in, with no move to tell.
    QWindow *handle = m_window->windowHandle();
    if (!handle)
        return;
    const bool inside = pointerIsInWindow();
    if (inside == m_pointerInside)
        return;
    m_pointerInside = inside;
    if (!inside) {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(handle, &leave);
        return;
    }
    const QPointF global = QCursor::pos();
    const QPointF local = handle->mapFromGlobal(global);
    QEnterEvent enter(local, local, global);
    QCoreApplication::sendEvent(handle, &enter);
}

bool QtPanel::pointerIsInWindow() const
{
    const xcb_window_t window = nativeWindow();
    if (!m_x11 || window == XCB_WINDOW_NONE)
        return false;
    // Down from the root along the windows that hold the pointer, as the server tracks it
    // (not where the window's rectangle lies: XWayland keeps the last position over its
    // clients after the pointer has gone over another surface).
    xcb_window_t current = m_x11->root();
    for (int depth = 0; depth < 8 && current != XCB_WINDOW_NONE; ++depth) {
        if (current == window)
            return true;
        const X11Reply<xcb_query_pointer_reply_t> reply(xcb_query_pointer_reply(
            m_x11->connection(), xcb_query_pointer(m_x11->connection(), current), nullptr));
        if (!reply || !reply->same_screen)
            return false;
        current = reply->child;
    }
    return false;
}

xcb_window_t QtPanel::nativeWindow() const
{
    return xcb_window_t(m_window->internalWinId());
}
