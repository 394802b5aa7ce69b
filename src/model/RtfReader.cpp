// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/RtfReader.h"

#include "model/RtfCodePage.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <algorithm>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------
// Tokens

struct Token
{
    enum class Kind
    {
        end,
        groupOpen,
        groupClose,
        controlWord,
        controlSymbol,
        hexByte,
        byte
    };

    Kind kind = Kind::end;
    std::string_view word;
    bool hasParameter = false;
    int parameter = 0;
    // The symbol of a control symbol, the value of a hex escape or of a plain byte.
    unsigned char value = 0;

    static Token of(Kind kind, unsigned char value = 0) { return {kind, {}, false, 0, value}; }
};

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

class Tokenizer
{
public:
    Tokenizer(QByteArrayView input, qsizetype position) : m_input(input), m_position(position) {}

    Token next()
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

    // The data of `\binN`, which may hold anything, braces included.
    void skipBytes(qint64 count)
    {
        m_position += std::min<qint64>(count, m_input.size() - m_position);
    }

private:
    Token control()
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

    Token controlWord()
    {
        const qsizetype start = m_position;
        while (m_position < m_input.size() &&
               isLetter(static_cast<unsigned char>(m_input[m_position])))
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

    QByteArrayView m_input;
    qsizetype m_position;
};

// ---------------------------------------------------------------------------------------
// Control words

enum class Keyword
{
    character,
    bold,
    italic,
    underline,
    underlineNone,
    strikethrough,
    font,
    fontSize,
    colour,
    plain,
    unicode,
    unicodeSkip,
    defaultFont,
    binary,
    red,
    green,
    blue,
    fontTable,
    colourTable,
    alternatives,
    unicodeAlternative,
    skippedDestination,
    attachment,
    hidden,
    documentCodePage,
    ansiCodePage,
    fontCharacterSet,
    fontCodePage,
};

struct KeywordEntry
{
    Keyword keyword;
    char16_t character = 0;
    int codePage = 0;
};

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

// ---------------------------------------------------------------------------------------
// Reading

enum class Destination
{
    text,
    fontTable,
    colourTable,
    alternatives,
    skipped
};

struct CharacterState
{
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    bool hidden = false;
    int font = -1;      // the document's default font
    int halfPoints = 0; // the surface's default size
    int colour = -1;    // the surface's default colour
};

struct GroupState
{
    CharacterState characters;
    int unicodeSkip = 1;
    Destination destination = Destination::text;
    // Set on the groups inside \upr: the first holds the text in the code page and is
    // skipped, the \ud one holds it in Unicode and is read into `resume`.
    bool isAlternative = false;
    Destination resume = Destination::text;
    bool isAttachment = false;
};

class Parser
{
public:
    Parser(QByteArrayView input, qsizetype start) : m_tokens(input, start) {}

    StyledText read()
    {
        for (;;) {
            const Token token = m_tokens.next();
            if (!carriesBytes(token))
                flushBytes();
            switch (token.kind) {
            case Token::Kind::end:
                return finish();
            case Token::Kind::groupOpen:
                openGroup();
                continue;
            case Token::Kind::groupClose:
                if (!closeGroup())
                    return finish();
                continue;
            default:
                break;
            }
            const KeywordEntry *entry =
                token.kind == Token::Kind::controlWord ? lookUp(token.word) : nullptr;
            if (entry && entry->keyword == Keyword::binary && token.hasParameter)
                m_tokens.skipBytes(std::max(0, token.parameter));
            if (m_overflow > 0 || m_stack.empty())
                continue;
            // The fallback of a \u character: every token counts as one.
            if (m_fallbackToSkip > 0) {
                --m_fallbackToSkip;
                continue;
            }
            const bool ignorable = std::exchange(m_ignorableNext, false);
            switch (token.kind) {
            case Token::Kind::controlWord:
                if (ignorable && !(entry && entry->keyword == Keyword::unicodeAlternative)) {
                    state().destination = Destination::skipped;
                    continue;
                }
                if (entry)
                    controlWord(*entry, token);
                break;
            case Token::Kind::controlSymbol:
                controlSymbol(token.value);
                break;
            case Token::Kind::hexByte:
                pushByte(token.value);
                break;
            case Token::Kind::byte:
                byte(token.value);
                break;
            default:
                break;
            }
        }
    }

private:
    GroupState &state() { return m_stack.back(); }

