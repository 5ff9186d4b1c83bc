// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include <QObject>
#include <QTimer>

class QFile;

// Reads an open file in chunks and hands each chunk to a sink, a little at a time from the event
// loop, so that a big log shows its first screen at once and the window stays responsive while
// the rest comes in. Everything runs on the thread that owns the loader.
class CTextLoader : public QObject
{
    Q_OBJECT

public:
    using ChunkSink = std::function<void(const char* data, std::size_t size)>;

    static constexpr std::size_t ChunkSize = 4 * 1024 * 1024;

    CTextLoader(std::unique_ptr<QFile> file, ChunkSink sink, QObject* parent = nullptr);
    ~CTextLoader() override;

    // Loads for about the first budget, at most firstBytes, right away, then goes on from the
    // event loop. Finished is emitted once, possibly before Start returns.
    void Start(std::chrono::milliseconds firstBudget, qint64 firstBytes);
    // Loads whatever is left now, for the commands that need the whole text.
    void LoadRest();

    bool IsFinished() const { return m_bFinished; }
    bool HasFailed() const { return m_bFailed; }
    // The share read so far of the size the file had when loading started, 0 to 100.
    int GetProgressPercent() const;
    qint64 GetBytesLoaded() const { return m_nLoaded; }

Q_SIGNALS:
    void Progress(int percent);
    // The end of the file was reached (succeeded) or a read failed.
    void Finished(bool succeeded);

private:
    void LoadFor(std::chrono::milliseconds budget, qint64 byteLimit);
    // One chunk; false at the end of the file or after a read error.
    bool LoadChunk();
    void Finish(bool succeeded);

    std::unique_ptr<QFile> m_pFile;
    ChunkSink m_Sink;
    std::vector<char> m_Buffer;
    qint64 m_nExpected = 0;
    qint64 m_nLoaded = 0;
    bool m_bFinished = false;
    bool m_bFailed = false;
    QTimer m_Timer;
};
