// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QObject>
#include <QString>
#include <QTimer>

#include "filtering/InputDecoder.h"
#include "view/CLineStartFinder.h"

class ILoader;
class QFile;

// Reads an open file for a view. The first part goes to a sink at once, on the GUI thread, so that
// the first screen paints; then a loading thread puts the whole file into a new editor document
// that no view shows yet, and the view swaps it in at the end. Making room for a big file and
// indexing its lines take seconds; none of that happens on the GUI thread.
class CTextLoader : public QObject
{
    Q_OBJECT

public:
    using ChunkSink = std::function<void(const char* data, std::size_t size)>;
    // Makes the loader of a new editor document with room for `size` bytes. Called on the loading
    // thread; null when it cannot.
    using LoaderFactory = std::function<ILoader*(std::int64_t size)>;

    static constexpr std::size_t ChunkSize = 4 * 1024 * 1024;

    // `wantedLine` (1-based, 0 for none) is the file line whose start GetWantedLineStart reports.
    CTextLoader(std::unique_ptr<QFile> file, std::int64_t wantedLine, ChunkSink firstPartSink, LoaderFactory factory,
                QObject* parent = nullptr);
    // Stops the loading thread and waits for it; a document not taken is thrown away.
    ~CTextLoader() override;

    // Reads into the sink right away until the first budget has passed or firstBytes are in (a
    // chunk more at most); the rest comes from the loading thread. Finished is emitted once, before Start returns when
    // the first part was the whole file. With firstBytes 0 the sink gets nothing and every read is the thread's.
    void Start(std::chrono::milliseconds firstBudget, std::int64_t firstBytes);
    // Before Start: the file's text comes through the decoder (another encoding as UTF-8), not
    // as its bytes. Progress still counts the file's bytes.
    void SetDecoder(std::unique_ptr<InputDecoder> decoder) { m_pDecoder = std::move(decoder); }
    // Waits for the loading thread; Finished has been emitted when this returns.
    void WaitForEnd();

    bool IsFinished() const { return m_bFinished; }
    // The file's bytes read so far (the text may be longer or shorter when it is decoded).
    std::int64_t GetFileBytesLoaded() const { return m_nLoaded.load(std::memory_order_relaxed); }
    // The share read so far of the size the file had when loading started, 0 to 100.
    int GetProgressPercent() const;
    // After Finished: the loader of the document that holds the whole text, for the view to
    // convert and show in place of the first part (the caller owns it). Null when the first part
    // was all there was. After a failed read it holds what came before the failure.
    ILoader* TakeDocumentLoader();
    // Where the wanted line starts in the text loaded so far; -1 when it has not been seen.
    std::int64_t GetWantedLineStart() const;
    // After the load: whether a lone carriage return made the editor count more lines than the file.
    bool HasLoneCarriageReturn() const { return m_LineFinder.SawLoneCarriageReturn(); }
    // After a failed load: why it failed, and whether it was for want of memory.
    QString GetErrorString() const { return m_strError; }
    bool RanOutOfMemory() const { return m_bFinished && m_bOutOfMemory; }

Q_SIGNALS:
    void Progress(int percent);
    // The end of the file was reached (succeeded), or a read failed.
    void Finished(bool succeeded);

private:
    // Reads the first part into the sink; false when that was all (Finished has been emitted).
    bool ReadFirstPart(std::chrono::milliseconds budget, std::int64_t firstBytes);
    // The loading thread's work; it hands over through m_bWorkerSucceeded and m_pDocumentLoader.
    void LoadWholeFile(const std::stop_token& stop);
    void OnWorkerDone();
    void Finish(bool succeeded);
    // Up to size bytes of text: the file's, or its decoder's; -1 after a failed read.
    qint64 ReadText(char* out, qint64 size);
    // The file's bytes read so far, what ever the text came to.
    std::int64_t FileBytesRead(std::int64_t textBytes) const;

    std::unique_ptr<QFile> m_pFile;
    std::unique_ptr<InputDecoder> m_pDecoder;
    std::string m_strDecodeFault; // written by whichever thread reads, before Finished
    ChunkSink m_FirstPartSink;
    LoaderFactory m_Factory;
    // The first part stays here for the loading thread, which puts it into the new document first.
    std::vector<char> m_FirstPart;
    CLineStartFinder m_LineFinder;
    std::int64_t m_nFirstPartLineStart = -1;
    std::int64_t m_nExpected = 0;
    std::atomic<std::int64_t> m_nLoaded{0};
    // Written by the loading thread before it ends; read after joining it.
    ILoader* m_pDocumentLoader = nullptr;
    bool m_bWorkerSucceeded = false;
    bool m_bOutOfMemory = false; // written by the loading thread before it ends
    QString m_strError;
    bool m_bFinished = false;
    QTimer m_ProgressTimer;
    std::jthread m_Thread;
};
