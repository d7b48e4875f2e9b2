#pragma once

// An INI text held in memory: named sections in file order, each with its
// key/value entries in order, every lookup by name ignoring case. Read in the
// encoding its byte-order mark announces (or one the caller fixes), written
// back whole in a chosen code page with or without a mark.

#include <windows.h>

#include "kr/stringx.h"
#include "kr/vector_map_i.h"

struct inifileentryx {
    _stringx value;
};

class inifilesectionx : public kr::vector_map_i<inifileentryx> {
public:
    inifilesectionx() = default;
    inifilesectionx(const inifilesectionx&) = default;
    inifilesectionx(inifilesectionx&&) = default;
    inifilesectionx& operator=(const inifilesectionx&) = default;
    inifilesectionx& operator=(inifilesectionx&&) = default;
    virtual ~inifilesectionx() = default;

    bool key_exists(const _stringx& key) const { return find(key) != npos; }
    bool remove_key(const _stringx& key);
    // True when renamed, and when the names are equal but for case.
    bool rename_key(const _stringx& old_key, const _stringx& new_key);
    bool move_entry_after(const _stringx& key, const _stringx& after_key);
    // Values of key_format filled with 0, 1, 2, ... up to the first gap after 0.
    void get_values(kr::stringx_vector& values, const _stringx& key_format) const;
};

class inifilex {
public:
    // save_as flags
    static constexpr unsigned sort_sections_first = 0x1;
    static constexpr unsigned skip_when_empty = 0x2;
    static constexpr unsigned use_given_encoding = 0x4;

    inifilex();
    ~inifilex();

    void set_file(const _stringx& file_name, const _stringx& separator);
    bool load(const _stringx& path, const _stringx& separator, bool bare_keys);
    bool save(unsigned flags, int code_page, bool write_bom);
    bool save_as(const _stringx& path, unsigned flags, int code_page, bool write_bom);
    void set_separator(const _stringx& separator) { separator_ = separator; }
    _stringx get_separator() const { return separator_; }
    _stringx get_file_name() const { return file_name_; }

    void set_section_entries(const _stringx& section, const inifilesectionx& entries);
    void merge_sections(const inifilex& other, const _stringx& text, const _stringx& format);
    void add_section(const _stringx& section);
    bool move_entry_after(const _stringx& section, const _stringx& key, const _stringx& after_key);

    _stringx get_string(const _stringx& section, const _stringx& key, const _stringx& default_value) const;
    void set_string(const _stringx& section, const _stringx& key, const _stringx& value);
    int get_int(const _stringx& section, const _stringx& key, int default_value) const;
    void set_int(const _stringx& section, const _stringx& key, int value);
    bool get_bool(const _stringx& section, const _stringx& key, bool default_value) const;
    void set_bool(const _stringx& section, const _stringx& key, bool value);

    bool is_modified() const noexcept { return modified_; }
    void set_modified(bool modified) noexcept { modified_ = modified; }
    bool section_exists(const _stringx& section) const;
    bool key_exists(const _stringx& section, const _stringx& key) const;
    void get_keys(const _stringx& section, kr::stringx_vector& keys) const;
    void get_section_names(kr::stringx_vector& names) const;
    size_t get_section_names_with_prefix(kr::stringx_vector& names, const _stringx& prefix) const;
    void get_section_values(const _stringx& section, kr::stringx_vector& values, const _stringx& key_format) const;

    bool rename_section(const _stringx& old_name, const _stringx& new_name);
    bool rename_key(const _stringx& section, const _stringx& old_key, const _stringx& new_key);
    void rename_section_prefix(const _stringx& old_prefix, const _stringx& new_prefix);
    bool remove_section(const _stringx& section);
    bool remove_key(const _stringx& section, const _stringx& key);
    bool clear_section(const _stringx& section);
    void clear();
    void remove_sections_with_prefix(const _stringx& prefix);

    void sort();
    void sort_sections();
    void sort_all_keys();
    void sort_keys(inifilesectionx& section);
    void sort_section_keys(const _stringx& section);

    void set_code_page(int code_page) noexcept { code_page_ = code_page; }
    bool set_write_bom(bool write_bom) noexcept { return write_bom_ = write_bom; }
    DWORD get_last_error() const noexcept { return last_error_; }
    _stringx get_failed_path() const { return failed_path_; }

private:
    const inifilesectionx* find_section(const _stringx& section) const;
    inifilesectionx* find_section(const _stringx& section);
    bool parse(const _stringx& text);
    kr::stringx_vector build_lines() const;
    DWORD write_lines(const _stringx& path, const kr::stringx_vector& lines) const;

    kr::vector_map_i<inifilesectionx> sections_;
    _stringx file_name_;
    bool bare_keys_ = false;
    bool modified_ = false;
    _stringx separator_;
    int code_page_ = -1;
    bool write_bom_ = false;
    DWORD last_error_ = 0;
    _stringx failed_path_;
};
