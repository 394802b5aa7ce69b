// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/RtfReader.h"

#include "model/RtfCodePage.h"
#include "model/RtfTokenizer.h"

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

using RtfSyntax::Keyword;
using RtfSyntax::KeywordEntry;
using RtfSyntax::lookUp;
using RtfSyntax::Token;
using RtfSyntax::Tokenizer;

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
