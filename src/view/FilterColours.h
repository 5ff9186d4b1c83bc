// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

// The colour of a filter by its position in the list, as the editor takes colours (0x00BBGGRR):
// a fixed palette of strong hues, drawn translucent over the text, so they read in light and
// dark looks alike. The list repeats it after its last colour.
inline constexpr std::array<std::uint32_t, 8> FilterPalette = {
    0x0080FF, // orange
    0x40B040, // green
    0xFF8030, // blue
    0xC040C0, // magenta
    0x00C8E0, // yellow
    0xB0A000, // teal
    0x3030E0, // red
    0xFF60A0, // violet
};

inline std::uint32_t FilterColour(int filterIndex)
{
    return FilterPalette[static_cast<std::size_t>(filterIndex < 0 ? 0 : filterIndex) % FilterPalette.size()];
}
