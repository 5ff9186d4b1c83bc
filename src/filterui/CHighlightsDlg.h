// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include <QDialog>

#include "filtering/HighlightRules.h"

class ILogWorkspace;
class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

// View > Highlights...: the ordered list of highlight rules, edited on a copy. Each row is a
// rule: its text (edited in place, shown in the rule's colours), whether it is an expression and
// whether case matters. Colour buttons pick the text and background colours of the current rule;
// Export... and Import... write and read a highlights file. OK takes the list only when every
// rule has a text and every expression compiles; a faulty expression is named under the list.
class CHighlightsDlg : public QDialog
{
    Q_OBJECT

public:
    CHighlightsDlg(ILogWorkspace& workspace, std::vector<HighlightRule> rules, QWidget* parent);

    // The rules as the list holds them now.
    std::vector<HighlightRule> GetRules() const;
    // What is wrong with the list (the first faulty rule), or empty.
    QString GetProblem() const;

    // Import... and Export... once the file is chosen: a file that cannot be read, or is not a
    // good highlights file, is reported and leaves the list as it was; false then.
    bool ImportFile(const QString& path);
    bool ExportFile(const QString& path);

    // Adds a rule of the next free colours and starts editing its text.
    void AddRule();
    void SetCurrentColour(bool background, std::uint32_t rgb);

    void accept() override;

private:
    void SetRules(const std::vector<HighlightRule>& rules);
    void InsertRow(int row, const HighlightRule& rule);
    HighlightRule RuleAt(int row) const;
    void ShowColours(int row);
    void MoveCurrent(int step);
    void RemoveCurrent();
    void ChooseColour(bool background);
    void OnImport();
    void OnExport();
    void UpdateState();
    // The first faulty rule's fault, with its row; empty and -1 when there is none.
    QString FindProblem(int& row) const;
    void Report(const QString& text);

    ILogWorkspace& m_Workspace;
    QTableWidget* m_pTable = nullptr;
    QLabel* m_pProblem = nullptr;
    QPushButton* m_pAdd = nullptr;
    QPushButton* m_pEdit = nullptr;
    QPushButton* m_pRemove = nullptr;
    QPushButton* m_pUp = nullptr;
    QPushButton* m_pDown = nullptr;
    QPushButton* m_pFore = nullptr;
    QPushButton* m_pBack = nullptr;
    bool m_bFilling = false;
};
