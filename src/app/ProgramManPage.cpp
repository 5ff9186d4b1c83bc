// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ProgramManPage.h"

#include <array>

#include "app/ProgramOptions.h"

namespace {

// "\fB\-h\fR, \fB\-\-help\fR" or "\fB\-\-settings\fR \fIFILE\fR".
std::string OptionTag(const ProgramOption& option)
{
    std::string tag;
    if (option.ShortName != '\0')
        tag += "\\fB" + RoffText(std::string{'-', option.ShortName}) + "\\fR, ";
    tag += "\\fB" + RoffText(std::string("--") + option.LongName) + "\\fR";
    if (option.ValueName)
        tag += std::string(" \\fI") + RoffText(option.ValueName) + "\\fR";
    return tag;
}

// The description as a sentence of the page: capital first letter and a full stop.
std::string Sentence(std::string_view text)
{
    std::string sentence(text);
    if (!sentence.empty() && sentence.front() >= 'a' && sentence.front() <= 'z')
        sentence.front() = static_cast<char>(sentence.front() - 'a' + 'A');
    if (!sentence.empty() && sentence.back() != '.')
        sentence += '.';
    return sentence;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

} // namespace

std::string RoffText(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    bool lineStart = true;
    for (const char c : text) {
        // A line that starts with "." or "'" would be read as a request.
        if (lineStart && (c == '.' || c == '\''))
            out += "\\&";
        switch (c) {
        case '\\':
            out += "\\e";
            break;
        case '-':
            out += "\\-";
            break;
        case '\'':
            out += "\\(aq";
            break;
        default:
            out += c;
            break;
        }
        lineStart = c == '\n';
    }
    return out;
}

std::string ProgramSynopsisRoff()
{
    // "[OPTION]... [FILE]...": the words in capitals are the user's, in italics.
    std::string operands;
    std::string_view rest = ProgramOperands;
    while (!rest.empty()) {
        const std::size_t start = rest.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
        if (start == std::string_view::npos) {
            operands += RoffText(rest);
            break;
        }
        std::size_t end = rest.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ", start);
        if (end == std::string_view::npos)
            end = rest.size();
        operands += RoffText(rest.substr(0, start)) + "\\fI" + RoffText(rest.substr(start, end - start)) + "\\fR";
        rest.remove_prefix(end);
    }
    return std::string(".B ") + ProgramName + "\n" + operands + "\n";
}

std::string ProgramOptionsRoff()
{
    std::string roff;
    for (const ProgramOption& option : ProgramOptions)
        roff += ".TP\n" + OptionTag(option) + "\n" + RoffText(Sentence(option.Description)) + "\n";
    return roff;
}

std::string ProgramNotesRoff()
{
    std::string roff;
    for (const char* note : ProgramNotes)
        roff += ".PP\n" + RoffText(note) + "\n";
    return roff;
}

bool FillProgramManPage(std::string_view pageTemplate, std::string_view version, std::string& page, std::string& error)
{
    struct Part
    {
        std::string_view Marker;
        std::string Roff;
        bool Seen;
    };
    std::array<Part, 3> parts = {{{"@SYNOPSIS@", ProgramSynopsisRoff(), false},
                                  {"@OPTIONS@", ProgramOptionsRoff(), false},
                                  {"@NOTES@", ProgramNotesRoff(), false}}};
    page.clear();
    std::string_view rest = pageTemplate;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        bool replaced = false;
        for (Part& part : parts) {
            if (line == part.Marker) {
                page += part.Roff;
                part.Seen = replaced = true;
            }
        }
        if (!replaced) {
            page += line;
            page += '\n';
        }
    }
    for (const Part& part : parts) {
        if (!part.Seen) {
            error = "the template has no line " + std::string(part.Marker);
            return false;
        }
    }
    ReplaceAll(page, "@VERSION@", version);
    return true;
}
