// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

// The C library's wide decimal conversion to an int: leading white space and one sign are
// accepted, then the leading digits are converted; text without leading digits gives 0, and a
// value beyond the int range saturates at its limit.
int ConvertDecimalText(QStringView text);

// A line count as the number fields and the list cells show it.
QString FormatDecimal(int nValue);
