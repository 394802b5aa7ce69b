// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QtWindowSystem.h"

#include "platform/QtPanel.h"
#include "platform/ScreenCatalog.h"
#include "platform/WindowActivation.h"
#include "platform/X11CompositingWatcher.h"
#include "platform/X11Connection.h"
#include "platform/X11GlobalMonitor.h"
#include "platform/X11UserTime.h"
#include "platform/X11WindowHints.h"
#include "platform/X11WorkAreas.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

PointerEventType typeOfButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return PointerEventType::leftMouseDown;
    case Qt::RightButton:
        return PointerEventType::rightMouseDown;
    default:
        return PointerEventType::otherMouseDown;
    }
}

PointerEventType typeOfX11Button(quint32 button)
{
    switch (button) {
    case 1:
        return PointerEventType::leftMouseDown;
    case 3:
        return PointerEventType::rightMouseDown;
    default:
        return PointerEventType::otherMouseDown;
    }
}

bool isPanelWindow(const QWidget *widget)
{
    return widget->property(QtPanel::panelProperty).toBool();
}

} // namespace

QtWindowSystem::QtWindowSystem(QObject *parent)
    : WindowSystem(parent), m_x11(X11Connection::ofApplication()),
      m_userTime(new X11UserTime(this)), m_globalMonitor(new X11GlobalMonitor(this)),
      m_compositing(new X11CompositingWatcher(this)), m_workAreas(new X11WorkAreas(this)),
      m_screenChange(new QTimer(this))
{
    m_screenChange->setSingleShot(true);
    m_screenChange->setInterval(0);
    connect(m_screenChange, &QTimer::timeout, this, &WindowSystem::screenParametersChanged);

    auto *application = qGuiApp;
    connect(application, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        watchScreen(screen);
        m_screenChange->start();
    });
    connect(application, &QGuiApplication::screenRemoved, m_screenChange,
            qOverload<>(&QTimer::start));
    connect(application, &QGuiApplication::primaryScreenChanged, m_screenChange,
            qOverload<>(&QTimer::start));
    for (QScreen *screen : QGuiApplication::screens())
        watchScreen(screen);

    connect(application, &QGuiApplication::focusWindowChanged, this, [this](QWindow *window) {
        if (!window)
            return;
        m_requestedWindow.clear();
        m_activeWindows.removeIf(
            [window](const QPointer<QWindow> &w) { return !w || w == window; });
        m_activeWindows.prepend(window);
        if (m_activeWindows.size() > 16)
            m_activeWindows.removeLast();
    });
    connect(m_globalMonitor, &X11GlobalMonitor::pointerMoved, this,
            &QtWindowSystem::globalPointerMoved);
    connect(m_globalMonitor, &X11GlobalMonitor::buttonPressed, this,
            &QtWindowSystem::globalButtonPressed);
    connect(m_compositing, &X11CompositingWatcher::compositingChanged, this,
            &WindowSystem::compositingChanged);
    connect(m_workAreas, &X11WorkAreas::changed, m_screenChange, qOverload<>(&QTimer::start));
    application->installEventFilter(this);
}

QtWindowSystem::~QtWindowSystem()
{
    if (auto *application = qGuiApp)
        application->removeEventFilter(this);
}

void QtWindowSystem::watchScreen(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, m_screenChange, qOverload<>(&QTimer::start));
    connect(screen, &QScreen::availableGeometryChanged, m_screenChange,
            qOverload<>(&QTimer::start));
}

QList<ScreenInfo> QtWindowSystem::screens() const
{
    QList<ScreenFacts> facts;
    for (const QScreen *screen : QGuiApplication::screens())
        facts.append(
            {screen->name(), screen->model(), screen->geometry(), availableGeometry(screen)});
    return ScreenCatalog::describe(facts, coordinates());
}

QRect QtWindowSystem::availableGeometry(const QScreen *screen) const
{
    // Qt takes one work area for the whole desktop, which is wrong with several monitors;
    // and once all but one have gone away, the remaining screen's available geometry still
    // ignored a panel's strut (measured with openbox). So the desktop's own areas are read
    // for every screen, Qt's only where the desktop tells nothing.
    if (!m_workAreas->isAvailable())
        return screen->availableGeometry();
    // Qt keeps a screen's origin in device pixels and scales its size.
    const QRect geometry = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    const QRect device(geometry.topLeft(), (QSizeF(geometry.size()) * ratio).toSize());
    const std::optional<QRect> area = m_workAreas->availableArea(device);
    if (!area || area->isEmpty())
        return screen->availableGeometry();
    const QPointF offset = QPointF(area->topLeft() - device.topLeft()) / ratio;
    return QRectF(QPointF(geometry.topLeft()) + offset, QSizeF(area->size()) / ratio)
        .toAlignedRect()
        .intersected(geometry);
}

