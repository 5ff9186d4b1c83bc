// SPDX-License-Identifier: GPL-3.0-or-later
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/ProgramManPage.h"
#include "app/ProgramOptions.h"

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

const std::string Template = ".TH OSTREL 1 2026-12-10 \"Ostrel @VERSION@\"\n"
                             ".SH SYNOPSIS\n@SYNOPSIS@\n"
                             ".SH DESCRIPTION\nText about @OPTIONS@ that stays.\n@NOTES@\n"
                             ".SH OPTIONS\n@OPTIONS@\n.SH SEE ALSO\n";

} // namespace

TEST(ProgramManPage, RoffTextPrintsEveryCharacterLiterally)
{
    const struct
    {
        const char* Text;
        const char* Roff;
    } cases[] = {
        {"--new-instance", "\\-\\-new\\-instance"},
        {"C:\\logs", "C:\\elogs"},
        {"~/.config/Quorrel/Ostrel.conf", "~/.config/Quorrel/Ostrel.conf"},
        {".hidden starts a request", "\\&.hidden starts a request"},
        {"'--' ends the options", "\\&\\(aq\\-\\-\\(aq ends the options"},
        {"one\n.two\n'three", "one\n\\&.two\n\\&\\(aqthree"},
        {"it's", "it\\(aqs"},
        {"", ""},
    };
    for (const auto& each : cases)
        EXPECT_EQ(RoffText(each.Text), each.Roff) << "for \"" << each.Text << "\"";
}

TEST(ProgramManPage, EveryOptionOfTheTableIsOneTaggedParagraphInOrder)
{
    const std::vector<std::string> lines = Lines(ProgramOptionsRoff());
    ASSERT_EQ(lines.size(), 3 * std::size(ProgramOptions));
    for (std::size_t i = 0; i < std::size(ProgramOptions); ++i) {
        const ProgramOption& option = ProgramOptions[i];
        EXPECT_EQ(lines[3 * i], ".TP");
        const std::string& tag = lines[3 * i + 1];
        EXPECT_NE(tag.find("\\fB" + RoffText(std::string("--") + option.LongName) + "\\fR"), std::string::npos) << tag;
        EXPECT_EQ(option.ShortName != '\0', tag.find("\\fB\\-" + std::string(1, option.ShortName) + "\\fR, ") == 0)
            << tag;
        if (option.ValueName) {
            EXPECT_NE(tag.find(std::string(" \\fI") + option.ValueName + "\\fR"), std::string::npos) << tag;
        }
        // The description as a sentence, its words unchanged.
        std::string description = RoffText(option.Description);
        description[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(description[0])));
        EXPECT_EQ(lines[3 * i + 2], description + ".");
    }
}

TEST(ProgramManPage, NotesAndSynopsisComeFromTheTable)
{
    const std::vector<std::string> notes = Lines(ProgramNotesRoff());
    ASSERT_EQ(notes.size(), 2 * std::size(ProgramNotes));
    for (std::size_t i = 0; i < std::size(ProgramNotes); ++i) {
        EXPECT_EQ(notes[2 * i], ".PP");
        EXPECT_EQ(notes[2 * i + 1], RoffText(ProgramNotes[i]));
    }
    EXPECT_EQ(ProgramSynopsisRoff(), std::string(".B ") + ProgramName + "\n[\\fIOPTION\\fR]... [\\fIFILE\\fR]...\n");
}

TEST(ProgramManPage, TemplateMarkersAreReplacedOnlyAsWholeLines)
{
    std::string page;
    std::string error;
    ASSERT_TRUE(FillProgramManPage(Template, "1.1.0", page, error)) << error;
    EXPECT_EQ(page.find("@VERSION@"), std::string::npos);
    EXPECT_NE(page.find("\"Ostrel 1.1.0\""), std::string::npos);
    EXPECT_NE(page.find("Text about @OPTIONS@ that stays.\n"), std::string::npos);
    EXPECT_NE(page.find(".SH OPTIONS\n" + ProgramOptionsRoff() + ".SH SEE ALSO\n"), std::string::npos);
    EXPECT_NE(page.find(".SH SYNOPSIS\n" + ProgramSynopsisRoff() + ".SH DESCRIPTION\n"), std::string::npos);
    EXPECT_NE(page.find(ProgramNotesRoff() + ".SH OPTIONS\n"), std::string::npos);
    // No line of text of the page can be taken for a request.
    for (const std::string& line : Lines(page))
        EXPECT_TRUE(line.empty() || line.front() != '\'') << line;
}

TEST(ProgramManPage, TemplateWithoutAPartIsRefused)
{
    for (const char* marker : {"@SYNOPSIS@\n", "@OPTIONS@\n", "@NOTES@\n"}) {
        std::string broken = Template;
        broken.erase(broken.rfind(marker), std::string(marker).size());
        std::string page;
        std::string error;
        EXPECT_FALSE(FillProgramManPage(broken, "1.1.0", page, error)) << marker;
        EXPECT_NE(error.find(std::string(marker, std::string(marker).size() - 1)), std::string::npos) << error;
    }
}
