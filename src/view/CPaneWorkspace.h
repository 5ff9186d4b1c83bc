// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "view/ILogWorkspace.h"

// The workspace as a pane beside a view sees it: everything the window's, but a file above a
// small size is paged. A read-only second view gains nothing from holding a big file whole, and
// two copies of a file in memory would cost twice.
class CPaneWorkspace : public ILogWorkspace
{
public:
    // A file of this size or more is paged in the pane, whatever the window's limit.
    static constexpr std::int64_t PagedPaneThreshold = 32 * 1024 * 1024;

    // workspace: the window's; it outlives the pane.
    explicit CPaneWorkspace(ILogWorkspace& workspace) : m_Workspace(workspace) {}

    std::int64_t GetPagedViewThreshold() const override;

    COstrelView* GetActiveLogView() const override { return m_Workspace.GetActiveLogView(); }
    COstrelDoc* GetActiveLogDocument() const override { return m_Workspace.GetActiveLogDocument(); }
    QWidget* GetDialogOwner() const override { return m_Workspace.GetDialogOwner(); }
    CTextFormat GetTextFormat() const override { return m_Workspace.GetTextFormat(); }
    void SetTextFormat(const CTextFormat& format) override { m_Workspace.SetTextFormat(format); }
    QPrinter& GetPrinter() override { return m_Workspace.GetPrinter(); }
    bool GetShowLineNumbers() const override { return m_Workspace.GetShowLineNumbers(); }
    unsigned GetFilterThreadCount() const override { return m_Workspace.GetFilterThreadCount(); }
    bool GetToolTipsEnabled() const override { return m_Workspace.GetToolTipsEnabled(); }
    void SetToolTipsEnabled(bool enabled) override { m_Workspace.SetToolTipsEnabled(enabled); }
    const std::vector<HighlightRule>& GetHighlightRules() const override { return m_Workspace.GetHighlightRules(); }
    void SetHighlightRules(const std::vector<HighlightRule>& rules) override { m_Workspace.SetHighlightRules(rules); }
    CWorkspaceSignals& GetSignals() override { return m_Workspace.GetSignals(); }
    void ReportProblem(const CProblemReport& problem) override { m_Workspace.ReportProblem(problem); }
    void ShowStatusNote(const QString& note) override { m_Workspace.ShowStatusNote(note); }
    int AskQuestion(const CQuestion& question) override { return m_Workspace.AskQuestion(question); }
    QWidget* ShowFilteringProgress(CFilteringRun& run) override { return m_Workspace.ShowFilteringProgress(run); }

private:
    ILogWorkspace& m_Workspace;
};
