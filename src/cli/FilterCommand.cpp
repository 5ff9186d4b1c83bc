// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/FilterCommand.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <vector>

#include "cli/MergeCommand.h"
#include "files/DescriptorWriting.h"
#include "filtering/FileChangeTexts.h"
#include "filtering/FilterEngine.h"
#include "filtering/FilterSettings.h"
#include "filtering/FilterSettingsFile.h"
#include "filtering/ParallelFilterEngine.h"
#include "filtering/RotatedSet.h"
#include "regex/Regex.h"

namespace {

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
        m_nFileLines += static_cast<std::int64_t>(batch.Lines.size());
        if (!batch.Text.empty())
            m_bLastLineEnded = batch.Text.back() == '\n';
        if (!m_bLineNumbers && !m_bFileNames) {
            Write(batch.Text.data(), batch.Text.size());
            return;
        }
        // As grep writes them: "NAME:12:text" for a kept line, "NAME-12-text" for its context.
        m_strBuffer.clear();
        m_strBuffer.reserve(batch.Text.size() + batch.Lines.size() * (12 + (m_bFileNames ? m_strPath.size() + 1 : 0)));
        char number[24];
        for (const OutputLine& line : batch.Lines) {
            const char separator = line.IsContext ? '-' : ':';
            if (m_bFileNames) {
                m_strBuffer.append(m_strPath);
                m_strBuffer.push_back(separator);
            }
            if (m_bLineNumbers) {
                const auto end = std::to_chars(number, number + sizeof(number) - 1, line.LineNumber).ptr;
                m_strBuffer.append(number, end);
                m_strBuffer.push_back(separator);
            }
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

    void NoteNoTimesRecognised() override
    {
        WriteMessage(m_nErrorFd, "ostrel-filter: no times recognised in " + m_strPath + "; each line is a record");
    }

    // The file whose lines come next, as its lines and notes name it.
    void StartFile(std::string path)
    {
        m_strPath = std::move(path);
        m_nFileLines = 0;
    }
    void SetFileNames(bool fileNames) { m_bFileNames = fileNames; }
    // The last line of a file without a line feed still ends its line in the output, so that
    // the next file's first line starts one of its own.
    void EndFile()
    {
        if (m_nFileLines > 0 && !m_bLastLineEnded && !m_bWriteFailed)
            Write("\n", 1);
    }

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
    bool m_bFileNames = false;
    bool m_bLastLineEnded = true;
    bool m_bWriteFailed = false;
    bool m_bErrorReported = false;
    int m_nWriteError = 0;
    std::int64_t m_nLines = 0;
    std::int64_t m_nFileLines = 0;
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
    // A file whose filters are all switched off gives nothing to filter by, as an empty one does.
    if (settings.GetEnabledCount() == 0) {
        error = "ostrel-filter: no filter switched on in filter settings file \"" + source.Text + "\"";
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
    if (!options.Paths.empty())
        run.Path = RunPathOf(options.Paths.front());
    run.ExcludeMatches = options.ExcludeMatches;
    run.Follow = options.Follow;
    run.Records = options.Records;
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

std::string RunPathOf(const std::string& argument)
{
    return argument == "-" ? std::string("/dev/stdin") : argument;
}

std::string ShownNameOf(const std::string& argument)
{
    return argument == "-" ? std::string("(standard input)") : argument;
}

std::vector<std::string> ExpandLogArguments(const std::vector<std::string>& arguments, bool recursive, bool rotatedSets)
{
    std::vector<std::string> files;
    for (const std::string& argument : arguments) {
        std::vector<RotatedSetMember> set;
        std::string setError;
        if (rotatedSets && argument != "-" && FindRotatedSet(argument, set, setError)) {
            for (const RotatedSetMember& member : set)
                files.push_back(member.Path);
            continue;
        }
        std::error_code error;
        if (!recursive || argument == "-" || !std::filesystem::is_directory(argument, error)) {
            files.push_back(argument); // a folder without -R is told as one, by the run
            continue;
        }
        // In name order, so that the output does not depend on the order of the folder's entries;
        // links to folders are not followed (they could lead back), links to files are read.
        std::vector<std::string> beneath;
        std::filesystem::recursive_directory_iterator walk(
            argument, std::filesystem::directory_options::skip_permission_denied, error);
        for (const auto end = std::filesystem::recursive_directory_iterator(); !error && walk != end;
             walk.increment(error)) {
            std::error_code typeError;
            if (!walk->is_directory(typeError))
                beneath.push_back(walk->path().string());
        }
        if (error)
            beneath.push_back(argument); // unreadable: the run says why
        std::sort(beneath.begin(), beneath.end());
        files.insert(files.end(), beneath.begin(), beneath.end());
    }
    return files;
}

int RunFilterCommand(const CommandLineOptions& options, TextEncoding encoding, int outputFd, int errorFd)
{
    FilterRun run;
    std::string error;
    if (!BuildFilterRun(options, encoding, run, error)) {
        WriteMessage(errorFd, error);
        return FilterCommandError;
    }
    const std::vector<std::string> files = ExpandLogArguments(options.Paths, options.Recursive, options.RotatedSets);
    if (options.Merge)
        return RunMergeCommand(options, files, run, outputFd, errorFd);
    const bool several = files.size() > 1 || options.Recursive;
    StreamOutput output(outputFd, errorFd, options.LineNumbers);
    output.SetFileNames(options.FileNamePrefix == CommandLineOptions::FileNames::Always ||
                        (several && options.FileNamePrefix == CommandLineOptions::FileNames::WhenSeveral));
    bool failed = false;
    for (const std::string& file : files) {
        run.Path = RunPathOf(file);
        output.StartFile(ShownNameOf(file));
        // Each file is a run of its own: its lines count from 1, no context reaches into the next.
        ParallelFilterEngine engine(run, options.Threads);
        engine.SetShownName(ShownNameOf(file));
        failed = engine.Run(std::stop_token(), output) == EngineResult::Failed || failed;
        if (several)
            output.EndFile();
        if (output.WriteFailed()) {
            WriteMessage(errorFd, std::string("ostrel-filter: write error: ") + std::strerror(output.WriteError()));
            return FilterCommandError;
        }
    }
    if (failed || output.ErrorReported())
        return FilterCommandError;
    return output.GetLines() > 0 ? FilterCommandLinesOutput : FilterCommandNoLines;
}
