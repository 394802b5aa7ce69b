// SPDX-License-Identifier: GPL-3.0-or-later
// The RTF reader against documents in other scripts: those LibreOffice writes (text as
// \u escapes after a font of the script's character set), and the 8-bit and double-byte
// bytes of WordPad, Word and TextEdit documents, whose code page comes from the document
// (\ansicpg, \mac, \pc, \pca) or from the font (\fcharset, \cpg).
#include "model/RtfCodePage.h"
#include "model/RichTextCoder.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

QByteArray dataFile(const QString &name)
{
    QFile file(QStringLiteral(ORLETTE_TEST_DATA "/rtf/") + name);
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "cannot open " << file.fileName().toStdString();
    return file.readAll();
}

QString read(const char *rtf)
{
    return RichTextCoder::decode(QByteArray(rtf)).text();
}

struct Case
{
    const char *what;
    const char *rtf;
    QString text;
};

void expectAll(const std::vector<Case> &cases)
{
    for (const Case &c : cases)
        EXPECT_EQ(read(c.rtf), c.text) << c.what;
}

} // namespace

TEST(RtfCodePage, ReadsLibreOfficeDocumentsInOtherScripts)
{
    const std::vector<std::pair<const char *, QString>> documents = {
        {"ruso", QStringLiteral("ЛИЦЕНЗИОННОЕ СОГЛАШЕНИЕ\nКупить хлеб и молоко.\n")},
        {"griego", QStringLiteral("Λίστα αγορών\nΨωμί, γάλα και ελιές.\n")},
        {"japones", QStringLiteral("買い物リスト\n牛乳とパンを買う。\n")},
        {"coreano", QStringLiteral("장보기 목록\n우유와 빵을 사기.\n")},
        {"chino-simplificado", QStringLiteral("购物清单\n买牛奶和面包。\n")},
        {"chino-tradicional", QStringLiteral("購物清單\n買牛奶和麵包。\n")},
    };
    for (const auto &[name, expected] : documents) {
        const QString file = QStringLiteral("libreoffice-%1.rtf").arg(QLatin1String(name));
        EXPECT_EQ(RichTextCoder::decode(dataFile(file)).text(), expected) << name;
    }
}

TEST(RtfCodePage, DocumentCodePageDecidesTheBytes)
{
    expectAll({
        {"WordPad, Russian",
         "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fswiss\\fprq2\\fcharset204 Arial;}}"
         "\\viewkind4\\uc1\\pard\\lang1049\\f0\\fs20 "
         "\\'cb\\'c8\\'d6\\'c5\\'cd\\'c7\\'c8\\'df\\par}",
         QStringLiteral("ЛИЦЕНЗИЯ\n")},
        {"TextEdit, Russian in a font of the ANSI set",
         "{\\rtf1\\ansi\\ansicpg1251\\cocoartf1038{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}"
         "\\f0\\fs24 \\cf0 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}",
         QStringLiteral("Привет")},
        {"TextEdit, Korean",
         "{\\rtf1\\ansi\\ansicpg949\\cocoartf2580{\\fonttbl\\f0\\fnil\\fcharset129 "
         "AppleSDGothicNeo-Regular;}\\f0 \\'c7\\'d1\\'b1\\'db}",
         QStringLiteral("한글")},
        {"Mac Roman bullet and accent",
         "{\\rtf1\\mac\\deff0{\\fonttbl{\\f0 Geneva;}}\\f0 \\'a5 caf\\'8e}",
         QStringLiteral("• café")},
        {"\\pc is code page 437", "{\\rtf1\\pc \\'82\\'a4\\'b5}", QStringLiteral("éñ╡")},
        {"\\pca is code page 850", "{\\rtf1\\pca \\'82\\'a4\\'b5}", QStringLiteral("éñÁ")},
        {"\\ansicpg overrides \\ansi", "{\\rtf1\\ansi\\ansicpg1253 \\'cb\\'df\\'f3\\'f4\\'e1}",
         QStringLiteral("Λίστα")},
        {"an unknown code page reads as 1252", "{\\rtf1\\ansi\\ansicpg99999 caf\\'e9}",
         QStringLiteral("café")},
        {"no declaration reads as 1252", "{\\rtf1 caf\\'e9 \\'80}", QStringLiteral("café €")},
    });
}

