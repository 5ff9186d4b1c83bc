// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include <QDialog>

class QLabel;
class QLineEdit;

// "Go To Line": asks for a line number between 1 and 2,000,000,000. The prompt shows the line
// count; the caller moves the caret and takes numbers past the end as the last line.
class CGoToDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MinLine = 1;
    static constexpr int MaxLine = 2000000000;

    explicit CGoToDlg(QWidget* parent = nullptr);
    ~CGoToDlg() override;

    int m_nLine = 1;
    std::int64_t m_nLineCount = 0;

    // OK: the number is taken only when it is whole and in range; otherwise the message says why
    // and the dialog stays open with the entry selected.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The edit box into m_nLine; false, after the message, when it does not hold a valid number.
    bool ReadLineNumber();

    QLabel* m_pPromptLabel;
    QLineEdit* m_pLineEdit;
};
