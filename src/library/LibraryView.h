// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/LibraryActions.h"
#include "library/LibraryFilter.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

class FloatingWindows;
class LibraryEmptyView;
class LibraryListModel;
class LibraryRow;
class ModelContainer;
class ModelContext;
class Note;
class QAction;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QMenu;
class QStackedWidget;
class QToolBar;

// The window where every note can be found, whatever its state: a sidebar of the four
// sections, the notes of the chosen one newest change first, and a search over titles
// and texts. The library never edits a note's text; its menus only move notes between
// the sections. Closing the window leaves the application running.
class LibraryView : public QMainWindow
{
    Q_OBJECT

public:
    static inline const QString windowId = QStringLiteral("library");
    static inline const QString windowTitleText = QStringLiteral("Biblioteca");
    static inline const QString searchPrompt = QStringLiteral("Buscar en las notas");
    static constexpr QSize defaultSize{840, 540};
    static constexpr int sidebarMinimumWidth = 165;
    static constexpr int sidebarIdealWidth = 180;
    static constexpr int sidebarMaximumWidth = 240;

    // Starts on the notes on screen with an empty search, and starts so again each time
    // it is shown after being closed. `floating` may be null; it must outlive the window,
    // and so must `container`.
    LibraryView(ModelContainer *container, FloatingWindows *floating, QWidget *parent = nullptr);
    ~LibraryView() override;

    // The window's title: the section's, then the window's name.
    static QString titleFor(LibraryFilter filter);

    LibraryFilter filter() const { return m_filter; }
    void setFilter(LibraryFilter filter);
    QString search() const;
    void setSearch(const QString &search);

    // The notes listed now, in order.
    const QList<Note *> &listedNotes() const;
    bool showsEmptyView() const;

    // The context menu of a listed note, for its section.
    std::unique_ptr<QMenu> contextMenu(Note *note);
    // Deletes every note listed in the trash (only those matching the search), then saves.
    void emptyTrash();

    QListWidget *sidebar() const { return m_sidebar; }
    QListView *listView() const { return m_list; }
    LibraryListModel *listModel() const { return m_model; }
    LibraryRow *row() const { return m_row; }
    LibraryEmptyView *emptyView() const { return m_empty; }
    QLineEdit *searchField() const { return m_searchField; }
    QLabel *sectionTitle() const { return m_sectionTitle; }
    QAction *emptyTrashAction() const { return m_emptyTrashAction; }

Q_SIGNALS:
    void filterChanged(LibraryFilter filter);

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void buildToolbar();
    QWidget *buildSidebar();
    QWidget *buildDetail();
    void applyQuery();
    void listDidChange();
    void showContextMenu(const QPoint &position);
    void followNoteFont();
    void paletteDidChange();

    QPointer<ModelContext> m_context;
    LibraryActions m_actions;
    LibraryFilter m_filter = LibraryFilter::pinned;
    bool m_startsFreshOnShow = false;

    LibraryListModel *m_model = nullptr;
    LibraryRow *m_row = nullptr;
    QListWidget *m_sidebar = nullptr;
    QListView *m_list = nullptr;
    LibraryEmptyView *m_empty = nullptr;
    QStackedWidget *m_stack = nullptr;
    QLabel *m_sectionTitle = nullptr;
    QLineEdit *m_searchField = nullptr;
    QAction *m_emptyTrashAction = nullptr;
    QAction *m_searchSymbol = nullptr;
    QToolBar *m_toolbar = nullptr;
};
