// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CPagedSearch.h"

#include <algorithm>
#include <atomic>
#include <stop_token>
#include <system_error>
#include <thread>

#include <QCoreApplication>

#include "filtering/FileTextSearch.h"
#include "filtering/IndexedText.h"
#include "view/COstrelView.h"
#include "view/CPagedText.h"

// What the searching thread shares with the window: the owner is cleared, on the GUI thread,
// when the search is stopped or goes away, so a late result finds nobody.
struct CPagedSearch::State
{
    std::stop_source Stop;
    std::atomic<std::uint64_t> Searched{0};
    CPagedSearch* Owner = nullptr; // read and written on the GUI thread only
};

CPagedSearch::CPagedSearch(COstrelView* view, const QString& text, bool matchCase, bool wholeWord, QObject* parent)
    : QObject(parent), m_pView(view), m_bMatchCase(matchCase), m_bWholeWord(wholeWord)
{
    m_ProgressTimer.setInterval(ProgressIntervalMs);
    connect(&m_ProgressTimer, &QTimer::timeout, this, &CPagedSearch::ShowProgress);
    QByteArray bytes;
    m_bEncodable = CViewSearch::EncodeForView(view, text, bytes) && !bytes.isEmpty();
    m_strPattern = bytes.toStdString();
}

CPagedSearch::~CPagedSearch()
{
    if (m_pState) {
        m_pState->Stop.request_stop();
        m_pState->Owner = nullptr;
        EndProgress();
    }
}

void CPagedSearch::ShowProgress()
{
    if (!m_pState || !m_pView || m_nSpan == 0)
        return;
    const std::uint64_t searched = std::min(m_pState->Searched.load(), m_nSpan);
    m_pView->ShowSearchProgress(static_cast<int>(searched * 100 / m_nSpan));
}

void CPagedSearch::EndProgress()
{
    if (!m_ProgressTimer.isActive())
        return;
    m_ProgressTimer.stop();
    if (m_pView)
        m_pView->ShowSearchProgress(-1);
}

void CPagedSearch::StartFindFromSelection(bool searchDown)
{
    Stop();
    CPagedText* paged = m_pView ? m_pView->GetPagedText() : nullptr;
    if (!paged || !m_bEncodable) {
        Q_EMIT Finished(paged ? CViewSearch::Outcome::NotFound : CViewSearch::Outcome::Stopped);
        return;
    }
    const auto start = static_cast<std::uint64_t>(m_pView->GetEditor().GetSelectionStart());
    const auto end = static_cast<std::uint64_t>(m_pView->GetEditor().GetSelectionEnd());
    const std::uint64_t from = paged->GetWindowStart() + (searchDown ? end : start);
    const std::uint64_t size = paged->GetFileSize();
    m_nSpan = searchDown ? (size > from ? size - from : 0) : from;
    // The text the view has open, whatever has become of its file's name since (deleted, replaced);
    // the thread keeps it alive.
    std::shared_ptr<const IndexedText> text = paged->GetSharedText();
    auto state = std::make_shared<State>();
    state->Owner = this;
    m_pState = state;
    auto search = std::make_shared<const FileTextSearch>(m_strPattern, m_bMatchCase, m_bWholeWord);
    try {
        std::thread([state, search, text, from, searchDown] {
            const FileTextSearch::Result result =
                searchDown ? search->FindForward(*text, from, state->Stop.get_token(), &state->Searched)
                           : search->FindBackward(*text, from, state->Stop.get_token(), &state->Searched);
            QMetaObject::invokeMethod(qApp, [state, result] {
                if (state->Owner)
                    state->Owner->OnResult(result.Offset, result.Stopped, result.Error);
            });
        }).detach();
    } catch (const std::system_error&) {
        m_pState.reset();
        Q_EMIT Finished(CViewSearch::Outcome::NotFound);
        return;
    }
    m_ProgressTimer.start();
}

void CPagedSearch::Stop()
{
    if (!m_pState)
        return;
    m_pState->Stop.request_stop();
    m_pState->Owner = nullptr;
    m_pState.reset();
    EndProgress();
    Q_EMIT Finished(CViewSearch::Outcome::Stopped);
}

void CPagedSearch::OnResult(std::uint64_t offset, bool stopped, int error)
{
    m_pState.reset();
    EndProgress();
    CPagedText* paged = m_pView ? m_pView->GetPagedText() : nullptr;
    if (stopped || !paged) {
        Q_EMIT Finished(CViewSearch::Outcome::Stopped);
        return;
    }
    if (error != 0 || offset == FileTextSearch::NotFound) {
        Q_EMIT Finished(CViewSearch::Outcome::NotFound);
        return;
    }
    paged->ShowRange(offset, offset + m_strPattern.size());
    Q_EMIT Finished(CViewSearch::Outcome::Found);
}
