// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/RtfCodePage.h"

#include "model/Windows1252.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <string>

namespace RtfCodePage {

int forCharacterSet(int characterSet)
{
    struct Entry
    {
        int characterSet;
        int codePage;
    };
    // Windows' character-set numbers, and the Mac ones Word and TextEdit write.
    static constexpr std::array<Entry, 32> table = {{
        {77, 10000}, {78, 10001}, {79, 10003}, {80, 10008}, {81, 10002}, {83, 10005}, {84, 10004},
        {85, 10006}, {86, 10081}, {87, 10021}, {88, 10029}, {89, 10007}, {128, 932},  {129, 949},
        {130, 1361}, {134, 936},  {136, 950},  {161, 1253}, {162, 1254}, {163, 1258}, {177, 1255},
        {178, 1256}, {179, 1256}, {180, 1256}, {181, 1255}, {186, 1257}, {204, 1251}, {222, 874},
        {238, 1250}, {254, 437},  {255, 850},  {200, 1251},
    }};
    for (const Entry &entry : table) {
        if (entry.characterSet == characterSet)
            return entry.codePage;
    }
    return 0;
}

} // namespace RtfCodePage

namespace {

// ICU's names for a Windows code page number. The Mac script code pages that ICU has
// under their own names come first; the Mac CJK pages read as their Windows relatives,
// which agree on every character a text document uses.
std::array<std::string, 3> namesFor(int codePage)
{
    switch (codePage) {
    case 10000:
        return {"macintosh", "", ""};
    case 10006:
        return {"x-mac-greek", "", ""};
    case 10007:
        return {"x-mac-cyrillic", "", ""};
    case 10029:
        return {"x-mac-centraleurroman", "", ""};
    case 10081:
        return {"x-mac-turkish", "", ""};
    case 10001:
        codePage = 932;
        break;
    case 10002:
        codePage = 950;
        break;
    case 10003:
        codePage = 949;
        break;
    case 10008:
        codePage = 936;
        break;
    case 65001:
        return {"UTF-8", "", ""};
    default:
        break;
    }
    const std::string number = std::to_string(codePage);
    return {"windows-" + number, "cp" + number, "ibm-" + number};
}

bool isDocumentText(char16_t unit)
{
    // Single-byte converters put U+001A (SUB) where a byte has no character.
    return unit != 0x1A;
}

} // namespace

void RtfCodePageDecoder::Closer::operator()(UConverter *converter) const
{
    ucnv_close(converter);
}

RtfCodePageDecoder::RtfCodePageDecoder() = default;
RtfCodePageDecoder::~RtfCodePageDecoder() = default;

UConverter *RtfCodePageDecoder::converter(int codePage)
{
    const auto found = m_converters.find(codePage);
    if (found != m_converters.end())
        return found->second.get();
    Converter opened;
    for (const std::string &name : namesFor(codePage)) {
        if (name.empty())
            break;
        UErrorCode error = U_ZERO_ERROR;
        opened.reset(ucnv_open(name.c_str(), &error));
        if (U_SUCCESS(error) && opened)
            break;
        opened.reset();
    }
    UConverter *const result = opened.get();
    m_converters.emplace(codePage, std::move(opened));
    return result;
}

QString RtfCodePageDecoder::decode(int codePage, QByteArrayView bytes)
{
    QString text;
    if (bytes.isEmpty())
        return text;
    UConverter *const icu = codePage == RtfCodePage::windowsLatin ? nullptr : converter(codePage);
    if (!icu) {
        text.reserve(bytes.size());
        for (const char byte : bytes)
            text += QChar(Windows1252::toUnicode(static_cast<unsigned char>(byte)));
        return text;
    }
    // Streamed in slices so that a run of any length fits ICU's 32-bit sizes; the
    // converter keeps a lead byte that ends one slice for the next.
    ucnv_reset(icu);
    constexpr qsizetype slice = 4096;
    const char *source = bytes.data();
    const char *const sourceEnd = source + bytes.size();
    while (source < sourceEnd) {
        const char *const sliceEnd = source + std::min(slice, qsizetype(sourceEnd - source));
        const bool last = sliceEnd == sourceEnd;
        // No code page gives more than two UTF-16 units per byte.
        std::array<UChar, 2 * slice + 4> target;
        UChar *out = target.data();
        UErrorCode error = U_ZERO_ERROR;
        ucnv_toUnicode(icu, &out, target.data() + target.size(), &source, sliceEnd, nullptr, last,
                       &error);
        text.append(reinterpret_cast<const QChar *>(target.data()), out - target.data());
        if (U_FAILURE(error)) {
            // Cannot happen with the substituting callback; still, show that text was here.
            text += QChar(0xFFFD);
            break;
        }
    }
    for (QChar &unit : text) {
        if (!isDocumentText(unit.unicode()))
            unit = QChar(0xFFFD);
    }
    return text;
}
