// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

// A place in a compressed file where decoding can begin without what comes before it: the start
// of a member, frame, stream or block, or (gzip) a block boundary inside a member, with what the
// decoder needs to go on from there.
struct SeekPoint
{
    // The text that decoding from here yields starts at TextOffset of the whole text; its bytes
    // are read from FileOffset of the compressed file on.
    std::uint64_t TextOffset = 0;
    std::uint64_t FileOffset = 0;
    // A member, frame or stream (or the zero bytes padding one) starts at FileOffset; otherwise
    // the point lies inside one.
    bool AtStreamStart = true;
    // gzip inside a member: the bits of the byte before FileOffset that are still to be decoded
    // (0 to 7), and that byte.
    std::uint8_t Bits = 0;
    std::uint8_t BitsByte = 0;
    // xz inside a stream: the stream's check type, which its blocks' headers do not repeat.
    std::uint8_t XzCheck = 0;
    // gzip inside a member: the window (the last 32 KiB of the member's text before the point),
    // deflated to save memory, and its size unpacked.
    std::uint32_t WindowSize = 0;
    std::vector<unsigned char> PackedWindow;
};
