// INI texts: sections of tag = value lines; names compare without case.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "FileReplace.h"
#include "TextTokens.h"
#include "cvi/IniFile.h"

struct IniTextObject {
    struct Entry {
        std::string tag;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };

    bool sorted = false;
    std::vector<Section> sections;

    Section &SectionNamed(std::string_view name)
    {
        for (Section &section : sections) {
            if (cvi::EqualsNoCase(section.name, name))
                return section;
        }
        sections.push_back({std::string(name), {}});
        return sections.back();
    }

    const Entry *Find(std::string_view section, std::string_view tag) const
    {
        for (const Section &candidate : sections) {
            if (!cvi::EqualsNoCase(candidate.name, section))
                continue;
            for (const Entry &entry : candidate.entries) {
                if (cvi::EqualsNoCase(entry.tag, tag))
                    return &entry;
            }
        }
        return nullptr;
    }

    void Put(std::string_view sectionName, std::string_view tag, std::string_view value)
    {
        Section &section = SectionNamed(sectionName);
        for (Entry &entry : section.entries) {
            if (cvi::EqualsNoCase(entry.tag, tag)) {
                entry.value = std::string(value);
                return;
            }
        }
        section.entries.push_back({std::string(tag), std::string(value)});
    }
};

namespace {

// A value as written: quoted with escapes; a value read without quotes stays as it is.
std::string ReadValue(std::string_view text)
{
    text = cvi::TrimBlanks(text);
    std::string_view rest = text;
    if (auto quoted = cvi::ReadQuoted(rest); quoted && cvi::TrimBlanks(rest).empty())
        return *quoted;
    return std::string(text);
}

} // namespace

IniText Ini_New(int sortSections)
{
    IniText ini = new (std::nothrow) IniTextObject;
    if (ini)
        ini->sorted = sortSections != 0;
    return ini;
}

void Ini_Dispose(IniText ini)
{
    delete ini;
}

int Ini_ReadFromFile(IniText ini, const char *path)
{
    if (!ini)
        return INI_INVALID_HANDLE;
    if (!path || !*path)
        return INI_INVALID_ARGUMENT;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return INI_FILE_ERROR;
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad())
        return INI_FILE_ERROR;
    std::string section;
    bool inSection = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line = cvi::TrimBlanks(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            inSection = close != std::string_view::npos;
            if (inSection) {
                section = std::string(cvi::TrimBlanks(line.substr(1, close - 1)));
                ini->SectionNamed(section);
            }
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inSection || equals == std::string_view::npos)
            continue;
        const std::string_view tag = cvi::TrimBlanks(line.substr(0, equals));
        if (!tag.empty())
            ini->Put(section, tag, ReadValue(line.substr(equals + 1)));
    }
    return INI_NO_ERROR;
}

int Ini_WriteToFile(IniText ini, const char *path)
{
    if (!ini)
        return INI_INVALID_HANDLE;
    if (!path || !*path)
        return INI_INVALID_ARGUMENT;
    std::vector<const IniTextObject::Section *> order;
    for (const auto &section : ini->sections)
        order.push_back(&section);
    if (ini->sorted) {
        std::stable_sort(order.begin(), order.end(), [](const auto *a, const auto *b) {
            return std::lexicographical_compare(a->name.begin(), a->name.end(), b->name.begin(), b->name.end(),
                                                [](char x, char y) {
                                                    return std::tolower(static_cast<unsigned char>(x)) <
                                                           std::tolower(static_cast<unsigned char>(y));
                                                });
        });
    }
    std::string text;
    for (const auto *section : order) {
        if (!text.empty())
            text += "\r\n";
        text += "[" + section->name + "]\r\n";
        for (const auto &entry : section->entries)
            text += entry.tag + " = " + cvi::QuoteText(entry.value) + "\r\n";
    }
    return cvi::ReplaceFileContents(path, text) ? INI_NO_ERROR : INI_FILE_ERROR;
}

int Ini_PutString(IniText ini, const char *section, const char *tag, const char *value)
{
    if (!ini)
        return INI_INVALID_HANDLE;
    if (!section || !tag || !*tag || !value)
        return INI_INVALID_ARGUMENT;
    const std::string_view name = cvi::TrimBlanks(section);
    const std::string_view key = cvi::TrimBlanks(tag);
    // Names that could not be read back are refused.
    if (key.empty() || key.find_first_of("=\r\n") != std::string_view::npos || key.front() == '[' ||
        key.front() == ';' || key.front() == '#' || name.find_first_of("[]\r\n") != std::string_view::npos)
        return INI_INVALID_ARGUMENT;
    ini->Put(name, key, value);
    return INI_NO_ERROR;
}

int Ini_GetStringIntoBuffer(IniText ini, const char *section, const char *tag, char *buffer, int bufferSize)
{
    if (!ini)
        return INI_INVALID_HANDLE;
    if (!section || !tag || !buffer || bufferSize < 1)
        return INI_INVALID_ARGUMENT;
    buffer[0] = '\0';
    const IniTextObject::Entry *entry = ini->Find(cvi::TrimBlanks(section), cvi::TrimBlanks(tag));
    if (!entry)
        return 0;
    const std::size_t length = std::min<std::size_t>(entry->value.size(), static_cast<std::size_t>(bufferSize) - 1);
    entry->value.copy(buffer, length);
    buffer[length] = '\0';
    return 1;
}
