// The tool's two message tables, English and German, indexed alike: popup titles (0-2), button
// labels (3-10), messages and notifications (11-72) and calibration step texts (73-91).
// Texts are in the Windows-1252 code page.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace calvista {

enum class Language : int { English = 0, German = 1 };

inline constexpr int kMessageCount = 92;

// The table of a language; an unknown language gives an empty span.
std::span<const char *const> MessageTable(Language language);

// Entry `index` of the language's table; "" for an index or language outside the tables.
const char *MessageText(Language language, int index);

// The first entry of the language's table equal to text; none for a text that is no entry.
std::optional<int> FindMessageIndex(Language language, std::string_view text);

} // namespace calvista
