// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CCommandLine.h"

#include <algorithm>
#include <cstdio>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include "app/COstrelApp.h"
#include "app/ProgramOptions.h"

using namespace Qt::StringLiterals;

namespace {

// The help's descriptions start here, as in ostrel-filter --help.
constexpr qsizetype DescriptionColumn = 28;
constexpr int UsageErrorExitCode = 2;

QString LongName(const ProgramOption& option)
{
    return QString::fromLatin1(option.LongName);
}

// "-h, --help" or "    --settings FILE".
QString HelpLabel(const ProgramOption& option)
{
    QString label = option.ShortName != '\0' ? u"-"_s + QChar::fromLatin1(option.ShortName) + u", "_s : u"    "_s;
    label += u"--"_s + LongName(option);
    if (option.ValueName)
        label += u' ' + QString::fromLatin1(option.ValueName);
    return label;
}

// The unknown option as it was written: "--bogus", or "-x" out of a bundle of short options.
QString WrittenOptionName(const QStringList& arguments, const QString& name)
{
    const QString longForm = u"--"_s + name;
    for (const QString& argument : arguments) {
        if (argument == u"--"_s)
            break;
        if (argument == longForm || argument.startsWith(longForm + u'='))
            return longForm;
    }
    return name.size() == 1 ? u"-"_s + name : longForm;
}

// The parser's own message ("Missing value after '--settings'.") in the form of ours.
QString ParserMessage(QString text)
{
    if (text.endsWith(u'.'))
        text.chop(1);
    if (!text.isEmpty())
        text[0] = text.at(0).toLower();
    return text;
}

// A session manager restarts the program with Qt's "-session ID" added; that pair is Qt's.
QStringList TakeQtArguments(const QStringList& arguments, QStringList& qtArguments)
{
    QStringList ours;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        optionsEnded = optionsEnded || argument == u"--"_s;
        if (!optionsEnded && i > 0 && argument == u"-session"_s && i + 1 < arguments.size()) {
            qtArguments << argument << arguments.at(i + 1);
            ++i;
            continue;
        }
        ours.append(argument);
    }
    return ours;
}

// Takes the files after each --merge out of the arguments, up to the next option (or "--"), as
// the files of one merge each; false, with the option's name, when one has no file after it.
bool TakeMergedFiles(QStringList& arguments, QList<QStringList>& merges)
{
    QString option;
    for (const ProgramOption& row : ProgramOptions)
        if (row.Id == FilesFollowOption)
            option = u"--"_s + QString::fromLatin1(row.LongName);
    for (qsizetype i = 1; i < arguments.size() && arguments.at(i) != u"--"_s; ++i) {
        if (arguments.at(i) != option)
            continue;
        QStringList files;
        while (i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(u'-') && !arguments.at(i + 1).isEmpty())
            files.append(QFileInfo(arguments.takeAt(i + 1)).absoluteFilePath());
        if (files.isEmpty())
            return false;
        merges.append(files);
    }
    return true;
}

CCommandLine::Result Failure(const QString& message)
{
    CCommandLine::Result result;
    result.Next = CCommandLine::Action::Fail;
    result.Error = message;
    return result;
}

} // namespace

QStringList CCommandLine::ArgumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QFile::decodeName(argv[i]));
    return arguments;
}

