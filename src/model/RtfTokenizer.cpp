// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/RtfTokenizer.h"

#include "model/RtfCodePage.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace RtfSyntax {

namespace {

bool isLetter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

Token Tokenizer::next()
{
    while (m_position < m_input.size()) {
        const auto c = static_cast<unsigned char>(m_input[m_position]);
        switch (c) {
        case '{':
            ++m_position;
            return Token::of(Token::Kind::groupOpen);
        case '}':
            ++m_position;
            return Token::of(Token::Kind::groupClose);
        case '\\':
            return control();
        case '\r':
        case '\n':
            // Line ends in the file are there for people reading it, not text.
            ++m_position;
            continue;
        default:
            ++m_position;
            return Token::of(Token::Kind::byte, c);
        }
    }
    return {};
}

void Tokenizer::skipBytes(qint64 count)
{
    m_position += std::min<qint64>(count, m_input.size() - m_position);
}

Token Tokenizer::control()
{
    ++m_position;
    if (m_position >= m_input.size())
        return {};
    const auto first = static_cast<unsigned char>(m_input[m_position]);
    if (isLetter(first))
        return controlWord();
    ++m_position;
    if (first != '\'')
        return Token::of(Token::Kind::controlSymbol, first);
    if (m_position + 2 > m_input.size()) {
        m_position = m_input.size();
        return {};
    }
    const int high = hexValue(static_cast<unsigned char>(m_input[m_position]));
    const int low = hexValue(static_cast<unsigned char>(m_input[m_position + 1]));
    if (high < 0 || low < 0)
        return Token::of(Token::Kind::controlSymbol, first);
    m_position += 2;
    return Token::of(Token::Kind::hexByte, static_cast<unsigned char>(high * 16 + low));
}

Token Tokenizer::controlWord()
{
    const qsizetype start = m_position;
    while (m_position < m_input.size() && isLetter(static_cast<unsigned char>(m_input[m_position])))
        ++m_position;
    Token token = Token::of(Token::Kind::controlWord);
    token.word = std::string_view(m_input.data() + start, std::size_t(m_position - start));

    bool negative = false;
    if (m_position + 1 < m_input.size() && m_input[m_position] == '-' &&
        isDigit(static_cast<unsigned char>(m_input[m_position + 1]))) {
        negative = true;
        ++m_position;
    }
    // Saturates, so that a parameter of a thousand digits is just a large number.
    constexpr qint64 saturation = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 value = 0;
    while (m_position < m_input.size() &&
           isDigit(static_cast<unsigned char>(m_input[m_position]))) {
        value = std::min(saturation, value * 10 + (m_input[m_position] - '0'));
        token.hasParameter = true;
        ++m_position;
    }
    if (negative)
        value = -value;
    token.parameter = int(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                             std::numeric_limits<int>::max()));
    // One space ends a control word and belongs to it.
    if (m_position < m_input.size() && m_input[m_position] == ' ')
        ++m_position;
    return token;
}

// Groups whose content is not body text, separated by spaces.
constexpr std::string_view skippedDestinations =
    "aftncn aftnsep aftnsepc annotation atnauthor atndate atnicn atnid atnparent "
    "atnref atntime atrfend atrfstart author background bkmkend bkmkstart blipuid "
    "buptim category colorschememapping comment company creatim datafield datastore "
    "defchp defpap do doccomm docvar dptxbxtext ebcend ebcstart factoidname falt "
    "fchars ffdeftext ffentrymcr ffexitmcr ffformat ffhelptext ffl ffname ffstattext "
    "file filetbl fldinst fontemb fontfile footer footerf footerl footerr footnote "
    "formfield ftncn ftnsep ftnsepc generator gridtbl header headerf headerl headerr "
    "hl hlfr hlinkbase hlloc hlsrc hsv info keycode keywords latentstyles lchars "
    "levelnumbers leveltext lfolevel linkval list listlevel listname listoverride "
    "listoverridetable listpicture liststylename listtable lsdlockedexcept manager "
    "mhtmltag mmath mmathPr nextfile nonshppict objalias objclass objdata objname "
    "objsect objtime oldcprops oldpprops oldsprops oldtprops operator panose "
    "password passwordhash pgdsctbl pgp pgptbl picprop pict pn pnseclvl pntxta "
    "pntxtb printim private propname protend protstart protusertbl pxe revtbl revtim "
    "rsidtbl rxe shp shpgrp shpinst shppict shprslt shptxt sn sp staticval "
    "stylesheet subject sv svb tc template themedata title txe userprops "
    "wgrffmtfilter windowcaption writereservation writereservhash xe xform "
    "xmlattrname xmlattrvalue xmlclose xmlname xmlnstbl xmlopen";

