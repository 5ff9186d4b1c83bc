// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/FilterSettingsFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "files/FileReplacer.h"
#include "filtering/TextCodec.h"

namespace {

// Lines are read this many characters (UTF-16 code units) at a time; the rest of a longer line
// is read as a line of its own, with its own line number. The line feed counts inside the piece.
constexpr std::size_t MaxPieceLength = 254;

// Byte 0x1A ends a filter settings file as if the file ended there.
constexpr char EndOfFileByte = '\x1A';

// A filter settings file is small: 1024 filters of a few hundred bytes each. Reading stops here,
// so a huge or endless file (a device, a log chosen by mistake) cannot exhaust memory.
constexpr std::size_t MaxFilterFileBytes = 8 * 1024 * 1024;

constexpr std::size_t NoPosition = std::u16string_view::npos;

enum class ReaderState
{
    Outside,
    Settings,
    Filter,
};

// The line feed is not white space here: it ends the line.
bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\r';
}

std::size_t SkipBlanks(std::u16string_view text, std::size_t pos)
{
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    return pos;
}

bool IsLineEnd(std::u16string_view text, std::size_t pos)
{
    return pos >= text.size() || text[pos] == u'\n';
}

// After a value the line must end, or a comment must follow at once.
bool IsValueEnd(std::u16string_view text, std::size_t pos)
{
    return IsLineEnd(text, pos) || text[pos] == u'#';
}

char16_t FoldAsciiCase(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Compares the start of text with a tag or key over exactly the keyword's length, ignoring case.
bool StartsWithKeyword(std::u16string_view text, std::u16string_view keyword)
{
    if (text.size() < keyword.size())
        return false;
    for (std::size_t i = 0; i < keyword.size(); ++i)
        if (FoldAsciiCase(text[i]) != FoldAsciiCase(keyword[i]))
            return false;
    return true;
}

// Skips "=" and the blanks around it. Returns where the value starts, or NoPosition when there
// is no "=" or the line ends after it.
std::size_t FindValueStart(std::u16string_view text)
{
    std::size_t pos = SkipBlanks(text, 0);
    if (IsLineEnd(text, pos) || text[pos] != u'=')
        return NoPosition;
    pos = SkipBlanks(text, pos + 1);
    return IsLineEnd(text, pos) ? NoPosition : pos;
}

std::string FormatReaderMessage(const char* prefix, const std::string& path, std::int64_t lineNumber,
                                std::u16string_view line)
{
    return prefix + path + "\" on Line " + std::to_string(lineNumber) + ":  \"" +
           EncodeText(ShownFilterFileLine(line), TextEncoding::Utf8) + "\"";
}

// The values of the filter between "<Filter>" and "</Filter>"; added to the list at the end tag.
struct PendingFilter
{
    std::u16string FilterString;
    std::int32_t RegExp = 0;
    std::int32_t CaseSensitive = 0;
    std::int32_t OutputBeforeMatch = 0;
    std::int32_t OutputAfterMatch = 0;
};

struct IntegerKey
{
    std::u16string_view Name;
    std::int32_t PendingFilter::*Value;
};

constexpr IntegerKey FilterIntegerKeys[] = {
    {u"RegExp", &PendingFilter::RegExp},
    {u"CaseSensitive", &PendingFilter::CaseSensitive},
    {u"OutputBeforeMatch", &PendingFilter::OutputBeforeMatch},
    {u"OutputAfterMatch", &PendingFilter::OutputAfterMatch},
};

// A switched-off filter is written as comment lines, so that a reader that knows nothing of them
// sees only the filters that are on: a marker line, then the filter's own block with "#" in
// place of the first column of each line. A commented line is exactly as long as the line it
// stands for, so the strings that fit one piece of the reader fit here too.
constexpr std::u16string_view SwitchedOffMarker = u"# Ostrel: switched off";
constexpr std::string_view SwitchedOffMarkerBytes = "# Ostrel: switched off";

// The lines of a switched-off block after the marker, each with the text its value follows.
enum class SwitchedOffLine
{
    FilterStart,
    FilterString,
    RegExp,
    CaseSensitive,
    OutputBeforeMatch,
    OutputAfterMatch,
    FilterEnd,
    Complete,
};

constexpr std::u16string_view SwitchedOffLinePrefixes[] = {
    u"#<Filter>",         u"#  FilterString=",      u"#  RegExp=",
    u"#  CaseSensitive=", u"#  OutputBeforeMatch=", u"#  OutputAfterMatch=",
    u"#</Filter>",
};

// Recognises switched-off blocks among the comment lines it is given, whole lines at a time.
// It is strict: only the exact lines the writer produces, one after the other, make a block; any
// other line, a blank one included, ends the candidate, and its lines stay plain comments. A line
// longer than one piece of the reader never belongs to a block, since its rest would be read as
// a line of its own.
class CSwitchedOffBlockReader
{
public:
    // Takes the next line (without its line feed) while the reader is outside every block; true
    // when that line completed a block, whose filter is then Filter().
    bool TakeLine(std::u16string_view line);
    // Any line read inside a block of the file ends a candidate.
    void Reset() { m_eNext = SwitchedOffLine::Complete; }
    const PendingFilter& Completed() const { return m_Pending; }

private:
    bool TakeBlockLine(std::u16string_view line);

    SwitchedOffLine m_eNext = SwitchedOffLine::Complete; // Complete: no candidate under way
    PendingFilter m_Pending;
};

// The value of a block line: a decimal integer exactly as the writer formats it.
bool ParseCanonicalInteger(std::u16string_view text, std::int32_t& value)
{
    if (text.empty() || text.size() > 10 || (text.size() > 1 && text[0] == u'0'))
        return false;
    std::int64_t number = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9')
            return false;
        number = number * 10 + (c - u'0');
    }
    if (number > std::numeric_limits<std::int32_t>::max())
        return false;
    value = static_cast<std::int32_t>(number);
    return true;
}

