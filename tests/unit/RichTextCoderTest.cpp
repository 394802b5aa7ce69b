// SPDX-License-Identifier: GPL-3.0-or-later
#include "RandomStyledText.h"

#include "model/Note.h"
#include "model/RichTextCoder.h"
#include "model/RtfReader.h"

#include <gtest/gtest.h>

#include <QFile>

#include <random>

namespace {

QByteArray rtf(const char *text)
{
    return QByteArray(text);
}

QByteArray dataFile(const QString &name)
{
    QFile file(QStringLiteral(ORLETTE_TEST_DATA "/rtf/") + name);
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "cannot open " << file.fileName().toStdString();
    return file.readAll();
}

// The attributes of the first occurrence of `piece`, checked to be the same over all of it.
TextAttributes attributesOf(const StyledText &text, const QString &piece)
{
    const qsizetype at = text.text().indexOf(piece);
    if (at < 0) {
        ADD_FAILURE() << "no " << piece.toStdString() << " in " << text.text().toStdString();
        return {};
    }
    const TextAttributes first = text.attributesAt(at);
    for (qsizetype i = at; i < at + piece.size(); ++i) {
        if (!(text.attributesAt(i) == first))
            ADD_FAILURE() << "attributes change inside " << piece.toStdString();
    }
    return first;
}

TextAttributes makeAttributes(bool bold, bool italic, bool underline = false,
                              bool strikethrough = false)
{
    TextAttributes attributes;
    attributes.bold = bold;
    attributes.italic = italic;
    attributes.underline = underline;
    attributes.strikethrough = strikethrough;
    return attributes;
}

// Runs cover the text in order without gaps, neighbours differ, and every surrogate has
// its pair.
void expectWellFormed(const StyledText &text)
{
    qsizetype expectedStart = 0;
    for (qsizetype i = 0; i < text.runs().size(); ++i) {
        const StyledRun &run = text.runs().at(i);
        EXPECT_EQ(run.start, expectedStart);
        EXPECT_GT(run.length, 0);
        if (i > 0) {
            EXPECT_FALSE(run.attributes == text.runs().at(i - 1).attributes);
        }
        expectedStart = run.start + run.length;
    }
    EXPECT_EQ(expectedStart, text.text().size());
    const QString &characters = text.text();
    for (qsizetype i = 0; i < characters.size(); ++i) {
        if (characters.at(i).isHighSurrogate()) {
            ASSERT_TRUE(i + 1 < characters.size() && characters.at(i + 1).isLowSurrogate());
            ++i;
        } else {
            EXPECT_FALSE(characters.at(i).isLowSurrogate());
        }
    }
}

const QString grinning = QString::fromUtf16(u"\U0001F600");

} // namespace

// --- Round trips -------------------------------------------------------------------------

TEST(RichTextCoder, RandomStyledTextSurvivesEncodeThenDecode)
{
    RandomStyledText random(20240611);
    for (int i = 0; i < 400; ++i) {
        const StyledText original = random.next();
        const QByteArray encoded = RichTextCoder::encode(original);
        const StyledText decoded = RichTextCoder::decode(encoded);
        ASSERT_EQ(decoded.text(), original.text()) << encoded.toStdString();
        ASSERT_TRUE(decoded == original) << encoded.toStdString();
    }
}

TEST(RichTextCoder, EncodedDocumentIsSevenBitRtf)
{
    StyledText text;
    text.append(QStringLiteral("¿Señal “roja”? ¡Sí! € ") + grinning);
    const QByteArray encoded = RichTextCoder::encode(text);
    EXPECT_TRUE(encoded.startsWith("{\\rtf1\\ansi\\ansicpg1252")) << encoded.toStdString();
    EXPECT_TRUE(encoded.contains("{\\fonttbl"));
    EXPECT_TRUE(encoded.contains("{\\colortbl;"));
    EXPECT_TRUE(encoded.trimmed().endsWith('}'));
    for (const char byte : encoded)
        ASSERT_LT(static_cast<unsigned char>(byte), 0x80) << encoded.toStdString();
    // Latin letters keep their code page byte as fallback, others a question mark; units
    // above 32767 are negative, and a character beyond 16 bits is two escapes.
    EXPECT_TRUE(encoded.contains("\\u191\\'bfSe\\u241\\'f1al \\u8220\\'93roja\\u8221\\'94?"))
        << encoded.toStdString();
    EXPECT_TRUE(encoded.contains("\\u8364\\'80"));
    EXPECT_TRUE(encoded.contains("\\u-10179?\\u-8704?"));
}

