// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

#include <QString>

// The end of a filter settings file that stops inside a "<Filter>" block: the reader loads
// nothing from such a file and says nothing, so the dialog tells where the file ended.
struct UnclosedFilter
{
    std::int64_t Line = 0; // the last line read, counted as the reader counts (254-character pieces)
    QString Text;          // that line as read, its line feed included
};

// Scans a file that the reader read without a complaint. Nothing when the file ends outside a
// "<Filter>" block or cannot be read.
std::optional<UnclosedFilter> FindUnclosedFilter(const QString& path);

// "Illegal Filter Setting in "path" on Line n:  "text"", the reader's message for that line.
QString UnclosedFilterMessage(const QString& path, const UnclosedFilter& end);
