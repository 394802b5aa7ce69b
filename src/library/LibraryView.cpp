// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/LibraryView.h"

#include "library/LibraryEmptyView.h"
#include "library/LibraryListModel.h"
#include "library/LibraryRow.h"
#include "library/LibrarySymbols.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/Note.h"
#include "model/UserDefaults.h"
#include "surfaces/NoteFontStyle.h"

#include <QAction>
#include <QEvent>
#include <QFontDatabase>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QShortcut>
#include <QShowEvent>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int sidebarIconSize = 16;
constexpr int sidebarRowHeight = 28;
constexpr int sidebarMargin = 8;
constexpr int sectionTitlePixelSize = 17;
constexpr int searchFieldWidth = 240;

// The red of destructive commands, readable on light and dark toolbars.
QColor destructiveColor(const QPalette &palette)
{
    const bool dark = palette.color(QPalette::Window).lightnessF() < 0.5;
    return dark ? QColor(255, 105, 97) : QColor(215, 0, 21);
}

} // namespace

LibraryView::LibraryView(ModelContainer *container, FloatingWindows *floating, QWidget *parent)
    : QMainWindow(parent), m_context(container ? container->mainContext() : nullptr),
      m_actions(m_context, floating)
{
    setObjectName(windowId);
    resize(defaultSize);

    m_model = new LibraryListModel(m_context, this);
    m_row = new LibraryRow(this);

    buildToolbar();
    auto *split = new QSplitter(Qt::Horizontal, this);
    split->setChildrenCollapsible(false);
    split->addWidget(buildSidebar());
    split->addWidget(buildDetail());
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({sidebarIdealWidth, defaultSize.width() - sidebarIdealWidth});
    setCentralWidget(split);

    connect(m_model, &LibraryListModel::listChanged, this, &LibraryView::listDidChange);
    connect(m_model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &, const QList<int> &roles) {
                // A new text can need another excerpt line.
                if (roles.contains(Qt::SizeHintRole))
                    Q_EMIT m_row->sizeHintChanged(topLeft);
            });
    connect(&UserDefaults::standard(), &UserDefaults::didChange, this,
            &LibraryView::followNoteFont);
    followNoteFont();
    paletteDidChange();

    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        m_searchField->setFocus(Qt::ShortcutFocusReason);
        m_searchField->selectAll();
    });

    applyQuery();
}

LibraryView::~LibraryView() = default;

void LibraryView::buildToolbar()
{
    auto *toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("libraryToolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setVisible(false);
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, toolbar);

    auto *spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);

    m_emptyTrashAction = new QAction(LibraryActions::emptyTrashText, this);
    m_emptyTrashAction->setObjectName(QStringLiteral("emptyTrash"));
    m_emptyTrashAction->setVisible(false);
    connect(m_emptyTrashAction, &QAction::triggered, this, &LibraryView::emptyTrash);
    toolbar->addAction(m_emptyTrashAction);
    if (auto *button = qobject_cast<QToolButton *>(toolbar->widgetForAction(m_emptyTrashAction)))
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);

    m_searchField = new QLineEdit(toolbar);
    m_searchField->setObjectName(QStringLiteral("search"));
    m_searchField->setPlaceholderText(searchPrompt);
    m_searchField->setClearButtonEnabled(true);
    m_searchField->setFixedWidth(searchFieldWidth);
    m_searchSymbol = m_searchField->addAction(QIcon(), QLineEdit::LeadingPosition);
    connect(m_searchField, &QLineEdit::textChanged, this, &LibraryView::applyQuery);
    toolbar->addWidget(m_searchField);
    m_toolbar = toolbar;
}

