// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/EdgeRailContent.h"

#include "model/AppSettings.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/UserDefaults.h"
#include "rail/FrameClock.h"
#include "rail/InteractiveRegions.h"
#include "rail/NewNoteTabView.h"
#include "rail/RailFocus.h"
#include "rail/RailPointer.h"
#include "rail/RailSprings.h"
#include "rail/SpringAnimator.h"
#include "rail/WindowSystem.h"
#include "surfaces/CardShadowCache.h"
#include "surfaces/NoteFormView.h"
#include "sync/SyncWatcher.h"

#include <QGuiApplication>
#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace {

// Sub-pixel: a card this close to its target is drawn where it will stay.
constexpr double restThreshold = 0.01;

// Whether two snapshots of the rail's state lay the cards out alike.
bool sameState(const RailGeometry &a, const RailGeometry &b)
{
    return a.noteIDs == b.noteIDs && a.size == b.size && a.isAwake == b.isAwake &&
           a.previewNoteID == b.previewNoteID && a.hoveredNoteID == b.hoveredNoteID &&
           a.focusNoteID == b.focusNoteID && a.isAddHovered == b.isAddHovered &&
           a.draggingNoteID == b.draggingNoteID && a.dragOffset == b.dragOffset &&
           a.defaultEdge == b.defaultEdge;
}

// The spring of the state change between two snapshots, when it is one of the animated ones;
// other changes (notes, size, drag) take effect at once.
std::optional<Spring> springFor(const RailGeometry &before, const RailGeometry &after)
{
    if (before.previewNoteID != after.previewNoteID)
        return RailSprings::preview;
    if (before.isAwake != after.isAwake)
        return RailSprings::wake;
    if (before.hoveredNoteID != after.hoveredNoteID)
        return RailSprings::hover;
    if (before.isAddHovered != after.isAddHovered)
        return RailSprings::addHover;
    return std::nullopt;
}

// The rail is doing more than standing asleep: its cards need their own widgets.
bool isActive(const RailGeometry &geometry)
{
    return geometry.isAwake || geometry.isPreviewOpen() || geometry.draggingNoteID.has_value();
}

NoteCardState cardState(const RailCard &card)
{
    NoteCardState state;
    state.phase = card.phase;
    state.tabWidth = card.tabWidth;
    state.tilt = card.tilt;
    state.isHovered = card.isHovered;
    state.isDimmed = card.isDimmed;
    state.autoFocus = card.autoFocus;
    state.peek = card.peek;
    state.itemHeight = card.itemHeight;
    state.cardHeight = card.cardHeight;
    return state;
}

} // namespace

EdgeRailContent::EdgeRailContent(ScreenEdge edge, const NoteCommands &commands,
                                 const RailEnvironment &environment, QWidget *parent)
    : QWidget(parent), m_edge(edge), m_commands(commands), m_environment(environment),
      m_clock(environment.animationClock), m_shadows(std::make_shared<CardShadowCache>())
{
    // Only the cards are drawn; the rest of the panel shows what lies behind it.
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    if (!m_clock)
        m_clock = new FrameClock(this);

    m_addTab = new NewNoteTabView(edge, this);
    m_addTab->setBleed(RailMetrics::addTabBleed);
    m_addTab->hide();
    connect(m_addTab, &NewNoteTabView::clicked, this, &EdgeRailContent::createNote);
    m_addTabMotion = new SpringAnimator(m_clock, m_addTab);
    m_addTabMotion->setRestThreshold(restThreshold);
    connect(m_addTabMotion, &SpringAnimator::valueChanged, this,
            [this] { m_addTab->setTabRect(m_addTabMotion->rectValue()); });
    connect(m_addTabMotion, &SpringAnimator::finished, this, &EdgeRailContent::motionFinished);

    if (RailPointer *pointer = m_environment.railPointer) {
        connect(pointer, &RailPointer::locationChanged, this,
                [this] { pointerMoved(pointerLocation()); });
        connect(pointer, &RailPointer::outsideClicksChanged, this, &EdgeRailContent::closePreview);
    }
    if (RailFocus *focus = m_environment.railFocus)
        connect(focus, &RailFocus::requestedNoteIDChanged, this, [this] {
            handleFocusRequest();
            refresh();
        });
    UserDefaults &defaults =
        m_environment.defaults ? *m_environment.defaults : UserDefaults::standard();
    connect(&defaults, &UserDefaults::didChange, this, [this] {
        readDefaultEdge();
        refresh();
    });
    readDefaultEdge();
}

