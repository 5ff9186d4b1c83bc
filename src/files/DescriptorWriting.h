// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

// Writes all the bytes to fd, through interruptions; false (errno set) when the write fails.
bool WriteAll(int fd, const char* data, std::size_t size);
// Writes the message and a line feed, as a message to standard error is written.
void WriteMessage(int fd, const std::string& message);
