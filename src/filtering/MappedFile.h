// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>

// A regular file mapped into memory for reading, which spares the copy a read makes.
class MappedFile
{
public:
    // Maps the first size bytes of the open file; GetData() is null when that is not possible.
    MappedFile(int fd, std::uint64_t size);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const char* GetData() const { return m_pData; }
    std::size_t GetSize() const { return m_nSize; }

    // Lets go of the pages before upTo that it has not let go of yet: they leave the process's
    // memory but stay in the page cache, and a later read of them maps them again.
    void Release(const char* upTo);

private:
    const char* m_pData = nullptr;
    std::size_t m_nSize = 0;
    std::size_t m_nReleased = 0; // bytes from the start already let go of, whole pages
};

// The work of the SIGBUS handler that MappedReadGuard installs; not for other callers.
void OnMappedReadFault(int signal, void* information, void* context);

// A mapped file that shrinks while it is read (a log truncated by its rotation) makes the next
// read of a page past its new end raise SIGBUS. While a guard lives, such a fault on its thread
// within its range jumps back to the sigsetjmp the caller made on GetJump() (which then returns
// nonzero) instead of ending the process; every other SIGBUS goes where it went before.
// The code between may be left at any read of the range: it must keep its state consistent at
// such reads (append to a string before recording that it did).
class MappedReadGuard
{
public:
    MappedReadGuard(const char* begin, const char* end);
    ~MappedReadGuard();
    MappedReadGuard(const MappedReadGuard&) = delete;
    MappedReadGuard& operator=(const MappedReadGuard&) = delete;

    sigjmp_buf& GetJump() { return m_Jump; }

private:
    friend void OnMappedReadFault(int, void*, void*);

    const char* m_pBegin;
    const char* m_pEnd;
    sigjmp_buf m_Jump;
};
