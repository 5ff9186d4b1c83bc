// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QString;

// Whether other processes are using a file, from what /proc shows of their open descriptors.
class CFileUsage
{
public:
    // True when another process holds the regular file open for writing. Never opens the file
    // (a named pipe would wait for a writer). Processes of other users whose descriptors we may
    // not see count as not holding it.
    static bool IsFileInUse(const QString& path);
};
