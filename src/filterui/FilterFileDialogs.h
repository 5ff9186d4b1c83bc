// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class FilterSettings;
class QWidget;

// Load Filters and Save Filters: a file dialog owned by the filter dialog asks for a filter
// settings file (*.flt), and a file that cannot be read or written is reported there.

// Reads the chosen file into loaded (an empty list), its exclude switch included; false when the
// user cancelled or the file held no filters it could load, and loaded is then of no use.
bool LoadFiltersFromChosenFile(QWidget* pOwner, FilterSettings& loaded);
// Writes the filters to the chosen file; a save that did not happen says so.
void SaveFiltersToChosenFile(QWidget* pOwner, const FilterSettings& settings);
