// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/TourIllustrations.h"

#include "library/MenuBarContent.h"
#include "library/MenuBarLabel.h"
#include "rail/EdgeFlushShape.h"
#include "rail/RailGeometry.h"
#include "surfaces/CardShadowCache.h"
#include "surfaces/NoteCardChrome.h"
#include "surfaces/NoteCardPainter.h"
#include "surfaces/NoteChromeFonts.h"
#include "surfaces/NoteFontStyle.h"
#include "surfaces/NotePaint.h"
#include "surfaces/WithOpacity.h"

#include <QAction>
#include <QApplication>
#include <QFontMetricsF>
#include <QIcon>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPolygonF>
#include <QUuid>

#include <algorithm>
#include <cmath>

namespace {

double lerp(double a, double b, double t)
{
    return a + (b - a) * t;
}

QRectF lerp(const QRectF &a, const QRectF &b, double t)
{
    return QRectF(lerp(a.x(), b.x(), t), lerp(a.y(), b.y(), t), lerp(a.width(), b.width(), t),
                  lerp(a.height(), b.height(), t));
}

QColor lerp(const QColor &a, const QColor &b, double t)
{
    const double u = std::clamp(t, 0.0, 1.0);
    return QColor::fromRgbF(
        float(lerp(a.redF(), b.redF(), u)), float(lerp(a.greenF(), b.greenF(), u)),
        float(lerp(a.blueF(), b.blueF(), u)), float(lerp(a.alphaF(), b.alphaF(), u)));
}

NotePaint lerp(const NotePaint &a, const NotePaint &b, double t)
{
    return NotePaint{lerp(a.surface, b.surface, t), lerp(a.deep, b.deep, t), lerp(a.ink, b.ink, t)};
}

int phaseRank(NotePhase phase)
{
    switch (phase) {
    case NotePhase::chip:
        return 0;
    case NotePhase::tab:
        return 1;
    case NotePhase::preview:
        return 2;
    }
    return 0;
}

// The stable identity of a sample note, which gives it its tab width and tilt.
QUuid sampleID(int index, const TourNote &note)
{
    static const QUuid space(QStringLiteral("{6f1c2a4e-8d7b-4f0a-9a51-0c7e3b2d9f10}"));
    return QUuid::createUuidV5(space, QString::number(index) + u':' + note.title);
}

// Where one card of the miniature stands, in rail coordinates.
struct CardPose
{
    QRectF frame;
    double tabWidth = 0;
    double tilt = 0;
    double zIndex = 0;
    double dimmed = 0;
    NotePhase phase = NotePhase::chip;
};

RailGeometry geometry(const TourRail &rail, QSizeF railSize)
{
    RailGeometry geometry;
    geometry.edge = ScreenEdge::right;
    for (int i = 0; i < rail.notes().size(); ++i)
        geometry.noteIDs.append(sampleID(i, rail.notes().at(i)));
    geometry.size = railSize;
    geometry.isAwake = rail.isAwake() || rail.isOpen();
    if (rail.isOpen() && TourRail::openNoteIndex < geometry.count())
        geometry.previewNoteID = geometry.noteIDs.at(TourRail::openNoteIndex);
    return geometry;
}

QList<CardPose> poses(const RailGeometry &geometry)
{
    QList<CardPose> result;
    for (int i = 0; i < geometry.count(); ++i) {
        const RailCard card = geometry.card(i);
        result.append(CardPose{card.frame, card.tabWidth, card.tilt, card.zIndex,
                               card.isDimmed ? 1.0 : 0.0, card.phase});
    }
    return result;
}

void paintOpenBody(QPainter &painter, const NoteCardChrome &chrome, const NotePaint &paint,
                   const TourNote &note)
{
    const double opacity = chrome.panelOpacity();
    if (opacity <= 0)
        return;
    painter.save();
    painter.setTransform(chrome.tiltTransform(), true);
    painter.setClipRect(chrome.panelRect());
    painter.setOpacity(painter.opacity() * opacity);
    const QRectF body = chrome.bodyRect().adjusted(22, 22, -26, -20);
    painter.setPen(paint.ink);
    painter.setFont(NoteChromeFonts::windowTitle());
    const QFontMetricsF titleMetrics(painter.font());
    painter.drawText(QRectF(body.left(), body.top(), body.width(), titleMetrics.height()),
                     Qt::AlignLeading | Qt::AlignVCenter, note.title);
    const double lineY = body.top() + titleMetrics.height() + 8;
    painter.setPen(QPen(withOpacity(paint.ink, 0.15), 1));
    painter.drawLine(QPointF(body.left(), lineY), QPointF(body.right(), lineY));
    painter.setPen(paint.ink);
    painter.setFont(NoteChromeFonts::inDesignUnits(NoteFontStyle{}.font()));
    painter.drawText(QRectF(body.left(), lineY + 10, body.width(), body.bottom() - lineY - 10),
                     Qt::AlignLeading | Qt::AlignTop | Qt::TextWordWrap, note.text);
    painter.restore();
}

void paintAddTab(QPainter &painter, const QRectF &rect, double tilt, ColorScheme scheme,
                 double opacity)
{
    if (opacity <= 0.001)
        return;
    const NotePaint paint = NotePaint::neutral(scheme);
    const QRectF paper = rect.adjusted(0, 0, RailMetrics::addTabBleed, 0);
    painter.save();
    painter.setOpacity(painter.opacity() * std::clamp(opacity, 0.0, 1.0));
    painter.translate(paper.right(), paper.center().y());
    painter.rotate(tilt);
    painter.translate(-paper.right(), -paper.center().y());
    const QPainterPath outline = EdgeFlushShape{ScreenEdge::right, 15}.path(paper);
    QLinearGradient gradient(paper.topLeft(), paper.bottomLeft());
    gradient.setColorAt(0, paint.surface);
    gradient.setColorAt(1, paint.deep);
    painter.fillPath(outline, gradient);
    painter.strokePath(outline, QPen(withOpacity(paint.ink, 0.12), 0.8));
    const QPointF centre(rect.center().x() - 4, rect.center().y());
    QPen plus(withOpacity(paint.ink, 0.7), 1.9);
    plus.setCapStyle(Qt::RoundCap);
    painter.setPen(plus);
    painter.drawLine(centre - QPointF(5.5, 0), centre + QPointF(5.5, 0));
    painter.drawLine(centre - QPointF(0, 5.5), centre + QPointF(0, 5.5));
    painter.restore();
}

// The arrow pointer, its tip at `tip`.
void paintPointer(QPainter &painter, const QPointF &tip, double opacity)
{
    if (opacity <= 0.001)
        return;
    QPainterPath arrow;
    arrow.moveTo(0, 0);
    arrow.lineTo(0, 17);
    arrow.lineTo(4.2, 13);
    arrow.lineTo(7, 19.5);
    arrow.lineTo(9.6, 18.4);
    arrow.lineTo(6.9, 12.2);
    arrow.lineTo(12.5, 12.2);
    arrow.closeSubpath();
    painter.save();
    painter.setOpacity(painter.opacity() * std::clamp(opacity, 0.0, 1.0));
    painter.translate(tip);
    painter.setPen(QPen(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(QColor(20, 20, 20));
    painter.drawPath(arrow);
    painter.restore();
}

double awakeAmount(const TourRail &rail)
{
    return rail.isAwake() || rail.isOpen() ? 1 : 0;
}

void paintRail(QPainter &painter, const QRectF &bounds, ColorScheme scheme, const TourRail &from,
               const TourRail &to, double progress, const std::shared_ptr<CardShadowCache> &shadows)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipRect(bounds);
    painter.translate(bounds.topLeft());
    painter.scale(TourRail::scale, TourRail::scale);
    const QSizeF railSize = bounds.size() / TourRail::scale;

    const RailGeometry fromGeometry = geometry(from, railSize);
    const RailGeometry toGeometry = geometry(to, railSize);
    const QList<CardPose> fromPoses = poses(fromGeometry);
    const QList<CardPose> toPoses = poses(toGeometry);
    const double t = progress;
    const double fade = std::clamp(progress, 0.0, 1.0);

    const double awake = lerp(awakeAmount(from), awakeAmount(to), fade);
    paintAddTab(painter, toGeometry.addTabRect(railSize), toGeometry.addTabTilt(), scheme, awake);

    struct Drawn
    {
        int index;
        NoteCardChrome chrome;
        double zIndex;
        double dimmed;
    };
    QList<Drawn> cards;
    const qsizetype count = std::min(fromPoses.size(), toPoses.size());
    for (int i = 0; i < count; ++i) {
        const CardPose &a = fromPoses.at(i);
        const CardPose &b = toPoses.at(i);
        NoteCardChrome chrome;
        chrome.edge = ScreenEdge::right;
        // The richer phase of the two, so a card opening or folding keeps its panel on the way.
        chrome.phase = phaseRank(a.phase) >= phaseRank(b.phase) ? a.phase : b.phase;
        chrome.frame = lerp(a.frame, b.frame, t);
        chrome.tabWidth = lerp(a.tabWidth, b.tabWidth, t);
        chrome.tilt = lerp(a.tilt, b.tilt, t);
        cards.append(
            Drawn{i, chrome, fade < 0.5 ? a.zIndex : b.zIndex, lerp(a.dimmed, b.dimmed, fade)});
    }
    std::stable_sort(cards.begin(), cards.end(),
                     [](const Drawn &x, const Drawn &y) { return x.zIndex < y.zIndex; });

    NoteCardPainter cardPainter(shadows);
    for (const Drawn &card : std::as_const(cards)) {
        const TourNote &note = to.notes().at(card.index);
        const NotePaint plain = NoteColors::paint(note.color, scheme);
        const NotePaint paint = lerp(plain, plain.dimmed(scheme), card.dimmed);
        cardPainter.paintDirectly(painter, card.chrome, paint, note.title);
        if (card.chrome.phase == NotePhase::preview)
            paintOpenBody(painter, card.chrome, paint, note);
    }

    // The pointer resting by the edge is what woke the rail.
    const double pointer =
        lerp(from.isAwake() && !from.isOpen() ? 1 : 0, to.isAwake() && !to.isOpen() ? 1 : 0, fade);
    if (count > 2) {
        const QRectF middle = toGeometry.itemRect(2);
        paintPointer(painter, QPointF(middle.left() - 26, middle.center().y() + 6), pointer);
    }
    painter.restore();
}

void paintShadowedRoundedRect(QPainter &painter, const QRectF &rect, double radius,
                              const QColor &fill, const QColor &border)
{
    for (int i = 1; i <= 6; ++i) {
        QPainterPath shadow;
        shadow.addRoundedRect(rect.adjusted(-i, -i + 3, i, i + 3), radius + i, radius + i);
        painter.fillPath(shadow, QColor(0, 0, 0, 7));
    }
    QPainterPath outline;
    outline.addRoundedRect(rect, radius, radius);
    painter.fillPath(outline, fill);
    painter.strokePath(outline, QPen(border, 0.8));
}

// A small tilted note with a few lines of "writing".
void paintMiniNote(QPainter &painter, const QPointF &centre, double tilt, NoteColor color,
                   ColorScheme scheme)
{
    const NotePaint paint = NoteColors::paint(color, scheme);
    const QRectF paper(-30, -24, 60, 48);
    painter.save();
    painter.translate(centre);
    painter.rotate(tilt);
    for (int i = 1; i <= 4; ++i) {
        QPainterPath shadow;
        shadow.addRoundedRect(paper.adjusted(-i, -i + 2, i, i + 2), 6 + i, 6 + i);
        painter.fillPath(shadow, QColor(0, 0, 0, 8));
    }
    QPainterPath outline;
    outline.addRoundedRect(paper, 6, 6);
    QLinearGradient gradient(paper.topLeft(), paper.bottomLeft());
    gradient.setColorAt(0, paint.surface);
    gradient.setColorAt(1, paint.deep);
    painter.fillPath(outline, gradient);
    QPen line(withOpacity(paint.ink, 0.45), 2.2);
    line.setCapStyle(Qt::RoundCap);
    painter.setPen(line);
    for (int row = 0; row < 3; ++row) {
        const double y = paper.top() + 13 + row * 10;
        const double end = paper.right() - 10 - (row == 2 ? 16 : row * 5);
        painter.drawLine(QPointF(paper.left() + 10, y), QPointF(end, y));
    }
    painter.restore();
}

} // namespace

// --- TourRail ---

const QList<TourNote> &TourRail::sampleNotes()
{
    static const QList<TourNote> notes = {
        {QStringLiteral("Compra"), QStringLiteral("pan\nleche\ncafé de la tienda"),
         NoteColor::citrus},
        {QStringLiteral("Llamar al fontanero"),
         QStringLiteral("Antes del viernes\nEs el baño de arriba"), NoteColor::coral},
        {QStringLiteral("Sábado"), QStringLiteral("playa si hace bueno"), NoteColor::rose},
        {QStringLiteral("Wifi"), QStringLiteral("la del papel del cajón"), NoteColor::lavender},
        {QStringLiteral("Lucía"), QStringLiteral("cumple el 14 de marzo"), NoteColor::sky},
    };
    return notes;
}

TourRail::TourRail(bool awake, bool open, QList<TourNote> notes)
    : m_awake(awake), m_open(open), m_notes(std::move(notes)),
      m_shadows(std::make_shared<CardShadowCache>(4 * 1024 * 1024))
{
}

void TourRail::paint(QPainter &painter, const QRectF &bounds, ColorScheme scheme) const
{
    paintRail(painter, bounds, scheme, *this, *this, 1, m_shadows);
}

void TourRail::paintBetween(QPainter &painter, const QRectF &bounds, ColorScheme scheme,
                            const TourRail &from, const TourRail &to, double progress)
{
    paintRail(painter, bounds, scheme, from, to, progress, to.m_shadows);
}

// --- TourMenuBar ---

TourMenuBar::TourMenuBar()
{
    // Read from the application's own menu, so the drawing never tells another story.
    const MenuBarContent menu{MenuBarContent::Actions{}};
    for (QAction *action : menu.menu()->actions())
        m_items.append(Item{action->text(), action->shortcut(), action->isSeparator()});
}

void TourMenuBar::paint(QPainter &painter, const QRectF &bounds, ColorScheme scheme) const
{
    painter.save();
    painter.setClipRect(bounds);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(bounds.topLeft());
    const double width = bounds.width();
    const bool dark = scheme == ColorScheme::dark;

    // The top bar of the desktop.
    const double barHeight = 28;
    painter.fillRect(QRectF(0, 0, width, barHeight), QColor(28, 28, 30, 235));
    QFont barFont = NoteChromeFonts::systemFont(12, QFont::Medium);
    painter.setFont(barFont);
    painter.setPen(QColor(235, 235, 235));
    painter.drawText(QRectF(width - 64, 0, 52, barHeight), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("9:41"));
    // Other programs' icons beside ours.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(235, 235, 235, 110));
    for (int i = 0; i < 3; ++i)
        painter.drawRoundedRect(QRectF(width - 92 - i * 24, 9, 12, 10), 2.5, 2.5);

    const QRectF iconBox(width - 262, 3, 26, barHeight - 6);
    painter.setBrush(QColor(255, 255, 255, 55));
    painter.drawRoundedRect(iconBox, 5, 5);
    const QPixmap icon = MenuBarLabel::noteTextIcon().pixmap(16, 16);
    painter.drawPixmap(QPointF(iconBox.center().x() - 8, iconBox.center().y() - 8), icon);

    // The menu, dropped from the icon.
    const double rowHeight = 26;
    const double separatorHeight = 11;
    double menuHeight = 10;
    for (const Item &item : m_items)
        menuHeight += item.isSeparator ? separatorHeight : rowHeight;
    const QRectF menu(iconBox.left() - 6, barHeight + 5, 246, menuHeight);
    const QColor menuFill = dark ? QColor(44, 44, 48) : QColor(250, 250, 250);
    const QColor text = dark ? QColor(236, 236, 236) : QColor(30, 30, 30);
    QColor secondary = text;
    secondary.setAlphaF(0.5);
    paintShadowedRoundedRect(painter, menu, 9, menuFill,
                             dark ? QColor(255, 255, 255, 30) : QColor(0, 0, 0, 30));

    const QColor highlight = QApplication::palette().color(QPalette::Highlight);
    const QFont itemFont = NoteChromeFonts::systemFont(13, QFont::Normal);
    double y = menu.top() + 5;
    bool first = true;
    for (const Item &item : m_items) {
        if (item.isSeparator) {
            painter.setPen(QPen(withOpacity(text, 0.15), 1));
            painter.drawLine(QPointF(menu.left() + 12, y + separatorHeight / 2),
                             QPointF(menu.right() - 12, y + separatorHeight / 2));
            y += separatorHeight;
            continue;
        }
        const QRectF row(menu.left() + 5, y, menu.width() - 10, rowHeight);
        // The first item, "Nueva nota", is the one the pointer is on.
        if (first) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(highlight);
            painter.drawRoundedRect(row, 5, 5);
        }
        painter.setFont(itemFont);
        painter.setPen(first ? QColor(Qt::white) : text);
        painter.drawText(row.adjusted(10, 0, -10, 0), Qt::AlignLeft | Qt::AlignVCenter, item.text);
        painter.setPen(first ? QColor(255, 255, 255, 190) : secondary);
        painter.drawText(row.adjusted(10, 0, -10, 0), Qt::AlignRight | Qt::AlignVCenter,
                         item.shortcut.toString(QKeySequence::NativeText));
        y += rowHeight;
        first = false;
    }