TEST(RichTextCoder, EncodeWritesStandardControlWords)
{
    StyledText text;
    TextAttributes styled = makeAttributes(true, true, true, true);
    styled.fontFamily = QStringLiteral("DejaVu Sans");
    styled.pointSize = 15;
    styled.foreground = QColor(200, 30, 40);
    text.append(QStringLiteral("a\\b{c}\td\u2028e\nf"), styled);
    const QByteArray encoded = RichTextCoder::encode(text);
    EXPECT_TRUE(encoded.contains("{\\f1\\fnil\\fcharset0 DejaVu Sans;}")) << encoded.toStdString();
    EXPECT_TRUE(encoded.contains("\\red200\\green30\\blue40;"));
    EXPECT_TRUE(encoded.contains("\\f1\\fs30\\b\\i\\ul\\strike\\cf1 "));
    EXPECT_TRUE(encoded.contains("a\\\\b\\{c\\}\\tab d\\line e\\par\nf"));
}

TEST(RichTextCoder, ParagraphSeparatorsOfEveryKindReadBackAsLineFeeds)
{
    const StyledText text = StyledText::plain(QStringLiteral("uno\r\ndos\rtres\u2029cuatro"));
    EXPECT_EQ(RichTextCoder::decode(RichTextCoder::encode(text)).text(),
              QStringLiteral("uno\ndos\ntres\ncuatro"));
}

TEST(RichTextCoder, EmptyTextIsAnEmptyDocument)
{
    const QByteArray encoded = RichTextCoder::encode(StyledText());
    EXPECT_TRUE(encoded.startsWith("{\\rtf1")) << encoded.toStdString();
    EXPECT_EQ(encoded.count('{'), encoded.count('}'));
    const StyledText decoded = RichTextCoder::decode(encoded);
    EXPECT_TRUE(decoded.isEmpty());
    EXPECT_TRUE(decoded.runs().isEmpty());
}

// --- Text that cannot be written ---------------------------------------------------------

TEST(RichTextCoder, HalfASurrogatePairIsNotRepresentable)
{
    const QChar high = grinning.at(0);
    const QChar low = grinning.at(1);
    for (const QString &broken : {QString(high), QStringLiteral("a") + low + QStringLiteral("b"),
                                  QString(low) + high, QStringLiteral("fin ") + high}) {
        StyledText text;
        text.append(QStringLiteral("bien "), makeAttributes(true, false));
        text.append(broken);
        EXPECT_THROW(RichTextCoder::encode(text), RichTextCoder::Failure);
        try {
            RichTextCoder::encode(text);
        } catch (RichTextCoder::Failure failure) {
            EXPECT_EQ(failure, RichTextCoder::Failure::notRepresentableAsRTF);
        }
    }
    EXPECT_NO_THROW(RichTextCoder::encode(StyledText::plain(grinning + grinning)));
}

TEST(RichTextCoder, NoteWithUnwritableBodyKeepsItsPlainTextAndOpensWithIt)
{
    const QString body = QStringLiteral("Lista\nmedia ") + grinning.at(0);
    Note note;
    note.setRichText(RichTextCoder::encode(StyledText::plain(QStringLiteral("antes"))));
    note.setText(StyledText::plain(body));
    EXPECT_TRUE(note.richText().isEmpty());
    EXPECT_EQ(note.plainText(), body);
    EXPECT_EQ(RichTextCoder::decodeForEditor(note.richText(), note.plainText()).text(), body);
}

// --- Opening a note in the editor --------------------------------------------------------

