// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/MappedFile.h"

#include <mutex>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

thread_local MappedReadGuard* t_pActiveGuard = nullptr;
struct sigaction g_PreviousBusAction
{
};

void OnBusError(int signal, siginfo_t* info, void* context)
{
    OnMappedReadFault(signal, info, context);
}

void InstallBusErrorHandler()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action
        {
        };
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &g_PreviousBusAction);
    });
}

} // namespace

void OnMappedReadFault(int, void* information, void*)
{
    MappedReadGuard* guard = t_pActiveGuard;
    const auto* address = static_cast<const char*>(static_cast<siginfo_t*>(information)->si_addr);
    if (guard != nullptr && address >= guard->m_pBegin && address < guard->m_pEnd) {
        t_pActiveGuard = nullptr; // a second fault before a new guard is not ours
        siglongjmp(guard->m_Jump, 1);
    }
    // Not a read of ours: put back what was there; the faulting read runs again under it.
    sigaction(SIGBUS, &g_PreviousBusAction, nullptr);
}

MappedFile::MappedFile(int fd, std::uint64_t size)
{
    if (size == 0 || size > SIZE_MAX)
        return;
    void* data = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (data == MAP_FAILED)
        return;
    ::madvise(data, static_cast<std::size_t>(size), MADV_SEQUENTIAL);
    m_pData = static_cast<const char*>(data);
    m_nSize = static_cast<std::size_t>(size);
}

void MappedFile::Release(const char* upTo)
{
    static const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t end = static_cast<std::size_t>(upTo - m_pData) / page * page;
    if (m_pData == nullptr || end <= m_nReleased)
        return;
    ::madvise(const_cast<char*>(m_pData) + m_nReleased, end - m_nReleased, MADV_DONTNEED);
    m_nReleased = end;
}

MappedFile::~MappedFile()
{
    if (m_pData != nullptr)
        ::munmap(const_cast<char*>(m_pData), m_nSize);
}

MappedReadGuard::MappedReadGuard(const char* begin, const char* end) : m_pBegin(begin), m_pEnd(end), m_Jump{}
{
    InstallBusErrorHandler();
    t_pActiveGuard = this;
}

MappedReadGuard::~MappedReadGuard()
{
    if (t_pActiveGuard == this)
        t_pActiveGuard = nullptr;
}