bool CSwitchedOffBlockReader::TakeLine(std::u16string_view line)
{
    if (line.size() > MaxPieceLength) {
        Reset();
        return false;
    }
    if (m_eNext != SwitchedOffLine::Complete && TakeBlockLine(line))
        return m_eNext == SwitchedOffLine::Complete;
    // Not the next line of a block: perhaps the start of one.
    m_eNext = line == SwitchedOffMarker ? SwitchedOffLine::FilterStart : SwitchedOffLine::Complete;
    m_Pending = PendingFilter();
    return false;
}

bool CSwitchedOffBlockReader::TakeBlockLine(std::u16string_view line)
{
    const std::u16string_view prefix = SwitchedOffLinePrefixes[static_cast<int>(m_eNext)];
    if (!line.starts_with(prefix))
        return false;
    const std::u16string_view value = line.substr(prefix.size());
    switch (m_eNext) {
    case SwitchedOffLine::FilterStart:
    case SwitchedOffLine::FilterEnd:
        if (!value.empty())
            return false;
        break;
    case SwitchedOffLine::FilterString:
        // Between quotes, with nothing a saved string cannot hold.
        if (value.size() < 2 || !value.starts_with(u'"') || !value.ends_with(u'"') ||
            !IsSavableFilterString(value.substr(1, value.size() - 2)))
            return false;
        m_Pending.FilterString.assign(value.substr(1, value.size() - 2));
        break;
    case SwitchedOffLine::RegExp:
        if (!ParseCanonicalInteger(value, m_Pending.RegExp))
            return false;
        break;
    case SwitchedOffLine::CaseSensitive:
        if (value != u"0" && value != u"1")
            return false;
        m_Pending.CaseSensitive = value == u"1" ? 1 : 0;
        break;
    case SwitchedOffLine::OutputBeforeMatch:
        if (!ParseCanonicalInteger(value, m_Pending.OutputBeforeMatch))
            return false;
        break;
    case SwitchedOffLine::OutputAfterMatch:
        if (!ParseCanonicalInteger(value, m_Pending.OutputAfterMatch))
            return false;
        break;
    case SwitchedOffLine::Complete:
        return false;
    }
    m_eNext = static_cast<SwitchedOffLine>(static_cast<int>(m_eNext) + 1);
    return true;
}

