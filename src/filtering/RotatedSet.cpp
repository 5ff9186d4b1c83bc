// SPDX-License-Identifier: GPL-3.0-or-later
#include "filtering/RotatedSet.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <string_view>
#include <sys/stat.h>

namespace {

constexpr std::string_view CompressedSuffixes[] = {".gz", ".zst", ".xz", ".bz2"};

bool IsDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string_view WithoutCompressedSuffix(std::string_view name)
{
    for (std::string_view suffix : CompressedSuffixes)
        if (name.size() > suffix.size() && name.substr(name.size() - suffix.size()) == suffix)
            return name.substr(0, name.size() - suffix.size());
    return name;
}

// A date as logrotate writes it after the name: -YYYYMMDD, with the hour, minutes and seconds
// or not, or -YYYY-MM-DD; the digits alone are its age, compared left-aligned.
bool ParseDate(std::string_view text, std::string& age)
{
    if (text.size() == 10 && text[4] == '-' && text[7] == '-' && IsDigits(text.substr(0, 4)) &&
        IsDigits(text.substr(5, 2)) && IsDigits(text.substr(8, 2))) {
        age = std::string(text.substr(0, 4)) + std::string(text.substr(5, 2)) + std::string(text.substr(8, 2));
        return true;
    }
    if (text.size() < 8 || text.size() > 14 || !IsDigits(text))
        return false;
    // The year first: 19xx or 20xx, so that a plain number is not taken for a date.
    if (!(text.substr(0, 2) == "19" || text.substr(0, 2) == "20"))
        return false;
    age = std::string(text);
    return true;
}

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& directory, const std::string& name, const std::string& given)
{
    // Keep the folder as the user wrote it: names in messages and output read as typed.
    if (given.find('/') == std::string::npos)
        return name;
    return directory == "/" ? "/" + name : directory + "/" + name;
}

bool IsRegularFile(const std::string& path)
{
    struct stat status
    {
    };
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

struct Candidate
{
    RotatedSetMember Member;
    std::string Age;
    bool Compressed = false;
};

} // namespace

bool IsRotatedName(const std::string& base, const std::string& name, RotatedSetMember::Kind& kind, std::string& age)
{
    if (name.size() <= base.size() + 1 || name.compare(0, base.size(), base) != 0)
        return false;
    const std::string_view rest = WithoutCompressedSuffix(std::string_view(name).substr(base.size()));
    if (rest.size() < 2 || !(rest[0] == '.' || rest[0] == '-' || rest[0] == '_'))
        return false;
    const std::string_view tail = rest.substr(1);
    if (ParseDate(tail, age)) {
        kind = RotatedSetMember::Kind::Dated;
        return true;
    }
    if (rest[0] == '.' && IsDigits(tail) && tail.size() <= 6) {
        kind = RotatedSetMember::Kind::Numbered;
        age = std::string(tail);
        return true;
    }
    return false;
}

bool FindRotatedSet(const std::string& path, std::vector<RotatedSetMember>& members, std::string& error)
{
    members.clear();
    const std::string directory = DirectoryOf(path);
    const std::string given = NameOf(path);
    DIR* folder = ::opendir(directory.c_str());
    if (!folder) {
        error = directory + ": " + std::strerror(errno);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(folder))
        names.emplace_back(entry->d_name);
    ::closedir(folder);

    // The live file's name: the one given, unless that is itself a rotated name and nothing in
    // the folder is rotated from it.
    std::string base = given;
    RotatedSetMember::Kind kind;
    std::string age;
    const bool hasOwnRotations = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
        RotatedSetMember::Kind k;
        std::string a;
        return IsRotatedName(given, name, k, a);
    });
    if (!hasOwnRotations) {
        // Cut at each separator from the right: app.log.2.gz, app.log-20261201, app.log-2026-12-01.
        const std::string plain(WithoutCompressedSuffix(given));
        for (std::size_t cut = plain.find_last_of(".-_"); cut != std::string::npos && cut > 0;
             cut = plain.find_last_of(".-_", cut - 1)) {
            if (IsRotatedName(plain.substr(0, cut), given, kind, age)) {
                base = plain.substr(0, cut);
                break;
            }
        }
    }

    std::vector<Candidate> found;
    for (const std::string& name : names) {
        Candidate candidate;
        if (name == base) {
            candidate.Member.Which = RotatedSetMember::Kind::Live;
        } else if (IsRotatedName(base, name, candidate.Member.Which, candidate.Age)) {
            candidate.Compressed = WithoutCompressedSuffix(name).size() != name.size();
        } else {
            continue;
        }
        candidate.Member.Path = Join(directory, name, path);
        if (IsRegularFile(candidate.Member.Path))
            found.push_back(std::move(candidate));
    }
    if (found.empty()) {
        error = path + ": " + std::strerror(ENOENT);
        return false;
    }
    const auto rank = [](RotatedSetMember::Kind which) {
        return which == RotatedSetMember::Kind::Dated ? 0 : which == RotatedSetMember::Kind::Numbered ? 1 : 2;
    };
    const auto pad = [](const std::string& digits, std::size_t width) {
        return digits + std::string(width > digits.size() ? width - digits.size() : 0, '0');
    };
    std::sort(found.begin(), found.end(), [&](const Candidate& a, const Candidate& b) {
        if (a.Member.Which != b.Member.Which)
            return rank(a.Member.Which) < rank(b.Member.Which);
        if (a.Member.Which == RotatedSetMember::Kind::Dated) {
            const std::size_t width = std::max(a.Age.size(), b.Age.size());
            if (pad(a.Age, width) != pad(b.Age, width))
                return pad(a.Age, width) < pad(b.Age, width);
        } else if (a.Member.Which == RotatedSetMember::Kind::Numbered) {
            const unsigned long na = std::stoul(a.Age), nb = std::stoul(b.Age);
            if (na != nb)
                return na > nb;
        }
        // The same age twice: the plain file first, so the compressed one is the one left out.
        if (a.Compressed != b.Compressed)
            return !a.Compressed;
        return a.Member.Path < b.Member.Path;
    });
    for (std::size_t i = 0; i < found.size(); ++i) {
        const bool sameAgeAsBefore = i > 0 && found[i].Member.Which != RotatedSetMember::Kind::Live &&
                                     found[i].Member.Which == found[i - 1].Member.Which &&
                                     found[i].Age == found[i - 1].Age;
        if (!sameAgeAsBefore)
            members.push_back(found[i].Member);
    }
    return true;
}
