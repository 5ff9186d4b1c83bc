// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;

// Edits all five settings of one filter. The caller fills the members before exec() and reads
// them back when the dialog was accepted; every input is taken as it is.
class CEditFilterSettingsDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CEditFilterSettingsDlg(QWidget* pParent = nullptr);
    ~CEditFilterSettingsDlg() override;

    QString m_strFilter;
    bool m_bRegExp = false;
    bool m_bCaseSensitive = false;
    int m_nLinesBefore = 0;
    int m_nLinesAfter = 0;

public Q_SLOTS:
    void accept() override;

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    QLineEdit* m_pFilterEdit = nullptr;
    QCheckBox* m_pRegExpCheck = nullptr;
    QCheckBox* m_pCaseSensitiveCheck = nullptr;
    QLineEdit* m_pLinesBeforeEdit = nullptr;
    QLineEdit* m_pLinesAfterEdit = nullptr;
};