QWidget *LibraryView::buildSidebar()
{
    auto *column = new QWidget(this);
    column->setAutoFillBackground(true);
    column->setBackgroundRole(QPalette::Window);
    column->setMinimumWidth(sidebarMinimumWidth);
    column->setMaximumWidth(sidebarMaximumWidth);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(sidebarMargin, sidebarMargin, sidebarMargin, sidebarMargin);

    m_sidebar = new QListWidget(column);
    m_sidebar->setObjectName(QStringLiteral("sidebar"));
    m_sidebar->setFrameShape(QFrame::NoFrame);
    m_sidebar->setBackgroundRole(QPalette::Window);
    m_sidebar->viewport()->setBackgroundRole(QPalette::Window);
    m_sidebar->setIconSize(QSize(sidebarIconSize, sidebarIconSize));
    m_sidebar->setSelectionMode(QAbstractItemView::SingleSelection);
    m_sidebar->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (const LibraryFilter section : LibraryFilter::allCases()) {
        auto *item = new QListWidgetItem(section.title(), m_sidebar);
        item->setData(Qt::UserRole, section.rawValue());
        item->setSizeHint(QSize(0, sidebarRowHeight));
    }
    m_sidebar->setCurrentRow(LibraryFilter::allCases().indexOf(m_filter));
    connect(m_sidebar, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < LibraryFilter::allCases().size())
            setFilter(LibraryFilter::allCases().at(row));
    });
    layout->addWidget(m_sidebar);
    return column;
}

QWidget *LibraryView::buildDetail()
{
    auto *detail = new QWidget(this);
    detail->setAutoFillBackground(true);
    detail->setBackgroundRole(QPalette::Base);
    auto *layout = new QVBoxLayout(detail);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_sectionTitle = new QLabel(detail);
    m_sectionTitle->setObjectName(QStringLiteral("sectionTitle"));
    QFont titleFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    titleFont.setPixelSize(sectionTitlePixelSize);
    titleFont.setWeight(QFont::Bold);
    m_sectionTitle->setFont(titleFont);
    m_sectionTitle->setContentsMargins(LibraryRow::horizontalInset, 12, LibraryRow::horizontalInset,
                                       8);
    layout->addWidget(m_sectionTitle);

    m_list = new QListView(detail);
    m_list->setObjectName(QStringLiteral("notes"));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setModel(m_model);
    m_list->setItemDelegate(m_row);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Row heights depend on the width (an excerpt may need a second line).
    m_list->setResizeMode(QListView::Adjust);
    m_list->setUniformItemSizes(false);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &LibraryView::showContextMenu);

    m_empty = new LibraryEmptyView(detail);
    m_empty->setObjectName(QStringLiteral("emptySection"));

    m_stack = new QStackedWidget(detail);
    m_stack->addWidget(m_list);
    m_stack->addWidget(m_empty);
    layout->addWidget(m_stack, 1);
    return detail;
}

void LibraryView::setFilter(LibraryFilter filter)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    const int row = int(LibraryFilter::allCases().indexOf(filter));
    if (m_sidebar->currentRow() != row)
        m_sidebar->setCurrentRow(row);
    applyQuery();
    Q_EMIT filterChanged(filter);
}

QString LibraryView::search() const
{
    return m_searchField->text();
}

void LibraryView::setSearch(const QString &search)
{
    m_searchField->setText(search);
}

const QList<Note *> &LibraryView::listedNotes() const
{
    return m_model->notes();
}

bool LibraryView::showsEmptyView() const
{
    return m_stack->currentWidget() == m_empty;
}

QString LibraryView::titleFor(LibraryFilter filter)
{
    return QStringLiteral("%1 — %2").arg(filter.title(), windowTitleText);
}

void LibraryView::applyQuery()
{
    setWindowTitle(titleFor(m_filter));
    m_sectionTitle->setText(m_filter.title());
    m_empty->setSection(m_filter);
    m_model->setQuery(m_filter, search());
    m_list->scrollToTop();
}

void LibraryView::listDidChange()
{
    const qsizetype count = m_model->notes().size();
    m_stack->setCurrentWidget(count == 0 ? static_cast<QWidget *>(m_empty) : m_list);
    m_emptyTrashAction->setVisible(LibraryActions::offersEmptyTrash(m_filter, count));
}

