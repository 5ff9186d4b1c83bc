// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>

#include <QDialog>

class QLabel;
class QLineEdit;
struct TimeEntry;

// "Go To Line": asks for a line number between 1 and 2,000,000,000, or a time. The prompt shows
// the line count; the caller moves the caret and takes numbers past the end as the last line.
// A time is looked up while the dialog is open, so that a text without times can say so and let
// the user type again.
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
    // Finds the 1-based line a time goes to, or says why there is none; without it, only line
    // numbers are taken.
    std::function<bool(const TimeEntry& entry, std::int64_t& line, QString& message)> m_FindTimeLine;
    // The line a time went to; 0 when a line number was typed.
    std::int64_t m_nTimeLine = 0;

    static QString BadTimeMessage()
    {
        return QStringLiteral("Enter a line number, or a time such as 14:05, 14:05:30, 2026-12-09 14:05:30 or -10m.");
    }

    // OK: the number is taken only when it is whole and in range; otherwise the message says why
    // and the dialog stays open with the entry selected.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The edit box into m_nLine or m_nTimeLine; false, after the message, when it holds neither
    // a valid number nor a time that can be gone to.
    bool ReadLineNumber();
    // The message for text that is no line number: empty once a time has found its line.
    QString ReadTime(const QString& text);

    QLabel* m_pPromptLabel;
    QLabel* m_pTimeHintLabel;
    QLineEdit* m_pLineEdit;
};
