// SPDX-License-Identifier: GPL-3.0-or-later
#include "updates/VersionComparator.h"

#include <QList>

namespace VersionComparator {

namespace {

struct Part
{
    bool isNumber = false;
    QString text; // digits without leading zeros, or a word in lower case
};

// Runs of digits and runs of letters; everything else only separates them.
QList<Part> parts(const QString &version)
{
    QList<Part> result;
    qsizetype i = 0;
    const qsizetype n = version.size();
    while (i < n) {
        const QChar c = version.at(i);
        if (c.isDigit() && c.unicode() < 128) {
            qsizetype j = i;
            while (j < n && version.at(j).isDigit() && version.at(j).unicode() < 128)
                ++j;
            QString digits = version.mid(i, j - i);
            while (digits.size() > 1 && digits.startsWith(u'0'))
                digits.remove(0, 1);
            result.append({true, digits});
            i = j;
        } else if (c.isLetter()) {
            qsizetype j = i;
            while (j < n && version.at(j).isLetter())
                ++j;
            result.append({false, version.mid(i, j - i).toLower()});
            i = j;
        } else {
            ++i;
        }
    }
    return result;
}

// Numbers of any length: longer means larger once leading zeros are gone.
int compareNumbers(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

bool isZero(const Part &part)
{
    return part.isNumber && part.text == u"0";
}

} // namespace

int compare(const QString &a, const QString &b)
{
    const QList<Part> left = parts(a);
    const QList<Part> right = parts(b);
    const qsizetype common = std::min(left.size(), right.size());
    for (qsizetype i = 0; i < common; ++i) {
        const Part &l = left[i];
        const Part &r = right[i];
        if (l.isNumber && r.isNumber) {
            if (const int order = compareNumbers(l.text, r.text))
                return order;
        } else if (l.isNumber != r.isNumber) {
            // A number where the other has a word: the release beats its pre-release.
            return l.isNumber ? 1 : -1;
        } else if (const int order = l.text.compare(r.text)) {
            return order < 0 ? -1 : 1;
        }
    }

    // The longer one goes on: a word there makes it a pre-release of the shorter, a
    // non-zero number makes it newer, and zeros change nothing.
    const QList<Part> &longer = left.size() > right.size() ? left : right;
    const int sign = left.size() > right.size() ? 1 : -1;
    for (qsizetype i = common; i < longer.size(); ++i) {
        if (!longer[i].isNumber)
            return -sign;
        if (!isZero(longer[i]))
            return sign;
    }
    return 0;
}

} // namespace VersionComparator
