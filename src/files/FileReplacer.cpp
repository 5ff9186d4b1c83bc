// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/FileReplacer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <memory>
#include <sys/random.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr int MaxLinkHops = 40; // as many as the kernel follows
constexpr std::size_t MaxNameLength = NAME_MAX;
constexpr std::string_view TemporaryInfix = ".ostrel-";
constexpr std::string_view TemporarySuffix = ".tmp";
constexpr std::size_t RandomLetterCount = 6;
constexpr int NameAttempts = 100;
constexpr std::size_t CopyBufferSize = 1024 * 1024;
constexpr std::size_t MaxKernelCopy = std::size_t{1} << 30;

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string RandomLetters()
{
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char bytes[RandomLetterCount] = {};
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        // Only before the kernel's pool is ready: clock, process and a counter keep clashes rare,
        // and O_EXCL or the link's EEXIST catches the ones that happen.
        static std::atomic<std::uint64_t> s_nCounter{0};
        std::uint64_t seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                             (static_cast<std::uint64_t>(::getpid()) << 32) ^ s_nCounter.fetch_add(1);
        for (unsigned char& byte : bytes) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            byte = static_cast<unsigned char>(seed >> 56);
        }
    }
    std::string letters;
    for (const unsigned char byte : bytes)
        letters += Letters[byte % (sizeof Letters - 1)];
    return letters;
}

// ".NAME.ostrel-XXXXXX.tmp", with NAME shortened so that the whole stays a valid file name.
std::string TemporaryNameFor(const std::string& name)
{
    const std::size_t extra = 1 + TemporaryInfix.size() + RandomLetterCount + TemporarySuffix.size();
    std::string temporary = ".";
    temporary += name.substr(0, MaxNameLength - extra);
    temporary += TemporaryInfix;
    temporary += RandomLetters();
    temporary += TemporarySuffix;
    return temporary;
}

int WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t count = ::write(fd, data.data(), data.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return errno;
        data.remove_prefix(static_cast<std::size_t>(count));
    }
    return 0;
}

// Copies the first size bytes of from to the current position of to. Returns 0 or errno.
int CopyData(int from, int to, std::uint64_t size)
{
    off64_t offset = 0;
    bool kernelCopy = true;
    std::unique_ptr<char[]> buffer;
    while (static_cast<std::uint64_t>(offset) < size) {
        const std::size_t wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(size - static_cast<std::uint64_t>(offset), MaxKernelCopy));
        if (kernelCopy) {
            const ssize_t copied = ::copy_file_range(from, &offset, to, nullptr, wanted, 0);
            if (copied < 0 && errno == EINTR)
                continue;
            if (copied < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                kernelCopy = false; // the kernel cannot do it here; the position of to is where it stopped
                continue;
            }
            if (copied < 0)
                return errno;
            if (copied == 0)
                return EIO; // the copy is shorter than what was written to it
            continue;
        }
        if (!buffer)
            buffer = std::make_unique<char[]>(CopyBufferSize);
        const ssize_t got = ::pread(from, buffer.get(), std::min(wanted, CopyBufferSize), offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return EIO;
        if (const int error = WriteAll(to, std::string_view(buffer.get(), static_cast<std::size_t>(got))); error != 0)
            return error;
        offset += got;
    }
    return 0;
}

} // namespace

FileReplacer::FileReplacer(std::string path, TemporaryFileKind kind) : m_strPath(std::move(path)), m_Kind(kind) {}

FileReplacer::~FileReplacer()
{
    Abandon();
}

int FileReplacer::Begin()
{
    if (m_Stage != Stage::Idle)
        return m_nError != 0 ? m_nError : EINVAL;
    if (const int error = ResolveTarget(); error != 0)
        return Fail(error);
    if (const int error = OpenFolder(); error != 0)
        return Fail(error);
    struct stat info = {};
    if (::fstatat(m_nFolder, m_strName.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(info.st_mode))
            return Fail(EISDIR);
        // A link that appeared since it was resolved, a pipe or a device: not a file to replace.
        if (!S_ISREG(info.st_mode))
            return Fail(EINVAL);
        // A read-only file stays as it is, even in a folder that would let us replace it.
        if (::faccessat(m_nFolder, m_strName.c_str(), W_OK, AT_EACCESS) != 0)
            return Fail(errno);
        m_bExists = true;
        m_Existing = info;
    } else if (errno != ENOENT) {
        return Fail(errno);
    }
    // A replacement starts private and gets the old file's mode once its owner is settled.
    if (const int error = CreateTemporaryFile(m_bExists ? 0600 : 0666); error != 0)
        return Fail(error);
    if (m_bExists)
        TakeOverOwnerAndMode();
    m_Stage = Stage::Writing;
    return 0;
}

