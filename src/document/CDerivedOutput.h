// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>

#include <QString>
#include <QStringList>

#include "filtering/OutputLineNumbers.h"
#include "logtext/ShownText.h"

class SpoolFile;

// What a tab opened from filter output keeps of where its lines come from: the spool file that
// holds them (it goes with the tab), the original file line of each line, the original file and
// the steps that led here ("app.log", "ERROR", "db-3"). A tab made from such a tab composes the
// lines, so each one still names the original file's line.
class CDerivedOutput
{
public:
    CDerivedOutput(std::unique_ptr<SpoolFile> spool, OutputLineNumbers origins, QString originalPath,
                   QStringList steps);
    ~CDerivedOutput();
    CDerivedOutput(const CDerivedOutput&) = delete;
    CDerivedOutput& operator=(const CDerivedOutput&) = delete;

    QString GetSpoolPath() const;
    const QString& GetOriginalPath() const { return m_strOriginalPath; }
    // The original file's name, then what each step kept.
    const QStringList& GetSteps() const { return m_Steps; }
    // "app.log > ERROR > db-3".
    QString GetChainText() const { return m_Steps.join(QStringLiteral(" > ")); }
    // Entry i: the original line of the tab's own line i + 1.
    const OutputLineNumbers& GetOrigins() const { return m_Origins; }
    // The original line of an own line (1-based), 0 for none.
    std::int64_t OriginalLineOf(std::int64_t ownLine) const;
    // See OriginLines::MapOrigin.
    ShownLineOrigin MapOrigin(const ShownLineOrigin& own, bool ownOutput) const;
    std::int64_t GetLastOriginalLine() const { return m_Origins.LastFileLine(); }

    // What a step of filters keeps, for the chain: "ERROR", "ERROR | WARN", "not ERROR".
    static QString DescribeStep(const QStringList& filters, bool excludeMatches);

private:
    std::unique_ptr<SpoolFile> m_pSpool;
    OutputLineNumbers m_Origins;
    QString m_strOriginalPath;
    QStringList m_Steps;
};