EdgeRailContent::~EdgeRailContent() = default;

RailGeometry EdgeRailContent::geometry() const
{
    RailGeometry geometry;
    geometry.edge = m_edge;
    geometry.noteIDs.reserve(m_cards.size());
    for (const Card &card : m_cards)
        geometry.noteIDs.append(card.noteID);
    geometry.size = m_railSize;
    geometry.isAwake = m_isAwake;
    geometry.previewNoteID = m_previewNoteID;
    geometry.hoveredNoteID = m_hoveredNoteID;
    geometry.focusNoteID = m_focusNoteID;
    geometry.isAddHovered = m_isAddHovered;
    geometry.draggingNoteID = m_drag.draggingNoteID();
    geometry.dragOffset = m_drag.dragOffset();
    geometry.defaultEdge = m_defaultEdge;
    return geometry;
}

// --- Notes and cards ---

void EdgeRailContent::setNotes(const QList<Note *> &notes)
{
    QHash<Note *, qsizetype> previous;
    for (qsizetype i = 0; i < m_cards.size(); ++i) {
        if (Note *note = m_cards[i].note)
            previous.insert(note, i);
    }
    QList<Card> next;
    next.reserve(notes.size());
    QList<bool> kept(m_cards.size(), false);
    for (Note *note : notes) {
        const auto found = previous.constFind(note);
        if (found != previous.cend() && !kept[*found]) {
            kept[*found] = true;
            Card card = m_cards[*found];
            card.noteID = note->id();
            next.append(card);
        } else {
            next.append(makeCard(note));
        }
    }
    for (qsizetype i = 0; i < m_cards.size(); ++i) {
        if (!kept[i])
            dropCard(m_cards[i]);
    }
    m_cards = next;
    m_notes = notes;
    m_cardsChanged = true;
    forgetMissingNotes();
    refresh();
}

EdgeRailContent::Card EdgeRailContent::makeCard(Note *note)
{
    Card card;
    card.note = note;
    card.noteID = note->id();
    card.view = new NoteFormView(note, m_edge, cardActions(note), surfaceEnvironment(), this);
    card.view->setVisible(!m_paintsChips);
    card.motion = new SpringAnimator(m_clock, card.view);
    card.motion->setRestThreshold(restThreshold);
    NoteFormView *view = card.view;
    SpringAnimator *motion = card.motion;
    connect(motion, &SpringAnimator::valueChanged, view, [this, view, motion] {
        const QRect before = view->geometry();
        view->setCardFrame(motion->rectValue());
        if (m_paintsChips) {
            m_chips.invalidate();
            update(before.united(view->geometry()));
        }
    });
    connect(motion, &SpringAnimator::finished, this, &EdgeRailContent::motionFinished);
    // A sleeping rail paints its chips from a picture; a new colour or title redraws it.
    const auto lookChanged = [this] {
        m_chips.invalidate();
        if (m_paintsChips)
            update(chipArea());
    };
    connect(note, &Note::colorTokenChanged, view, lookChanged);
    connect(note, &Note::titleChanged, view, lookChanged);
    connect(note, &Note::plainTextChanged, view, lookChanged);
    return card;
}

void EdgeRailContent::dropCard(Card &card)
{
    // Later: the card may be gone because of a click on its own controls.
    card.motion->stop();
    card.motion->disconnect();
    card.view->hide();
    card.view->deleteLater();
    m_stack.removeAll(card.view);
    card.view = nullptr;
    card.motion = nullptr;
}

void EdgeRailContent::forgetMissingNotes()
{
    const auto onRail = [this](const std::optional<QUuid> &id) {
        return !id || std::any_of(m_cards.cbegin(), m_cards.cend(),
                                  [&](const Card &card) { return card.noteID == *id; });
    };
    // A note that left the rail while open (done, archived or moved elsewhere) no longer
    // keeps the rail awake, dimmed and marked as editing.
    if (!onRail(m_previewNoteID))
        setPreview(std::nullopt);
    if (!onRail(m_hoveredNoteID))
        m_hoveredNoteID.reset();
    if (!onRail(m_focusNoteID))
        m_focusNoteID.reset();
    if (m_gesture && !onRail(m_gesture->noteID)) {
        m_gesture.reset();
        m_drag.reset();
    }
    if (!onRail(m_drag.draggingNoteID()))
        m_drag.reset();
}

