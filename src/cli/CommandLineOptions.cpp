// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLineOptions.h"

#include <charconv>
#include <limits>
#include <string_view>

namespace {

enum class Option
{
    Literal,
    Regex,
    IgnoreCase,
    CaseSensitive,
    Before,
    After,
    Filters,
    Exclude,
    LineNumbers,
    Follow,
    Help,
    Version,
    Recursive,
    WithFileName,
    NoFileName,
    Threads,
    Merge,
    Records,
    Set,
};

struct OptionName
{
    char ShortName;
    std::string_view LongName;
    Option Which;
    bool TakesValue;
};

constexpr OptionName OptionNames[] = {
    {'e', "literal", Option::Literal, true},
    {'r', "regex", Option::Regex, true},
    {'i', "ignore-case", Option::IgnoreCase, false},
    {'s', "case-sensitive", Option::CaseSensitive, false},
    {'B', "before", Option::Before, true},
    {'A', "after", Option::After, true},
    {'f', "filters", Option::Filters, true},
    {'v', "exclude", Option::Exclude, false},
    {'n', "line-numbers", Option::LineNumbers, false},
    {'F', "follow", Option::Follow, false},
    {'h', "help", Option::Help, false},
    {'\0', "version", Option::Version, false},
    {'R', "recursive", Option::Recursive, false},
    {'H', "with-filename", Option::WithFileName, false},
    {'\0', "no-filename", Option::NoFileName, false},
    {'j', "threads", Option::Threads, true},
    {'\0', "merge", Option::Merge, false},
    {'\0', "records", Option::Records, false},
    {'\0', "set", Option::Set, false},
};

const OptionName* FindShort(char name)
{
    for (const OptionName& option : OptionNames)
        if (option.ShortName != '\0' && option.ShortName == name)
            return &option;
    return nullptr;
}

const OptionName* FindLong(std::string_view name)
{
    for (const OptionName& option : OptionNames)
        if (option.LongName == name)
            return &option;
    return nullptr;
}

bool ParseLineCount(const std::string& text, std::int32_t& value)
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto [stop, result] = std::from_chars(text.data(), end, value);
    return result == std::errc() && stop == end && value >= 0;
}

struct ParserState
{
    bool CaseSensitive = true;
    std::int32_t Before = 0;
    std::int32_t After = 0;
};

bool Apply(const OptionName& option, const std::string& value, ParserState& state, CommandLineOptions& options,
           std::string& error)
{
    auto addFilter = [&](CommandLineFilter::Kind kind) {
        options.Filters.push_back(CommandLineFilter{kind, value, state.CaseSensitive, state.Before, state.After});
    };
    switch (option.Which) {
    case Option::Literal:
        addFilter(CommandLineFilter::Kind::Literal);
        break;
    case Option::Regex:
        addFilter(CommandLineFilter::Kind::Regex);
        break;
    case Option::Filters:
        addFilter(CommandLineFilter::Kind::FilterFile);
        break;
    case Option::IgnoreCase:
        state.CaseSensitive = false;
        break;
    case Option::CaseSensitive:
        state.CaseSensitive = true;
        break;
    case Option::Before:
    case Option::After:
        if (!ParseLineCount(value, option.Which == Option::Before ? state.Before : state.After)) {
            error = "invalid line count '" + value + "' for --" + std::string(option.LongName);
            return false;
        }
        break;
    case Option::Exclude:
        options.ExcludeMatches = true;
        break;
    case Option::LineNumbers:
        options.LineNumbers = true;
        break;
    case Option::Follow:
        options.Follow = true;
        break;
    case Option::Help:
        options.ShowHelp = true;
        break;
    case Option::Version:
        options.ShowVersion = true;
        break;
    case Option::Recursive:
        options.Recursive = true;
        break;
    case Option::WithFileName:
        options.FileNamePrefix = CommandLineOptions::FileNames::Always;
        break;
    case Option::NoFileName:
        options.FileNamePrefix = CommandLineOptions::FileNames::Never;
        break;
    case Option::Records:
        options.Records = true;
        break;
    case Option::Threads: {
        std::int32_t threads = 0;
        if (!ParseLineCount(value, threads) || threads < 1) {
            error = "invalid thread count '" + value + "' for --threads";
            return false;
        }
        options.Threads = static_cast<unsigned>(threads);
        break;
    }
    case Option::Merge:
        options.Merge = true;
        break;
    case Option::Set:
        options.RotatedSets = true;
        break;
    }
    return true;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string>& arguments, CommandLineOptions& options, std::string& error)
{
    ParserState state;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            files.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        auto takeValue = [&](const OptionName& option, std::string& value) {
            if (i + 1 >= arguments.size()) {
                error = "option --" + std::string(option.LongName) + " needs a value";
                return false;
            }
            value = arguments[++i];
            return true;
        };
        if (argument[1] == '-') {
            const std::size_t equals = argument.find('=');
            const std::string_view name =
                std::string_view(argument).substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            const OptionName* option = FindLong(name);
            if (!option) {
                error = "unknown option '" + argument + "'";
                return false;
            }
            std::string value;
            if (equals != std::string::npos) {
                if (!option->TakesValue) {
                    error = "option --" + std::string(option->LongName) + " takes no value";
                    return false;
                }
                value = argument.substr(equals + 1);
            } else if (option->TakesValue && !takeValue(*option, value)) {
                return false;
            }
            if (!Apply(*option, value, state, options, error))
                return false;
            continue;
        }
        // Short options may be bundled ("-in"); one that takes a value ends the bundle ("-B2" or "-B 2").
        for (std::size_t k = 1; k < argument.size(); ++k) {
            const OptionName* option = FindShort(argument[k]);
            if (!option) {
                error = std::string("unknown option '-") + argument[k] + "'";
                return false;
            }
            std::string value;
            if (option->TakesValue) {
                if (k + 1 < argument.size())
                    value = argument.substr(k + 1);
                else if (!takeValue(*option, value))
                    return false;
                k = argument.size();
            }
            if (!Apply(*option, value, state, options, error))
                return false;
        }
    }
    if (options.ShowHelp || options.ShowVersion)
        return true;
    if (files.empty()) {
        error = "no log file given (use - for standard input)";
        return false;
    }
    if (options.Filters.empty() && !options.Merge) {
        error = "no filter given (use -e, -r or -f)";
        return false;
    }
    // A merge ends with the ends of its files: it waits for none of them to grow.
    if (options.Follow && options.Merge) {
        error = "--follow cannot follow a merge";
        return false;
    }
    // Each merged file has a layout of its own; the records of the merged stream would need one.
    if (options.Records && options.Merge) {
        error = "--records cannot be used with --merge";
        return false;
    }
    // The live file of a set is rotated under a follower; a rotated set is read to its end.
    if (options.Follow && options.RotatedSets) {
        error = "--follow cannot follow a rotated set";
        return false;
    }
    // Following waits at the end of one file for ever: a second one would never be reached.
    if (options.Follow && (files.size() > 1 || options.Recursive)) {
        error = "--follow takes one log file";
        return false;
    }
    options.Paths = std::move(files);
    return true;
}