// The reader's state machine, fed one piece of a line at a time.
class CFilterFileReader
{
public:
    CFilterFileReader(const std::string& path, FilterSettings& target) : m_strPath(path), m_Target(target) {}

    // Handles the next line of the file, with its line feed if it has one, one piece at a time;
    // false when it is an error and reading must stop.
    bool ReadFileLine(std::u16string_view line);
    // Handles the next piece of a line.
    bool ReadLine(std::u16string_view line);
    FilterFileResult Finish() const;
    // The file is longer than a filter settings file can be: the line where reading stopped is
    // reported as a format error.
    FilterFileResult FailAtCut(std::u16string_view line);

private:
    bool HandleOutside(std::u16string_view text);
    bool HandleSettings(std::u16string_view text, std::u16string_view line);
    bool HandleFilter(std::u16string_view text, std::u16string_view line);
    bool Fail(FilterFileStatus status, std::u16string_view line);
    void AddFilter(const PendingFilter& filter, bool enabled);

    const std::string& m_strPath;
    FilterSettings& m_Target;
    ReaderState m_State = ReaderState::Outside;
    std::int64_t m_nLineNumber = 0; // blank lines and comments cost nothing, so a file may hold very many
    int m_nFilterIndex = -1;        // list index of the filter being read; stays >= 0 once "<Filter>" was seen
    PendingFilter m_Pending;
    CSwitchedOffBlockReader m_SwitchedOff;
    FilterFileResult m_Error;
    bool m_bFailed = false;
};

bool CFilterFileReader::ReadFileLine(std::u16string_view line)
{
    // A switched-off block is made of comment lines, which the pieces below pass over; it is
    // recognised on the whole lines, and only where a "<Filter>" could start.
    if (m_State != ReaderState::Outside) {
        m_SwitchedOff.Reset();
    } else if (m_SwitchedOff.TakeLine(line.ends_with(u'\n') ? line.substr(0, line.size() - 1) : line)) {
        m_nFilterIndex = m_Target.GetCount();
        AddFilter(m_SwitchedOff.Completed(), false);
    }
    for (std::size_t piece = 0; piece < line.size(); piece += MaxPieceLength)
        if (!ReadLine(line.substr(piece, MaxPieceLength)))
            return false;
    return true;
}

void CFilterFileReader::AddFilter(const PendingFilter& filter, bool enabled)
{
    // A full list ignores the add, and the setters on the noted index with it.
    m_Target.AddFilter(filter.FilterString, filter.RegExp);
    m_Target.SetCaseSensitive(m_nFilterIndex, filter.CaseSensitive != 0);
    m_Target.SetOutputBeforeMatch(m_nFilterIndex, filter.OutputBeforeMatch);
    m_Target.SetOutputAfterMatch(m_nFilterIndex, filter.OutputAfterMatch);
    m_Target.SetEnabled(m_nFilterIndex, enabled);
}

bool CFilterFileReader::ReadLine(std::u16string_view line)
{
    ++m_nLineNumber;
    const std::size_t start = SkipBlanks(line, 0);
    if (IsLineEnd(line, start) || line[start] == u'#')
        return true;
    const std::u16string_view text = line.substr(start);
    switch (m_State) {
    case ReaderState::Outside:
        if (HandleOutside(text))
            return true;
        break;
    case ReaderState::Settings:
        return HandleSettings(text, line);
    case ReaderState::Filter:
        return HandleFilter(text, line);
    }
    return Fail(FilterFileStatus::IllegalSetting, line);
}

bool CFilterFileReader::HandleOutside(std::u16string_view text)
{
    if (StartsWithKeyword(text, u"<FilterSettings>")) {
        m_State = ReaderState::Settings;
        return true;
    }
    if (StartsWithKeyword(text, u"<Filter>")) {
        // The index is noted now, for the setters at "</Filter>".
        m_nFilterIndex = m_Target.GetCount();
        m_Pending = PendingFilter();
        m_State = ReaderState::Filter;
        return true;
    }
    return false;
}