std::unique_ptr<QMenu> LibraryView::contextMenu(Note *note)
{
    auto menu = std::make_unique<QMenu>(this);
    if (!note)
        return menu;
    const LibraryFilter section = m_filter;
    const QPointer<Note> target(note);
    const QColor destructive = destructiveColor(palette());
    for (const LibraryActions::MenuEntry &entry : LibraryActions::menu(section)) {
        if (entry.separatorBefore)
            menu->addSeparator();
        QAction *action = menu->addAction(entry.text);
        if (entry.destructive)
            action->setIcon(LibrarySymbols::icon(LibrarySymbols::trash, destructive));
        connect(action, &QAction::triggered, this, [this, item = entry.item, section, target] {
            if (!target)
                return;
            m_actions.perform(item, section, target);
            // A successful save refreshes the list by itself; after a failed one the note
            // has still changed in the context and must leave its section all the same.
            m_model->refresh();
        });
    }
    return menu;
}

void LibraryView::showContextMenu(const QPoint &position)
{
    Note *note = m_model->noteAt(m_list->indexAt(position).row());
    if (!note)
        return;
    const std::unique_ptr<QMenu> menu = contextMenu(note);
    m_row->setHighlightedNote(note);
    m_list->viewport()->update();
    menu->exec(m_list->viewport()->mapToGlobal(position));
    m_row->setHighlightedNote(nullptr);
    m_list->viewport()->update();
}

void LibraryView::emptyTrash()
{
    if (!LibraryActions::offersEmptyTrash(m_filter, m_model->notes().size()))
        return;
    m_actions.emptyTrash(m_model->notes());
    m_model->refresh();
}

void LibraryView::followNoteFont()
{
    const NoteFontStyle style =
        NoteFontStyle::fromDefaults(UserDefaults::standard(), LibraryRow::excerptScale);
    if (m_row->setNoteFontStyle(style))
        m_list->doItemsLayout();
}

void LibraryView::paletteDidChange()
{
    const QPalette colors = palette();
    const QColor accent = colors.color(QPalette::Highlight);
    const QColor selected = colors.color(QPalette::HighlightedText);
    for (int i = 0; i < m_sidebar->count(); ++i) {
        const LibraryFilter section = LibraryFilter::allCases().at(i);
        m_sidebar->item(i)->setIcon(
            LibrarySymbols::icon(section.symbol(), accent, sidebarIconSize, selected));
    }
    QColor faint = colors.color(QPalette::Text);
    faint.setAlphaF(0.5);
    m_searchSymbol->setIcon(LibrarySymbols::icon(LibrarySymbols::magnifyingglass, faint));
    if (QWidget *button = m_toolbar->widgetForAction(m_emptyTrashAction)) {
        QPalette buttonColors = button->palette();
        buttonColors.setColor(QPalette::ButtonText, destructiveColor(colors));
        button->setPalette(buttonColors);
    }
}

void LibraryView::showEvent(QShowEvent *event)
{
    // Opened again after it was closed: fresh, as a new window would be, so that no note
    // looks missing behind a section or a search left from last time.
    if (!event->spontaneous() && std::exchange(m_startsFreshOnShow, false)) {
        setSearch(QString());
        setFilter(LibraryFilter::pinned);
        m_list->scrollToTop();
    }
    QMainWindow::showEvent(event);
}

void LibraryView::hideEvent(QHideEvent *event)
{
    // A spontaneous hide is the window minimised or on another desktop: not closed.
    if (!event->spontaneous())
        m_startsFreshOnShow = true;
    QMainWindow::hideEvent(event);
}

void LibraryView::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // The symbols are drawn in the palette's colours: a switch between light and dark
    // redraws them.
    if ((event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) && m_stack)
        paletteDidChange();
}