    // A note just made from the menu, at the edge below.
    NoteCardChrome chrome;
    chrome.edge = ScreenEdge::right;
    chrome.phase = NotePhase::tab;
    chrome.tabWidth = 74;
    chrome.tilt = -1.2;
    chrome.frame = QRectF(width - 74, menu.bottom() + 40, 74, 96);
    if (chrome.frame.bottom() < bounds.height() - 10) {
        NoteCardPainter cards;
        cards.paintDirectly(painter, chrome, NoteColors::paint(NoteColor::mint, scheme),
                            QStringLiteral("Idea"));
    }
    painter.restore();
}

// --- TourCloud ---

void TourCloud::paintSymbol(QPainter &painter, const QRectF &rect, const QColor &fill,
                            const QColor &ink)
{
    // The cloud: three bumps over a rounded base, in a 100 × 70 design.
    const double sx = rect.width() / 100;
    const double sy = rect.height() / 70;
    auto at = [&](double x, double y) {
        return QPointF(rect.left() + x * sx, rect.top() + y * sy);
    };
    // One outline: each bump joins the base in turn.
    QPainterPath cloud;
    cloud.addRoundedRect(QRectF(at(6, 34), at(94, 68)), 17 * sy, 17 * sy);
    for (const QRectF &bump : {QRectF(at(14, 22), at(48, 56)), QRectF(at(30, 2), at(76, 48)),
                               QRectF(at(58, 20), at(90, 52))}) {
        QPainterPath circle;
        circle.addEllipse(bump);
        cloud = cloud.united(circle);
    }
    cloud = cloud.simplified();

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(cloud, fill);
    QPen outline(ink, 3.2 * std::min(sx, sy));
    outline.setJoinStyle(Qt::RoundJoin);
    painter.strokePath(cloud, outline);

    // Two arrows turning clockwise round the middle of the cloud.
    const QPointF centre = at(50, 43);
    const double radius = 13 * std::min(sx, sy);
    QPen arrowPen(ink, 3 * std::min(sx, sy));
    arrowPen.setCapStyle(Qt::RoundCap);
    arrowPen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(arrowPen);
    painter.setBrush(Qt::NoBrush);
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    for (const double start : {170.0, -10.0}) {
        const double sweep = -130; // clockwise on screen
        QPainterPath arc;
        arc.arcMoveTo(circle, start);
        arc.arcTo(circle, start, sweep);
        painter.drawPath(arc);
        const double end = qDegreesToRadians(start + sweep);
        const QPointF tip(centre.x() + radius * std::cos(end), centre.y() - radius * std::sin(end));
        // Moving clockwise, the arc heads this way at its end.
        const QPointF heading(std::sin(end), std::cos(end));
        const double head = 5 * std::min(sx, sy);
        QPolygonF arrowHead;
        arrowHead << tip + heading * head * 0.9;
        for (const double turn : {120.0, -120.0}) {
            const double a = qDegreesToRadians(turn);
            const QPointF side(heading.x() * std::cos(a) - heading.y() * std::sin(a),
                               heading.x() * std::sin(a) + heading.y() * std::cos(a));
            arrowHead << tip + side * head;
        }
        painter.save();
        painter.setBrush(ink);
        painter.drawPolygon(arrowHead);
        painter.restore();
    }
    painter.restore();
}

