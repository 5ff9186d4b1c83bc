// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// The files a log rotation leaves beside a live log, read as one log oldest first: `app.log`
// with `app.log.1`, `app.log.2.gz`, ... (numbered: the higher the number, the older) or with
// `app.log-20261201`, `app.log-20261202.gz`, ... (dated: the earlier, the older). A rotated file
// may be compressed (.gz, .zst, .xz, .bz2) or not.
//
// Where a numbered file is there both plain and compressed (the rotation is compressing it right
// now), the plain one is read and the other left out, so that no line comes twice.
struct RotatedSetMember
{
    enum class Kind
    {
        Dated,
        Numbered,
        Live,
    };
    std::string Path;
    Kind Which = Kind::Live;
};

// The set `path` belongs to, oldest first, the live file last (when it exists). `path` may name
// the live file or any rotated one. False, with the reason, when the folder cannot be read or
// no file of the set is there.
bool FindRotatedSet(const std::string& path, std::vector<RotatedSetMember>& members, std::string& error);

// Whether `name` is a rotated name of the log named `base` (both without folders), and how old:
// for tests and for telling a set's files apart from others in a folder.
bool IsRotatedName(const std::string& base, const std::string& name, RotatedSetMember::Kind& kind, std::string& age);
