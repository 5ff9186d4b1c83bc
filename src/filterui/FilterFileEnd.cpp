// SPDX-License-Identifier: GPL-3.0-or-later
#include "filterui/FilterFileEnd.h"

#include <string>
#include <string_view>

#include <QFile>

#include "filtering/FilterSettingsFile.h"
#include "filtering/TextCodec.h"

namespace {

// The reader's rules for reading a line: pieces of this many characters, these blanks before a
// tag, tags compared without regard to case.
constexpr std::size_t PieceLength = 254;

bool IsBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\r';
}

bool StartsWithTag(std::u16string_view text, std::u16string_view tag)
{
    if (text.size() < tag.size())
        return false;
    for (std::size_t i = 0; i < tag.size(); ++i) {
        const char16_t c = text[i] >= u'A' && text[i] <= u'Z' ? static_cast<char16_t>(text[i] - u'A' + u'a') : text[i];
        if (c != tag[i])
            return false;
    }
    return true;
}

} // namespace

std::optional<UnclosedFilter> FindUnclosedFilter(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    // The file ends at the first 0x1A, as for the reader.
    if (const qsizetype cut = bytes.indexOf('\x1A'); cut >= 0)
        bytes.truncate(cut);
    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const TextEncoding encoding = !IsAscii(view) && IsValidUtf8(view) ? TextEncoding::Utf8 : TextEncoding::Latin1;
    std::size_t pos = encoding == TextEncoding::Utf8 && view.starts_with("\xEF\xBB\xBF") ? 3 : 0;

    // Only tags change the reader's state in a file it read without a complaint.
    bool insideFilter = false;
    UnclosedFilter end;
    while (pos < view.size()) {
        const std::size_t lineFeed = view.find('\n', pos);
        const std::size_t next = lineFeed == std::string_view::npos ? view.size() : lineFeed + 1;
        std::u16string line = DecodeText(view.substr(pos, next - pos), encoding);
        pos = next;
        if (lineFeed != std::string_view::npos && line.size() >= 2 && line[line.size() - 2] == u'\r')
            line.erase(line.size() - 2, 1);
        const std::u16string_view text(line);
        for (std::size_t start = 0; start < text.size(); start += PieceLength) {
            const std::u16string_view piece = text.substr(start, PieceLength);
            ++end.Line;
            end.Text = QString::fromStdU16String(std::u16string(piece));
            std::size_t first = 0;
            while (first < piece.size() && IsBlank(piece[first]))
                ++first;
            const std::u16string_view rest = piece.substr(first);
            if (StartsWithTag(rest, u"<filter>"))
                insideFilter = true;
            else if (StartsWithTag(rest, u"</filter>"))
                insideFilter = false;
        }
    }
    if (!insideFilter)
        return std::nullopt;
    return end;
}

QString UnclosedFilterMessage(const QString& path, const UnclosedFilter& end)
{
    return QStringLiteral("Illegal Filter Setting in \"%1\" on Line %2:  \"%3\"")
        .arg(path, QString::number(end.Line),
             QString::fromStdU16String(ShownFilterFileLine(end.Text.toStdU16String())));
}