TEST(RichTextCoder, EditorFallsBackToPlainTextOnlyWhenTheRtfGivesNothing)
{
    const QString plain = QStringLiteral("Comprar pan\nY leche");
    for (const QByteArray &unreadable :
         {QByteArray(), rtf("no es rtf"), rtf("{\\rtf1"), RichTextCoder::encode(StyledText())}) {
        const StyledText opened = RichTextCoder::decodeForEditor(unreadable, plain);
        EXPECT_EQ(opened, StyledText::plain(plain)) << unreadable.toStdString();
    }

    StyledText stored;
    stored.append(QStringLiteral("Comprar "));
    stored.append(QStringLiteral("pan"), makeAttributes(true, false));
    EXPECT_EQ(RichTextCoder::decodeForEditor(RichTextCoder::encode(stored), plain), stored);

    EXPECT_TRUE(RichTextCoder::decodeForEditor(rtf("basura"), QString()).isEmpty());
}

// --- Documents of other word processors --------------------------------------------------

TEST(RichTextCoder, ReadsPandocDocument)
{
    const StyledText text = RichTextCoder::decode(dataFile(QStringLiteral("pandoc-nota.rtf")));
    expectWellFormed(text);
    EXPECT_EQ(text.text(), QStringLiteral("¿Qué tal? ¡Mañana comemos paella en Córdoba!\n"
                                          "El niño dijo: “Hola” y ‘adiós’ — con ñandú, pingüino y "
                                          "acción \U0001F389 \U0001F600.\n"
                                          "Negrita y cursiva y tachado al final.\n"));
    EXPECT_EQ(attributesOf(text, QStringLiteral("¿Qué tal? ¡Mañana ")), TextAttributes{});
    EXPECT_EQ(attributesOf(text, QStringLiteral("comemos")), makeAttributes(true, false));
    EXPECT_EQ(attributesOf(text, QStringLiteral("Córdoba")), makeAttributes(false, true));
    EXPECT_EQ(attributesOf(text, QStringLiteral("Negrita y cursiva")), makeAttributes(true, true));
    EXPECT_EQ(attributesOf(text, QStringLiteral("tachado")),
              makeAttributes(false, false, false, true));
}

TEST(RichTextCoder, ReadsLibreOfficeDocument)
{
    const StyledText text = RichTextCoder::decode(dataFile(QStringLiteral("libreoffice-nota.rtf")));
    expectWellFormed(text);
    // Same words as the pandoc one, through Word's format and LibreOffice's RTF, which
    // adds a style sheet, page styles, \'hh fallbacks and \uc0 around the emoji.
    EXPECT_EQ(text.text(), QStringLiteral("¿Qué tal? ¡Mañana comemos paella en Córdoba!\n"
                                          "El niño dijo: “Hola” y ‘adiós’ — con ñandú, pingüino y "
                                          "acción \U0001F389 \U0001F600.\n"
                                          "Negrita y cursiva y tachado al final.\n"));
    EXPECT_EQ(attributesOf(text, QStringLiteral(" paella en ")), TextAttributes{});
    EXPECT_EQ(attributesOf(text, QStringLiteral("comemos")), makeAttributes(true, false));
    EXPECT_EQ(attributesOf(text, QStringLiteral("Córdoba")), makeAttributes(false, true));
    EXPECT_EQ(attributesOf(text, QStringLiteral("Negrita y cursiva")), makeAttributes(true, true));
    EXPECT_EQ(attributesOf(text, QStringLiteral("tachado")),
              makeAttributes(false, false, false, true));
}