void TourCloud::paint(QPainter &painter, const QRectF &bounds, ColorScheme scheme) const
{
    painter.save();
    painter.setClipRect(bounds);
    painter.setRenderHint(QPainter::Antialiasing);
    const NotePaint sky = NoteColors::paint(NoteColor::sky, scheme);
    const QSizeF symbolSize(180, 126);
    const QRectF symbol(bounds.center().x() - symbolSize.width() / 2,
                        bounds.center().y() - symbolSize.height() / 2 - 20, symbolSize.width(),
                        symbolSize.height());
    paintSymbol(painter, symbol, sky.surface, sky.ink);

    // Notes going up from one computer and coming down on another.
    const double y = symbol.bottom() + 70;
    QPen path(withOpacity(sky.ink, 0.35), 1.6, Qt::DashLine);
    path.setCapStyle(Qt::RoundCap);
    painter.setPen(path);
    painter.setBrush(Qt::NoBrush);
    QPainterPath up;
    up.moveTo(bounds.center().x() - 120, y - 30);
    up.quadTo(bounds.center().x() - 120, symbol.bottom() - 10, symbol.left() + 20,
              symbol.bottom() - 20);
    painter.drawPath(up);
    QPainterPath down;
    down.moveTo(symbol.right() - 20, symbol.bottom() - 20);
    down.quadTo(bounds.center().x() + 120, symbol.bottom() - 10, bounds.center().x() + 120, y - 30);
    painter.drawPath(down);
    paintMiniNote(painter, QPointF(bounds.center().x() - 120, y), -6, NoteColor::citrus, scheme);
    paintMiniNote(painter, QPointF(bounds.center().x() + 120, y), 5, NoteColor::citrus, scheme);
    paintMiniNote(painter, QPointF(bounds.center().x(), y + 18), -2, NoteColor::coral, scheme);
    painter.restore();
}

