// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/CInputCapture.h"

#include <cstring>

#include "files/SpoolFile.h"
#include "files/StreamCopier.h"

CInputCapture::CInputCapture(int fd, std::unique_ptr<SpoolFile> spool, QObject* parent)
    : CStreamCapture(std::move(spool), parent)
{
    // The handler runs on the copier's thread: the end is told on this object's own.
    m_pCopier = std::make_unique<StreamCopier>(
        fd, Spool().GetDescriptor(), [this](StreamCopier::End end, int error, std::uint64_t) {
            QMetaObject::invokeMethod(
                this, [this, end, error] { OnCopierEnded(end, error); }, Qt::QueuedConnection);
        });
}

CInputCapture::~CInputCapture()
{
    // Joined before the spool file goes.
    m_pCopier.reset();
}

QString CInputCapture::GetTitle() const
{
    return QStringLiteral("(standard input)");
}

void CInputCapture::Stop()
{
    m_pCopier->Stop();
}

void CInputCapture::OnCopierEnded(StreamCopier::End end, int error)
{
    const QString reason = QString::fromLocal8Bit(std::strerror(error));
    switch (end) {
    case StreamCopier::End::SourceEnded:
        End(QStringLiteral("Standard input ended"));
        break;
    case StreamCopier::End::Stopped:
        End(QStringLiteral("Reading standard input stopped"));
        break;
    case StreamCopier::End::ReadFailed:
        End(QStringLiteral("Reading standard input failed: %1").arg(reason));
        break;
    case StreamCopier::End::WriteFailed:
        End(QStringLiteral("Writing the spool file failed: %1").arg(reason));
        break;
    }
}
