// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/COstrelSettings.h"

namespace {

QString g_strSettingsFile; // empty: the user's usual file

} // namespace

COstrelSettings::COstrelSettings() : QSettings(GetFileName(), QSettings::IniFormat) {}

QString COstrelSettings::GetFileName()
{
    return g_strSettingsFile.isEmpty() ? GetDefaultFileName() : g_strSettingsFile;
}

void COstrelSettings::SetFileName(const QString& path)
{
    g_strSettingsFile = path;
}

QString COstrelSettings::GetDefaultFileName()
{
    // The native store on Linux is this very INI file; asking QSettings for its name keeps the
    // folder it would choose (and the one tests give it).
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Quorrel"), QStringLiteral("Ostrel"))
        .fileName();
}
