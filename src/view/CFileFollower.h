// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include <QByteArray>
#include <QObject>
#include <QString>

#include "filtering/FileChangeClassifier.h"

class CFileRangeReader;
class CSharedFileWatcher;

// Watches a log file that a view shows: through the process's shared watcher, which hands on the
// file system's notifications and has it look every second besides (network file systems send
// none). Without following it only tells that the file
// changed on disk. Following, it reads what was appended, on a reader thread, and hands it over;
// a file that was emptied or written anew (told by the last bytes handed over no longer being
// where they were), or replaced by another file of the same name (a rotated log), starts anew
// from its first byte. What changed is decided by ClassifyFileChange, as in the engine.
class CFileFollower : public QObject
{
    Q_OBJECT

public:
    // Bytes read at a time; what is more comes in the next turn.
    static constexpr std::size_t ChunkBytes = 4 * 1024 * 1024;

    // `offset` bytes of the file are shown already. Without a watcher, the process's shared one.
    CFileFollower(QString path, std::uint64_t offset, QObject* parent = nullptr, CSharedFileWatcher* watcher = nullptr);
    ~CFileFollower() override;

    void SetFollowing(bool following);
    bool IsFollowing() const { return m_bFollowing; }
    // The bytes of the file handed over (or shown before): where the next read starts.
    std::uint64_t GetOffset() const { return m_Known.Offset; }
    bool IsFileMissing() const { return m_bMissing; }
    // Looks at the file now (the watcher's notification and the poll come here).
    void Check();

Q_SIGNALS:
    // Not following: the file is no longer what is shown (once, until following starts).
    void ChangedOnDisk();
    // Following: bytes appended to the file, in order.
    void BytesAppended(const QByteArray& bytes);
    // Following: the file shrank (replaced false) or another file took its name; what comes
    // next is that file from its start.
    void FileRestarted(bool replaced);
    // The file is gone (missing true) or back (false).
    void FileMissingChanged(bool missing);

private:
    void OnRangeRead(std::uint64_t tag, std::uint64_t offset, const QByteArray& bytes, int error);
    bool OpenFile();

    void StartAgain(bool replaced);

    QString m_strPath;
    std::string m_strNativePath;
    FileReadState m_Known; // the open file, and what of it was handed over
    int m_nFd = -1;
    bool m_bFollowing = false;
    bool m_bToldChanged = false;
    bool m_bMissing = false;
    std::uint64_t m_nNextTag = 1;
    std::uint64_t m_nPendingTag = 0;
    CFileRangeReader* m_pReader = nullptr;
    CSharedFileWatcher* m_pWatcher;
    int m_nSubscription = 0;
};
