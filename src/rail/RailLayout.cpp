// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/RailLayout.h"

#include <algorithm>

RailLayout RailLayout::make(QSizeF size, int count, bool awake)
{
    using namespace RailMetrics;
    RailLayout layout;
    layout.count = std::max(count, 0);
    layout.size = size;
    layout.spacing = awake ? awakeSpacing : asleepSpacing;
    layout.trailing = awake ? awakeTrailing : asleepTrailing;
    const double largest = awake ? awakeLargestItemHeight : asleepLargestItemHeight;
    const double smallest = awake ? awakeSmallestItemHeight : asleepSmallestItemHeight;
    if (layout.count >= 2) {
        const double fitting = (size.height() - layout.trailing - verticalReserve -
                                (layout.count - 1) * layout.spacing) /
                               layout.count;
        // The upper bound first, so a crowded rail still never shrinks below the smallest.
        layout.itemHeight = std::max(std::min(fitting, largest), smallest);
    } else {
        layout.itemHeight = largest;
    }
    return layout;
}

double RailLayout::stackHeight() const
{
    if (count <= 0)
        return trailing;
    double height = count * itemHeight + (count - 1) * spacing;
    if (trailing > 0)
        height += spacing + trailing;
    return height;
}

double RailLayout::top() const
{
    return std::max((size.height() - stackHeight()) * 0.5, RailMetrics::minimumTop);
}

double RailLayout::itemY(int index) const
{
    return top() + index * (itemHeight + spacing);
}

double RailLayout::trailingY() const
{
    return top() + stackHeight() - trailing;
}

QRectF RailLayout::band(ScreenEdge edge, double width, double margin) const
{
    const double x = edge == ScreenEdge::right ? size.width() - width : 0;
    return QRectF(x, std::max(0.0, top() - margin), width, stackHeight() + 2 * margin);
}
