// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CTextLoader.h"

#include <limits>

#include <QElapsedTimer>
#include <QFile>

namespace {
// Long enough to move a few chunks per turn, short enough that typing and painting stay smooth.
constexpr std::chrono::milliseconds TurnBudget{40};
constexpr std::chrono::milliseconds FirstScreenDelay{30};
} // namespace

CTextLoader::CTextLoader(std::unique_ptr<QFile> file, ChunkSink sink, QObject* parent)
    : QObject(parent)
    , m_pFile(std::move(file))
    , m_Sink(std::move(sink))
    , m_nExpected(m_pFile->size())
{
    m_Timer.setInterval(0);
    connect(&m_Timer, &QTimer::timeout, this, [this] {
        LoadFor(TurnBudget, std::numeric_limits<qint64>::max());
        if (!m_bFinished)
            Q_EMIT Progress(GetProgressPercent());
    });
}

CTextLoader::~CTextLoader() = default;

void CTextLoader::Start(std::chrono::milliseconds firstBudget, qint64 firstBytes)
{
    m_Buffer.resize(ChunkSize);
    LoadFor(firstBudget, firstBytes);
    if (m_bFinished)
        return;
    // The first screen paints before loading goes on.
    QTimer::singleShot(FirstScreenDelay, this, [this] {
        if (!m_bFinished)
            m_Timer.start();
    });
}

void CTextLoader::LoadRest()
{
    while (!m_bFinished) {
        if (!LoadChunk())
            break;
    }
}

int CTextLoader::GetProgressPercent() const
{
    if (m_bFinished || m_nExpected <= 0)
        return 100;
    return static_cast<int>(std::min<qint64>(99, m_nLoaded * 100 / m_nExpected));
}

void CTextLoader::LoadFor(std::chrono::milliseconds budget, qint64 byteLimit)
{
    QElapsedTimer clock;
    clock.start();
    const qint64 end = m_nLoaded + byteLimit < m_nLoaded ? std::numeric_limits<qint64>::max() : m_nLoaded + byteLimit;
    do {
        if (!LoadChunk())
            return;
    } while (clock.elapsed() < budget.count() && m_nLoaded + static_cast<qint64>(ChunkSize) <= end);
}

bool CTextLoader::LoadChunk()
{
    if (m_bFinished)
        return false;
    const qint64 read = m_pFile->read(m_Buffer.data(), static_cast<qint64>(m_Buffer.size()));
    if (read < 0) {
        Finish(false);
        return false;
    }
    if (read == 0) {
        Finish(true);
        return false;
    }
    m_nLoaded += read;
    m_Sink(m_Buffer.data(), static_cast<std::size_t>(read));
    return true;
}

void CTextLoader::Finish(bool succeeded)
{
    m_Timer.stop();
    m_bFinished = true;
    m_bFailed = !succeeded;
    m_pFile->close();
    m_Buffer = {};
    Q_EMIT Finished(succeeded);
}