std::optional<ScreenInfo> QtWindowSystem::mainScreen() const
{
    const QList<QScreen *> all = QGuiApplication::screens();
    const qsizetype index = all.indexOf(QGuiApplication::primaryScreen());
    if (index < 0)
        return std::nullopt;
    return screens().value(index);
}

QPointF QtWindowSystem::pointerLocation() const
{
    return coordinates().pointToGlobal(QPointF(QCursor::pos()));
}

GlobalCoordinates QtWindowSystem::coordinates() const
{
    return GlobalCoordinates::ofApplication();
}

bool QtWindowSystem::isCompositing() const
{
    // Off X11 (Wayland, offscreen) translucent windows are always composited.
    return m_compositing->isAvailable() ? m_compositing->isCompositing() : true;
}

Qt::MouseButtons QtWindowSystem::pressedMouseButtons() const
{
    const std::optional<quint16> mask = m_x11 ? m_x11->pointerButtonMask() : std::nullopt;
    if (!mask)
        return QGuiApplication::mouseButtons();
    Qt::MouseButtons buttons;
    buttons.setFlag(Qt::LeftButton, *mask & XCB_BUTTON_MASK_1);
    buttons.setFlag(Qt::MiddleButton, *mask & XCB_BUTTON_MASK_2);
    buttons.setFlag(Qt::RightButton, *mask & XCB_BUTTON_MASK_3);
    return buttons;
}

std::unique_ptr<Panel> QtWindowSystem::createPanel(const QRectF &frame, const PanelOptions &options)
{
    return std::make_unique<QtPanel>(frame, options, m_userTime);
}

std::optional<Subscription> QtWindowSystem::addGlobalMonitor(PointerEventMask events,
                                                             PointerHandler handler)
{
    if (!m_globalMonitor->isAvailable())
        return std::nullopt;
    return addMonitor(m_globalMonitors, events, std::move(handler));
}

std::optional<Subscription> QtWindowSystem::addLocalMonitor(PointerEventMask events,
                                                            PointerHandler handler)
{
    return addMonitor(m_localMonitors, events, std::move(handler));
}

Subscription QtWindowSystem::addMonitor(Monitors &monitors, PointerEventMask events,
                                        PointerHandler handler)
{
    const quint64 id = m_nextMonitorId++;
    monitors.emplace(id, Monitor{events, std::make_shared<PointerHandler>(std::move(handler))});
    updateMonitorSelections();
    const bool global = &monitors == &m_globalMonitors;
    return Subscription([self = QPointer<QtWindowSystem>(this), global, id] {
        if (self)
            self->removeMonitor(global ? self->m_globalMonitors : self->m_localMonitors, id);
    });
}

void QtWindowSystem::removeMonitor(Monitors &monitors, quint64 id)
{
    monitors.erase(id);
    updateMonitorSelections();
}

void QtWindowSystem::updateMonitorSelections()
{
    bool motion = false;
    bool buttons = false;
    for (const auto &[id, monitor] : m_globalMonitors) {
        motion = motion || (monitor.events & PointerEvents::movement);
        buttons = buttons || (monitor.events & PointerEvents::mouseDowns);
    }
    m_globalMonitor->setMotionEnabled(motion);
    m_globalMonitor->setButtonsEnabled(buttons);
}

void QtWindowSystem::dispatch(const Monitors &monitors, const PointerEvent &event) const
{
    // A handler may remove monitors (its own among them): call the ones that wanted the
    // event when it came and are still installed.
    std::vector<std::pair<quint64, std::shared_ptr<PointerHandler>>> targets;
    for (const auto &[id, monitor] : monitors) {
        if (monitor.events.testFlag(event.type))
            targets.emplace_back(id, monitor.handler);
    }
    for (const auto &[id, handler] : targets) {
        if (monitors.count(id))
            (*handler)(event);
    }
}

void QtWindowSystem::globalPointerMoved()
{
    const PointerEventType type = pressedMouseButtons().testFlag(Qt::LeftButton)
                                      ? PointerEventType::leftMouseDragged
                                      : PointerEventType::mouseMoved;
    dispatch(m_globalMonitors, {type, pointerLocation()});
}

