#include "LanguageFile.h"

#include <windows.h>

#include <fstream>
#include <iterator>

#include "TextTokens.h"

namespace cvi {

namespace {

std::optional<std::string> Utf8ToAnsi(std::string_view utf8)
{
    if (utf8.empty())
        return std::string();
    const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                               static_cast<int>(utf8.size()), nullptr, 0);
    if (wideLength <= 0)
        return std::nullopt;
    std::wstring wide(wideLength, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), wideLength);
    const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string ansi(length, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, ansi.data(), length, nullptr, nullptr);
    return ansi;
}

} // namespace

const std::map<std::string, std::string> *LanguageFile::Section(const std::string &name) const
{
    auto found = sections.find(name);
    return found == sections.end() ? nullptr : &found->second;
}

std::optional<LanguageFile> ParseLanguageText(std::string_view utf8)
{
    if (utf8.substr(0, 3) == "\xEF\xBB\xBF")
        utf8.remove_prefix(3);
    auto text = Utf8ToAnsi(utf8);
    if (!text)
        return std::nullopt;
    LanguageFile file;
    std::map<std::string, std::string> *section = nullptr;
    std::size_t pos = 0;
    const std::string_view all(*text);
    while (pos < all.size()) {
        std::size_t end = all.find('\n', pos);
        if (end == std::string_view::npos)
            end = all.size();
        const std::string_view line = TrimBlanks(all.substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 3)
                return std::nullopt;
            section = &file.sections[std::string(TrimBlanks(line.substr(1, line.size() - 2)))];
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!section || equals == std::string_view::npos)
            return std::nullopt;
        const std::string_view key = TrimBlanks(line.substr(0, equals));
        std::string_view value = TrimBlanks(line.substr(equals + 1));
        if (key.empty())
            return std::nullopt;
        std::string content;
        if (!value.empty() && value.front() == '"') {
            auto quoted = ReadQuoted(value);
            if (!quoted || !TrimBlanks(value).empty())
                return std::nullopt;
            content = std::move(*quoted);
        } else {
            content = std::string(value);
        }
        (*section)[std::string(key)] = std::move(content);
    }
    return file;
}

std::optional<LanguageFile> ReadLanguageFile(const std::string &path)
{
    std::ifstream stream(path, std::ios::binary);
    if (!stream)
        return std::nullopt;
    const std::string text{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad())
        return std::nullopt;
    return ParseLanguageText(text);
}

} // namespace cvi
