// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QCheckBox;

// Asks before a filter string made only of white space is added. The caller reads
// m_bDontPrompt after the dialog has been accepted.
class CWhitespaceFilterDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CWhitespaceFilterDlg(QWidget* pParent = nullptr);
    ~CWhitespaceFilterDlg() override;

    bool m_bDontPrompt = false; // taken from the check box when the dialog is accepted

public Q_SLOTS:
    void accept() override;

private:
    QCheckBox* m_pDontPromptCheck = nullptr;
};