void QtWindowSystem::globalButtonPressed(quint32 button, const QPoint &position)
{
    // Raw events report every click; those that land in one of our windows are for the
    // local monitors. The lookup follows the input shapes, so a click that passes through
    // a panel counts as another application's.
    if (QGuiApplication::topLevelAt(position))
        return;
    dispatch(m_globalMonitors,
             {typeOfX11Button(button), coordinates().pointToGlobal(QPointF(position))});
}

void QtWindowSystem::localPointerEvent(QEvent *event)
{
    const auto *mouse = static_cast<QMouseEvent *>(event);
    PointerEventType type;
    if (event->type() == QEvent::MouseMove) {
        type = mouse->buttons().testFlag(Qt::LeftButton) ? PointerEventType::leftMouseDragged
                                                         : PointerEventType::mouseMoved;
    } else {
        type = typeOfButton(mouse->button());
    }
    dispatch(m_localMonitors, {type, coordinates().pointToGlobal(mouse->globalPosition())});
}

Subscription QtWindowSystem::scheduleRepeating(std::chrono::milliseconds interval,
                                               std::function<void()> callback)
{
    auto *timer = new QTimer(this);
    timer->setInterval(interval);
    connect(timer, &QTimer::timeout, this, std::move(callback));
    timer->start();
    return Subscription([timer = QPointer<QTimer>(timer)] {
        if (timer) {
            timer->stop();
            timer->deleteLater();
        }
    });
}

Subscription QtWindowSystem::scheduleOnce(std::chrono::milliseconds delay,
                                          std::function<void()> callback)
{
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setInterval(delay);
    connect(timer, &QTimer::timeout, this, [timer, callback = std::move(callback)] {
        timer->deleteLater();
        callback();
    });
    timer->start();
    return Subscription([timer = QPointer<QTimer>(timer)] {
        if (timer) {
            timer->stop();
            timer->deleteLater();
        }
    });
}

void QtWindowSystem::activateApplication()
{
    if (QApplication::activeWindow())
        return;
    const auto canActivate = [](const QWidget *widget) {
        const Qt::WindowType type = widget->windowType();
        return widget->isVisible() &&
               !widget->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus) && type != Qt::Popup &&
               type != Qt::ToolTip && type != Qt::SplashScreen;
    };
    if (m_requestedWindow && canActivate(m_requestedWindow)) {
        WindowActivation::activate(m_requestedWindow, m_userTime->latest());
        return;
    }
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QPointer<QWindow> &active : std::as_const(m_activeWindows)) {
        for (QWidget *widget : windows) {
            if (active && widget->windowHandle() == active && canActivate(widget)) {
                WindowActivation::activate(widget, m_userTime->latest());
                return;
            }
        }
    }
    for (QWidget *widget : windows) {
        if (canActivate(widget) && !isPanelWindow(widget)) {
            WindowActivation::activate(widget, m_userTime->latest());
            return;
        }
    }
}

void QtWindowSystem::activateWindow(QWidget *window)
{
    if (window)
        m_requestedWindow = window->window();
    WindowActivation::activate(window, m_userTime->latest());
}

ActivationPolicy QtWindowSystem::activationPolicy() const
{
    return m_policy;
}

void QtWindowSystem::setActivationPolicy(ActivationPolicy policy)
{
    if (m_policy == policy)
        return;
    m_policy = policy;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && !isPanelWindow(widget))
            applyActivationPolicy(widget, true);
    }
}

void QtWindowSystem::applyActivationPolicy(QWidget *window, bool mapped) const
{
    const auto native = xcb_window_t(window->internalWinId());
    if (!m_x11 || native == XCB_WINDOW_NONE)
        return;
    // The library, settings and tour windows stay in the window switcher whatever the
    // policy, so that a covered one can be found again; window managers leave windows that
    // skip the task bar out of Alt+Tab, so they skip neither. Only the rails and floating
    // notes (panels) stay out, and without the Dock icon the application has no entry of
    // its own once its windows are closed.
    if (mapped)
        X11WindowHints::setSkipTaskbarMapped(*m_x11, native, false);
    else
        X11WindowHints::prepareUnmapped(*m_x11, native, {false, false, false});
}

bool QtWindowSystem::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
        // Qt hands every mouse event to the window first, then to the widget: count it
        // once, at the window.
        if (watched->isWindowType() && !m_localMonitors.empty())
            localPointerEvent(event);
        break;
    case QEvent::Show:
        // Sent before the window is mapped: the window manager reads the hints on mapping.
        if (watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            if (widget->isWindow() && !isPanelWindow(widget))
                applyActivationPolicy(widget, false);
        }
        break;
    default:
        break;
    }
    return false;
}