TEST(RichTextCoder, ReadsLibreOfficeFontsSizesColoursAndLineBreaks)
{
    const StyledText text =
        RichTextCoder::decode(dataFile(QStringLiteral("libreoffice-colores.rtf")));
    expectWellFormed(text);
    EXPECT_EQ(text.text(), QStringLiteral("Código en negrita, cursiva, subrayado y tachado.\n"
                                          "Rojo señal y azul “cielo”; ¿ves el \U0001F98A?\u2028"
                                          "Segunda línea del párrafo.\n"
                                          "Euro € y guiones – —\n"));
    TextAttributes code;
    code.fontFamily = QStringLiteral("DejaVu Sans Mono");
    code.pointSize = 16;
    EXPECT_EQ(attributesOf(text, QStringLiteral("Código")), code);
    EXPECT_EQ(attributesOf(text, QStringLiteral(" en ")), TextAttributes{});
    EXPECT_EQ(attributesOf(text, QStringLiteral("negrita")), makeAttributes(true, false));
    EXPECT_EQ(attributesOf(text, QStringLiteral("subrayado")), makeAttributes(false, false, true));
    EXPECT_EQ(attributesOf(text, QStringLiteral("tachado")),
              makeAttributes(false, false, false, true));
    EXPECT_EQ(attributesOf(text, QStringLiteral("Rojo señal")).foreground, QColor(200, 30, 30));
    EXPECT_EQ(attributesOf(text, QStringLiteral("azul “cielo”")).foreground, QColor(30, 80, 200));
    EXPECT_EQ(attributesOf(text, QStringLiteral("; ¿ves")), TextAttributes{});
}

namespace {

// The note in orlette-ejemplo.rtf.
StyledText exampleNote()
{
    TextAttributes big;
    big.foreground = QColor(200, 30, 30);
    big.fontFamily = QStringLiteral("DejaVu Sans Mono");
    big.pointSize = 16;
    StyledText text;
    text.append(QStringLiteral("¿Qué tal? ¡Mañana "));
    text.append(QStringLiteral("comemos"), makeAttributes(true, false));
    text.append(QStringLiteral(" paella en "));
    text.append(QStringLiteral("Córdoba"), makeAttributes(false, true));
    text.append(
        QStringLiteral("!\nEl niño dijo: “Hola” y ‘adiós’ — \U0001F389 {llaves} \\barra\n"));
    text.append(QStringLiteral("subrayado"), makeAttributes(false, false, true));
    text.append(QStringLiteral("\t"));
    text.append(QStringLiteral("tachado"), makeAttributes(false, false, false, true));
    text.append(QStringLiteral("\u2028"));
    text.append(QStringLiteral("rojo € grande"), big);
    return text;
}

} // namespace

TEST(RichTextCoder, ReadsDocumentsOfEarlierWrites)
{
    const QByteArray stored = dataFile(QStringLiteral("orlette-ejemplo.rtf"));
    EXPECT_EQ(RichTextCoder::decode(stored), exampleNote());
    EXPECT_EQ(RichTextCoder::encode(exampleNote()), stored);
}

TEST(RichTextCoder, ReadsOurDocumentAfterLibreOfficeSavedIt)
{
    const StyledText text =
        RichTextCoder::decode(dataFile(QStringLiteral("libreoffice-orlette.rtf")));
    expectWellFormed(text);
    EXPECT_EQ(text.text(), exampleNote().text() + QStringLiteral("\n"));
    // LibreOffice names the default font and size everywhere.
    TextAttributes helvetica;
    helvetica.fontFamily = QStringLiteral("Helvetica");
    helvetica.pointSize = 12;
    const auto with = [&](bool bold, bool italic, bool underline, bool strikethrough) {
        TextAttributes attributes = makeAttributes(bold, italic, underline, strikethrough);
        attributes.fontFamily = helvetica.fontFamily;
        attributes.pointSize = helvetica.pointSize;
        return attributes;
    };
    EXPECT_EQ(attributesOf(text, QStringLiteral(" paella en ")), helvetica);
    EXPECT_EQ(attributesOf(text, QStringLiteral("comemos")), with(true, false, false, false));
    EXPECT_EQ(attributesOf(text, QStringLiteral("Córdoba")), with(false, true, false, false));
    EXPECT_EQ(attributesOf(text, QStringLiteral("subrayado")), with(false, false, true, false));
    EXPECT_EQ(attributesOf(text, QStringLiteral("tachado")), with(false, false, false, true));
    EXPECT_EQ(attributesOf(text, QStringLiteral("rojo € grande")),
              exampleNote().attributesAt(exampleNote().text().indexOf(u'€')));
}

