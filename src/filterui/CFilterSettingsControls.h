// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class CLastColumnAutoResizingListCtrl;
class QCheckBox;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSizeGrip;

// The controls of the filter settings dialog, children of the dialog, each known by its object
// name. Buttons never become the default: Enter moves the focus on.
struct CFilterSettingsControls
{
    // Creates the controls in the dialog, their captions, tab order and tips; the buttons that
    // need filters in the list start disabled.
    void Create(QDialog& dialog);

    QGroupBox* m_pFilterGroup = nullptr;
    QLabel* m_pFilterLabel = nullptr;
    QLineEdit* m_pFilterEdit = nullptr;
    QLabel* m_pFilterErrorLabel = nullptr;
    QCheckBox* m_pRegExpCheck = nullptr;
    QPushButton* m_pRegExpSyntaxButton = nullptr;
    QCheckBox* m_pCaseSensitiveCheck = nullptr;
    QLineEdit* m_pLinesBeforeEdit = nullptr;
    QLabel* m_pLinesBeforeLabel = nullptr;
    QLineEdit* m_pLinesAfterEdit = nullptr;
    QLabel* m_pLinesAfterLabel = nullptr;
    QPushButton* m_pAddButton = nullptr;
    QLabel* m_pFiltersLabel = nullptr;
    CLastColumnAutoResizingListCtrl* m_pFilterList = nullptr;
    QPushButton* m_pEditButton = nullptr;
    QPushButton* m_pDeleteButton = nullptr;
    QPushButton* m_pCopyAllButton = nullptr;
    QPushButton* m_pPasteAllButton = nullptr;
    QPushButton* m_pDeleteAllButton = nullptr;
    QPushButton* m_pLoadButton = nullptr;
    QPushButton* m_pSaveButton = nullptr;
    QCheckBox* m_pExcludeCheck = nullptr;
    // Shown only while the document has bookmarks, or keeps them: a row above Exclude.
    QCheckBox* m_pKeepBookmarksCheck = nullptr;
    QCheckBox* m_pEnableTooltipsCheck = nullptr;
    QPushButton* m_pApplyButton = nullptr;
    QSizeGrip* m_pSizeGrip = nullptr;

private:
    void SetTabOrder(QDialog& dialog) const;
    void SetToolTips() const;
};
