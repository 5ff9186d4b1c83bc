// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <vector>

#include <QObject>
#include <QString>

#include "filtering/HighlightRules.h"

class CFilteringRun;
class COstrelDoc;
class COstrelView;
class QPrinter;
class QWidget;

// The display font of log views as the settings keep it: a face, a colour (0x00BBGGRR), a height
// in twips (0 while no font was ever chosen) and the character-format mask and effect bits.
struct CTextFormat
{
    QString Face = QStringLiteral("Courier New");
    std::uint32_t Color = 0;
    std::int32_t Height = 0;
    std::int32_t Offset = 0;
    std::int32_t Mask = 0;
    std::int32_t Effects = 0;
};

// A problem for the user to see: views and documents hand them to the workspace, which shows
// them (a message box in the program, a record in the tests).
struct CProblemReport
{
    enum class Kind
    {
        Error,
        Warning,
        Information,
    };
    QString Caption;
    QString Text;
    Kind Severity = Kind::Error;
    QString Name = QStringLiteral("problemBox"); // tells the message boxes apart
};

// A question for the user: the buttons to choose from and the one that is the default. The name
// lets a test, or the user's window manager, tell the questions apart.
struct CQuestion
{
    QString Caption;
    QString Text;
    int Buttons = 0;       // QMessageBox::StandardButtons
    int DefaultButton = 0; // a QMessageBox::StandardButton, 0 for the first of Buttons
    QString Name;
    CProblemReport::Kind Severity = CProblemReport::Kind::Warning;
};

// What the workspace tells those who follow it.
class CWorkspaceSignals : public QObject
{
    Q_OBJECT

Q_SIGNALS:
    // Another log view became active (null when none is).
    void ActiveLogViewChanged(COstrelView* view);
    // The main window came to the front again.
    void MainWindowActivated();
};

// What views, their commands and the filter dialog need of the window that holds the documents:
// the main frame implements it, tests put a small stand-in in its place.
class ILogWorkspace
{
public:
    virtual ~ILogWorkspace() = default;

    // The log view and document of the active tab, or null.
    virtual COstrelView* GetActiveLogView() const = 0;
    virtual COstrelDoc* GetActiveLogDocument() const = 0;
    // The window that owns the program's modeless dialogs (find, replace, filters).
    virtual QWidget* GetDialogOwner() const = 0;
    // The font every new view starts with; a chosen one is kept in memory until exit.
    virtual CTextFormat GetTextFormat() const = 0;
    virtual void SetTextFormat(const CTextFormat& format) = 0;
    // The printer of Print Setup, kept while the program runs.
    virtual QPrinter& GetPrinter() = 0;
    // Whether views show the line-number margin (View > Line Numbers).
    virtual bool GetShowLineNumbers() const = 0;
    // Whether views show the overview strip beside their scroll bar.
    virtual bool GetShowOverviewStrip() const { return true; }
    // Files of this size or more are shown in a read-only paged view; 0 for never.
    virtual std::int64_t GetPagedViewThreshold() const = 0;
    // The threads a filtering run of a plain file decides it on: 0 for one per core, 1 for one pass.
    virtual unsigned GetFilterThreadCount() const = 0;
    // Whether the filter dialog shows its tooltips; kept in memory until exit.
    virtual bool GetToolTipsEnabled() const = 0;
    virtual void SetToolTipsEnabled(bool enabled) = 0;
    // The highlight rules every view colours its lines with, kept with the settings.
    virtual const std::vector<HighlightRule>& GetHighlightRules() const = 0;
    // Keeps new rules and has every open view show them.
    virtual void SetHighlightRules(const std::vector<HighlightRule>& rules) = 0;
    virtual CWorkspaceSignals& GetSignals() = 0;
    // Shows a problem; returns once the user has seen it.
    virtual void ReportProblem(const CProblemReport& problem) = 0;
    // A note in the status bar for a while.
    virtual void ShowStatusNote(const QString& note) = 0;
    // Asks a question; returns the QMessageBox::StandardButton chosen.
    virtual int AskQuestion(const CQuestion& question) = 0;
    // Shows the progress window of a run that has just started, which then drives the run's end
    // (see CFilteringRun); null when it shows none, and the run ends with the file.
    virtual QWidget* ShowFilteringProgress(CFilteringRun& run) = 0;
};