TEST(RichTextCoder, ReadsTextEditStyleDocument)
{
    // The shape of a note body written by the macOS text system.
    const StyledText text = RichTextCoder::decode(
        rtf("{\\rtf1\\ansi\\ansicpg1252\\cocoartf2761\n"
            "\\cocoatextscaling0\\cocoaplatform0{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;"
            "\\f1\\fswiss\\fcharset0 Helvetica-Bold;}\n"
            "{\\colortbl;\\red255\\green255\\blue255;\\red251\\green2\\blue7;}\n"
            "{\\*\\expandedcolortbl;;\\cssrgb\\c100000\\c14913\\c0;}\n"
            "\\paperw11900\\paperh16840\\margl1440\\margr1440\\vieww11520\\viewh8400\\viewkind0\n"
            "\\pard\\tx566\\tx1133\\pardirnatural\\partightenfactor0\n"
            "\n"
            "\\f0\\fs24 \\cf0 Lista de la compra\\\n"
            "\\pard\\tx566\\pardirnatural\\partightenfactor0\n"
            "\\cf0 \\uc0\\u8226  Caf\\'e9 y \\cf2 az\\'facar\\cf0 \\\n"
            "\n"
            "\\f1\\b \\'a1Urgente!}"));
    expectWellFormed(text);
    EXPECT_EQ(text.text(), QStringLiteral("Lista de la compra\n• Café y azúcar\n¡Urgente!"));
    TextAttributes body;
    body.pointSize = 12;
    EXPECT_EQ(attributesOf(text, QStringLiteral("Lista de la compra\n• Café y ")), body);
    TextAttributes red = body;
    red.foreground = QColor(251, 2, 7);
    EXPECT_EQ(attributesOf(text, QStringLiteral("azúcar")), red);
    TextAttributes urgent = body;
    urgent.bold = true;
    urgent.fontFamily = QStringLiteral("Helvetica-Bold");
    EXPECT_EQ(attributesOf(text, QStringLiteral("¡Urgente!")), urgent);
}

TEST(RichTextCoder, SkipsWhatANoteCannotShow)
{
    // The shape of a Word document: style sheet, document information, header and
    // footer, bookmarks, a hyperlink field, a picture with binary data, a list label,
    // and text given twice under \upr.
    const StyledText text = RichTextCoder::decode(rtf(
        "{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0{\\fonttbl{\\f0\\froman\\fcharset0\\fprq2"
        "{\\*\\panose 02020603050405020304}Times New Roman;}{\\f1\\fswiss\\fcharset0 Arial"
        "{\\*\\falt Helvetica};}}\n"
        "{\\colortbl;\\red0\\green0\\blue0;\\red0\\green0\\blue255;}\n"
        "{\\stylesheet{\\ql \\f0\\fs24 Normal;}{\\*\\cs10 \\additive Default Paragraph Font;}}\n"
        "{\\info{\\title Prueba}{\\author Ana}}\n"
        "{\\header \\pard\\plain Encabezado\\par}{\\footer \\pard\\plain Pie\\par}\n"
        "{\\*\\pnseclvl1\\pnucrm\\pnstart1\\pnindent720\\pnhang{\\pntxta .}}\n"
        "\\pard\\plain \\f0 {\\*\\bkmkstart inicio}{\\*\\bkmkend inicio}Visita "
        "{\\field{\\*\\fldinst {HYPERLINK \"https://example.org\"}}{\\fldrslt {\\cf2\\ul "
        "nuestra web}}}.\\par\n"
        "{\\pict\\wmetafile8\\picw100\\pich100 0100\\bin4 }}{{0900}fin\\par\n"
        "{\\listtext\\f1 \\'b7\\tab}Elemento\\par\n"
        "{\\upr{Cafe}{\\*\\ud{Caf\\u233 e}}} {\\*\\unknown oculto}{\\object\\objemb"
        "{\\*\\objclass Paint}{\\*\\objdata 0105}}listo\n"
        "}"));
    expectWellFormed(text);
    EXPECT_EQ(text.text(),
              QStringLiteral("Visita nuestra web.\nfin\n\u00B7\tElemento\nCafé listo"));
    TextAttributes link = makeAttributes(false, false, true);
    link.foreground = QColor(0, 0, 255);
    EXPECT_EQ(attributesOf(text, QStringLiteral("nuestra web")), link);
    TextAttributes label;
    label.fontFamily = QStringLiteral("Arial");
    EXPECT_EQ(attributesOf(text, QStringLiteral("\u00B7\t")), label);
    EXPECT_EQ(attributesOf(text, QStringLiteral("Elemento")), TextAttributes{});
}