QList<NoteFormView *> EdgeRailContent::cards() const
{
    QList<NoteFormView *> views;
    views.reserve(m_cards.size());
    for (const Card &card : m_cards)
        views.append(card.view);
    return views;
}

NoteFormView *EdgeRailContent::card(const QUuid &noteID) const
{
    for (const Card &card : m_cards) {
        if (card.noteID == noteID)
            return card.view;
    }
    return nullptr;
}

NoteSurfaceEnvironment EdgeRailContent::surfaceEnvironment() const
{
    NoteSurfaceEnvironment environment;
    if (m_environment.container)
        environment.context = m_environment.container->mainContext();
    environment.noteEditingEnabled = m_environment.noteEditingEnabled;
    environment.defaults = m_environment.defaults;
    environment.shadows = m_shadows;
    return environment;
}

// --- Pointer, wake and preview ---

std::optional<QPointF> EdgeRailContent::pointerLocation() const
{
    if (!m_environment.railPointer)
        return std::nullopt;
    return m_environment.railPointer->location();
}

bool EdgeRailContent::anyMouseButtonPressed() const
{
    if (m_environment.windowSystem)
        return m_environment.windowSystem->pressedMouseButtons() != Qt::NoButton;
    return QGuiApplication::mouseButtons() != Qt::NoButton;
}

void EdgeRailContent::pointerMoved(std::optional<QPointF> location)
{
    movePointer(location);
    refresh();
}

void EdgeRailContent::movePointer(std::optional<QPointF> location)
{
    if (m_railSize.isEmpty())
        return;
    if (!location) {
        cancelWake();
        m_hoveredNoteID.reset();
        m_isAddHovered = false;
        settleAwake();
        return;
    }
    const RailGeometry before = geometry();
    m_hoveredNoteID = before.noteID(*location);
    m_isAddHovered = before.isOverAddTab(*location);
    if (geometry().isInWakeZone(*location)) {
        if (!m_isAwake)
            wake();
        return;
    }
    cancelWake();
    settleAwake();
}

void EdgeRailContent::settleAwake()
{
    m_isAwake = m_previewNoteID.has_value();
}

void EdgeRailContent::wake()
{
    // Dragging a window or a file to the edge must not wake the rail.
    if (m_wakeTask.isActive() || anyMouseButtonPressed())
        return;
    const QPointer<EdgeRailContent> self(this);
    auto fire = [self] {
        if (self)
            self->wakeTaskFired();
    };
    if (m_environment.windowSystem) {
        m_wakeTask = m_environment.windowSystem->scheduleOnce(m_environment.wakeDwell, fire);
        return;
    }
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [timer, fire] {
        timer->deleteLater();
        fire();
    });
    timer->start(m_environment.wakeDwell);
    m_wakeTask = Subscription([timer = QPointer<QTimer>(timer)] {
        if (timer) {
            timer->stop();
            timer->deleteLater();
        }
    });
}

void EdgeRailContent::wakeTaskFired()
{
    m_wakeTask = Subscription();
    if (m_retired || anyMouseButtonPressed())
        return;
    const std::optional<QPointF> location = pointerLocation();
    if (!location || !geometry().isInWakeZone(*location))
        return;
    m_isAwake = true;
    // The hover follows the tabs that are fanning out now.
    movePointer(location);
    refresh();
}

void EdgeRailContent::cancelWake()
{
    m_wakeTask.cancel();
}

void EdgeRailContent::setPreview(std::optional<QUuid> noteID)
{
    if (m_previewNoteID == noteID)
        return;
    m_previewNoteID = noteID;
    movePointer(pointerLocation());
    if (m_environment.syncWatcher && !m_retired)
        m_environment.syncWatcher->setIsEditing(m_previewNoteID.has_value());
}