int FileReplacer::Write(std::string_view data)
{
    if (m_Stage != Stage::Writing)
        return m_nError != 0 ? m_nError : EINVAL;
    if (const int error = WriteAll(m_nFile, data); error != 0)
        return Fail(error);
    m_nWritten += data.size();
    return 0;
}

int FileReplacer::Commit()
{
    if (m_Stage != Stage::Writing)
        return m_nError != 0 ? m_nError : EINVAL;
    if (::fsync(m_nFile) != 0)
        return Fail(errno);
    const bool inPlace = m_bExists && m_Existing.st_nlink > 1;
    if (const int error = inPlace ? RewriteInPlace() : LinkIn(); error != 0)
        return Fail(error);
    if (m_Outcome == ReplaceOutcome::None)
        m_Outcome = ReplaceOutcome::Replaced;
    CloseAll();
    m_Stage = Stage::Done;
    return 0;
}

void FileReplacer::Abandon()
{
    if (m_Stage == Stage::Done || m_Stage == Stage::Failed)
        return;
    CloseAll();
    m_nError = ECANCELED;
    m_Stage = Stage::Failed;
}

int FileReplacer::Fail(int error)
{
    CloseAll();
    m_nError = error != 0 ? error : EIO;
    m_Stage = Stage::Failed;
    return m_nError;
}

int FileReplacer::ResolveTarget()
{
    if (m_strPath.empty())
        return ENOENT;
    // Follows the last part of the path through every link, as the kernel would; the folders on
    // the way are the kernel's to follow. A name that does not exist is the file to create.
    std::string current = m_strPath;
    for (int hops = 0;; ++hops) {
        struct stat info = {};
        if (::lstat(current.c_str(), &info) != 0) {
            if (errno == ENOENT)
                break;
            return errno;
        }
        if (!S_ISLNK(info.st_mode))
            break;
        if (hops == MaxLinkHops)
            return ELOOP;
        char buffer[PATH_MAX];
        const ssize_t length = ::readlink(current.c_str(), buffer, sizeof buffer);
        if (length < 0)
            return errno;
        if (static_cast<std::size_t>(length) == sizeof buffer)
            return ENAMETOOLONG;
        const std::string target(buffer, static_cast<std::size_t>(length));
        if (target.empty())
            return ENOENT;
        // A relative link is relative to the folder that holds it.
        current = target.front() == '/' ? target : FolderOf(current) + "/" + target;
    }
    m_strFolder = FolderOf(current);
    m_strName = NameOf(current);
    if (m_strName.empty() || m_strName == "." || m_strName == "..")
        return EISDIR;
    m_strResolvedPath = current;
    return 0;
}

