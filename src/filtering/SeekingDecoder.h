// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "filtering/CompressedInput.h"
#include "filtering/SeekPoint.h"

// Decodes the bytes of one compressed format from a seek point on, and tells where a later seek
// point could be taken: the piece under the compressed-text index and its readers. Members,
// frames and streams that follow one another are decoded as one text, zero bytes between them
// skipped, as the forward Decompressor does. One thread at a time.
class SeekingDecoder
{
public:
    enum class Step
    {
        More,  // input was used or text made, or more input is needed
        End,   // the input ended where the compressed data may end
        Fault, // damaged data; detail says how
    };

    // Throws std::bad_alloc when the library has no memory for its state.
    static std::unique_ptr<SeekingDecoder> Make(Compression compression);
    virtual ~SeekingDecoder() = default;

    // Gets ready to decode the file's bytes from point.FileOffset on. False (with detail) when the
    // point cannot be used.
    virtual bool Begin(const SeekPoint& point, std::string& detail) = 0;
    // Decodes from in (advanced past what was used) into out; produced says how much text.
    // inputEnded: what is in `in` is all the file still has. Stops at every place where a seek
    // point can be taken, so that the caller may take it.
    virtual Step Decode(const unsigned char*& in, std::size_t& inSize, char* out, std::size_t outSize,
                        std::size_t& produced, std::string& detail, bool inputEnded) = 0;
    // Right after Decode: whether decoding could begin again exactly where it stopped.
    virtual bool IsAtSeekPoint() const = 0;
    // When IsAtSeekPoint: the decoder's part of that point (the caller sets its offsets).
    virtual void FillSeekPoint(SeekPoint& point) = 0;

protected:
    SeekingDecoder() = default;
};

// Advances in past zero bytes, the padding allowed between members; whether any input is left.
bool SkipZeroPadding(const unsigned char*& in, std::size_t& inSize);
