// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>

#include "time/LineTime.h"

// The context a file's times are read in when it was last written at `when`: that moment's year
// and month in the local zone, and the local zone's offset then. Thread-safe.
TimeContext LocalTimeContext(std::time_t when);
