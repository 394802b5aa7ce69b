// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/EdgeRailView.h"

#include "model/LiveQuery.h"
#include "model/ModelContainer.h"
#include "model/ModelContext.h"
#include "model/NoteCommands.h"
#include "model/NotePredicate.h"
#include "rail/EdgeRailContent.h"

#include <QPointer>

namespace {

// The rail's commands, each followed by a fresh look at the rail's notes: a command whose
// save fails keeps its change in the context, and the rail must show it all the same.
NoteCommands refreshingAfterward(const NoteCommands &commands, LiveQuery *query)
{
    const QPointer<LiveQuery> weak(query);
    const auto refresh = [weak] {
        if (weak)
            weak->refresh();
    };
    const auto wrap = [refresh](auto command) {
        return [refresh, command](auto... arguments) {
            command(arguments...);
            refresh();
        };
    };
    NoteCommands wrapped;
    wrapped.complete = wrap(commands.complete);
    wrapped.remove = wrap(commands.remove);
    wrapped.archive = wrap(commands.archive);
    wrapped.open = wrap(commands.open);
    wrapped.recolor = wrap(commands.recolor);
    wrapped.move = wrap(commands.move);
    wrapped.reorder = wrap(commands.reorder);
    wrapped.create = [refresh, create = commands.create]() -> std::optional<QUuid> {
        const std::optional<QUuid> id = create();
        refresh();
        return id;
    };
    return wrapped;
}

} // namespace

EdgeRailView::EdgeRailView(ScreenEdge edge, const RailEnvironment &environment, QWidget *parent)
    : QWidget(parent), m_edge(edge)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);

    ModelContext *context = environment.container ? environment.container->mainContext() : nullptr;
    NoteCommands commands;
    if (context != nullptr) {
        FetchDescriptor descriptor;
        descriptor.predicate = NotePredicate::onRail(edge);
        descriptor.sortBy = {SortDescriptor{Note::Field::sortIndex, true}};
        m_query = new LiveQuery(context, descriptor, this);
        commands = refreshingAfterward(
            NoteCommands::forRail(edge, context, environment.floatingNotes), m_query);
    }

    m_content = new EdgeRailContent(edge, commands, environment, this);
    m_content->setGeometry(rect());
    connect(m_content, &EdgeRailContent::wantsKeyboard, this, &EdgeRailView::wantsKeyboard);
    if (m_query != nullptr) {
        connect(m_query, &LiveQuery::resultsChanged, m_content,
                [this] { m_content->setNotes(m_query->results()); });
        m_content->setNotes(m_query->results());
    }
}

EdgeRailView::~EdgeRailView() = default;

void EdgeRailView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_content->setGeometry(rect());
}
