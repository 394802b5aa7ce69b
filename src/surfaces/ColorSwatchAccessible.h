// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/NoteColor.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

class ColorSwatchRow;

// What screen readers and other assistive tools see of a swatch row: a group named for
// what it does, with one pressable, checkable button per colour, named as the tooltips
// name it.
class ColorSwatchRowAccessible : public QAccessibleWidget
{
public:
    explicit ColorSwatchRowAccessible(ColorSwatchRow *row);
    ~ColorSwatchRowAccessible() override;

    // Makes Qt build this interface for every ColorSwatchRow; may be called many times.
    static void install();

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

private:
    ColorSwatchRow *row() const;

    mutable QHash<int, QAccessible::Id> m_children;
};

// One swatch of a row. It has no object of its own: it lives while its row does.
class ColorSwatchAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    ColorSwatchAccessible(ColorSwatchRow *row, NoteColor color);

    bool isValid() const override;
    QObject *object() const override { return nullptr; }
    QWindow *window() const override;
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override;
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override;
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<ColorSwatchRow> m_row;
    NoteColor m_color;
};
