// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/CFileUsage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTextStream>

namespace {

bool IsOpenForWriting(const QString& fdInfoPath)
{
    QFile info(fdInfoPath);
    if (!info.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QByteArray text = info.readAll();
    for (const QByteArray& line : text.split('\n')) {
        if (!line.startsWith("flags:"))
            continue;
        bool ok = false;
        const unsigned flags = line.mid(6).trimmed().toUInt(&ok, 8);
        return ok && (flags & O_ACCMODE) != O_RDONLY;
    }
    return false;
}

} // namespace

bool CFileUsage::IsFileInUse(const QString& path)
{
    // Looked at, never opened: opening a path that has become a named pipe waits for a writer.
    // A file that is gone or is no file at all is not in use; the reload that follows says why
    // it cannot be read.
    struct stat target = {};
    if (::stat(QFile::encodeName(path).constData(), &target) != 0 || !S_ISREG(target.st_mode))
        return false;

    const QString self = QString::number(::getpid());
    const QDir proc(QStringLiteral("/proc"));
    const QStringList processes = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& process : processes) {
        bool isPid = false;
        process.toUInt(&isPid);
        if (!isPid || process == self)
            continue;
        const QString fdFolder = QStringLiteral("/proc/") % process % QStringLiteral("/fd");
        const QStringList descriptors =
            QDir(fdFolder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& descriptor : descriptors) {
            struct stat opened = {};
            const QByteArray link = QFile::encodeName(fdFolder % u'/' % descriptor);
            if (::stat(link.constData(), &opened) != 0)
                continue;
            if (opened.st_dev != target.st_dev || opened.st_ino != target.st_ino)
                continue;
            if (IsOpenForWriting(QStringLiteral("/proc/") % process % QStringLiteral("/fdinfo/") % descriptor))
                return true;
        }
    }
    return false;
}
