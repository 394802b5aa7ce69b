// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/SearchFolding.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace SearchFolding {

namespace {

bool isAscii(QStringView text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

} // namespace

QString fold(QStringView text)
{
    if (isAscii(text))
        return text.toString().toLower();

    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *nfd = icu::Normalizer2::getNFDInstance(status);
    const icu::UnicodeString source(false, reinterpret_cast<const UChar *>(text.utf16()),
                                    int32_t(text.size()));
    icu::UnicodeString decomposed = U_SUCCESS(status) ? nfd->normalize(source, status) : source;
    if (U_FAILURE(status))
        decomposed = source;

    icu::UnicodeString stripped;
    for (int32_t i = 0; i < decomposed.length();) {
        const UChar32 c = decomposed.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK)
            stripped.append(c);
        i += U16_LENGTH(c);
    }
    stripped.foldCase();
    return QString(reinterpret_cast<const QChar *>(stripped.getBuffer()), stripped.length());
}

bool contains(QStringView haystack, QStringView needle)
{
    return fold(haystack).contains(fold(needle));
}

} // namespace SearchFolding