std::string CommandLineHelp()
{
    return "Usage: ostrel-filter [OPTION]... FILE...\n"
           "Print the lines of log files that the filters keep. FILE - is standard input; gzip, zstd,\n"
           "xz and bzip2 files are read as the text they hold, UTF-16 text as UTF-8.\n"
           "\n"
           "  -e, --literal TEXT        add a literal filter\n"
           "  -r, --regex EXPR          add a regular-expression filter\n"
           "  -i, --ignore-case         the filters that follow match case-insensitively\n"
           "  -s, --case-sensitive      the filters that follow match case-sensitively (the default)\n"
           "  -B, --before N            the filters that follow output N lines before a match (default 0)\n"
           "  -A, --after N             the filters that follow output N lines after a match (default 0)\n"
           "  -f, --filters FILE.flt    add the filters of a filter settings file (and take its exclude switch)\n"
           "  -v, --exclude             output the lines that match no filter\n"
           "  -n, --line-numbers        prefix each line with its file line number and \":\" (a matching or\n"
           "                            kept line) or \"-\" (a context line)\n"
           "  -F, --follow              at the end of the file wait for more and filter it as it comes,\n"
           "                            from line 1 again when the file is truncated or replaced\n"
           "  -H, --with-filename       prefix each line with its file's name and \":\" (the default when\n"
           "                            more than one file is read)\n"
           "      --no-filename         never prefix lines with the file's name\n"
           "  -R, --recursive           read every file beneath a folder named, in name order\n"
           "      --set                 read each FILE with its rotated files (FILE.1, FILE.2.gz, ...,\n"
           "                            FILE-20261201, ...), oldest first, each as a file of its own\n"
           "  -j, --threads N           filter each file on N threads (default: one per core; 1: one pass)\n"
           "      --merge               merge the files' lines by their times into one stream and filter\n"
           "                            that (no filter: output every line); each line after its file's\n"
           "                            name, numbered with -n as in its file\n"
           "      --records             filter records, not lines: a line without a time belongs to the\n"
           "                            line above; context counts records (read in one pass)\n"
           "  -h, --help                show this help and exit\n"
           "      --version             show the version and exit\n"
           "\n"
           "Filters are tried in the order given; the first that matches a line decides its context.\n"
           "Exit status: 0 when a line was output, 1 when none, 2 on an error (in any of the files).\n";
}