    // Bytes of the document's code pages are gathered while they follow each other and
    // decoded together, so a double-byte character written as two escapes stays whole.
    // Anything else that comes (a control word, a group) may change the code page or the
    // attributes, so the gathered bytes are decoded before it.
    static bool carriesBytes(const Token &token)
    {
        switch (token.kind) {
        case Token::Kind::byte:
        case Token::Kind::hexByte:
            return true;
        case Token::Kind::controlSymbol:
            // An escaped brace or backslash is also the trail byte of some characters in
            // the double-byte code pages.
            return token.value == '\\' || token.value == '{' || token.value == '}';
        default:
            return false;
        }
    }

    void pushByte(unsigned char value)
    {
        const Destination destination = state().destination;
        if (destination == Destination::text || destination == Destination::fontTable)
            m_pendingBytes.append(char(value));
    }

    void flushBytes()
    {
        if (m_pendingBytes.isEmpty() || m_stack.empty())
            return;
        const QString text = m_decoder.decode(codePage(), m_pendingBytes);
        m_pendingBytes.clear();
        for (const QChar unit : text)
            put(unit.unicode());
    }

    int codePage() const
    {
        const GroupState &group = m_stack.back();
        int fromFont = 0;
        if (group.destination == Destination::fontTable) {
            fromFont = m_fontEntryCodePage ? m_fontEntryCodePage : m_fontEntryCharsetCodePage;
        } else {
            const int font = group.characters.font >= 0 ? group.characters.font : m_defaultFont;
            fromFont = m_fontCodePages.value(font, 0);
        }
        return fromFont ? fromFont : m_documentCodePage;
    }

    void openGroup()
    {
        m_dropAttachmentMark = false;
        m_fallbackToSkip = 0;
        m_ignorableNext = false;
        if (m_overflow > 0 || m_stack.size() >= std::size_t(RtfReader::maximumGroupDepth)) {
            ++m_overflow;
            return;
        }
        if (m_stack.empty()) {
            m_stack.push_back(GroupState{});
            return;
        }
        GroupState child = m_stack.back();
        child.isAlternative = false;
        child.isAttachment = false;
        if (child.destination == Destination::alternatives) {
            child.destination = Destination::skipped;
            child.isAlternative = true;
        }
        m_stack.push_back(child);
    }

    // False once the document's own group has closed.
    bool closeGroup()
    {
        m_fallbackToSkip = 0;
        m_ignorableNext = false;
        if (m_overflow > 0) {
            --m_overflow;
            return true;
        }
        if (m_stack.empty())
            return false;
        if (state().destination == Destination::fontTable)
            commitFont();
        const bool wasAttachment = state().isAttachment;
        m_stack.pop_back();
        m_dropAttachmentMark = wasAttachment && !m_stack.empty() && !(m_stack.back().isAttachment);
        m_attributesChanged = true;
        return !m_stack.empty();
    }

