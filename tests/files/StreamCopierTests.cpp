// SPDX-License-Identifier: GPL-3.0-or-later
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "files/StreamCopier.h"
#include "support/TempDir.h"

namespace {

// What the copier's end handler was told, waited for without a time limit of the test's own.
struct EndNote
{
    std::mutex Mutex;
    std::condition_variable Changed;
    std::optional<StreamCopier::End> End; // guarded by Mutex
    int Error = 0;                        // guarded by Mutex
    std::uint64_t Bytes = 0;              // guarded by Mutex

    StreamCopier::EndHandler Handler()
    {
        return [this](StreamCopier::End end, int error, std::uint64_t bytes) {
            std::lock_guard lock(Mutex);
            End = end;
            Error = error;
            Bytes = bytes;
            Changed.notify_all();
        };
    }
    StreamCopier::End Wait()
    {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [this] { return End.has_value(); });
        return *End;
    }
};

std::string ReadAll(int fd)
{
    std::string bytes;
    char buffer[4096];
    ::lseek(fd, 0, SEEK_SET);
    for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<std::size_t>(got));
    return bytes;
}

class Pipe
{
public:
    Pipe() { ok = ::pipe2(fds, O_CLOEXEC) == 0; }
    ~Pipe()
    {
        CloseWriter();
        ::close(fds[0]);
    }
    void CloseWriter()
    {
        if (fds[1] >= 0)
            ::close(fds[1]);
        fds[1] = -1;
    }
    int Reader() const { return fds[0]; }
    int Writer() const { return fds[1]; }
    bool ok = false;

private:
    int fds[2] = {-1, -1};
};

int OpenTarget(const TempDir& dir)
{
    return ::open((dir.Path() / "spool").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
}

} // namespace

TEST(StreamCopierTests, CopiesEveryByteOfAPipeUntilItsWriterCloses)
{
    TempDir dir;
    Pipe pipe;
    ASSERT_TRUE(pipe.ok);
    const int target = OpenTarget(dir);
    ASSERT_GE(target, 0);
    // More than the buffer and than the pipe holds, no final line feed, a NUL inside.
    std::string written;
    for (int i = 0; written.size() < 3 * StreamCopier::BufferBytes; ++i)
        written += "line " + std::to_string(i) + '\n';
    written += std::string("tail\0without line feed", 22);
    EndNote note;
    {
        StreamCopier copier(pipe.Reader(), target, note.Handler());
        for (std::size_t at = 0; at < written.size();) {
            const ssize_t put = ::write(pipe.Writer(), written.data() + at, written.size() - at);
            ASSERT_GT(put, 0);
            at += static_cast<std::size_t>(put);
        }
        pipe.CloseWriter();
        EXPECT_EQ(note.Wait(), StreamCopier::End::SourceEnded);
        EXPECT_TRUE(copier.IsEnded());
        EXPECT_EQ(copier.BytesCopied(), written.size());
    }
    EXPECT_EQ(note.Error, 0);
    EXPECT_EQ(note.Bytes, written.size());
    EXPECT_EQ(ReadAll(target), written);
    ::close(target);
}

TEST(StreamCopierTests, StopsWhileTheWriterHoldsThePipeOpenAndWritesNothing)
{
    TempDir dir;
    Pipe pipe;
    ASSERT_TRUE(pipe.ok);
    const int target = OpenTarget(dir);
    ASSERT_GE(target, 0);
    EndNote note;
    {
        StreamCopier copier(pipe.Reader(), target, note.Handler());
        ASSERT_EQ(::write(pipe.Writer(), "first\n", 6), 6);
        copier.Stop();
        // Stop returns at once and the thread ends although no byte and no end of file comes.
        EXPECT_EQ(note.Wait(), StreamCopier::End::Stopped);
        EXPECT_TRUE(copier.IsEnded());
    }
    EXPECT_EQ(note.Error, 0);
    EXPECT_LE(note.Bytes, 6u);
    // A copier destroyed without Stop ends in the same way.
    EndNote second;
    {
        StreamCopier copier(pipe.Reader(), target, second.Handler());
    }
    EXPECT_EQ(second.Wait(), StreamCopier::End::Stopped);
    ::close(target);
}

TEST(StreamCopierTests, ReportsFailedReadsAndWrites)
{
    TempDir dir;
    // A folder can be polled but not read.
    const int folder = ::open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    const int target = OpenTarget(dir);
    ASSERT_GE(target, 0);
    EndNote readNote;
    {
        StreamCopier copier(folder, target, readNote.Handler());
        EXPECT_EQ(readNote.Wait(), StreamCopier::End::ReadFailed);
    }
    EXPECT_EQ(readNote.Error, EISDIR);
    ::close(folder);

    // A target open for reading only.
    const int readOnly = ::open((dir.Path() / "spool").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(readOnly, 0);
    Pipe pipe;
    ASSERT_TRUE(pipe.ok);
    ASSERT_EQ(::write(pipe.Writer(), "x\n", 2), 2);
    EndNote writeNote;
    {
        StreamCopier copier(pipe.Reader(), readOnly, writeNote.Handler());
        EXPECT_EQ(writeNote.Wait(), StreamCopier::End::WriteFailed);
    }
    EXPECT_EQ(writeNote.Error, EBADF);
    EXPECT_EQ(writeNote.Bytes, 0u);
    ::close(readOnly);
    ::close(target);
}
