// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <stop_token>

// Reads as much as the file gives, up to size bytes. A read error ends the file: the run keeps
// what it read rather than retrying a failing device forever. A pipe or device may have nothing
// to give for a long time: waiting for it looks at the stop request, and a stop ends the file.
std::size_t ReadSome(int fd, char* buffer, std::size_t size, bool mayBlock, const std::stop_token& stop);