    void controlWord(const KeywordEntry &entry, const Token &token)
    {
        GroupState &group = state();
        CharacterState &characters = group.characters;
        const bool on = !token.hasParameter || token.parameter != 0;
        switch (entry.keyword) {
        case Keyword::character:
            put(entry.character);
            return;
        case Keyword::bold:
            characters.bold = on;
            break;
        case Keyword::italic:
            characters.italic = on;
            break;
        case Keyword::underline:
            characters.underline = on;
            break;
        case Keyword::underlineNone:
            characters.underline = false;
            break;
        case Keyword::strikethrough:
            characters.strikethrough = on;
            break;
        case Keyword::font:
            if (group.destination == Destination::fontTable) {
                commitFont();
                m_fontNumber = token.hasParameter ? std::max(0, token.parameter) : 0;
                return;
            }
            characters.font = token.hasParameter ? std::max(0, token.parameter) : -1;
            break;
        case Keyword::fontSize:
            characters.halfPoints =
                token.hasParameter && token.parameter > 0
                    ? std::clamp(token.parameter, minimumHalfPoints, maximumHalfPoints)
                    : 0;
            break;
        case Keyword::colour:
            characters.colour = token.hasParameter ? std::max(0, token.parameter) : -1;
            break;
        case Keyword::plain:
            characters = CharacterState{};
            break;
        case Keyword::unicode:
            if (token.hasParameter) {
                unicodeCharacter(token.parameter);
                m_fallbackToSkip = group.unicodeSkip;
            }
            return;
        case Keyword::unicodeSkip:
            if (token.hasParameter)
                group.unicodeSkip = std::clamp(token.parameter, 0, maximumUnicodeSkip);
            return;
        case Keyword::defaultFont:
            m_defaultFont = token.hasParameter ? token.parameter : 0;
            break;
        case Keyword::red:
        case Keyword::green:
        case Keyword::blue:
            if (group.destination == Destination::colourTable && token.hasParameter) {
                const int value = std::clamp(token.parameter, 0, 255);
                if (entry.keyword == Keyword::red)
                    m_red = value;
                else if (entry.keyword == Keyword::green)
                    m_green = value;
                else
                    m_blue = value;
                m_colourHasComponents = true;
            }
            return;
        case Keyword::fontTable:
            if (group.destination != Destination::skipped) {
                group.destination = Destination::fontTable;
                m_fontNumber = -1;
                m_fontName.clear();
            }
            return;
        case Keyword::colourTable:
            if (group.destination != Destination::skipped) {
                group.destination = Destination::colourTable;
                m_colourHasComponents = false;
                m_red = m_green = m_blue = 0;
            }
            return;
        case Keyword::alternatives:
            if (group.destination != Destination::skipped) {
                group.resume = group.destination;
                group.destination = Destination::alternatives;
            }
            return;
        case Keyword::unicodeAlternative:
            group.destination = group.isAlternative ? group.resume : Destination::skipped;
            return;
        case Keyword::skippedDestination:
            group.destination = Destination::skipped;
            return;
        case Keyword::attachment:
            group.destination = Destination::skipped;
            group.isAttachment = true;
            return;
        case Keyword::hidden:
            characters.hidden = on;
            return;
        case Keyword::documentCodePage:
            m_documentCodePage = entry.codePage;
            return;
        case Keyword::ansiCodePage:
            if (token.hasParameter && token.parameter > 0)
                m_documentCodePage = token.parameter;
            return;
        case Keyword::fontCharacterSet:
            if (group.destination == Destination::fontTable && token.hasParameter)
                m_fontEntryCharsetCodePage = RtfCodePage::forCharacterSet(token.parameter);
            return;
        case Keyword::fontCodePage:
            if (group.destination == Destination::fontTable && token.hasParameter &&
                token.parameter > 0)
                m_fontEntryCodePage = token.parameter;
            return;
        case Keyword::binary:
            return;
        }
        m_attributesChanged = true;
    }

    void controlSymbol(unsigned char symbol)
    {
        switch (symbol) {
        case '\\':
        case '{':
        case '}':
            pushByte(symbol);
            break;
        case '~':
            put(u'\u00A0');
            break;
        case '-':
            put(u'\u00AD');
            break;
        case '_':
            put(u'\u2011');
            break;
        case '\r':
        case '\n':
            // A backslash before a line end is an old way to write \par.
            put(u'\n');
            break;
        case '*':
            m_ignorableNext = true;
            break;
        default:
            break;
        }
    }

    void byte(unsigned char value)
    {
        switch (state().destination) {
        case Destination::text:
            if (value == '\t' || value >= 0x20)
                pushByte(value);
            break;
        case Destination::fontTable:
            if (value == ';') {
                flushBytes();
                commitFont();
            } else if (value >= 0x20) {
                pushByte(value);
            }
            break;
        case Destination::colourTable:
            if (value == ';')
                commitColour();
            break;
        default:
            break;
        }
    }

    // A character written as an escape, in whatever the current group is reading.
    void put(char16_t unit)
    {
        switch (state().destination) {
        case Destination::text:
            if (state().characters.hidden)
                break;
            // The character after an attachment only stands in for it.
            if (std::exchange(m_dropAttachmentMark, false) &&
                (unit == u'\u00AC' || unit == u'\uFFFC'))
                break;
            appendText(unit);
            break;
        case Destination::fontTable:
            m_fontName += QChar(unit);
            break;
        default:
            break;
        }
    }

    void unicodeCharacter(int parameter)
    {
        // RTF writes units above 32767 as negative numbers; some writers give whole code
        // points beyond the 16 bits instead.
        qint64 value = parameter;
        if (value < 0)
            value += 0x10000;
        if (value < 0 || value > 0x10FFFF)
            return;
        if (value <= 0xFFFF) {
            put(char16_t(value));
        } else {
            put(QChar::highSurrogate(char32_t(value)));
            put(QChar::lowSurrogate(char32_t(value)));
        }
    }

