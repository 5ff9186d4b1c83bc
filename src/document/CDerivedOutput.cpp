// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/CDerivedOutput.h"

#include <QFile>

#include "files/SpoolFile.h"
#include "logtext/OriginLines.h"

CDerivedOutput::CDerivedOutput(std::unique_ptr<SpoolFile> spool, OutputLineNumbers origins, QString originalPath,
                               QStringList steps)
    : m_pSpool(std::move(spool)), m_Origins(std::move(origins)), m_strOriginalPath(std::move(originalPath)),
      m_Steps(std::move(steps))
{}

CDerivedOutput::~CDerivedOutput() = default;

QString CDerivedOutput::GetSpoolPath() const
{
    return m_pSpool ? QFile::decodeName(m_pSpool->GetPath().c_str()) : QString();
}

std::int64_t CDerivedOutput::OriginalLineOf(std::int64_t ownLine) const
{
    return OriginLines::OriginalLineOf(m_Origins, ownLine);
}

ShownLineOrigin CDerivedOutput::MapOrigin(const ShownLineOrigin& own, bool ownOutput) const
{
    return OriginLines::MapOrigin(m_Origins, own, ownOutput);
}

QString CDerivedOutput::DescribeStep(const QStringList& filters, bool excludeMatches)
{
    const QString kept = filters.isEmpty() ? QStringLiteral("output") : filters.join(QStringLiteral(" | "));
    return excludeMatches ? QStringLiteral("not ") + kept : kept;
}