CCommandLine::Result CCommandLine::Parse(const QStringList& arguments)
{
    Result result;
    QStringList ours = TakeQtArguments(arguments, result.Options.QtArguments);
    if (!TakeMergedFiles(ours, result.Options.Merges))
        return Failure(u"option '--merge' needs the files to merge after it"_s);

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    for (const ProgramOption& option : ProgramOptions) {
        QStringList names;
        if (option.ShortName != '\0')
            names.append(QString(QChar::fromLatin1(option.ShortName)));
        names.append(LongName(option));
        QCommandLineOption parserOption(names);
        if (option.ValueName && option.Id != FilesFollowOption)
            parserOption.setValueName(QString::fromLatin1(option.ValueName));
        parser.addOption(parserOption);
    }
    if (!parser.parse(ours)) {
        const QStringList unknown = parser.unknownOptionNames();
        return Failure(unknown.isEmpty() ? ParserMessage(parser.errorText())
                                         : u"unknown option '%1'"_s.arg(WrittenOptionName(ours, unknown.first())));
    }

    // In the table's order: help before the version, both before anything that could fail.
    for (const ProgramOption& option : ProgramOptions) {
        if (!parser.isSet(LongName(option)))
            continue;
        switch (option.Id) {
        case ProgramOptionId::Help:
            result.Next = Action::ShowHelp;
            return result;
        case ProgramOptionId::Version:
            result.Next = Action::ShowVersion;
            return result;
        case ProgramOptionId::NewInstance:
            result.Options.NewInstance = true;
            break;
        case ProgramOptionId::Settings: {
            const QString value = parser.value(LongName(option));
            if (value.isEmpty())
                return Failure(u"option '--%1' needs a file name"_s.arg(LongName(option)));
            const QFileInfo file(value);
            // A missing file is a first run with these settings; a folder can never be one.
            if (file.exists() && !file.isFile())
                return Failure(u"'%1' cannot hold the settings: it is not a file"_s.arg(value));
            result.Options.SettingsFile = file.absoluteFilePath();
            break;
        }
        case ProgramOptionId::RotatedSet:
            for (const QString& value : parser.values(LongName(option))) {
                if (value.isEmpty())
                    return Failure(u"option '--%1' needs a file name"_s.arg(LongName(option)));
                result.Options.RotatedSets.append(QFileInfo(value).absoluteFilePath());
            }
            break;
        case ProgramOptionId::Merge:
            break; // its files were taken before the parser saw them
        }
    }
    // "-" before "--" is standard input; after it, a file of that name.
    qsizetype dashes = 0;
    for (qsizetype i = 1; i < ours.size() && ours.at(i) != u"--"_s; ++i)
        dashes += ours.at(i) == u"-"_s ? 1 : 0;
    if (!result.Options.SettingsFile.isEmpty() && parser.value(u"settings"_s) == u"-"_s)
        dashes = std::max<qsizetype>(0, dashes - 1);
    result.Options.StandardInput = dashes > 0;
    for (const QString& file : parser.positionalArguments()) {
        if (file == u"-"_s && dashes > 0) {
            --dashes;
            continue;
        }
        result.Options.Files.append(file.isEmpty() ? file : QFileInfo(file).absoluteFilePath());
    }
    return result;
}

int CCommandLine::Finish(const Result& result)
{
    switch (result.Next) {
    case Action::ShowHelp:
        std::fputs(GetHelpText().toLocal8Bit().constData(), stdout);
        return 0;
    case Action::ShowVersion:
        std::fputs((GetVersionLine() + u'\n').toLocal8Bit().constData(), stdout);
        return 0;
    case Action::Fail: {
        const QString text = QString::fromLatin1(ProgramName) + u": "_s + result.Error + u'\n' + GetUsageLine() + u'\n';
        std::fputs(text.toLocal8Bit().constData(), stderr);
        return UsageErrorExitCode;
    }
    case Action::Run:
        break;
    }
    return 0;
}

QString CCommandLine::GetUsageLine()
{
    return u"Usage: "_s + QString::fromLatin1(ProgramName) + u' ' + QString::fromLatin1(ProgramOperands);
}

QString CCommandLine::GetHelpText()
{
    QString text = GetUsageLine() + u'\n' + QString::fromLatin1(ProgramSummary) + u"\n\n"_s;
    for (const ProgramOption& option : ProgramOptions) {
        const QString label = u"  "_s + HelpLabel(option);
        text += label.leftJustified(DescriptionColumn - 2) + u"  "_s + QString::fromLatin1(option.Description) + u'\n';
    }
    text += u'\n';
    for (const char* note : ProgramNotes)
        text += QString::fromLatin1(note) + u'\n';
    return text;
}

QString CCommandLine::GetVersionLine()
{
    return u"Ostrel "_s + COstrelApp::GetVersionText();
}