// --- The drawings together ---

namespace TourIllustrations {

QColor background(ColorScheme scheme)
{
    return scheme == ColorScheme::dark ? QColor(38, 41, 48) : QColor(236, 240, 246);
}

void paint(QPainter &painter, const TourIllustration &illustration, const QRectF &bounds,
           ColorScheme scheme)
{
    std::visit([&](const auto &drawing) { drawing.paint(painter, bounds, scheme); }, illustration);
}

void paintTransition(QPainter &painter, const TourIllustration &from, const TourIllustration &to,
                     double progress, const QRectF &bounds, ColorScheme scheme)
{
    const auto *fromRail = std::get_if<TourRail>(&from);
    const auto *toRail = std::get_if<TourRail>(&to);
    if (fromRail && toRail) {
        TourRail::paintBetween(painter, bounds, scheme, *fromRail, *toRail, progress);
        return;
    }
    const double fade = std::clamp(progress, 0.0, 1.0);
    if (fade < 1) {
        painter.save();
        painter.setOpacity(1 - fade);
        paint(painter, from, bounds, scheme);
        painter.restore();
    }
    painter.save();
    painter.setOpacity(fade);
    // The new drawing rises into place as it appears.
    painter.translate(0, 14 * (1 - progress));
    paint(painter, to, bounds, scheme);
    painter.restore();
}

} // namespace TourIllustrations