int FileReplacer::OpenFolder()
{
    // Everything after this goes through the descriptor, so a folder renamed meanwhile still
    // gets the file. It is opened for reading to be synced; a folder we may not list is still
    // usable, only not synced.
    m_nFolder = ::open(m_strFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    m_bFolderSyncable = m_nFolder >= 0;
    if (m_nFolder < 0 && errno == EACCES)
        m_nFolder = ::open(m_strFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return m_nFolder < 0 ? errno : 0;
}

int FileReplacer::CreateTemporaryFile(mode_t mode)
{
    // Read and write: a file with several names is copied back from it.
    if (m_Kind == TemporaryFileKind::Unnamed) {
        m_nFile = ::openat(m_nFolder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
        if (m_nFile >= 0)
            return 0;
        // Other errors (no right to write the folder, no space) would be the same for a name.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return errno;
        m_Kind = TemporaryFileKind::Named;
    }
    // Without O_TMPFILE the data waits under a name of its own. Every failure and Abandon remove
    // it; only a process killed before Commit leaves it behind, as ".NAME.ostrel-XXXXXX.tmp".
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        std::string name = TemporaryNameFor(m_strName);
        m_nFile = ::openat(m_nFolder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (m_nFile >= 0) {
            m_strTemporaryName = std::move(name);
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

void FileReplacer::TakeOverOwnerAndMode()
{
    // Root keeps owner and group. Anyone else keeps the group when a member of it; the owner is
    // then the writer. The mode follows, never granting more than the old file did: permissions
    // meant for a group the file no longer has are dropped, and so are set-user-ID and
    // set-group-ID for an owner or group that changed. Failures leave the file private (0600).
    const struct stat& old = m_Existing;
    if (::fchown(m_nFile, old.st_uid, old.st_gid) != 0 && ::fchown(m_nFile, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // Neither: the file stays the writer's, in the writer's group; the mode below allows for it.
    }
    struct stat now = {};
    if (::fstat(m_nFile, &now) != 0)
        return;
    mode_t mode = old.st_mode & 07777;
    if (now.st_uid != old.st_uid)
        mode &= ~static_cast<mode_t>(S_ISUID);
    if (now.st_gid != old.st_gid)
        mode &= ~static_cast<mode_t>(S_ISGID | S_IRWXG);
    // After the chown: changing the owner clears set-user-ID and set-group-ID.
    if (::fchmod(m_nFile, mode) != 0) {
        // The file stays 0600, stricter than the old one; the save itself is not harmed.
    }
}

int FileReplacer::LinkUnnamedFile(std::string& name)
{
    // Linking a descriptor by AT_EMPTY_PATH needs a privilege; its /proc name works for anyone.
    const std::string byDescriptor = "/proc/self/fd/" + std::to_string(m_nFile);
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        name = TemporaryNameFor(m_strName);
        if (::linkat(AT_FDCWD, byDescriptor.c_str(), m_nFolder, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return 0;
        if (errno == ENOENT && ::linkat(m_nFile, "", m_nFolder, name.c_str(), AT_EMPTY_PATH) == 0)
            return 0; // no /proc
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

int FileReplacer::LinkIn()
{
    if (m_Kind == TemporaryFileKind::Unnamed) {
        // From here to the rename a killed process would leave this name behind.
        std::string name;
        if (const int error = LinkUnnamedFile(name); error != 0)
            return error;
        m_strTemporaryName = std::move(name);
    }
    if (::renameat(m_nFolder, m_strTemporaryName.c_str(), m_nFolder, m_strName.c_str()) != 0)
        return errno; // the temporary name goes with the failure
    m_strTemporaryName.clear();
    // Makes the rename itself durable; a failure here does not undo the save.
    if (m_bFolderSyncable && ::fsync(m_nFolder) != 0) {
        // The file is in place; only a crash soon after could still show the old one.
    }
    return 0;
}

int FileReplacer::RewriteInPlace()
{
    const int target = ::openat(m_nFolder, m_strName.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (target < 0)
        return errno; // nothing was touched
    struct stat now = {};
    if (::fstat(target, &now) != 0 || now.st_dev != m_Existing.st_dev || now.st_ino != m_Existing.st_ino) {
        // Someone replaced the file since Begin, and so took it away from its other names: the
        // name gets our file like any other replaced file.
        ::close(target);
        return LinkIn();
    }
    // Refused while the old content still stands, when it plainly cannot fit.
    struct statvfs room = {};
    if (::fstatvfs(target, &room) == 0 && room.f_blocks > 0) {
        const std::uint64_t freeBlocks = ::geteuid() == 0 ? room.f_bfree : room.f_bavail;
        const std::uint64_t available =
            freeBlocks * room.f_frsize + static_cast<std::uint64_t>(std::max<blkcnt_t>(now.st_blocks, 0)) * 512;
        if (m_nWritten > available) {
            ::close(target);
            return ENOSPC;
        }
    }
    if (::ftruncate(target, 0) != 0) {
        const int error = errno;
        ::close(target);
        return error;
    }
    int error = CopyData(m_nFile, target, m_nWritten);
    if (error == 0 && ::fsync(target) != 0)
        error = errno;
    if (::close(target) != 0 && error == 0)
        error = errno;
    if (error == 0) {
        m_Outcome = ReplaceOutcome::WrittenInPlace;
        return 0;
    }
    // The old content is gone from every name. Losing the new one as well helps nobody: the
    // finished copy takes the saved name, whose file is whole again (only no longer shared).
    if (LinkIn() == 0)
        m_Outcome = ReplaceOutcome::ReplacedAfterInPlaceFailure;
    else
        m_strTemporaryName.clear(); // a name the copy got stays: it may be all that is left of it
    return error;
}

void FileReplacer::CloseAll()
{
    if (m_nFile >= 0) {
        ::close(m_nFile);
        m_nFile = -1;
    }
    if (!m_strTemporaryName.empty()) {
        ::unlinkat(m_nFolder, m_strTemporaryName.c_str(), 0);
        m_strTemporaryName.clear();
    }
    if (m_nFolder >= 0) {
        ::close(m_nFolder);
        m_nFolder = -1;
    }
}

int ReplaceFileContent(const std::string& path, std::string_view data)
{
    FileReplacer replacer(path);
    int error = replacer.Begin();
    if (error == 0)
        error = replacer.Write(data);
    if (error == 0)
        error = replacer.Commit();
    return error;
}