bool CFilterFileReader::HandleSettings(std::u16string_view text, std::u16string_view line)
{
    constexpr std::u16string_view excludeKey = u"ExcludeMatches";
    if (StartsWithKeyword(text, excludeKey)) {
        std::int32_t value = 0;
        if (!ParseIntegerSetting(text.substr(excludeKey.size()), value))
            return Fail(FilterFileStatus::IllegalFormat, line);
        m_Target.SetExcludeMatches(value != 0);
        return true;
    }
    if (StartsWithKeyword(text, u"</FilterSettings>")) {
        m_State = ReaderState::Outside;
        return true;
    }
    return Fail(FilterFileStatus::IllegalSetting, line);
}

bool CFilterFileReader::HandleFilter(std::u16string_view text, std::u16string_view line)
{
    constexpr std::u16string_view stringKey = u"FilterString";
    if (StartsWithKeyword(text, stringKey)) {
        if (!ParseStringSetting(text.substr(stringKey.size()), m_Pending.FilterString))
            return Fail(FilterFileStatus::IllegalFormat, line);
        return true;
    }
    for (const IntegerKey& key : FilterIntegerKeys) {
        if (StartsWithKeyword(text, key.Name)) {
            if (!ParseIntegerSetting(text.substr(key.Name.size()), m_Pending.*key.Value))
                return Fail(FilterFileStatus::IllegalFormat, line);
            return true;
        }
    }
    if (StartsWithKeyword(text, u"</Filter>")) {
        AddFilter(m_Pending, true);
        m_State = ReaderState::Outside;
        return true;
    }
    return Fail(FilterFileStatus::IllegalSetting, line);
}

bool CFilterFileReader::Fail(FilterFileStatus status, std::u16string_view line)
{
    m_bFailed = true;
    m_Error.Status = status;
    m_Error.Message =
        FormatReaderMessage(status == FilterFileStatus::IllegalFormat ? "Illegal Filter Setting Format in \""
                                                                      : "Illegal Filter Setting in \"",
                            m_strPath, m_nLineNumber, line);
    return false;
}

FilterFileResult CFilterFileReader::FailAtCut(std::u16string_view line)
{
    ++m_nLineNumber;
    Fail(FilterFileStatus::IllegalFormat, line.substr(0, MaxPieceLength));
    return m_Error;
}

FilterFileResult CFilterFileReader::Finish() const
{
    if (m_bFailed)
        return m_Error;
    FilterFileResult result;
    if (m_nFilterIndex < 0 || m_State != ReaderState::Outside)
        result.Status = FilterFileStatus::NoFilters;
    return result;
}

// Reads the file's bytes up to the first 0x1A, and at most MaxFilterFileBytes (cut tells whether
// there was more). Returns 0, or errno when the file cannot be opened or read (a directory fails
// here, on the first read).
int ReadFileBytes(const std::string& path, std::string& bytes, bool& cut)
{
    cut = false;
    // A named pipe would hold the open until some writer came; without one it reads as empty.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno;
    if (const int flags = ::fcntl(fd, F_GETFL); flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    struct stat info = {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        bytes.reserve(std::min(static_cast<std::size_t>(info.st_size), MaxFilterFileBytes));
    char buffer[64 * 1024];
    while (!cut) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            const int error = errno;
            ::close(fd);
            return error;
        }
        if (count == 0)
            break;
        const auto* end = static_cast<const char*>(std::memchr(buffer, EndOfFileByte, static_cast<std::size_t>(count)));
        std::size_t length = end ? static_cast<std::size_t>(end - buffer) : static_cast<std::size_t>(count);
        if (bytes.size() + length > MaxFilterFileBytes) {
            length = MaxFilterFileBytes - bytes.size();
            cut = true;
        }
        bytes.append(buffer, length);
        if (end)
            break;
    }
    ::close(fd);
    return 0;
}

// Our own files are ISO 8859-1 unless a character did not fit; then they are UTF-8. Text that
// is valid UTF-8 and not plain ASCII is taken as UTF-8.
TextEncoding DetectFileEncoding(std::string_view bytes)
{
    return !IsAscii(bytes) && IsValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Latin1;
}

bool FitsLatin1(const FilterSettings& settings)
{
    for (int i = 0; i < settings.GetCount(); ++i)
        for (const char16_t c : settings.GetFilter(i)->FilterString)
            if (c > 0xFF)
                return false;
    return true;
}