    // The body text is well-formed UTF-16 in the editor's terms: a surrogate without its
    // pair becomes U+FFFD, every paragraph separator '\n'.
    void appendText(char16_t unit)
    {
        if (m_heldHighSurrogate) {
            const char16_t high = std::exchange(m_heldHighSurrogate, 0);
            if (QChar::isLowSurrogate(unit)) {
                appendUnit(high);
                appendUnit(unit);
                return;
            }
            appendUnit(replacement);
        }
        if (QChar::isHighSurrogate(unit)) {
            m_heldHighSurrogate = unit;
            return;
        }
        if (QChar::isLowSurrogate(unit) || unit == 0xFDD0 || unit == 0xFDD1)
            unit = replacement; // the editor's document takes these two for frame marks
        else if (unit == '\r' || unit == 0x2029)
            unit = '\n';
        appendUnit(unit);
    }

    void appendUnit(char16_t unit)
    {
        if (m_attributesChanged) {
            m_attributesChanged = false;
            TextAttributes current = attributes();
            if (current != m_runAttributes) {
                flushRun();
                m_runAttributes = std::move(current);
            }
        }
        m_run += QChar(unit);
    }

    TextAttributes attributes() const
    {
        // Text that ends after the document's own group closed (a held half of a surrogate
        // pair) keeps the attributes of the run before it.
        if (m_stack.empty())
            return m_runAttributes;
        const CharacterState &characters = m_stack.back().characters;
        TextAttributes result;
        result.bold = characters.bold;
        result.italic = characters.italic;
        result.underline = characters.underline;
        result.strikethrough = characters.strikethrough;
        if (characters.font >= 0 && characters.font != m_defaultFont)
            result.fontFamily = m_fonts.value(characters.font);
        if (characters.halfPoints > 0)
            result.pointSize = characters.halfPoints / 2.0;
        if (characters.colour >= 0 && characters.colour < m_colours.size())
            result.foreground = m_colours.at(characters.colour);
        return result;
    }

    void flushRun()
    {
        m_text.append(m_run, m_runAttributes);
        m_run.clear();
    }

    void commitFont()
    {
        if (m_fontNumber >= 0) {
            m_fonts.insert(m_fontNumber, m_fontName.trimmed());
            const int codePage =
                m_fontEntryCodePage ? m_fontEntryCodePage : m_fontEntryCharsetCodePage;
            if (codePage)
                m_fontCodePages.insert(m_fontNumber, codePage);
        }
        m_fontNumber = -1;
        m_fontName.clear();
        m_fontEntryCodePage = 0;
        m_fontEntryCharsetCodePage = 0;
    }

    void commitColour()
    {
        m_colours.append(m_colourHasComponents ? std::optional(QColor(m_red, m_green, m_blue))
                                               : std::nullopt);
        m_colourHasComponents = false;
        m_red = m_green = m_blue = 0;
    }

    StyledText finish()
    {
        flushBytes();
        if (m_heldHighSurrogate) {
            m_heldHighSurrogate = 0;
            appendUnit(replacement);
        }
        flushRun();
        return std::move(m_text);
    }

    static constexpr char16_t replacement = 0xFFFD;
    static constexpr int minimumHalfPoints = 2;
    static constexpr int maximumHalfPoints = 3276;
    static constexpr int maximumUnicodeSkip = 16;

    Tokenizer m_tokens;
    std::vector<GroupState> m_stack;
    int m_overflow = 0;
    int m_fallbackToSkip = 0;
    bool m_ignorableNext = false;

    RtfCodePageDecoder m_decoder;
    QByteArray m_pendingBytes;
    int m_documentCodePage = RtfCodePage::windowsLatin;
    QHash<int, int> m_fontCodePages;
    // What the font table says of the font being read: its \cpg and its \fcharset.
    int m_fontEntryCodePage = 0;
    int m_fontEntryCharsetCodePage = 0;
    bool m_dropAttachmentMark = false;

    int m_defaultFont = 0;
    QHash<int, QString> m_fonts;
    int m_fontNumber = -1;
    QString m_fontName;
    QList<std::optional<QColor>> m_colours;
    bool m_colourHasComponents = false;
    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;

    StyledText m_text;
    QString m_run;
    TextAttributes m_runAttributes;
    bool m_attributesChanged = true;
    char16_t m_heldHighSurrogate = 0;
};

} // namespace

StyledText RtfReader::read(QByteArrayView rtf)
{
    qsizetype start = 0;
    if (rtf.startsWith("\xEF\xBB\xBF"))
        start = 3;
    while (start < rtf.size() &&
           (rtf[start] == ' ' || rtf[start] == '\t' || rtf[start] == '\r' || rtf[start] == '\n'))
        ++start;
    if (!rtf.sliced(start).startsWith("{\\rtf"))
        return {};
    return Parser(rtf, start).read();
}
