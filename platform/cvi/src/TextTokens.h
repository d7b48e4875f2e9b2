// Tokens of one line of the run-time's text formats: bare words, "quoted strings" with
// \" \\ \r \n \t escapes, and key=value pairs whose value may be quoted.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cvi {

struct TextToken {
    std::string key;   // empty for a positional token
    std::string value;
    bool quoted = false;
};

// Splits a line; a '#' outside quotes starts a comment. Empty on an unterminated quote, with
// the reason in error.
std::optional<std::vector<TextToken>> TokenizeLine(std::string_view line, std::string &error);

// Reads "..." at the start of text (after blanks); returns the unescaped content and advances
// text past the closing quote.
std::optional<std::string> ReadQuoted(std::string_view &text);
// The quoted, escaped form of a value.
std::string QuoteText(std::string_view value);

std::string_view TrimBlanks(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);

std::optional<long long> ParseInteger(std::string_view text);
std::optional<double> ParseReal(std::string_view text);

} // namespace cvi
