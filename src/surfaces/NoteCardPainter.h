// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "surfaces/NoteCardChrome.h"
#include "surfaces/NotePaint.h"

#include <QFont>
#include <QImage>
#include <QStaticText>
#include <QString>

#include <memory>

class CardShadowCache;
class QPainter;

// Paints the chrome of a note card (shadow, paper, border, tab label and perforation) for a
// `NoteCardChrome`. The content of an open card is not drawn here; the card view adds it.
//
// Keeps the last picture it painted (shadow, turned paper and label together) and blits it
// again while nothing but the card's position changes, so a painter per card makes repeated
// frames cheap. Shadows come from a cache that many painters may share.
class NoteCardPainter
{
public:
    explicit NoteCardPainter(std::shared_ptr<CardShadowCache> shadows = {});

    // The card for `chrome` in `paint`, with `title` (the note's display title) on its tab.
    void paint(QPainter &painter, const NoteCardChrome &chrome, const NotePaint &paint,
               const QString &title);

    // The text the tab shows for `title` in a label box `length` long: upper case, cut
    // short with an ellipsis when it does not fit.
    static QString labelText(const QString &title, double length);
    // The tab label's font: the chrome's label font with its letter spacing.
    static const QFont &labelFont();

    const std::shared_ptr<CardShadowCache> &shadows() const { return m_shadows; }

    // Paints without the layer: every part drawn afresh.
    void paintDirectly(QPainter &painter, const NoteCardChrome &chrome, const NotePaint &paint,
                       const QString &title);

private:
    // Everything that changes the card's picture, apart from where it lies.
    struct LayerKey
    {
        NoteCardChrome chrome; // with the frame moved to the origin
        NotePaint paint;
        QString title;
        double pixelRatio = 1;
        friend bool operator==(const LayerKey &, const LayerKey &) = default;
    };

    void paintLabel(QPainter &painter, const NoteCardChrome &chrome, const NotePaint &paint,
                    const QString &title);

    std::shared_ptr<CardShadowCache> m_shadows;
    QString m_labelTitle;
    double m_labelLength = -1;
    QStaticText m_label;
    LayerKey m_layerKey;
    QImage m_layer;
    QPointF m_layerOrigin; // where the frame's top-left lies in the layer, in pixels
};
