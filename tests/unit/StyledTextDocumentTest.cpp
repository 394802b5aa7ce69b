// SPDX-License-Identifier: GPL-3.0-or-later
#include "RandomStyledText.h"

#include "model/RichTextCoder.h"
#include "surfaces/StyledTextDocument.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFont>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

StyledText throughDocument(const StyledText &text)
{
    QTextDocument document;
    StyledTextDocument::setStyledText(document, text);
    return StyledTextDocument::toStyledText(document);
}

TextAttributes bold()
{
    TextAttributes attributes;
    attributes.bold = true;
    return attributes;
}

} // namespace

TEST(StyledTextDocument, RandomStyledTextSurvivesTheDocument)
{
    RandomStyledText random(31337);
    for (int i = 0; i < 300; ++i) {
        const StyledText original = random.next();
        ASSERT_EQ(throughDocument(original), original) << original.text().toStdString();
    }
}

TEST(StyledTextDocument, DecodedDocumentsSurviveTheEditorUnchanged)
{
    // An editor that opens a note and closes it without typing must see no change.
    for (const char *name : {"pandoc-nota.rtf", "libreoffice-nota.rtf", "libreoffice-colores.rtf",
                             "libreoffice-orlette.rtf", "orlette-ejemplo.rtf"}) {
        QFile file(QStringLiteral(ORLETTE_TEST_DATA "/rtf/") + QString::fromLatin1(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name;
        const StyledText decoded = RichTextCoder::decode(file.readAll());
        ASSERT_FALSE(decoded.isEmpty()) << name;
        EXPECT_EQ(throughDocument(decoded), decoded) << name;
    }
}

TEST(StyledTextDocument, CharactersTheReaderCanGiveSurviveTheDocument)
{
    const StyledText decoded = RichTextCoder::decode(
        QByteArray("{\\rtf1 a\\~b\\-c\\_d\\tab e\\line f\\u0?g\\u7?h\\u65532?i\\u65279?j\\u8203?k"
                   "\\u11?l\\u12?m\\u8232?n\\u65533?o\\par p}"));
    ASSERT_EQ(decoded.text().size(), 31);
    EXPECT_EQ(throughDocument(decoded), decoded);
}

TEST(StyledTextDocument, ParagraphsAreBlocksAndLineBreaksStayInside)
{
    StyledText text;
    text.append(QStringLiteral("Título\n"), bold());
    text.append(QStringLiteral("uno\u2028dos\n\ntres"));
    QTextDocument document;
    StyledTextDocument::setStyledText(document, text);

    ASSERT_EQ(document.blockCount(), 4);
    EXPECT_EQ(document.findBlockByNumber(0).text(), QStringLiteral("Título"));
    EXPECT_EQ(document.findBlockByNumber(1).text(), QStringLiteral("uno\u2028dos"));
    EXPECT_EQ(document.findBlockByNumber(2).text(), QString());
    EXPECT_EQ(document.findBlockByNumber(3).text(), QStringLiteral("tres"));
    EXPECT_EQ(document.findBlockByNumber(0).begin().fragment().charFormat().fontWeight(),
              QFont::Bold);
    EXPECT_EQ(StyledTextDocument::toStyledText(document), text);
}

TEST(StyledTextDocument, UnsetAttributesLeaveTheEditorsDefaults)
{
    const QTextCharFormat plain = StyledTextDocument::charFormat(TextAttributes{});
    EXPECT_TRUE(plain.properties().isEmpty());

    TextAttributes all;
    all.bold = all.italic = all.underline = all.strikethrough = true;
    all.fontFamily = QStringLiteral("DejaVu Serif");
    all.pointSize = 13.5;
    all.foreground = QColor(10, 20, 30);
    const QTextCharFormat format = StyledTextDocument::charFormat(all);
    EXPECT_EQ(format.fontWeight(), QFont::Bold);
    EXPECT_TRUE(format.fontItalic());
    EXPECT_TRUE(format.fontUnderline());
    EXPECT_TRUE(format.fontStrikeOut());
    EXPECT_EQ(format.fontFamilies().toStringList(), QStringList{QStringLiteral("DejaVu Serif")});
    EXPECT_EQ(format.fontPointSize(), 13.5);
    EXPECT_EQ(format.foreground().color(), QColor(10, 20, 30));
    EXPECT_EQ(StyledTextDocument::attributes(format), all);
}

TEST(StyledTextDocument, ReadsWhatTheUserTyped)
{
    QTextDocument document;
    StyledTextDocument::setStyledText(document, StyledText::plain(QStringLiteral("Hola")));
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat heavy;
    heavy.setFontWeight(QFont::Black);
    cursor.insertText(QStringLiteral(" mundo"), heavy);
    cursor.insertBlock();
    cursor.insertText(QStringLiteral("¿sí?"));
    // A face the user picked through the older single-family property still counts.
    QTextCharFormat oldFamily;
    oldFamily.setProperty(QTextFormat::OldFontFamily, QStringLiteral("Caveat"));
    cursor.insertText(QStringLiteral("!"), oldFamily);

    const StyledText text = StyledTextDocument::toStyledText(document);
    EXPECT_EQ(text.text(), QStringLiteral("Hola mundo\n¿sí?!"));
    EXPECT_TRUE(text.attributesAt(5).bold);
    EXPECT_FALSE(text.attributesAt(3).bold);
    EXPECT_EQ(text.attributesAt(text.text().size() - 1).fontFamily, QStringLiteral("Caveat"));
}

TEST(StyledTextDocument, LoadingIsNotAnUndoableEdit)
{
    QTextDocument document;
    document.setPlainText(QStringLiteral("antes"));
    StyledTextDocument::setStyledText(document, StyledText::plain(QStringLiteral("después")));
    EXPECT_FALSE(document.isUndoAvailable());
    EXPECT_TRUE(document.isUndoRedoEnabled());
    EXPECT_EQ(document.toPlainText(), QStringLiteral("después"));

    StyledTextDocument::setStyledText(document, StyledText());
    EXPECT_TRUE(document.isEmpty());
    EXPECT_TRUE(StyledTextDocument::toStyledText(document).isEmpty());
}
