// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/InputDecoder.h"

#include <unistd.h>

#include "filtering/CompressedInput.h"
#include "filtering/IconvDecoder.h"
#include "filtering/TextEncodingDetector.h"
#include "filtering/Utf16Input.h"

std::unique_ptr<InputDecoder> MakeInputDecoder(int fd)
{
    unsigned char sample[Utf16SampleSize];
    const ssize_t got = ::pread(fd, sample, sizeof sample, 0);
    const std::size_t size = got > 0 ? static_cast<std::size_t>(got) : 0;
    const Compression compression = DetectCompression(sample, size);
    if (compression != Compression::None)
        return Decompressor::Make(compression);
    return Utf16Decoder::Make(DetectUtf16(sample, size));
}

std::unique_ptr<InputDecoder> MakeInputDecoder(int fd, const std::string& encoding)
{
    if (encoding.empty())
        return MakeInputDecoder(fd);
    unsigned char sample[Utf16SampleSize];
    const ssize_t got = ::pread(fd, sample, sizeof sample, 0);
    const std::size_t size = got > 0 ? static_cast<std::size_t>(got) : 0;
    const Compression compression = DetectCompression(sample, size);
    if (compression != Compression::None)
        return Decompressor::Make(compression);
    const FileTextEncoding chosen = ChosenTextEncoding(encoding, sample, size);
    if (chosen.IsUtf8())
        return nullptr;
    return IconvDecoder::Make(chosen.Name, chosen.UnitSize(), chosen.BomSize);
}
