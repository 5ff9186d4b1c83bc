// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CTextLoader.h"

#include <algorithm>

#include <QElapsedTimer>
#include <QFile>

#include "view/ILoader.h"

namespace {
constexpr int ProgressIntervalMs = 100;
// Room for a file that grows while it loads, before the editor has to move the text.
constexpr std::int64_t GrowthSlack = 1024 * 1024;
} // namespace

CTextLoader::CTextLoader(std::unique_ptr<QFile> file, std::int64_t wantedLine, ChunkSink firstPartSink,
                         LoaderFactory factory, QObject* parent)
    : QObject(parent), m_pFile(std::move(file)), m_FirstPartSink(std::move(firstPartSink)),
      m_Factory(std::move(factory)), m_LineFinder(wantedLine), m_nExpected(m_pFile->size())
{
    m_ProgressTimer.setInterval(ProgressIntervalMs);
    connect(&m_ProgressTimer, &QTimer::timeout, this, [this] { Q_EMIT Progress(GetProgressPercent()); });
}

CTextLoader::~CTextLoader()
{
    if (m_Thread.joinable()) {
        m_Thread.request_stop();
        m_Thread.join();
    }
    if (m_pDocumentLoader)
        m_pDocumentLoader->Release();
}

void CTextLoader::Start(std::chrono::milliseconds firstBudget, std::int64_t firstBytes)
{
    if (firstBytes > 0 && !ReadFirstPart(firstBudget, firstBytes))
        return;
    m_nFirstPartLineStart = m_LineFinder.GetLineStart();
    m_ProgressTimer.start();
    m_Thread = std::jthread([this](const std::stop_token& stop) {
        LoadWholeFile(stop);
        if (!stop.stop_requested())
            QMetaObject::invokeMethod(this, &CTextLoader::OnWorkerDone, Qt::QueuedConnection);
    });
}

bool CTextLoader::ReadFirstPart(std::chrono::milliseconds budget, std::int64_t firstBytes)
{
    QElapsedTimer clock;
    clock.start();
    m_FirstPart.reserve(
        static_cast<std::size_t>(std::min(firstBytes, m_nExpected) + static_cast<std::int64_t>(ChunkSize)));
    std::int64_t loaded = 0;
    do {
        m_FirstPart.resize(static_cast<std::size_t>(loaded) + ChunkSize);
        const qint64 read = ReadText(m_FirstPart.data() + loaded, static_cast<qint64>(ChunkSize));
        m_FirstPart.resize(static_cast<std::size_t>(loaded + std::max<qint64>(read, 0)));
        if (read <= 0) {
            Finish(read == 0);
            return false;
        }
        m_FirstPartSink(m_FirstPart.data() + loaded, static_cast<std::size_t>(read));
        m_LineFinder.Feed(m_FirstPart.data() + loaded, static_cast<std::size_t>(read));
        loaded += read;
        m_nLoaded.store(FileBytesRead(loaded), std::memory_order_relaxed);
    } while (clock.elapsed() < budget.count() && loaded < firstBytes);
    return true;
}

void CTextLoader::LoadWholeFile(const std::stop_token& stop)
{
    ILoader* loader = nullptr;
    try {
        loader = m_Factory(std::max(m_nExpected, m_nLoaded.load(std::memory_order_relaxed)) + GrowthSlack);
    } catch (...) {
        loader = nullptr; // no memory for the whole file
    }
    if (!loader) {
        m_bOutOfMemory = true;
        return;
    }
    m_pDocumentLoader = loader;
    // The editor's only way to fail taking data is running out of memory for it.
    const auto add = [this, loader](const char* data, qint64 size) {
        if (size > 0 && loader->AddData(data, static_cast<std::ptrdiff_t>(size)) != 0)
            m_bOutOfMemory = true;
        return !m_bOutOfMemory;
    };
    bool succeeded = add(m_FirstPart.data(), static_cast<qint64>(m_FirstPart.size()));
    std::vector<char> buffer(ChunkSize);
    while (succeeded && !stop.stop_requested()) {
        const qint64 read = ReadText(buffer.data(), static_cast<qint64>(buffer.size()));
        if (read <= 0) {
            succeeded = read == 0;
            break;
        }
        m_LineFinder.Feed(buffer.data(), static_cast<std::size_t>(read));
        succeeded = add(buffer.data(), read);
        if (m_pDecoder)
            m_nLoaded.store(FileBytesRead(0), std::memory_order_relaxed);
        else
            m_nLoaded.fetch_add(read, std::memory_order_relaxed);
    }
    m_bWorkerSucceeded = succeeded;
}

qint64 CTextLoader::ReadText(char* out, qint64 size)
{
    if (!m_pDecoder)
        return m_pFile->read(out, size);
    const std::size_t read = m_pDecoder->Read(static_cast<int>(m_pFile->handle()), out, static_cast<std::size_t>(size));
    if (read == 0) {
        m_strDecodeFault = m_pDecoder->TakeFaultMessage(m_pFile->fileName().toStdString());
        if (!m_strDecodeFault.empty())
            return -1;
    }
    return static_cast<qint64>(read);
}

std::int64_t CTextLoader::FileBytesRead(std::int64_t textBytes) const
{
    return m_pDecoder ? static_cast<std::int64_t>(m_pDecoder->GetFileBytesUsed()) : textBytes;
}

void CTextLoader::OnWorkerDone()
{
    if (m_bFinished)
        return;
    m_Thread.join();
    Finish(m_bWorkerSucceeded);
}

void CTextLoader::WaitForEnd()
{
    if (m_bFinished)
        return;
    OnWorkerDone();
}

int CTextLoader::GetProgressPercent() const
{
    if (m_bFinished || m_nExpected <= 0)
        return 100;
    return static_cast<int>(std::min<std::int64_t>(99, m_nLoaded.load(std::memory_order_relaxed) * 100 / m_nExpected));
}

ILoader* CTextLoader::TakeDocumentLoader()
{
    return std::exchange(m_pDocumentLoader, nullptr);
}

std::int64_t CTextLoader::GetWantedLineStart() const
{
    return m_bFinished ? m_LineFinder.GetLineStart() : m_nFirstPartLineStart;
}

void CTextLoader::Finish(bool succeeded)
{
    m_ProgressTimer.stop();
    m_bFinished = true;
    if (!succeeded)
        m_strError = m_bOutOfMemory             ? QStringLiteral("Out of memory")
                     : m_strDecodeFault.empty() ? m_pFile->errorString()
                                                : QString::fromLocal8Bit(m_strDecodeFault.c_str());
    m_pFile->close();
    m_FirstPart = {};
    Q_EMIT Finished(succeeded);
}
