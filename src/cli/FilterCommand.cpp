// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/FilterCommand.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <unistd.h>

#include "filtering/FileChangeTexts.h"
#include "filtering/FilterEngine.h"
#include "filtering/FilterSettings.h"
#include "filtering/FilterSettingsFile.h"
#include "regex/Regex.h"

namespace {

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

void WriteMessage(int fd, const std::string& message)
{
    const std::string line = message + "\n";
    WriteAll(fd, line.data(), line.size());
}

// Writes kept lines as they come, each with its own bytes, optionally behind its line number.
class StreamOutput : public FilterOutput
{
public:
    StreamOutput(int outputFd, int errorFd, bool lineNumbers)
        : m_nOutputFd(outputFd), m_nErrorFd(errorFd), m_bLineNumbers(lineNumbers)
    {}

    void WriteLines(OutputBatch&& batch) override
    {
        if (m_bWriteFailed)
            return;
        m_nLines += static_cast<std::int64_t>(batch.Lines.size());
        if (!m_bLineNumbers) {
            Write(batch.Text.data(), batch.Text.size());
            return;
        }
        m_strBuffer.clear();
        m_strBuffer.reserve(batch.Text.size() + batch.Lines.size() * 12);
        char number[24];
        for (const OutputLine& line : batch.Lines) {
            const auto end = std::to_chars(number, number + sizeof(number) - 1, line.LineNumber).ptr;
            m_strBuffer.append(number, end);
            m_strBuffer.push_back(line.IsContext ? '-' : ':');
            m_strBuffer.append(batch.LineText(line));
        }
        Write(m_strBuffer.data(), m_strBuffer.size());
    }

    void ReportError(const std::string& message) override
    {
        m_bErrorReported = true;
        WriteMessage(m_nErrorFd, message);
    }

    // A followed file that starts anew is noted on standard error, as tail does; only lines
    // go to standard output.
    void NoteFileEvent(FileEvent event) override
    {
        if (event == FileEvent::Truncated || event == FileEvent::Replaced)
            WriteMessage(m_nErrorFd, FileChangeTexts::CommandLineRestartNote("ostrel-filter", m_strPath,
                                                                             event == FileEvent::Replaced));
        else if (event == FileEvent::Missing)
            WriteMessage(m_nErrorFd, FileChangeTexts::CommandLineGoneNote("ostrel-filter", m_strPath));
    }

    void SetPath(std::string path) { m_strPath = std::move(path); }

    std::int64_t GetLines() const { return m_nLines; }
    bool WriteFailed() const { return m_bWriteFailed; }
    int WriteError() const { return m_nWriteError; }
    bool ErrorReported() const { return m_bErrorReported; }

private:
    void Write(const char* data, std::size_t size)
    {
        if (!WriteAll(m_nOutputFd, data, size)) {
            m_bWriteFailed = true;
            m_nWriteError = errno;
        }
    }

    int m_nOutputFd;
    int m_nErrorFd;
    bool m_bLineNumbers;
    bool m_bWriteFailed = false;
    bool m_bErrorReported = false;
    int m_nWriteError = 0;
    std::int64_t m_nLines = 0;
    std::string m_strBuffer;
    std::string m_strPath;
};

bool AddFiltersFromFile(const CommandLineFilter& source, TextEncoding encoding, FilterRun& run, std::string& error)
{
    FilterSettings settings;
    const FilterFileResult result = ReadFilterSettingsFile(source.Text, settings);
    switch (result.Status) {
    case FilterFileStatus::Done:
        break;
    case FilterFileStatus::CannotOpen:
        error = "ostrel-filter: cannot open filter settings file \"" + source.Text +
                "\": " + std::strerror(result.SystemError);
        return false;
    case FilterFileStatus::NoFilters:
        error = "ostrel-filter: no complete filter in filter settings file \"" + source.Text + "\"";
        return false;
    default:
        error = result.Message;
        return false;
    }
    const FilterRun fromFile = MakeFilterRun(settings, std::string(), encoding);
    run.Filters.insert(run.Filters.end(), fromFile.Filters.begin(), fromFile.Filters.end());
    run.ExcludeMatches = run.ExcludeMatches || fromFile.ExcludeMatches;
    return true;
}

} // namespace

bool BuildFilterRun(const CommandLineOptions& options, TextEncoding encoding, FilterRun& run, std::string& error)
{
    run = FilterRun();
    run.Path = options.Path;
    run.ExcludeMatches = options.ExcludeMatches;
    run.Follow = options.Follow;
    for (const CommandLineFilter& source : options.Filters) {
        if (source.SourceKind == CommandLineFilter::Kind::FilterFile) {
            if (!AddFiltersFromFile(source, encoding, run, error))
                return false;
            continue;
        }
        run.Filters.push_back(RunFilter{source.Text, source.SourceKind == CommandLineFilter::Kind::Regex,
                                        source.CaseSensitive, source.OutputBeforeMatch, source.OutputAfterMatch});
    }
    // Every expression must compile before the file is read, even one that no line would reach.
    for (const RunFilter& filter : run.Filters) {
        if (!filter.RegExp)
            continue;
        Regex regex;
        const std::int32_t code = regex.Parse(filter.Pattern, filter.CaseSensitive);
        if (code != RegexErrorNone) {
            error = std::string("Regular Expression Parser Error: ") + RegexErrorText(code);
            return false;
        }
    }
    return true;
}

int RunFilterCommand(const CommandLineOptions& options, TextEncoding encoding, int outputFd, int errorFd)
{
    FilterRun run;
    std::string error;
    if (!BuildFilterRun(options, encoding, run, error)) {
        WriteMessage(errorFd, error);
        return FilterCommandError;
    }
    StreamOutput output(outputFd, errorFd, options.LineNumbers);
    output.SetPath(run.Path);
    FilterEngine engine(std::move(run));
    const EngineResult result = engine.Run(std::stop_token(), output);
    if (output.WriteFailed()) {
        WriteMessage(errorFd, std::string("ostrel-filter: write error: ") + std::strerror(output.WriteError()));
        return FilterCommandError;
    }
    if (result == EngineResult::Failed || output.ErrorReported())
        return FilterCommandError;
    return output.GetLines() > 0 ? FilterCommandLinesOutput : FilterCommandNoLines;
}
