// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>

// Number of line feed bytes in [data, data + size), counted many bytes at a time.
std::uint64_t CountLineFeeds(const char* data, std::size_t size);
