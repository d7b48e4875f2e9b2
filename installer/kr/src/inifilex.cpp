#include "kr/inifilex.h"

#include <cwchar>

#include "kr/file.h"
#include "kr/file_replace.h"
#include "kr/file_system.h"
#include "kr/win32_exception.h"

// ---- one section ---------------------------------------------------------

bool inifilesectionx::remove_key(const _stringx& key)
{
    const size_t position = find(key);
    if (position == npos)
        return false;
    erase(position);
    return true;
}

bool inifilesectionx::rename_key(const _stringx& old_key, const _stringx& new_key)
{
    if (old_key == new_key)
        return true;
    if (find(new_key) != npos)
        return false;
    const size_t position = find(old_key);
    if (position == npos)
        return false;
    rename(position, new_key);
    return true;
}

// An entry cannot follow itself: naming the same entry twice moves nothing.
bool inifilesectionx::move_entry_after(const _stringx& key, const _stringx& after_key)
{
    const size_t position = find(key);
    const size_t after = find(after_key);
    if (position == npos || after == npos || position == after)
        return false;
    move_after(position, after);
    return true;
}

void inifilesectionx::get_values(kr::stringx_vector& values, const _stringx& key_format) const
{
    for (int i = 0;; ++i) {
        _stringx key;
        key.format(key_format.c_str(), i);
        const size_t position = find(key);
        if (position != npos)
            values.push_back(at(position).second.value);
        else if (i != 0)
            return;
    }
}

// ---- the file ------------------------------------------------------------

inifilex::inifilex() : separator_(L"=")
{
}

inifilex::~inifilex() = default;

const inifilesectionx* inifilex::find_section(const _stringx& section) const
{
    const size_t position = sections_.find(section);
    return position == sections_.npos ? nullptr : &sections_.at(position).second;
}

inifilesectionx* inifilex::find_section(const _stringx& section)
{
    const size_t position = sections_.find(section);
    return position == sections_.npos ? nullptr : &sections_.at(position).second;
}

void inifilex::set_file(const _stringx& file_name, const _stringx& separator)
{
    file_name_ = file_name;
    separator_ = separator;
}

bool inifilex::load(const _stringx& path, const _stringx& separator, bool bare_keys)
{
    sections_.clear();
    bare_keys_ = bare_keys;
    separator_ = separator;
    file_name_ = path;

    _stringx text;
    int code_page = code_page_;
    bool has_mark = false;
    last_error_ = kr::read_text_file_into(path, text, &code_page, &has_mark);
    if (last_error_ != 0)
        return false;
    code_page_ = code_page;
    write_bom_ = has_mark;

    if (!parse(text))
        return false;
    modified_ = false;
    return true;
}

// Lines end at CR, LF or CR LF. Only the first column is special: "[" opens a
// section, ";" a comment; nothing is trimmed.
bool inifilex::parse(const _stringx& text)
{
    const wchar_t* chars = text.c_str();
    const size_t length = text.length();
    size_t current = sections_.npos;

    auto take_line = [&](size_t start, size_t end) -> bool {
        if (end == start || chars[start] == L';')
            return true;
        const _stringx line(chars + start, end - start);
        if (chars[start] == L'[') {
            const size_t close = line.find(L']');
            if (close == _stringx::npos)
                return false;
            const _stringx name = line.substr(1, close - 1);
            current = sections_.find(name);
            if (current == sections_.npos) {
                sections_.add(name, inifilesectionx());
                current = sections_.size() - 1;
            }
            return true;
        }
        if (current == sections_.npos)
            return false;
        const size_t split = separator_.empty() ? _stringx::npos : line.find(separator_);
        inifileentryx entry;
        if (split != _stringx::npos)
            entry.value = line.substr(split + separator_.length());
        sections_.at(current).second.add(split == _stringx::npos ? line : line.substr(0, split), entry);
        return true;
    };

    size_t start = 0;
    for (size_t i = 0; i < length; ++i) {
        if (chars[i] != L'\r' && chars[i] != L'\n')
            continue;
        if (!take_line(start, i))
            return false;
        if (chars[i] == L'\r' && i + 1 < length && chars[i + 1] == L'\n')
            ++i;
        start = i + 1;
    }
    return start >= length || take_line(start, length);
}

