// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/DecimalText.h"

#include <cstdint>
#include <cwctype>
#include <limits>

int ConvertDecimalText(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i].unicode())))
        ++i;
    bool bNegative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        bNegative = text[i] == u'-';
        ++i;
    }
    // Accumulated as a magnitude that stops growing once it is past the int range.
    constexpr std::int64_t Limit = std::int64_t{std::numeric_limits<int>::max()} + 1;
    std::int64_t nMagnitude = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (nMagnitude <= Limit)
            nMagnitude = nMagnitude * 10 + (text[i].unicode() - u'0');
    }
    if (bNegative)
        return nMagnitude >= Limit ? std::numeric_limits<int>::min() : static_cast<int>(-nMagnitude);
    return nMagnitude >= Limit ? std::numeric_limits<int>::max() : static_cast<int>(nMagnitude);
}

QString FormatDecimal(int nValue)
{
    return QString::number(nValue);
}
