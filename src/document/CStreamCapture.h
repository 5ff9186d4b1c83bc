// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include <QByteArray>
#include <QObject>
#include <QString>

class SpoolFile;

// What fills the spool file of a stream tab (standard input, a command's output) while the
// document follows that file as a log. It owns the spool file and removes it when it goes; it
// ends once, with a line that says how (GetEndText) and what the source said on its standard
// error, if it has one (GetErrorText).
class CStreamCapture : public QObject
{
    Q_OBJECT

public:
    // Bytes of standard error kept: the last ones.
    static constexpr qsizetype ErrorBytesKept = 64 * 1024;

    ~CStreamCapture() override;

    // The file the stream goes to, for the document to open and follow.
    QString GetSpoolPath() const;
    // The tab's name: "(standard input)", or the command line.
    virtual QString GetTitle() const = 0;
    bool IsRunning() const { return !m_bEnded; }
    // Ends the stream (the reading, or the command); Ended follows when it has.
    virtual void Stop() = 0;
    virtual QString GetRunningText() const = 0;
    // "Command ended with exit status 3"; empty while it runs.
    QString GetEndText() const { return m_strEndText; }
    // What the status bar says of the stream: while it runs what it is ("Running sleep 9"),
    // then how it ended and the last line of standard error ("Command ended with exit status
    // 127: sh: 1: nosuchcmd: not found").
    QString GetStatusText() const;
    // The last ErrorBytesKept bytes of standard error, as text, without the final line feed.
    QString GetErrorText() const;

Q_SIGNALS:
    void Ended();

protected:
    explicit CStreamCapture(std::unique_ptr<SpoolFile> spool, QObject* parent = nullptr);
    // Once: notes the end and announces it.
    void End(const QString& text);
    // Keeps the last ErrorBytesKept bytes.
    void AppendError(const QByteArray& bytes);
    SpoolFile& Spool() const { return *m_pSpool; }

private:
    std::unique_ptr<SpoolFile> m_pSpool;
    QByteArray m_Error;
    QString m_strEndText;
    bool m_bEnded = false;
};
