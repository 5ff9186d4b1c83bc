// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include <QObject>
#include <QString>
#include <QTimer>

// Copies a file to a new name on a thread of its own, through a FileReplacer: the copy is linked
// in at the end, so a failure or a stop leaves the target as it was, and a replaced target keeps
// its owner, group, mode and links.
// Progress comes every 100 ms; Finished once, on the GUI thread.
class IndexedText;
class TextRangeReader;

class CFileCopier : public QObject
{
    Q_OBJECT

public:
    CFileCopier(QString source, QString target, QObject* parent = nullptr);
    // Writes a text as it reads (a compressed file's text decompressed), which the thread keeps alive.
    CFileCopier(std::shared_ptr<const IndexedText> text, QString target, QObject* parent = nullptr);
    ~CFileCopier() override;

    void Start();
    // Stops the copy; nothing of it is left, the target stays as it was.
    void Stop();
    QString GetTarget() const { return m_strTarget; }

Q_SIGNALS:
    void Progress(int percent);
    // error is 0 on success, else the errno of what failed (ECANCELED when it was stopped).
    void Finished(int error);

private:
    struct State
    {
        std::atomic<std::uint64_t> Copied{0};
        std::atomic<std::uint64_t> Size{0};
        std::atomic<bool> bStop{false};
        std::atomic<bool> bDone{false};
        int Error = 0; // errno; written before bDone
    };
    static void CopyFile(const std::shared_ptr<State>& state, const QByteArray& source, const QByteArray& target);
    // Writes the text from its start to its end; size tells the text's size as far as it is known.
    static int CopyText(const std::shared_ptr<State>& state, const TextRangeReader& text,
                        const std::function<std::uint64_t()>& size, const QByteArray& target);
    void OnTimer();

    QString m_strSource;
    std::shared_ptr<const IndexedText> m_pText; // copied instead of m_strSource when set
    QString m_strTarget;
    std::shared_ptr<State> m_pState;
    std::thread m_Thread;
    QTimer m_Timer;
    bool m_bFinished = false;
};