const KeywordEntry *lookUp(std::string_view word)
{
    static const std::unordered_map<std::string_view, KeywordEntry> keywords = [] {
        std::unordered_map<std::string_view, KeywordEntry> table = {
            {"b", {Keyword::bold}},
            {"i", {Keyword::italic}},
            {"ul", {Keyword::underline}},
            {"ulnone", {Keyword::underlineNone}},
            {"strike", {Keyword::strikethrough}},
            {"striked", {Keyword::strikethrough}},
            {"f", {Keyword::font}},
            {"fs", {Keyword::fontSize}},
            {"cf", {Keyword::colour}},
            {"plain", {Keyword::plain}},
            {"u", {Keyword::unicode}},
            {"uc", {Keyword::unicodeSkip}},
            {"deff", {Keyword::defaultFont}},
            {"bin", {Keyword::binary}},
            {"red", {Keyword::red}},
            {"green", {Keyword::green}},
            {"blue", {Keyword::blue}},
            {"fonttbl", {Keyword::fontTable}},
            {"colortbl", {Keyword::colourTable}},
            {"upr", {Keyword::alternatives}},
            {"ud", {Keyword::unicodeAlternative}},
            // TextEdit's attached file: a group with the file's name, then one character
            // standing in for it in the text.
            {"NeXTGraphic", {Keyword::attachment}},
            {"v", {Keyword::hidden}},
            {"ansi", {Keyword::documentCodePage, 0, RtfCodePage::windowsLatin}},
            {"mac", {Keyword::documentCodePage, 0, RtfCodePage::macRoman}},
            {"pc", {Keyword::documentCodePage, 0, RtfCodePage::pcUnitedStates}},
            {"pca", {Keyword::documentCodePage, 0, RtfCodePage::pcMultilingual}},
            {"ansicpg", {Keyword::ansiCodePage}},
            {"fcharset", {Keyword::fontCharacterSet}},
            {"cpg", {Keyword::fontCodePage}},
            // Paragraph and section ends; table rows end like paragraphs, cells like tabs.
            {"par", {Keyword::character, u'\n'}},
            {"sect", {Keyword::character, u'\n'}},
            {"row", {Keyword::character, u'\n'}},
            {"nestrow", {Keyword::character, u'\n'}},
            {"cell", {Keyword::character, u'\t'}},
            {"nestcell", {Keyword::character, u'\t'}},
            {"tab", {Keyword::character, u'\t'}},
            {"line", {Keyword::character, u'\u2028'}},
            {"emdash", {Keyword::character, u'\u2014'}},
            {"endash", {Keyword::character, u'\u2013'}},
            {"emspace", {Keyword::character, u'\u2003'}},
            {"enspace", {Keyword::character, u'\u2002'}},
            {"qmspace", {Keyword::character, u'\u2005'}},
            {"bullet", {Keyword::character, u'\u2022'}},
            {"lquote", {Keyword::character, u'\u2018'}},
            {"rquote", {Keyword::character, u'\u2019'}},
            {"ldblquote", {Keyword::character, u'\u201C'}},
            {"rdblquote", {Keyword::character, u'\u201D'}},
            {"zwj", {Keyword::character, u'\u200D'}},
            {"zwnj", {Keyword::character, u'\u200C'}},
            {"ltrmark", {Keyword::character, u'\u200E'}},
            {"rtlmark", {Keyword::character, u'\u200F'}},
        };
        // Every kind of underline but "none" turns underlining on (\ulc is its colour).
        for (const std::string_view underline :
             {"uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave", "ulldash", "ulth", "ulthd",
              "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave", "ulw", "ulwave"})
            table.emplace(underline, KeywordEntry{Keyword::underline});
        for (std::string_view rest = skippedDestinations; !rest.empty();) {
            const std::size_t space = std::min(rest.find(' '), rest.size());
            table.emplace(rest.substr(0, space), KeywordEntry{Keyword::skippedDestination});
            rest.remove_prefix(std::min(space + 1, rest.size()));
        }
        return table;
    }();
    const auto found = keywords.find(word);
    return found == keywords.end() ? nullptr : &found->second;
}

} // namespace RtfSyntax
