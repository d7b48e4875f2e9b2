// Language files: UTF-8 text (a byte-order mark is allowed) of sections named after panels and
// menu bars, each holding key = text lines:
//   [MAIN_PANEL]          title = "..."   control.NAME = "..."   page.TAB.0 = "..."
//   [VANTREL_MENU]        entry.NAME = "..."
// Texts may be quoted (with \" \\ \r \n \t escapes) and are handed to the program in its
// ANSI code page.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cvi {

struct LanguageFile {
    // section -> key -> text
    std::map<std::string, std::map<std::string, std::string>> sections;

    const std::map<std::string, std::string> *Section(const std::string &name) const;
};

// Empty when the file cannot be read or a line is malformed.
std::optional<LanguageFile> ReadLanguageFile(const std::string &path);
std::optional<LanguageFile> ParseLanguageText(std::string_view utf8);

} // namespace cvi
