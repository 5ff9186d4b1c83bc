// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/CStreamCapture.h"

#include <QFile>
#include <QFileInfo>

#include "files/SpoolFile.h"

CStreamCapture::CStreamCapture(std::unique_ptr<SpoolFile> spool, QObject* parent)
    : QObject(parent), m_pSpool(std::move(spool))
{}

CStreamCapture::~CStreamCapture() = default;

QString CStreamCapture::GetSpoolPath() const
{
    // Written as the document writes its path, so that the two compare.
    return QFileInfo(QFile::decodeName(QByteArray::fromStdString(m_pSpool->GetPath()))).absoluteFilePath();
}

QString CStreamCapture::GetErrorText() const
{
    QByteArray bytes = m_Error;
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    return QString::fromLocal8Bit(bytes);
}

QString CStreamCapture::GetStatusText() const
{
    if (IsRunning())
        return GetRunningText();
    const QString error = GetErrorText();
    const qsizetype lineFeed = error.lastIndexOf(u'\n');
    const QString lastLine = lineFeed >= 0 ? error.mid(lineFeed + 1) : error;
    return lastLine.isEmpty() ? m_strEndText : m_strEndText + QStringLiteral(": ") + lastLine;
}

void CStreamCapture::End(const QString& text)
{
    if (m_bEnded)
        return;
    m_bEnded = true;
    m_strEndText = text;
    Q_EMIT Ended();
}

void CStreamCapture::AppendError(const QByteArray& bytes)
{
    m_Error.append(bytes);
    if (m_Error.size() > ErrorBytesKept) {
        m_Error.remove(0, m_Error.size() - ErrorBytesKept);
        // From the start of a line, when one starts in what is kept.
        const qsizetype lineFeed = m_Error.indexOf('\n');
        if (lineFeed >= 0 && lineFeed + 1 < m_Error.size())
            m_Error.remove(0, lineFeed + 1);
    }
}
