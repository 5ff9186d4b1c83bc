// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "filtering/CompressedInput.h"
#include "filtering/SeekPoint.h"
#include "filtering/SeekingDecoder.h"

// Reads the text of a compressed file from a seek point on. The file is read with pread, so any
// number of cursors may share one descriptor; a cursor itself belongs to one thread at a time.
// A fault (damaged data, a file that ends too soon, a failed read) ends the text where it was
// found; GetFault says what and GetFaultOffset where in the compressed file.
class CompressedTextCursor
{
public:
    // Throws std::bad_alloc when the decoder has no memory. inputBlock: bytes read at a time.
    CompressedTextCursor(int fd, Compression compression, std::size_t inputBlock);

    // Decodes from the point on; the text that follows starts at point.TextOffset.
    void MoveTo(const SeekPoint& point);
    // One step of the decoder: up to size bytes of text, perhaps none yet. After it
    // IsAtSeekPoint tells whether decoding could begin again here. 0 with HasEnded at the end.
    std::size_t DecodeStep(char* out, std::size_t size);
    // Up to size bytes of text; fewer only at the end of the text or at a fault.
    std::size_t Read(char* out, std::size_t size);
    // Drops the next count bytes of text; false when the text ends before.
    bool Skip(std::uint64_t count);

    bool IsAtSeekPoint() const;
    // The point where the cursor stands, when IsAtSeekPoint.
    SeekPoint TakeSeekPoint();

    // The text offset of the next byte Read gives, and the compressed bytes used to get there.
    std::uint64_t GetTextOffset() const { return m_nTextOffset; }
    std::uint64_t GetFileOffset() const { return m_nFileOffset; }
    bool HasEnded() const { return m_bEnded; }
    const std::string& GetFault() const { return m_strFault; }
    std::uint64_t GetFaultOffset() const { return m_nFaultOffset; }
    // errno of the read that failed, or 0.
    int GetReadError() const { return m_nReadError; }

private:
    bool FillInput();
    void SetFault(const std::string& detail);

    int m_nFd;
    std::unique_ptr<SeekingDecoder> m_pDecoder;
    std::vector<unsigned char> m_Input;
    std::vector<char> m_Scratch; // the text Skip drops
    std::size_t m_nInputStart = 0;
    std::size_t m_nInputEnd = 0;
    std::uint64_t m_nReadOffset = 0; // where the next pread starts
    bool m_bInputEnded = false;
    std::uint64_t m_nFileOffset = 0;
    std::uint64_t m_nTextOffset = 0;
    int m_nStalls = 0; // steps in a row that neither used input nor made text
    bool m_bEnded = true;
    std::string m_strFault;
    std::uint64_t m_nFaultOffset = 0;
    int m_nReadError = 0;
};
