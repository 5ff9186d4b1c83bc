// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Number of line feed bytes in [data, data + size), counted many bytes at a time.
std::uint64_t CountLineFeeds(const char* data, std::size_t size);

// Appends, for every line feed in [data, data + size), base plus the offset of the byte after it
// (where the next line starts), in order. Found 64 bytes at a time; size must stay below 4 GiB
// minus base.
void FindLineStarts(const char* data, std::size_t size, std::uint32_t base, std::vector<std::uint32_t>& starts);
