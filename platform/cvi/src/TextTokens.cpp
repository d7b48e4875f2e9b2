#include "TextTokens.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace cvi {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::optional<std::string> ReadQuoted(std::string_view &text)
{
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    if (pos >= text.size() || text[pos] != '"')
        return std::nullopt;
    ++pos;
    std::string value;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == '"') {
            text.remove_prefix(pos);
            return value;
        }
        if (c != '\\' || pos >= text.size()) {
            value += c;
            continue;
        }
        const char escaped = text[pos++];
        switch (escaped) {
        case 'r': value += '\r'; break;
        case 'n': value += '\n'; break;
        case 't': value += '\t'; break;
        default: value += escaped; break;
        }
    }
    return std::nullopt;
}

std::string QuoteText(std::string_view value)
{
    std::string quoted = "\"";
    for (const char c : value) {
        switch (c) {
        case '"': quoted += "\\\""; break;
        case '\\': quoted += "\\\\"; break;
        case '\r': quoted += "\\r"; break;
        case '\n': quoted += "\\n"; break;
        case '\t': quoted += "\\t"; break;
        default: quoted += c; break;
        }
    }
    quoted += '"';
    return quoted;
}

std::optional<std::vector<TextToken>> TokenizeLine(std::string_view line, std::string &error)
{
    std::vector<TextToken> tokens;
    std::string_view rest = line;
    for (;;) {
        rest = TrimBlanks(rest);
        if (rest.empty() || rest.front() == '#')
            return tokens;
        TextToken token;
        if (rest.front() == '"') {
            auto quoted = ReadQuoted(rest);
            if (!quoted) {
                error = "unterminated quoted text";
                return std::nullopt;
            }
            token.value = std::move(*quoted);
            token.quoted = true;
            tokens.push_back(std::move(token));
            continue;
        }
        std::size_t end = 0;
        while (end < rest.size() && !IsBlank(rest[end]) && rest[end] != '=' && rest[end] != '"')
            ++end;
        std::string word(rest.substr(0, end));
        rest.remove_prefix(end);
        if (!rest.empty() && rest.front() == '=') {
            rest.remove_prefix(1);
            token.key = std::move(word);
            if (!rest.empty() && rest.front() == '"') {
                auto quoted = ReadQuoted(rest);
                if (!quoted) {
                    error = "unterminated quoted text";
                    return std::nullopt;
                }
                token.value = std::move(*quoted);
                token.quoted = true;
            } else {
                std::size_t valueEnd = 0;
                while (valueEnd < rest.size() && !IsBlank(rest[valueEnd]))
                    ++valueEnd;
                token.value = std::string(rest.substr(0, valueEnd));
                rest.remove_prefix(valueEnd);
            }
        } else {
            if (word.empty()) {
                error = "unexpected character";
                return std::nullopt;
            }
            token.value = std::move(word);
        }
        tokens.push_back(std::move(token));
    }
}

std::optional<long long> ParseInteger(std::string_view text)
{
    const std::string copy(TrimBlanks(text));
    if (copy.empty())
        return std::nullopt;
    errno = 0;
    char *end = nullptr;
    const long long value = std::strtoll(copy.c_str(), &end, 0);
    if (errno != 0 || end != copy.c_str() + copy.size())
        return std::nullopt;
    return value;
}

std::optional<double> ParseReal(std::string_view text)
{
    const std::string copy(TrimBlanks(text));
    if (copy.empty())
        return std::nullopt;
    if (auto integer = ParseInteger(copy))
        return static_cast<double>(*integer);
    errno = 0;
    char *end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (errno != 0 || end != copy.c_str() + copy.size())
        return std::nullopt;
    return value;
}

} // namespace cvi
