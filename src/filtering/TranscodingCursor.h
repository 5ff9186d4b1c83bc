// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <iconv.h>
#include <memory>
#include <string>
#include <vector>

#include "filtering/TextEncodingDetector.h"

// Reads a file of another encoding (UTF-16, an 8-bit code page) as UTF-8 text from any line
// start on. The file is read with pread in pieces that end just after a line feed whenever the
// piece holds one, so the end of such a piece is a place where decoding can begin again: a line
// feed is a whole code unit in these encodings, never part of a surrogate pair or of a
// multi-byte character. What is no character of the encoding becomes U+FFFD, one for each code
// unit, as IconvDecoder reads it; the byte order mark is no part of the text. One thread at a
// time; any number of cursors may share one descriptor.
class TranscodingCursor
{
public:
    // Null when iconv has no converter from the encoding. The text ends at fileEnd.
    static std::unique_ptr<TranscodingCursor> Make(int fd, const FileTextEncoding& encoding, std::uint64_t fileEnd,
                                                   std::size_t inputBlock);
    ~TranscodingCursor();
    TranscodingCursor(const TranscodingCursor&) = delete;
    TranscodingCursor& operator=(const TranscodingCursor&) = delete;

    // Decodes from a line start on: the text that follows starts at textOffset, its bytes at
    // fileOffset (0: the file's start, its mark skipped).
    void MoveTo(std::uint64_t textOffset, std::uint64_t fileOffset);
    // Decodes the next piece into text (replacing what it held); false at the end of the text or
    // when the file cannot be read (GetReadError then says why). A piece may be empty when a
    // character straddles the end of what was read.
    bool Step(std::string& text);

    // Where the next piece starts, in the text and in the file.
    std::uint64_t GetTextOffset() const { return m_nTextOffset; }
    std::uint64_t GetFileOffset() const { return m_nFileOffset; }
    // Right after Step: whether the piece ended just after a line feed (or the mark), so that
    // MoveTo(GetTextOffset(), GetFileOffset()) would go on with the very same text.
    bool IsAtLineStart() const { return m_bAtLineStart; }
    bool HasEnded() const { return m_bEnded; }
    // errno of the read that failed, or 0.
    int GetReadError() const { return m_nReadError; }

private:
    TranscodingCursor(int fd, iconv_t converter, const FileTextEncoding& encoding, std::uint64_t fileEnd,
                      std::size_t inputBlock);
    // Reads the raw piece from the file offset on; false on a failed read.
    bool ReadPiece(std::size_t& size);
    // The length of the piece to convert: up to and with its last line feed unit (found), or all
    // of it.
    std::size_t CutAfterLastLineFeed(std::size_t size, bool& found) const;

    int m_nFd;
    iconv_t m_Converter;
    std::size_t m_nUnitSize;
    bool m_bBigEndian;
    std::uint64_t m_nBomSize;
    std::uint64_t m_nFileEnd;
    std::vector<char> m_Input;
    std::uint64_t m_nFileOffset = 0;
    std::uint64_t m_nTextOffset = 0;
    bool m_bAtLineStart = true;
    bool m_bEnded = true;
    int m_nReadError = 0;
};