// --- Reader details ----------------------------------------------------------------------

TEST(RichTextReader, CodePageEscapesAndRawBytesUseWindows1252)
{
    const StyledText text = RichTextCoder::decode(
        rtf("{\\rtf1\\ansi \\'80\\'85\\'91\\'92\\'93\\'94\\'96\\'97\\'99\\'9f\\'81 \\'e1\\'F1"
            "\\'bf\\'a1 \xe9\x80}"));
    EXPECT_EQ(text.text(), QStringLiteral("€…‘’“”–—™Ÿ\u0081 áñ¿¡ é€"));
}

TEST(RichTextReader, UnicodeEscapesSkipTheirFallbacks)
{
    struct Case
    {
        const char *rtf;
        QString text;
    };
    const Case cases[] = {
        {"{\\rtf1 \\u241?a}", QStringLiteral("ña")},
        {"{\\rtf1 \\u241\\'f1a}", QStringLiteral("ña")},
        {"{\\rtf1 \\uc2\\u241 xya}", QStringLiteral("ña")},
        {"{\\rtf1 \\uc2\\u241\\'3f\\'3fa}", QStringLiteral("ña")},
        {"{\\rtf1 \\uc0\\u241 a}", QStringLiteral("ña")},
        // A control word in the fallback counts as one character.
        {"{\\rtf1 \\uc2\\u8220\\lquote\\'93a}", QStringLiteral("“a")},
        // \uc belongs to its group.
        {"{\\rtf1 {\\uc0 \\u241}\\u233 ea}", QStringLiteral("ñéa")},
        // A group brace ends a fallback cut short.
        {"{\\rtf1 \\uc3\\u241 a}b", QStringLiteral("ñ")},
        {"{\\rtf1 {\\uc3\\u241 a}b}", QStringLiteral("ñb")},
        {"{\\rtf1 \\u-10179?\\u-8704?}", QStringLiteral("\U0001F600")},
        {"{\\rtf1 \\u55357?\\u56832?}", QStringLiteral("\U0001F600")},
        {"{\\rtf1 \\u128512?}", QStringLiteral("\U0001F600")},
        {"{\\rtf1 \\u-64?}", QStringLiteral("\uFFC0")},
        // Half a pair, alone or out of order, is no character.
        {"{\\rtf1 a\\u-10179?b\\u-8704?c\\u-8704?\\u-10179?}",
         QStringLiteral("a\uFFFDb\uFFFDc\uFFFD\uFFFD")},
        {"{\\rtf1 \\u99999999999?a\\u-99999?b}", QStringLiteral("ab")},
    };
    for (const Case &c : cases) {
        const StyledText text = RichTextCoder::decode(rtf(c.rtf));
        EXPECT_EQ(text.text(), c.text) << c.rtf;
        expectWellFormed(text);
    }
}

TEST(RichTextReader, SpecialCharactersAndBreaks)
{
    const StyledText text = RichTextCoder::decode(
        rtf("{\\rtf1 \\emdash\\endash\\lquote\\rquote\\ldblquote\\rdblquote\\bullet "
            "a\\~b\\-c\\_d\\{\\}\\\\\\tab e\\line f\\par g\r\n h\\\ni\tj\\cell k\\row}"));
    EXPECT_EQ(text.text(),
              QStringLiteral("—–‘’“”•a\u00A0b\u00ADc\u2011d{}\\\te\u2028f\ng h\ni\tj\tk\n"));
}

