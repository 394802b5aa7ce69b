#pragma once

#include "surfaces/NoteCardChrome.h"
#include "surfaces/NotePaint.h"

#include <QFont>
#include <QStaticText>
#include <QString>

#include <memory>

class CardShadowCache;
class QPainter;

// Paints the chrome of a note card (shadow, paper, border, tab label and perforation) for a
// `NoteCardChrome`. The content of an open card is not drawn here; the card view adds it.
//
// Keeps the laid-out label of the last title it drew, so a painter per card makes repeated
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

private:
    void paintLabel(QPainter &painter, const NoteCardChrome &chrome, const NotePaint &paint,
                    const QString &title);

    std::shared_ptr<CardShadowCache> m_shadows;
    QString m_labelTitle;
    double m_labelLength = -1;
    QStaticText m_label;
};