bool inifilex::save(unsigned flags, int code_page, bool write_bom)
{
    const _stringx path(file_name_);
    return save_as(path, flags, code_page, write_bom);
}

bool inifilex::save_as(const _stringx& path, unsigned flags, int code_page, bool write_bom)
{
    if ((flags & skip_when_empty) && sections_.empty())
        return true;
    if (flags & use_given_encoding) {
        set_code_page(code_page);
        set_write_bom(write_bom);
    }
    if (flags & sort_sections_first)
        sort_sections();
    if (path.empty())
        return false;
    file_name_ = path;

    const DWORD result = write_lines(path, build_lines());
    if (result != 0) {
        last_error_ = result;
        failed_path_ = path;
        return false;
    }
    modified_ = false;
    return true;
}

// The whole file in the object's code page, each line ended by CR LF. The text
// is converted before anything is written, and the file is replaced whole: a
// failed save leaves the file as it was.
DWORD inifilex::write_lines(const _stringx& path, const kr::stringx_vector& lines) const
{
    const int code_page = code_page_ == -1 ? kr::code_page_ansi : code_page_;
    _stringx text;
    for (const _stringx& line : lines) {
        text += line;
        text += L"\r\n";
    }
    std::string bytes;
    if (!text.empty() && !kr::encode_text(text, code_page, bytes))
        throw kr::file_exception(path);
    if (write_bom_)
        bytes.insert(0, kr::byte_order_mark_of(code_page));

    kr::create_folder_of(path);
    return kr::replace_file_contents(path, bytes);
}

kr::stringx_vector inifilex::build_lines() const
{
    kr::stringx_vector lines;
    bool first = true;
    for (const auto& section : sections_) {
        if (!first)
            lines.emplace_back();
        first = false;
        lines.push_back(L"[" + section.first + L"]");
        for (const auto& entry : section.second) {
            if (bare_keys_ && entry.second.value.empty())
                lines.push_back(entry.first);
            else
                lines.push_back(entry.first + separator_ + entry.second.value);
        }
    }
    return lines;
}

void inifilex::set_section_entries(const _stringx& section, const inifilesectionx& entries)
{
    for (const auto& entry : entries)
        set_string(section, entry.first, entry.second.value);
}

void inifilex::merge_sections(const inifilex& other, const _stringx& text, const _stringx& format)
{
    for (const auto& section : other.sections_) {
        _stringx name;
        name.format(format.c_str(), text.c_str(), section.first.c_str());
        set_section_entries(name, section.second);
    }
}

void inifilex::add_section(const _stringx& section)
{
    sections_.find_or_add(section);
}

bool inifilex::move_entry_after(const _stringx& section, const _stringx& key, const _stringx& after_key)
{
    inifilesectionx* entries = find_section(section);
    if (!entries)
        return false;
    modified_ = true;
    return entries->move_entry_after(key, after_key);
}

_stringx inifilex::get_string(const _stringx& section, const _stringx& key, const _stringx& default_value) const
{
    const inifilesectionx* entries = find_section(section);
    if (!entries)
        return default_value;
    const size_t position = entries->find(key);
    return position == inifilesectionx::npos ? default_value : entries->at(position).second.value;
}

void inifilex::set_string(const _stringx& section, const _stringx& key, const _stringx& value)
{
    sections_.find_or_add(section).find_or_add(key).value = value;
    modified_ = true;
}

// "0x" in front (in any case) reads the rest in base 16, anything else base 10,
// with wcstol's rules: leading blanks and a sign, reading stops at the first
// character that is no digit, out-of-range values are clamped.
int inifilex::get_int(const _stringx& section, const _stringx& key, int default_value) const
{
    _stringx value = get_string(section, key, _stringx());
    if (value.empty())
        return default_value;
    int base = 10;
    if (value.starts_with(L"0x")) {
        value.erase(0, 2);
        base = 16;
    }
    return static_cast<int>(wcstol(value.c_str(), nullptr, base));
}