TEST(RichTextReader, CharacterFormattingFollowsGroupsAndResets)
{
    const StyledText text = RichTextCoder::decode(
        rtf("{\\rtf1\\deff0{\\fonttbl{\\f0 Times;}{\\f1\\fnil Courier New;}}"
            "{\\colortbl\\red1\\green2\\blue3;\\red250\\green0\\blue0;}"
            "\\b A{\\i B\\b0 C}D\\plain E\\ul F\\ulnone G\\ul\\ulc1 H\\ul0 I\\strike J\\strike0 "
            "K\\f1\\fs31 L\\f0 M\\f7 N\\fs0 O\\cf1 P\\cf0 Q\\cf9 R\\pard S\\plain\\striked1 T"
            "\\uld U\\i1\\i0 V}"));
    ASSERT_EQ(text.text(), QStringLiteral("ABCDEFGHIJKLMNOPQRSTUV"));
    auto at = [&](char letter) { return text.attributesAt(text.text().indexOf(QChar(letter))); };
    EXPECT_EQ(at('A'), makeAttributes(true, false));
    EXPECT_EQ(at('B'), makeAttributes(true, true));
    EXPECT_EQ(at('C'), makeAttributes(false, true));
    EXPECT_EQ(at('D'), makeAttributes(true, false));
    EXPECT_EQ(at('E'), TextAttributes{});
    EXPECT_EQ(at('F'), makeAttributes(false, false, true));
    EXPECT_EQ(at('G'), TextAttributes{});
    EXPECT_EQ(at('H'), makeAttributes(false, false, true)); // \ulc is a colour, not a switch
    EXPECT_EQ(at('I'), TextAttributes{});
    EXPECT_EQ(at('J'), makeAttributes(false, false, false, true));
    EXPECT_EQ(at('K'), TextAttributes{});
    EXPECT_EQ(at('L').fontFamily, QStringLiteral("Courier New"));
    EXPECT_EQ(at('L').pointSize, 15.5);
    EXPECT_EQ(at('M').fontFamily, QString()); // the default font
    EXPECT_EQ(at('N').fontFamily, QString()); // not in the table
    EXPECT_EQ(at('O').pointSize, 0);
    EXPECT_EQ(at('P').foreground, QColor(250, 0, 0));
    // Entry 0 of this table is a real colour, so \cf0 asks for it; no \cf at all is the
    // surface's colour, and an index past the table is too.
    EXPECT_EQ(at('Q').foreground, QColor(1, 2, 3));
    EXPECT_EQ(at('R').foreground, std::nullopt);
    EXPECT_EQ(at('S').foreground, std::nullopt);
    EXPECT_EQ(at('S').pointSize, 0);
    EXPECT_EQ(at('T'), makeAttributes(false, false, false, true));
    EXPECT_EQ(at('U'), makeAttributes(false, false, true, true));
    EXPECT_EQ(at('V'), makeAttributes(false, false, true, true));
    expectWellFormed(text);
}

TEST(RichTextReader, NonRtfBytesGiveEmptyText)
{
    for (const QByteArray &bytes :
         {QByteArray(), rtf("hola"), rtf("<html><body>{\\rtf1 x}</body></html>"), rtf("{\\rtf"),
          rtf("{rtf1 x}"), rtf("\\rtf1 x"), QByteArray("\0\0\0{\\rtf1 x}", 12),
          QByteArray(4096, '\xff')}) {
        EXPECT_TRUE(RichTextCoder::decode(bytes).isEmpty()) << bytes.toStdString();
    }
    // A byte order mark or blank lines before the document are tolerated.
    EXPECT_EQ(RichTextCoder::decode(rtf("\xEF\xBB\xBF\r\n {\\rtf1 x}")).text(),
              QStringLiteral("x"));
}

