// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "library/LibraryFilter.h"

#include <QWidget>

// What the library shows instead of its list when a section holds no note: the section's
// symbol, large and faint, over its empty text.
class LibraryEmptyView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int symbolSize = 44;
    static constexpr int textPixelSize = 17;

    explicit LibraryEmptyView(QWidget *parent = nullptr);

    LibraryFilter section() const { return m_section; }
    void setSection(LibraryFilter section);
    QString text() const { return m_section.emptyText(); }
    QString symbol() const { return m_section.symbol(); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    LibraryFilter m_section = LibraryFilter::pinned;
};
