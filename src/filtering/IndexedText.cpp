// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/IndexedText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "filtering/CompressedIndexedText.h"
#include "filtering/PlainIndexedText.h"
#include "filtering/TranscodedIndexedText.h"

namespace {

// The packing of the file at path, and its size.
Compression DetectFileCompression(const std::string& path, std::uint64_t& size)
{
    size = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Compression::None;
    struct stat status
    {
    };
    unsigned char magic[CompressionMagicSize] = {};
    ssize_t got = 0;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        size = static_cast<std::uint64_t>(status.st_size);
        got = ::pread(fd, magic, sizeof magic, 0);
    }
    ::close(fd);
    return got > 0 ? DetectCompression(magic, static_cast<std::size_t>(got)) : Compression::None;
}

} // namespace

bool IsCompressedFile(const std::string& path)
{
    std::uint64_t size = 0;
    return DetectFileCompression(path, size) != Compression::None;
}

std::shared_ptr<IndexedText> MakeIndexedText(const std::string& path, std::uint64_t saveMinimumSize)
{
    std::uint64_t size = 0;
    const Compression compression = DetectFileCompression(path, size);
    if (compression != Compression::None)
        return std::make_shared<CompressedIndexedText>(path, CompressedIndexedText::SeekSpacingFor(compression, size));
    return std::make_shared<PlainIndexedText>(path, saveMinimumSize);
}

std::shared_ptr<IndexedText> MakeIndexedText(const std::string& path, std::uint64_t saveMinimumSize,
                                             const FileTextEncoding& encoding)
{
    if (encoding.IsUtf8() || IsCompressedFile(path))
        return MakeIndexedText(path, saveMinimumSize);
    return std::make_shared<TranscodedIndexedText>(path, encoding);
}