std::string FormatFilterSettingsAs(const FilterSettings& settings, TextEncoding encoding)
{
    std::string out;
    out += "<FilterSettings>\r\n";
    out += "   ExcludeMatches=" + std::to_string(settings.GetExcludeMatches() ? 1 : 0) + "\r\n";
    out += "</FilterSettings>\r\n";
    for (int i = 0; i < settings.GetCount(); ++i) {
        const Filter& filter = *settings.GetFilter(i);
        // A switched-off filter's lines are comments: "#" takes the first column of each.
        const char* start = filter.Enabled ? "" : "#";
        const char* indent = filter.Enabled ? "   " : "#  ";
        if (!filter.Enabled)
            out.append(SwitchedOffMarkerBytes).append("\r\n");
        // Appended piece by piece: no temporaries (GCC 12 warns falsely on const char* + string&&).
        out.append(start).append("<Filter>\r\n");
        // Written as it stands: a double quote inside cannot be escaped and will not load back.
        out.append(indent).append("FilterString=\"").append(EncodeText(filter.FilterString, encoding)).append("\"\r\n");
        out.append(indent).append("RegExp=").append(std::to_string(filter.RegExp)).append("\r\n");
        out.append(indent).append("CaseSensitive=").append(filter.CaseSensitive ? "1" : "0").append("\r\n");
        out.append(indent).append("OutputBeforeMatch=").append(std::to_string(filter.OutputBeforeMatch)).append("\r\n");
        out.append(indent).append("OutputAfterMatch=").append(std::to_string(filter.OutputAfterMatch)).append("\r\n");
        out.append(start).append("</Filter>\r\n");
    }
    return out;
}

// ISO 8859-1 when every character fits, unless those bytes would read back as UTF-8 (as "\u00C3\u00A9"
// would): then UTF-8, so that what is saved always loads back as it was.
std::string FormatFilterSettings(const FilterSettings& settings)
{
    if (FitsLatin1(settings)) {
        std::string latin1 = FormatFilterSettingsAs(settings, TextEncoding::Latin1);
        if (DetectFileEncoding(latin1) == TextEncoding::Latin1)
            return latin1;
    }
    return FormatFilterSettingsAs(settings, TextEncoding::Utf8);
}

} // namespace

std::u16string ShownFilterFileLine(std::u16string_view line)
{
    if (line.ends_with(u'\n'))
        line.remove_suffix(1);
    std::u16string shown;
    shown.reserve(line.size());
    for (const char16_t c : line) {
        if ((c < 0x20 && c != u'\t') || c == 0x7F) {
            static constexpr char Hex[] = "0123456789ABCDEF";
            shown += u"\\x";
            shown += static_cast<char16_t>(Hex[c >> 4]);
            shown += static_cast<char16_t>(Hex[c & 15]);
        } else {
            shown += c;
        }
    }
    return shown;
}

bool ParseIntegerSetting(std::u16string_view text, std::int32_t& value)
{
    std::size_t pos = FindValueStart(text);
    if (pos == NoPosition)
        return false;
    std::int64_t number = 0; // no digits at all reads as 0, but only when a comment follows
    for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos) {
        number = number * 10 + (text[pos] - u'0');
        // A value beyond the 32-bit range is a format error rather than a wrapped number, so no
        // garbage count or flag gets into the list.
        if (number > std::numeric_limits<std::int32_t>::max())
            return false;
    }
    if (!IsValueEnd(text, pos))
        return false;
    value = static_cast<std::int32_t>(number);
    return true;
}

bool ParseStringSetting(std::u16string_view text, std::u16string& value)
{
    const std::size_t pos = FindValueStart(text);
    if (pos == NoPosition || text[pos] != u'"')
        return false;
    const std::size_t begin = pos + 1;
    const std::size_t end = text.find_first_of(u"\"\n", begin);
    if (end == NoPosition || text[end] != u'"' || !IsValueEnd(text, end + 1))
        return false;
    value.assign(text.substr(begin, end - begin));
    return true;
}

