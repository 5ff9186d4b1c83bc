// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "document/CStreamCapture.h"
#include "files/StreamCopier.h"

// Standard input (or any descriptor that is read like it) copied to the spool file on a thread,
// until its writer closes it or Stop. The descriptor stays the caller's.
class CInputCapture : public CStreamCapture
{
    Q_OBJECT

public:
    CInputCapture(int fd, std::unique_ptr<SpoolFile> spool, QObject* parent = nullptr);
    ~CInputCapture() override;

    QString GetTitle() const override;
    void Stop() override;
    QString GetRunningText() const override { return QStringLiteral("Reading standard input"); }

private:
    void OnCopierEnded(StreamCopier::End end, int error);

    std::unique_ptr<StreamCopier> m_pCopier;
};