TEST(RtfCodePage, EachFontBringsItsCodePage)
{
    expectAll({
        {"Chinese font among Latin ones",
         "{\\rtf1\\ansi\\ansicpg1252{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;"
         "\\f1\\fnil\\fcharset134 PingFangSC-Regular;}\\f0 Hola \\f1 \\'c4\\'e3\\'ba\\'c3 \\f0 "
         "caf\\'e9}",
         QStringLiteral("Hola 你好 café")},
        {"traditional Chinese, a raw trail byte",
         "{\\rtf1\\ansi{\\fonttbl{\\f0\\froman Times;}{\\f1\\fnil\\fcharset136 MingLiU;}}"
         "\\f1 \\'c1c\\'c5\\'e9\\f0  ok}",
         QStringLiteral("繁體 ok")},
        {"Japanese, a trail byte written as an escaped backslash",
         "{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil\\fcharset128 MS Mincho;}}\\f0 \\'95\\'5c\\'8e\\'a6 "
         "\\'95\\\\\\'8e\\'a6}",
         QStringLiteral("表示 表示")},
        {"the default font's set applies without \\f",
         "{\\rtf1\\ansi\\deff1{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset204 Arial Cyr;}}\\'e4\\'e0}",
         QStringLiteral("да")},
        {"groups restore the font and its code page",
         "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset161 Arial Greek;}}\\f0 \\'e1"
         "{\\f1 \\'e1}\\'e1}",
         QStringLiteral("áαá")},
        {"\\cpg wins over \\fcharset",
         "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset204\\cpg1253 Arial;}}\\f0 \\'e1}",
         QStringLiteral("α")},
        {"Mac character set per font",
         "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset77 Geneva;}}\\f1 \\'a5\\f0 \\'a5}",
         QStringLiteral("•¥")},
        {"a \\uN with a double-byte fallback skips both bytes under \\uc2",
         "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset128 MS Mincho;}}\\f0\\uc2\\u34920\\'95\\'5c"
         "\\u31034\\'8e\\'a6}",
         QStringLiteral("表示")},
        {"a lead byte without its trail",
         "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset128 MS Mincho;}}\\f0 a\\'82}",
         QStringLiteral("a\uFFFD")},
        {"a lead byte cut by a control word",
         "{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset128 MS Mincho;}}\\f0 \\'82\\b z}",
         QStringLiteral("\uFFFDz")},
    });
}

TEST(RtfCodePage, FontNamesUseTheirOwnCodePage)
{
    const StyledText text = RichTextCoder::decode(
        QByteArray("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}{\\f1\\fnil\\fcharset128 "
                   "\\'82\\'6c\\'82\\'72 \\'96\\'be\\'92\\'a9;}}\\f1 \\'82\\'a0}"));
    ASSERT_EQ(text.text(), QStringLiteral("あ"));
    EXPECT_EQ(text.attributesAt(0).fontFamily, QStringLiteral("ＭＳ 明朝"));
}

TEST(RtfCodePage, HiddenTextAndAttachmentsAreNotShown)
{
    expectAll({
        {"\\v in a group", "{\\rtf1\\ansi uno {\\v oculto }dos}", QStringLiteral("uno dos")},
        {"\\v0 ends it", "{\\rtf1\\ansi uno \\v oculto\\v0  dos}", QStringLiteral("uno  dos")},
        {"\\plain ends it", "{\\rtf1\\ansi \\v oculto\\plain visible}", QStringLiteral("visible")},
        {"hidden escapes and \\u", "{\\rtf1\\ansi a{\\v \\'e9\\u1051?\\par\\tab}b}",
         QStringLiteral("ab")},
        {"TextEdit attachment",
         "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2580{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}"
         "\\f0 Antes {{\\NeXTGraphic foto.png \\width640 \\height480 \\appleattachmentpadding0 "
         "\\appleembedtype0 \\appleaqc\n}\xac}despu\\'e9s}",
         QStringLiteral("Antes después")},
        {"a \xc2\xac that follows no attachment stays",
         "{\\rtf1\\ansi {{\\NeXTGraphic a.png\n}}x\xac y}", QStringLiteral("x¬ y")},
    });
}

TEST(RtfCodePage, CharacterSetsMapToWindowsCodePages)
{
    EXPECT_EQ(RtfCodePage::forCharacterSet(0), 0);
    EXPECT_EQ(RtfCodePage::forCharacterSet(2), 0);
    EXPECT_EQ(RtfCodePage::forCharacterSet(128), 932);
    EXPECT_EQ(RtfCodePage::forCharacterSet(129), 949);
    EXPECT_EQ(RtfCodePage::forCharacterSet(134), 936);
    EXPECT_EQ(RtfCodePage::forCharacterSet(136), 950);
    EXPECT_EQ(RtfCodePage::forCharacterSet(204), 1251);
    EXPECT_EQ(RtfCodePage::forCharacterSet(77), 10000);
    EXPECT_EQ(RtfCodePage::forCharacterSet(12345), 0);
}

TEST(RtfCodePage, LongRunsDecodeWhole)
{
    // More bytes than one slice of the decoder, with characters across every boundary.
    QByteArray rtf("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset134 SimSun;}}\\f0 x");
    QString expected = QStringLiteral("x");
    for (int i = 0; i < 5000; ++i) {
        rtf += "\\'c4\\'e3";
        expected += QStringLiteral("你");
    }
    rtf += "}";
    EXPECT_EQ(RichTextCoder::decode(rtf).text(), expected);
}
