// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/StyledTextDocument.h"

#include <QFont>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace StyledTextDocument {

QTextCharFormat charFormat(const TextAttributes &attributes)
{
    QTextCharFormat format;
    if (attributes.bold)
        format.setFontWeight(QFont::Bold);
    if (attributes.italic)
        format.setFontItalic(true);
    if (attributes.underline)
        format.setFontUnderline(true);
    if (attributes.strikethrough)
        format.setFontStrikeOut(true);
    if (!attributes.fontFamily.isEmpty())
        format.setFontFamilies(QStringList{attributes.fontFamily});
    if (attributes.pointSize > 0)
        format.setFontPointSize(attributes.pointSize);
    if (attributes.foreground && attributes.foreground->isValid())
        format.setForeground(*attributes.foreground);
    return format;
}

TextAttributes attributes(const QTextCharFormat &format)
{
    TextAttributes result;
    result.bold = format.fontWeight() >= QFont::DemiBold;
    result.italic = format.fontItalic();
    result.underline = format.fontUnderline();
    result.strikethrough = format.fontStrikeOut();
    if (format.hasProperty(QTextFormat::FontFamilies)) {
        const QStringList families = format.fontFamilies().toStringList();
        if (!families.isEmpty())
            result.fontFamily = families.first();
    } else if (format.hasProperty(QTextFormat::OldFontFamily)) {
        // The single-family property of Qt before 6.1, which formats may still carry.
        result.fontFamily = format.stringProperty(QTextFormat::OldFontFamily);
    }
    if (format.hasProperty(QTextFormat::FontPointSize) && format.fontPointSize() > 0)
        result.pointSize = format.fontPointSize();
    if (format.hasProperty(QTextFormat::ForegroundBrush)) {
        const QBrush brush = format.foreground();
        if (brush.style() != Qt::NoBrush)
            result.foreground = brush.color();
    }
    return result;
}

StyledText toStyledText(const QTextDocument &document)
{
    StyledText text;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin()) {
            // The separator before a block carries the block's own character format.
            text.append(QStringLiteral("\n"), attributes(block.charFormat()));
        }
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextFragment piece = fragment.fragment();
            if (piece.isValid())
                text.append(piece.text(), attributes(piece.charFormat()));
        }
    }
    return text;
}

void setStyledText(QTextDocument &document, const StyledText &text)
{
    // Loading is not an edit the user could undo.
    const bool undoRedoEnabled = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    QTextCursor cursor(&document);
    const QStringView characters(text.text());
    for (const StyledRun &run : text.runs()) {
        const QTextCharFormat format = charFormat(run.attributes);
        const QStringView piece = characters.mid(run.start, run.length);
        qsizetype lineStart = 0;
        for (qsizetype i = 0; i <= piece.size(); ++i) {
            if (i < piece.size() && piece.at(i) != u'\n')
                continue;
            if (i > lineStart)
                cursor.insertText(piece.mid(lineStart, i - lineStart).toString(), format);
            if (i < piece.size())
                cursor.insertBlock(QTextBlockFormat(), format);
            lineStart = i + 1;
        }
    }
    document.setUndoRedoEnabled(undoRedoEnabled);
}

} // namespace StyledTextDocument
