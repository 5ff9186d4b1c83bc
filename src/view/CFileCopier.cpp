// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CFileCopier.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "files/FileReplacer.h"
#include "filtering/IndexedText.h"

namespace {

constexpr std::size_t ChunkSize = 8 * 1024 * 1024;

} // namespace

CFileCopier::CFileCopier(QString source, QString target, QObject* parent)
    : QObject(parent), m_strSource(std::move(source)), m_strTarget(std::move(target)),
      m_pState(std::make_shared<State>())
{
    m_Timer.setInterval(100);
    connect(&m_Timer, &QTimer::timeout, this, &CFileCopier::OnTimer);
}

CFileCopier::CFileCopier(std::shared_ptr<const IndexedText> text, QString target, QObject* parent)
    : CFileCopier(QString(), std::move(target), parent)
{
    m_pText = std::move(text);
}

CFileCopier::~CFileCopier()
{
    m_pState->bStop.store(true);
    // A write stuck on a dead disk is left to end on its own; it leaves nothing behind.
    if (m_Thread.joinable()) {
        if (m_pState->bDone.load())
            m_Thread.join();
        else
            m_Thread.detach();
    }
}

void CFileCopier::Start()
{
    if (m_pText) {
        m_Thread = std::thread([state = m_pState, text = m_pText, target = QFile::encodeName(m_strTarget)] {
            const int error = CopyText(
                state, *text, [&text] { return text->GetExpectedSize(); }, target);
            state->Error = error;
            state->bDone.store(true);
        });
    } else {
        m_Thread = std::thread([state = m_pState, source = QFile::encodeName(m_strSource),
                                target = QFile::encodeName(m_strTarget)] { CopyFile(state, source, target); });
    }
    m_Timer.start();
}

void CFileCopier::Stop()
{
    m_pState->bStop.store(true);
}

void CFileCopier::CopyFile(const std::shared_ptr<State>& state, const QByteArray& source, const QByteArray& target)
{
    const int in = ::open(source.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0) {
        state->Error = errno;
        state->bDone.store(true);
        return;
    }
    struct stat status
    {
    };
    ::fstat(in, &status);
    const auto size = static_cast<std::uint64_t>(std::max<off_t>(status.st_size, 0));
    const DescriptorRangeReader file(in);
    ::close(in);
    state->Error = CopyText(
        state, file, [size] { return size; }, target);
    state->bDone.store(true);
}

int CFileCopier::CopyText(const std::shared_ptr<State>& state, const TextRangeReader& text,
                          const std::function<std::uint64_t()>& size, const QByteArray& target)
{
    state->Size.store(size());
    // The copy waits in an unnamed file until it is complete: a stop, a failure or a killed
    // program leaves the target as it was, and a replaced target keeps its owner, mode and links.
    FileReplacer replacer(target.toStdString());
    int error = replacer.Begin();
    auto buffer = std::make_unique<char[]>(ChunkSize);
    std::uint64_t offset = 0;
    while (error == 0 && !state->bStop.load()) {
        const std::int64_t got = text.ReadRange(offset, buffer.get(), ChunkSize, error);
        if (got <= 0)
            break;
        error = replacer.Write(std::string_view(buffer.get(), static_cast<std::size_t>(got)));
        offset += static_cast<std::uint64_t>(got);
        if (error == 0)
            state->Copied.store(offset);
        state->Size.store(std::max(offset, size()));
    }
    if (error == 0 && state->bStop.load())
        error = ECANCELED;
    if (error == 0)
        error = replacer.Commit();
    else
        replacer.Abandon();
    return error;
}

void CFileCopier::OnTimer()
{
    const std::uint64_t size = std::max<std::uint64_t>(1, m_pState->Size.load());
    Q_EMIT Progress(static_cast<int>(std::min<std::uint64_t>(100, m_pState->Copied.load() * 100 / size)));
    if (!m_pState->bDone.load() || m_bFinished)
        return;
    m_bFinished = true;
    m_Timer.stop();
    m_Thread.join();
    Q_EMIT Finished(m_pState->Error);
}