FilterFileResult ReadFilterSettingsFile(const std::string& path, FilterSettings& target)
{
    std::string bytes;
    bool cut = false;
    if (const int error = ReadFileBytes(path, bytes, cut); error != 0) {
        FilterFileResult result;
        result.Status = FilterFileStatus::CannotOpen;
        result.SystemError = error;
        return result;
    }

    target.ClearFilters();
    CFilterFileReader reader(path, target);
    const TextEncoding encoding = DetectFileEncoding(bytes);
    std::size_t pos = 0;
    // Editors may put a byte order mark before UTF-8 text; it is not part of the first line.
    if (encoding == TextEncoding::Utf8 && bytes.starts_with("\xEF\xBB\xBF"))
        pos = 3;
    std::u16string line;
    while (pos < bytes.size() || cut) {
        // A line feed byte never occurs inside a UTF-8 sequence, so each line decodes on its own.
        const std::size_t lineFeed = bytes.find('\n', pos);
        if (cut && lineFeed == std::string::npos) {
            // Cut inside a UTF-8 sequence at worst: the text shown may end in a replacement character.
            line = DecodeText(std::string_view(bytes).substr(pos), encoding);
            return reader.FailAtCut(line);
        }
        const std::size_t end = lineFeed == std::string::npos ? bytes.size() : lineFeed + 1;
        line = DecodeText(std::string_view(bytes).substr(pos, end - pos), encoding);
        pos = end;
        // CR LF reads as one line feed; a lone CR is data.
        if (lineFeed != std::string::npos && line.size() >= 2 && line[line.size() - 2] == u'\r')
            line.erase(line.size() - 2, 1);
        if (!reader.ReadFileLine(line))
            return reader.Finish();
    }
    return reader.Finish();
}

int FindUnsavableFilter(const FilterSettings& settings)
{
    for (int i = 0; i < settings.GetCount(); ++i)
        if (!IsSavableFilterString(settings.GetFilter(i)->FilterString))
            return i;
    return -1;
}

bool IsSavableFilterString(std::u16string_view text)
{
    // A line end or 0x1A would end the line or the file; a double quote would end the value
    // early, so the string would load as another one or not at all; so would a line too long
    // for one piece of the reader.
    return text.size() <= MaxSavableFilterStringLength &&
           text.find_first_of(u"\r\n\x1A\"") == std::u16string_view::npos;
}

FilterFileResult WriteFilterSettingsFile(const std::string& path, const FilterSettings& settings)
{
    FilterFileResult result;
    if (const int unsavable = FindUnsavableFilter(settings); unsavable >= 0) {
        // A string too long to save is named by its start: the whole of it would drown the message.
        std::u16string_view named = settings.GetFilter(unsavable)->FilterString;
        const bool tooLong = named.size() > MaxSavableFilterStringLength;
        if (tooLong)
            named = named.substr(0, 40);
        std::u16string shown;
        for (const char16_t c : named)
            shown += c == u'\r'     ? std::u16string(u"\\r")
                     : c == u'\n'   ? std::u16string(u"\\n")
                     : c == u'\x1A' ? std::u16string(u"\\x1A")
                                    : std::u16string(1, c);
        if (tooLong)
            shown += u"...";
        const std::string reason =
            tooLong
                ? "a filter string there may be at most " + std::to_string(MaxSavableFilterStringLength) +
                      " characters long"
                : std::string("a filter string there may not hold a line break, a double quote or the character 0x1A");
        result.Status = FilterFileStatus::Unsavable;
        result.Message = "Filter " + std::to_string(unsavable + 1) + " (\"" + EncodeText(shown, TextEncoding::Utf8) +
                         "\") cannot be saved to a filter settings file: " + reason + ". \"" + path +
                         "\" was left as it was.";
        return result;
    }
    // The file is replaced as a whole, keeping its owner, mode and links; a read-only file stays.
    if (const int error = ReplaceFileContent(path, FormatFilterSettings(settings)); error != 0) {
        result.Status = FilterFileStatus::WriteFailed;
        result.SystemError = error;
        result.Message = "Error Saving Filter Settings to \"" + path +
                         "\": " + std::error_code(error, std::generic_category()).message();
    }
    return result;
}
