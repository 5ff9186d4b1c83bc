// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/SeekingDecoder.h"

#include "filtering/Bzip2SeekingDecoder.h"
#include "filtering/GzipSeekingDecoder.h"
#include "filtering/XzSeekingDecoder.h"
#include "filtering/ZstdSeekingDecoder.h"

std::unique_ptr<SeekingDecoder> SeekingDecoder::Make(Compression compression)
{
    switch (compression) {
    case Compression::Gzip:
        return std::make_unique<GzipSeekingDecoder>();
    case Compression::Zstd:
        return std::make_unique<ZstdSeekingDecoder>();
    case Compression::Xz:
        return std::make_unique<XzSeekingDecoder>();
    case Compression::Bzip2:
        return std::make_unique<Bzip2SeekingDecoder>();
    case Compression::None:
        break;
    }
    return nullptr;
}

bool SkipZeroPadding(const unsigned char*& in, std::size_t& inSize)
{
    while (inSize > 0 && *in == 0) {
        ++in;
        --inSize;
    }
    return inSize > 0;
}
