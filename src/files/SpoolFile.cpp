// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/SpoolFile.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* NamePrefix = "spool-";

// mkdir -p with mode 0700 for what is made; 0 or errno.
int MakeFolders(const std::string& folder)
{
    if (folder.empty())
        return ENOENT;
    std::string path;
    std::size_t start = 0;
    while (start <= folder.size()) {
        const std::size_t slash = folder.find('/', start);
        const std::size_t end = slash == std::string::npos ? folder.size() : slash;
        path = folder.substr(0, end);
        start = end + 1;
        if (path.empty())
            continue;
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    struct stat status
    {
    };
    if (::stat(folder.c_str(), &status) != 0)
        return errno;
    return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
}

// The pid in "spool-PID-label-XXXXXX", or 0 when the name is not one of ours.
pid_t PidOfName(const char* name)
{
    const std::size_t prefix = std::strlen(NamePrefix);
    if (std::strncmp(name, NamePrefix, prefix) != 0)
        return 0;
    char* end = nullptr;
    errno = 0;
    const long pid = std::strtol(name + prefix, &end, 10);
    if (errno != 0 || end == name + prefix || *end != '-' || pid <= 0)
        return 0;
    return static_cast<pid_t>(pid);
}

bool ProcessRuns(pid_t pid)
{
    // EPERM: it runs, as another user.
    if (::kill(pid, 0) != 0 && errno != EPERM)
        return false;
    // A process that ended but was not reaped yet ("Z"), as under a parent that never waits,
    // writes nothing any more.
    const std::string statPath = "/proc/" + std::to_string(pid) + "/stat";
    FILE* stat = std::fopen(statPath.c_str(), "re");
    if (!stat)
        return true;
    char line[512] = {};
    const bool read = std::fgets(line, sizeof line, stat) != nullptr;
    std::fclose(stat);
    const char* nameEnd = read ? std::strrchr(line, ')') : nullptr;
    return !(nameEnd && nameEnd[1] == ' ' && nameEnd[2] == 'Z');
}

} // namespace

SpoolFile::~SpoolFile()
{
    Remove();
}

std::string SpoolFile::DefaultFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/')
        return std::string(runtime) + "/ostrel";
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/')
        return std::string(cache) + "/ostrel";
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] == '/' ? home : "/tmp") + "/.cache/ostrel";
}

int SpoolFile::Create(const std::string& folder, const std::string& label)
{
    Remove();
    if (const int error = MakeFolders(folder); error != 0)
        return error;
    std::string pattern = folder + '/' + NamePrefix + std::to_string(::getpid()) + '-' + label + "-XXXXXX";
    // mkstemp opens with O_CREAT | O_EXCL and mode 0600.
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    m_nFd = fd;
    m_strPath = pattern;
    return 0;
}

void SpoolFile::Remove()
{
    if (m_nFd >= 0)
        ::close(m_nFd);
    m_nFd = -1;
    if (!m_strPath.empty())
        ::unlink(m_strPath.c_str());
    m_strPath.clear();
}

int SpoolFile::SweepLeftovers(const std::string& folder)
{
    DIR* directory = ::opendir(folder.c_str());
    if (!directory)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(directory)) {
        const pid_t pid = PidOfName(entry->d_name);
        if (pid == 0 || ProcessRuns(pid))
            continue;
        if (::unlinkat(::dirfd(directory), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(directory);
    return removed;
}
