// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "view/CViewSearch.h"

class COstrelView;

// Find in a paged view: the file itself is searched, on a thread of its own, from the selection
// on (or back from it), and the occurrence found is brought into the view and selected. The
// view's window of the file may move meanwhile; the search does not mind.
class CPagedSearch : public QObject
{
    Q_OBJECT

public:
    static constexpr int ProgressIntervalMs = 100;

    CPagedSearch(COstrelView* view, const QString& text, bool matchCase, bool wholeWord, QObject* parent = nullptr);
    ~CPagedSearch() override;

    void StartFindFromSelection(bool searchDown);
    // Ends a search under way; Finished(Stopped) follows at once.
    void Stop();
    bool IsRunning() const { return m_pState != nullptr; }

Q_SIGNALS:
    void Finished(CViewSearch::Outcome outcome);

private:
    struct State;
    void OnResult(std::uint64_t offset, bool stopped, int error);
    void ShowProgress();
    void EndProgress();

    QPointer<COstrelView> m_pView;
    std::string m_strPattern;
    bool m_bMatchCase;
    bool m_bWholeWord;
    bool m_bEncodable = true;
    std::shared_ptr<State> m_pState;
    std::uint64_t m_nSpan = 0; // the bytes the search may look at, for its progress
    QTimer m_ProgressTimer;
};
