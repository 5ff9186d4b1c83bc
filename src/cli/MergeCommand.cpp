// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/MergeCommand.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>

#include "cli/FilterCommand.h"
#include "files/DescriptorWriting.h"
#include "filtering/FilterEngine.h"
#include "time/MergedLogInput.h"
#include "time/MergedLogReader.h"
#include "time/TimedLogInput.h"

namespace {

// Writes the kept lines of the merged stream, each named by the file it came from.
class MergedStreamOutput : public FilterOutput
{
public:
    MergedStreamOutput(int outputFd, int errorFd, const MergedLogInput& origins, std::vector<std::string> names)
        : m_nOutputFd(outputFd), m_nErrorFd(errorFd), m_Origins(origins), m_Names(std::move(names))
    {}

    void SetLineNumbers(bool lineNumbers) { m_bLineNumbers = lineNumbers; }
    void SetFileNames(bool fileNames) { m_bFileNames = fileNames; }

    void WriteLines(OutputBatch&& batch) override
    {
        if (m_bWriteFailed)
            return;
        m_nLines += static_cast<std::int64_t>(batch.Lines.size());
        m_strBuffer.clear();
        char number[24];
        for (const OutputLine& line : batch.Lines) {
            const char separator = line.IsContext ? '-' : ':';
            MergedLogInput::Origin origin;
            // Every line a run outputs is one the input still knows; the merged number is the
            // best left should that ever fail.
            if (!m_Origins.FindOrigin(line.LineNumber, origin))
                origin = MergedLogInput::Origin{m_Names.size(), line.LineNumber};
            if (m_bFileNames && origin.Input < m_Names.size()) {
                m_strBuffer.append(m_Names[origin.Input]);
                m_strBuffer.push_back(separator);
            }
            if (m_bLineNumbers) {
                const auto end = std::to_chars(number, number + sizeof(number), origin.LineNumber).ptr;
                m_strBuffer.append(number, end);
                m_strBuffer.push_back(separator);
            }
            m_strBuffer.append(batch.LineText(line));
        }
        if (!WriteAll(m_nOutputFd, m_strBuffer.data(), m_strBuffer.size())) {
            m_bWriteFailed = true;
            m_nWriteError = errno;
        }
    }

    void ReportError(const std::string& message) override
    {
        m_bErrorReported = true;
        WriteMessage(m_nErrorFd, message);
    }

    std::int64_t GetLines() const { return m_nLines; }
    bool WriteFailed() const { return m_bWriteFailed; }
    int WriteError() const { return m_nWriteError; }
    bool ErrorReported() const { return m_bErrorReported; }

private:
    int m_nOutputFd;
    int m_nErrorFd;
    const MergedLogInput& m_Origins;
    std::vector<std::string> m_Names;
    bool m_bLineNumbers = false;
    bool m_bFileNames = true;
    bool m_bWriteFailed = false;
    bool m_bErrorReported = false;
    int m_nWriteError = 0;
    std::int64_t m_nLines = 0;
    std::string m_strBuffer;
};

std::string NoTimesMessage(const std::string& shownName)
{
    return "ostrel-filter: no times were recognised in " + shownName;
}

} // namespace

int RunMergeCommand(const CommandLineOptions& options, const std::vector<std::string>& files, FilterRun run,
                    int outputFd, int errorFd)
{
    // Every file is opened and its layout told before a line is written: a merge with a file
    // missing would be a different merge.
    std::vector<std::unique_ptr<TimedLogInput>> inputs;
    std::vector<std::string> names;
    bool refused = false;
    for (const std::string& file : files) {
        auto input = std::make_unique<TimedLogInput>(RunPathOf(file), ShownNameOf(file));
        switch (input->Open()) {
        case TimedLogInput::OpenResult::Opened:
            break;
        case TimedLogInput::OpenResult::CannotOpen:
            WriteMessage(errorFd, OpenErrorMessage(ShownNameOf(file), input->GetOpenError()));
            refused = true;
            break;
        case TimedLogInput::OpenResult::NoTimes:
            WriteMessage(errorFd, NoTimesMessage(ShownNameOf(file)));
            refused = true;
            break;
        }
        names.push_back(ShownNameOf(file));
        inputs.push_back(std::move(input));
    }
    if (refused)
        return FilterCommandError;

    std::int64_t maxBefore = 0;
    for (const RunFilter& filter : run.Filters)
        maxBefore = std::max<std::int64_t>(maxBefore, filter.OutputBeforeMatch);
    if (run.Filters.empty())
        run.ExcludeMatches = true; // no filter matches a line: each is kept
    run.Path.clear();
    run.Follow = false;

    MergedLogReader reader(std::move(inputs));
    MergedLogInput merged(reader, maxBefore);
    MergedStreamOutput output(outputFd, errorFd, merged, std::move(names));
    output.SetLineNumbers(options.LineNumbers);
    output.SetFileNames(options.FileNamePrefix != CommandLineOptions::FileNames::Never);
    FilterEngine engine(std::move(run));
    engine.SetInput(merged);
    engine.SetShownName("the merged logs");
    const EngineResult result = engine.Run(std::stop_token(), output);
    if (output.WriteFailed()) {
        WriteMessage(errorFd, std::string("ostrel-filter: write error: ") + std::strerror(output.WriteError()));
        return FilterCommandError;
    }
    if (result != EngineResult::Finished || output.ErrorReported())
        return FilterCommandError;
    return output.GetLines() > 0 ? FilterCommandLinesOutput : FilterCommandNoLines;
}
