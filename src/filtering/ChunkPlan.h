// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include "filtering/FilterEngine.h"

// Cuts a regular file of size bytes into pieces at line starts: each split offset moves on to the
// start of the line it falls in or after (an offset inside a CR LF pair moves past the LF), and
// pieces left empty are dropped. Each piece reads maxAfter lines before its first line and
// maxBefore lines past its last, so that context reaching over its edges is decided as in a run
// of the whole file; the last piece reads on to wherever the file ends when it gets there.
// Offsets must be ascending; fd is read with pread.
std::vector<FileChunk> PlanFileChunks(int fd, std::uint64_t size, const std::vector<std::uint64_t>& splits,
                                      std::int64_t maxBefore, std::int64_t maxAfter);

// Offsets that cut size bytes into count pieces of equal size.
std::vector<std::uint64_t> EvenSplits(std::uint64_t size, unsigned count);
