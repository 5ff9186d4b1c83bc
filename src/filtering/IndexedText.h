// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "filtering/FileLineIndex.h"
#include "filtering/TextEncodingDetector.h"
#include "filtering/TextRangeReader.h"

// A text too big to hold, read where it is: the sparse index of its line starts, built on a
// thread of its own, and reads of any range of it. A plain file is its own text; a compressed
// file's text is what it decompresses to. Lines are counted as FileLineIndex counts them. Every
// query and read may come from any thread while the index is built.
class IndexedText : public TextRangeReader
{
public:
    using Checkpoint = FileLineIndex::Checkpoint;
    using KnownLines = FileLineIndex::KnownLines;

    // Opens the file and starts the index; false, with errno in error, when it cannot be read.
    virtual bool Start(int& error) = 0;
    // Before Start: the line starts of the file's bytes as an editor holding them counted them,
    // taken while the file still holds those bytes. A text that is not the file's bytes (a
    // compressed one) ignores them.
    virtual void TakeKnownLines(KnownLines lines) { static_cast<void>(lines); }
    // Indexes what was appended to the file since the index reached its end (a followed log);
    // nothing for a text that does not grow.
    virtual void Extend() = 0;

    // The text's size as far as it is known: what reads may reach.
    virtual std::uint64_t GetSize() const = 0;
    // Whether GetSize is the text's end (a compressed text's end is only known once indexed).
    virtual bool IsSizeKnown() const = 0;
    // The size the text will likely have, for estimates made before the index is complete.
    virtual std::uint64_t GetExpectedSize() const = 0;
    virtual std::uint64_t GetIndexedBytes() const = 0;
    // Lines known so far; with IsComplete, all there are.
    virtual std::int64_t GetLineCount() const = 0;
    virtual bool IsComplete() const = 0;
    // How far the index has come, 0 to 100.
    virtual int GetIndexPercent() const = 0;
    // The last known line start at or before a line (0-based), or a text offset.
    virtual Checkpoint Locate(std::int64_t line) const = 0;
    virtual Checkpoint LocateOffset(std::uint64_t offset) const = 0;

    // Whether bytes appended to the file are more of this text (a plain file can be followed).
    virtual bool IsFollowable() const = 0;
    // "gzip", "zstd" … for a compressed text, empty for a plain one.
    virtual std::string GetPackingName() const = 0;
    // Why reading here is slow, in words for the status bar; empty while reads start near what
    // they want.
    virtual std::string DescribeAccess() const = 0;
    // Once complete: why the text ended before the file did, naming the file; empty otherwise.
    virtual std::string GetDamage() const = 0;
    // The bytes a saved index covered when indexing started (0: none was taken).
    virtual std::uint64_t GetReusedBytes() const = 0;
    // The memory the index holds (line starts and seek points).
    virtual std::size_t GetIndexMemory() const = 0;
};

// Whether the file at path is compressed in a way the program reads, told by its first bytes.
bool IsCompressedFile(const std::string& path);

// The text of the file at path, told by its first bytes: a compressed one's decompressed text,
// else the file itself. saveMinimumSize: a plain file's index of a file that big or bigger is kept
// between runs (0: never). Not started yet: Start says whether the file can be read.
std::shared_ptr<IndexedText> MakeIndexedText(const std::string& path, std::uint64_t saveMinimumSize);
// The same, read in an encoding: a plain file of another encoding than UTF-8 is read as its
// UTF-8 transcoding; a UTF-8 one (and a compressed one) as above.
std::shared_ptr<IndexedText> MakeIndexedText(const std::string& path, std::uint64_t saveMinimumSize,
                                             const FileTextEncoding& encoding);
