// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/ColorSwatchAccessible.h"

#include "surfaces/ColorSwatchRow.h"
#include "surfaces/NotePaint.h"

#include <QWidget>

#include <mutex>

namespace {

QAccessibleInterface *makeInterface(const QString &className, QObject *object)
{
    if (className == QLatin1String(ColorSwatchRow::staticMetaObject.className()))
        return new ColorSwatchRowAccessible(static_cast<ColorSwatchRow *>(object));
    return nullptr;
}

} // namespace

ColorSwatchRowAccessible::ColorSwatchRowAccessible(ColorSwatchRow *row)
    : QAccessibleWidget(row, QAccessible::Grouping, QStringLiteral("Color"))
{
}

ColorSwatchRowAccessible::~ColorSwatchRowAccessible()
{
    for (const QAccessible::Id id : std::as_const(m_children))
        QAccessible::deleteAccessibleInterface(id);
}

void ColorSwatchRowAccessible::install()
{
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(makeInterface); });
}

ColorSwatchRow *ColorSwatchRowAccessible::row() const
{
    return static_cast<ColorSwatchRow *>(widget());
}

int ColorSwatchRowAccessible::childCount() const
{
    return int(NoteColors::allCases().size());
}

QAccessibleInterface *ColorSwatchRowAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    if (const auto found = m_children.constFind(index); found != m_children.constEnd())
        return QAccessible::accessibleInterface(*found);
    auto *swatch = new ColorSwatchAccessible(row(), NoteColors::allCases().at(index));
    m_children.insert(index, QAccessible::registerAccessibleInterface(swatch));
    return swatch;
}

int ColorSwatchRowAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    if (!child)
        return -1;
    const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface *>(child));
    for (auto it = m_children.constBegin(); it != m_children.constEnd(); ++it) {
        if (it.value() == id)
            return it.key();
    }
    return -1;
}

QAccessibleInterface *ColorSwatchRowAccessible::childAt(int x, int y) const
{
    const auto color = row()->colorAt(row()->mapFromGlobal(QPoint(x, y)));
    return color ? child(int(NoteColors::allCases().indexOf(*color))) : nullptr;
}

ColorSwatchAccessible::ColorSwatchAccessible(ColorSwatchRow *row, NoteColor color)
    : m_row(row), m_color(color)
{
}

bool ColorSwatchAccessible::isValid() const
{
    return !m_row.isNull();
}

QWindow *ColorSwatchAccessible::window() const
{
    return m_row ? m_row->window()->windowHandle() : nullptr;
}

QAccessibleInterface *ColorSwatchAccessible::parent() const
{
    return QAccessible::queryAccessibleInterface(m_row.data());
}

QString ColorSwatchAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name)
        return NoteColors::displayName(m_color);
    return {};
}

QRect ColorSwatchAccessible::rect() const
{
    if (!m_row)
        return {};
    const QRect local = m_row->swatchRect(m_color).toAlignedRect();
    return QRect(m_row->mapToGlobal(local.topLeft()), local.size());
}

QAccessible::State ColorSwatchAccessible::state() const
{
    QAccessible::State state;
    if (!m_row) {
        state.invalid = true;
        return state;
    }
    state.checkable = true;
    state.checked = m_row->current() == m_color;
    state.invisible = !m_row->isVisible();
    state.disabled = !m_row->isEnabled();
    return state;
}

void *ColorSwatchAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ActionInterface)
        return static_cast<QAccessibleActionInterface *>(this);
    return nullptr;
}

QStringList ColorSwatchAccessible::actionNames() const
{
    return {pressAction()};
}

void ColorSwatchAccessible::doAction(const QString &actionName)
{
    if (m_row && actionName == pressAction() && m_row->isEnabled())
        m_row->pick(m_color);
}
