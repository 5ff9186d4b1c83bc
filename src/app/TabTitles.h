// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// For each path, the trailing folders that tell its file apart from open files of the same name:
// empty for a name that is open once, else the parent folder ("b" for /a/b/app.log), or as many
// folders as it takes when the parents are alike too ("x/logs" beside "y/logs"). The same order
// as the paths.
QStringList DistinguishingFolders(const QStringList& paths);
