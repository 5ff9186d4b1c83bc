// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// The fields the Find and Replace dialogs share: "Find what" with its label, and the two options
// stacked at the bottom of a layout of their own. The widgets belong to the dialog.
struct CFindTextFields
{
    QLabel* FindWhatLabel = nullptr;
    QLineEdit* FindWhatEdit = nullptr;
    QCheckBox* WholeWordCheck = nullptr;
    QCheckBox* MatchCaseCheck = nullptr;
    QVBoxLayout* OptionsLayout = nullptr;

    static CFindTextFields Create(QDialog* dialog);
    // Brings the dialog up with the text to find selected and its default button ready.
    static void Present(QDialog* dialog, QLineEdit* findWhatEdit, QPushButton* defaultButton);
    // The text the last search of either dialog looked for, while the program runs: Replace
    // opens with it when no selection says otherwise.
    static QString& LastSearchedText();
};