void inifilex::set_int(const _stringx& section, const _stringx& key, int value)
{
    _stringx text;
    text.format(L"%d", value);
    set_string(section, key, text);
}

bool inifilex::get_bool(const _stringx& section, const _stringx& key, bool default_value) const
{
    const _stringx value = get_string(section, key, _stringx());
    if (value.empty())
        return default_value;
    return value == L"Yes" || value == L"Y" || value == L"1" || value == L"True";
}

void inifilex::set_bool(const _stringx& section, const _stringx& key, bool value)
{
    set_string(section, key, value ? L"Yes" : L"No");
}

bool inifilex::section_exists(const _stringx& section) const
{
    return find_section(section) != nullptr;
}

bool inifilex::key_exists(const _stringx& section, const _stringx& key) const
{
    const inifilesectionx* entries = find_section(section);
    return entries && entries->key_exists(key);
}

void inifilex::get_keys(const _stringx& section, kr::stringx_vector& keys) const
{
    const inifilesectionx* entries = find_section(section);
    if (!entries)
        return;
    for (const auto& entry : *entries)
        keys.push_back(entry.first);
}

void inifilex::get_section_names(kr::stringx_vector& names) const
{
    for (const auto& section : sections_)
        names.push_back(section.first);
}

size_t inifilex::get_section_names_with_prefix(kr::stringx_vector& names, const _stringx& prefix) const
{
    for (const auto& section : sections_) {
        if (section.first.find(prefix) == 0)
            names.push_back(section.first);
    }
    return names.size();
}

void inifilex::get_section_values(const _stringx& section, kr::stringx_vector& values,
                                  const _stringx& key_format) const
{
    const inifilesectionx* entries = find_section(section);
    if (entries)
        entries->get_values(values, key_format);
}

bool inifilex::rename_section(const _stringx& old_name, const _stringx& new_name)
{
    if (old_name == new_name)
        return true;
    if (section_exists(new_name))
        return false;
    const size_t position = sections_.find(old_name);
    if (position == sections_.npos)
        return false;
    sections_.rename(position, new_name);
    modified_ = true;
    return true;
}

bool inifilex::rename_key(const _stringx& section, const _stringx& old_key, const _stringx& new_key)
{
    inifilesectionx* entries = find_section(section);
    if (!entries)
        return false;
    const bool renamed = entries->rename_key(old_key, new_key);
    if (renamed)
        modified_ = true;
    return renamed;
}

void inifilex::rename_section_prefix(const _stringx& old_prefix, const _stringx& new_prefix)
{
    kr::stringx_vector names;
    get_section_names_with_prefix(names, old_prefix);
    for (const _stringx& name : names) {
        _stringx new_name(name);
        new_name.replace_first(old_prefix, new_prefix);
        rename_section(name, new_name);
    }
}

bool inifilex::remove_section(const _stringx& section)
{
    const size_t position = sections_.find(section);
    if (position == sections_.npos)
        return false;
    sections_.erase(position);
    modified_ = true;
    return true;
}

bool inifilex::remove_key(const _stringx& section, const _stringx& key)
{
    inifilesectionx* entries = find_section(section);
    if (!entries || !entries->remove_key(key))
        return false;
    modified_ = true;
    return true;
}

bool inifilex::clear_section(const _stringx& section)
{
    inifilesectionx* entries = find_section(section);
    if (!entries)
        return false;
    entries->clear();
    modified_ = true;
    return true;
}

void inifilex::clear()
{
    sections_.clear();
}

void inifilex::remove_sections_with_prefix(const _stringx& prefix)
{
    kr::stringx_vector names;
    get_section_names_with_prefix(names, prefix);
    for (const _stringx& name : names)
        remove_section(name);
}

void inifilex::sort()
{
    sort_sections();
    sort_all_keys();
}

void inifilex::sort_sections()
{
    sections_.sort();
}

void inifilex::sort_all_keys()
{
    for (size_t position = 0; position < sections_.size(); ++position)
        sort_keys(sections_.at(position).second);
}

void inifilex::sort_keys(inifilesectionx& section)
{
    section.sort();
}

void inifilex::sort_section_keys(const _stringx& section)
{
    sort_keys(sections_.find_or_add(section));
}
