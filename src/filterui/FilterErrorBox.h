// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

// A critical message of the filter dialog ("filterErrorBox"), owned by the dialog so that closing
// it gives the activation back to the dialog and not to the main window, whose activation would
// reload the document's filters. Returns once the user has closed it.
void ShowFilterErrorMessage(QWidget* pOwner, const QString& text, const QString& caption);
