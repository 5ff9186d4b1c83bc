// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QDialogButtonBox;
class QSettings;

// "Open Command Output": a command line to run, typed or taken from the recent ones (kept in the
// settings, the last MaxRecentCommands, the most recent first).
class CCommandOutputDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MaxRecentCommands = 10;

    explicit CCommandOutputDlg(const QStringList& recentCommands, QWidget* parent = nullptr);

    // The command line as typed, without the blanks around it.
    QString GetCommandLine() const;

    // The recent commands, from and to the settings' "Recent Command List".
    static QStringList ReadRecentCommands(QSettings& settings);
    static void WriteRecentCommands(QSettings& settings, const QStringList& commands);
    // The list with the command first, once, and no more than MaxRecentCommands.
    static QStringList WithRecentCommand(QStringList commands, const QString& command);

private:
    void UpdateOkButton();

    QComboBox* m_pCommandBox;
    QDialogButtonBox* m_pButtons;
};