void EdgeRailContent::closePreview()
{
    if (!m_previewNoteID)
        return;
    setPreview(std::nullopt);
    refresh();
}

void EdgeRailContent::openPreview(const QUuid &noteID)
{
    setPreview(noteID);
    m_focusNoteID.reset();
    refresh();
}

void EdgeRailContent::createNote()
{
    if (!m_commands.create)
        return;
    const std::optional<QUuid> id = m_commands.create();
    if (!id)
        return;
    setPreview(*id);
    m_focusNoteID = *id;
    refresh();
    Q_EMIT wantsKeyboard();
}

void EdgeRailContent::handleFocusRequest()
{
    if (!m_environment.railFocus || m_retired)
        return;
    const std::optional<QUuid> id = m_environment.railFocus->requestedNoteID();
    if (!id)
        return;
    // The other rail owns notes this one does not show.
    if (!card(*id))
        return;
    setPreview(*id);
    m_focusNoteID = *id;
    m_environment.railFocus->consume(*id);
    refresh();
    Q_EMIT wantsKeyboard();
}

void EdgeRailContent::readDefaultEdge()
{
    const UserDefaults &defaults =
        m_environment.defaults ? *m_environment.defaults : UserDefaults::standard();
    m_defaultEdge = RailGeometry::defaultEdgeFromToken(
        defaults.stringValue(AppSettings::Keys::defaultEdge, AppSettings::Defaults::defaultEdge));
}

// --- Layout ---

void EdgeRailContent::refresh()
{
    if (m_retired)
        return;
    if (m_refreshing) {
        m_refreshAgain = true;
        return;
    }
    m_refreshing = true;
    do {
        m_refreshAgain = false;
        const RailGeometry now = geometry();
        if (m_cardsChanged || !m_shown || !sameState(*m_shown, now)) {
            const std::optional<Spring> spring = m_shown ? springFor(*m_shown, now) : std::nullopt;
            const bool wasActive = m_shown && isActive(*m_shown);
            if (now.isMeasured()) {
                layoutCards(now, spring);
                layoutAddTab(now, spring);
            }
            restack(now);
            if (wasActive && !isActive(now))
                m_settling = true;
            if (!isAnimating())
                m_settling = false;
            m_shown = now;
            m_cardsChanged = false;
            m_chips.invalidate();
            if (m_paintsChips)
                update();
            Q_EMIT stateChanged();
        }
        const RegionKey key = now.regionKey();
        const bool addTab = now.showsAddTab();
        // The key leaves out the new-note tab, which changes with the default-edge setting.
        if (!m_regionKey || *m_regionKey != key || m_regionAddTab != addTab) {
            m_regionKey = key;
            m_regionAddTab = addTab;
            publishRegions();
        }
        updateChipPainting();
    } while (m_refreshAgain);
    m_refreshing = false;
}

void EdgeRailContent::layoutCards(const RailGeometry &geometry, std::optional<Spring> spring)
{
    for (int i = 0; i < m_cards.size(); ++i) {
        Card &card = m_cards[i];
        const RailCard values = geometry.card(i);
        card.view->setState(cardState(values));
        if (values.frame != card.target) {
            const bool placed = !card.target.isNull();
            card.target = values.frame;
            if (spring && placed)
                card.motion->animateTo(values.frame, *spring);
            else
                card.motion->setValue(values.frame);
        }
        if (values.phase == NotePhase::preview)
            watchEditor(card.view);
    }
}

void EdgeRailContent::layoutAddTab(const RailGeometry &geometry, std::optional<Spring> spring)
{
    m_addTab->setTilt(geometry.addTabTilt());
    m_addTab->setHovered(geometry.isAddHovered);
    m_addTabShows = geometry.showsAddTab();
    m_addTab->setAttribute(Qt::WA_TransparentForMouseEvents, !m_addTabShows);
    const QRectF target = geometry.addTabRect();
    if (target != m_addTabTarget) {
        const bool placed = !m_addTabTarget.isNull();
        m_addTabTarget = target;
        if (spring && placed)
            m_addTabMotion->animateTo(target, *spring);
        else
            m_addTabMotion->setValue(target);
    }
    updateAddTabVisibility();
}

