// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/stat.h>

// Where the data waits until Commit.
enum class TemporaryFileKind
{
    Unnamed, // O_TMPFILE in the target's folder: nothing of it exists on disk until it is linked in
    Named,   // ".NAME.ostrel-XXXXXX.tmp" in the target's folder; what file systems without O_TMPFILE get
};

// What Commit did to the file.
enum class ReplaceOutcome
{
    None,                        // not committed (yet), or it failed and the old file is as it was
    Replaced,                    // the new file took the name: a new file, or one that had only this name
    WrittenInPlace,              // the file has other names: its content was rewritten, every name sees it
    ReplacedAfterInPlaceFailure, // the rewrite failed part-way; the full new text took this name alone
};

// Writes one user file so that it ends up either wholly old or wholly new, and so that it stays
// what it was: its mode, owner and group, the symbolic links that lead to it and the other
// names (hard links) it has.
//
//     FileReplacer replacer(path);
//     int error = replacer.Begin();
//     while (error == 0 && more)
//         error = replacer.Write(chunk);
//     error = error == 0 ? replacer.Commit() : error;   // or Abandon(); the destructor abandons
//
// The data goes to a new, unnamed file in the folder of the file that is replaced, and is
// linked in only at the end: a process killed before Commit leaves nothing behind. A symbolic
// link (or chain of them) as the path replaces the file at its end and keeps the links; a
// dangling link creates the file it names. A file with more than one name is rewritten in place
// from the finished copy, so all its names keep sharing it. A file this process may not write
// stays untouched, even in a folder that would let it be replaced.
//
// Every call returns 0 or the errno of what failed; nothing throws. After a failure the old
// file is as it was (ReplaceOutcome::ReplacedAfterInPlaceFailure, documented at Commit, is the
// one exception) and nothing of the new one is left. One object is used by one thread at a time;
// different objects are independent.
class FileReplacer
{
public:
    // path is the file name as the file system spells it (bytes). Nothing happens before Begin.
    explicit FileReplacer(std::string path, TemporaryFileKind kind = TemporaryFileKind::Unnamed);
    ~FileReplacer(); // abandons what was not committed
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;

    // Resolves the links, checks that the file may be written, and creates the new file with
    // the old one's owner, group and mode (or 0666 less the umask for a new file).
    int Begin();
    // Appends data to the new file. A failure is kept: later calls and Commit return it.
    int Write(std::string_view data);
    // Puts the written data in place of the file (see the class comment), durably: the data and
    // the folder are synced. A failure leaves the old file intact, with one exception: when a
    // file with several names was truncated for its rewrite and the rewrite then fails, its
    // content is lost already; the finished copy then takes the saved name (which so shows the
    // whole new text), the other names keep what the failed rewrite left, and the rewrite's
    // errno is returned.
    int Commit();
    // Drops the new data; the old file stays as it was. Safe to call at any time, and twice.
    void Abandon();

    // The file that is (or was) replaced, after the links are followed; set by Begin.
    const std::string& GetResolvedPath() const { return m_strResolvedPath; }
    // The kind of temporary file Begin used; Named also when Unnamed was asked for and the file
    // system does not support it.
    TemporaryFileKind GetTemporaryKind() const { return m_Kind; }
    ReplaceOutcome GetOutcome() const { return m_Outcome; }

private:
    enum class Stage
    {
        Idle,
        Writing,
        Failed,
        Done,
    };

    int Fail(int error);
    int ResolveTarget();
    int OpenFolder();
    int CreateTemporaryFile(mode_t mode);
    void TakeOverOwnerAndMode();
    int LinkUnnamedFile(std::string& name);
    int LinkIn();
    int RewriteInPlace();
    void CloseAll();

    std::string m_strPath;
    std::string m_strResolvedPath;
    std::string m_strFolder;
    std::string m_strName;          // the file's name in m_strFolder
    std::string m_strTemporaryName; // the named temporary file while it exists in the folder
    TemporaryFileKind m_Kind;
    Stage m_Stage = Stage::Idle;
    ReplaceOutcome m_Outcome = ReplaceOutcome::None;
    int m_nError = 0;
    int m_nFolder = -1;
    int m_nFile = -1;
    bool m_bFolderSyncable = false;
    bool m_bExists = false;
    struct stat m_Existing = {};
    std::uint64_t m_nWritten = 0;
};

// Replaces the file at path by data through a FileReplacer. Returns 0 or errno.
int ReplaceFileContent(const std::string& path, std::string_view data);