TEST(RichTextReader, DamagedDocumentsGiveWhatCouldBeRead)
{
    struct Case
    {
        QByteArray rtf;
        QString text;
    };
    const Case cases[] = {
        {rtf("{\\rtf1 Hola {\\b mundo"), QStringLiteral("Hola mundo")},
        {rtf("{\\rtf1 Hola}} basura {\\b x}"), QStringLiteral("Hola")},
        {rtf("{\\rtf1 Hola\\"), QStringLiteral("Hola")},
        {rtf("{\\rtf1 Hola \\'e"), QStringLiteral("Hola ")},
        {rtf("{\\rtf1 Hola \\'zz!}"), QStringLiteral("Hola zz!")},
        {rtf("{\\rtf1 Hola\\u"), QStringLiteral("Hola")},
        {rtf("{\\rtf1 a\\bin999999999 }}}}"), QStringLiteral("a")},
        {rtf("{\\rtf1 a\\bin-5 b}"), QStringLiteral("ab")},
        {rtf("{\\rtf1 {\\fonttbl{\\f0 Sin fin"), QString()},
        {rtf("{\\rtf1 {\\colortbl\\red999\\green-4;;}\\cf1 a\\cf-3 b}"), QStringLiteral("ab")},
        {rtf("{\\rtf1 \\*a\\*{b}}"), QStringLiteral("ab")},
        {rtf("{\\rtf1 \\b99999999999999999999999 a\\fs99999999999 b}"), QStringLiteral("ab")},
        {QByteArray("{\\rtf1 a\0b}", 11), QStringLiteral("ab")},
        // Half a surrogate pair still held when the document's group closes.
        {rtf("{\\rtf1 {\\b a}\\u-10179?}"), QStringLiteral("a\uFFFD")},
    };
    for (const Case &c : cases) {
        const StyledText text = RichTextCoder::decode(c.rtf);
        EXPECT_EQ(text.text(), c.text) << c.rtf.toStdString();
        expectWellFormed(text);
    }
    const StyledText huge = RichTextCoder::decode(rtf("{\\rtf1\\fs99999999999 a}"));
    EXPECT_GT(huge.attributesAt(0).pointSize, 0);
    EXPECT_LE(huge.attributesAt(0).pointSize, 2000);
}

TEST(RichTextReader, DeepNestingIsSkippedNotFollowed)
{
    const int deep = 100000;
    QByteArray bytes = "{\\rtf1 antes ";
    bytes += QByteArray(150, '{') + "\\b medio" + QByteArray(150, '}');
    bytes += QByteArray(deep, '{') + "profundo\\}" + QByteArray(deep, '}');
    bytes += " despues}";
    const StyledText text = RichTextCoder::decode(bytes);
    EXPECT_EQ(text.text(), QStringLiteral("antes medio despues"));
    EXPECT_TRUE(attributesOf(text, QStringLiteral("medio")).bold);
    EXPECT_FALSE(attributesOf(text, QStringLiteral(" despues")).bold);

    // Never closed at all.
    EXPECT_EQ(RichTextCoder::decode("{\\rtf1 x" + QByteArray(deep, '{') + "y").text(),
              QStringLiteral("x"));
    EXPECT_GT(RtfReader::maximumGroupDepth, 150);
}

TEST(RichTextReader, MangledDocumentsNeverBreakTheReader)
{
    // Cheap local mutation fuzzing; the libFuzzer target goes much further.
    RandomStyledText random(7);
    std::mt19937 engine(99);
    const QByteArray seeds[] = {
        RichTextCoder::encode(random.next()),
        dataFile(QStringLiteral("libreoffice-colores.rtf")),
        dataFile(QStringLiteral("pandoc-nota.rtf")),
    };
    const QByteArray alphabet = "{}\\'*;0123456789-abuxcfsl \r\n\x80\xff";
    for (int round = 0; round < 600; ++round) {
        QByteArray bytes = seeds[round % std::size(seeds)];
        const int edits = std::uniform_int_distribution<int>(1, 12)(engine);
        for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
            const auto at = std::uniform_int_distribution<qsizetype>(0, bytes.size() - 1)(engine);
            const char byte = alphabet.at(
                std::uniform_int_distribution<qsizetype>(0, alphabet.size() - 1)(engine));
            switch (std::uniform_int_distribution<int>(0, 3)(engine)) {
            case 0:
                bytes[at] = byte;
                break;
            case 1:
                bytes.insert(at, byte);
                break;
            case 2:
                bytes.remove(at, 1);
                break;
            default:
                bytes.truncate(at);
            }
        }
        const StyledText text = RichTextCoder::decode(bytes);
        expectWellFormed(text);
        // Whatever was read can be written and reads back the same.
        ASSERT_EQ(RichTextCoder::decode(RichTextCoder::encode(text)), text) << bytes.toStdString();
    }
}