void EdgeRailContent::updateAddTabVisibility()
{
    // A hidden tab folds back into the edge before it goes.
    const bool visible = m_addTabShows || m_addTabMotion->isAnimating();
    if (m_addTab->isVisibleTo(this) != visible)
        m_addTab->setVisible(visible);
}

void EdgeRailContent::restack(const RailGeometry &geometry)
{
    struct Entry
    {
        double z;
        QWidget *widget;
    };
    QList<Entry> entries;
    entries.reserve(m_cards.size() + 1);
    for (int i = 0; i < m_cards.size(); ++i)
        entries.append({geometry.zIndex(i), m_cards[i].view});
    entries.append({RailMetrics::addTabZ, m_addTab});
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry &a, const Entry &b) { return a.z < b.z; });
    QList<QWidget *> order;
    order.reserve(entries.size());
    for (const Entry &entry : entries)
        order.append(entry.widget);
    if (order == m_stack)
        return;
    // The widgets below the first difference already lie in order at the bottom.
    qsizetype first = 0;
    while (first < order.size() && first < m_stack.size() && order[first] == m_stack[first])
        ++first;
    for (qsizetype i = first; i < order.size(); ++i)
        order[i]->raise();
    m_stack = order;
}

bool EdgeRailContent::isAnimating() const
{
    if (m_addTabMotion->isAnimating())
        return true;
    return std::any_of(m_cards.cbegin(), m_cards.cend(),
                       [](const Card &card) { return card.motion->isAnimating(); });
}

void EdgeRailContent::motionFinished()
{
    if (isAnimating())
        return;
    m_settling = false;
    updateAddTabVisibility();
    updateChipPainting();
}

void EdgeRailContent::updateChipPainting()
{
    const bool wanted = !m_isAwake && !m_previewNoteID && !m_drag.draggingNoteID() && !m_settling;
    if (wanted == m_paintsChips)
        return;
    m_paintsChips = wanted;
    for (const Card &card : std::as_const(m_cards))
        card.view->setVisible(!wanted);
    m_chips.invalidate();
    update();
}

QRect EdgeRailContent::chipArea() const
{
    QRect area;
    for (const Card &card : m_cards)
        area |= card.view->geometry();
    return area & rect();
}

void EdgeRailContent::paintChips(QPainter &painter)
{
    for (QWidget *widget : std::as_const(m_stack)) {
        if (auto *view = qobject_cast<NoteFormView *>(widget))
            view->paintCard(painter);
    }
}

void EdgeRailContent::publishRegions()
{
    if (m_retired || !m_environment.interactiveRegions || m_railSize.isEmpty())
        return;
    const RailGeometry now = geometry();
    m_environment.interactiveRegions->setWakeBand(now.wakeBand());
    m_environment.interactiveRegions->publish(now.publishedRects());
}

void EdgeRailContent::retire()
{
    if (m_retired)
        return;
    m_retired = true;
    cancelWake();
    m_gesture.reset();
    for (QObject *shared : {static_cast<QObject *>(m_environment.railPointer.data()),
                            static_cast<QObject *>(m_environment.railFocus.data())}) {
        if (shared)
            disconnect(shared, nullptr, this, nullptr);
    }
    UserDefaults &defaults =
        m_environment.defaults ? *m_environment.defaults : UserDefaults::standard();
    disconnect(&defaults, nullptr, this, nullptr);
    // The fresh rail opens with nothing open.
    if (m_previewNoteID && m_environment.syncWatcher)
        m_environment.syncWatcher->setIsEditing(false);
}

// --- Events ---

void EdgeRailContent::paintEvent(QPaintEvent *)
{
    if (!m_paintsChips)
        return;
    QPainter painter(this);
    if (isAnimating()) {
        paintChips(painter);
        return;
    }
    m_chips.paint(painter, chipArea(), devicePixelRatioF(),
                  [this](QPainter &picture) { paintChips(picture); });
}

void EdgeRailContent::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_railSize = size();
    refresh();
}

void EdgeRailContent::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_appeared)
        return;
    m_appeared = true;
    m_railSize = size();
    refresh();
    publishRegions();
    handleFocusRequest();
}

void EdgeRailContent::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::PaletteChange:
    case QEvent::StyleChange:
        // Light or dark may have changed: the chips' picture is stale.
        m_chips.invalidate();
        update();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}
