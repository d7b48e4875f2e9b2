// Text files for the line readers: fixtures from data/ and small files written
// for one case, opened as the library opens them.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <wx/convauto.h>
#include <wx/log.h>
#include <wx/textfile.h>

namespace ferrolink_test {

// A file opened for line reading; a missing file simply has no lines.
class OpenedTextFile {
public:
    explicit OpenedTextFile(const std::string &path)
    {
        wxLogNull quiet;
        file_.Open(wxString::FromUTF8(path), wxConvAuto());
    }
    wxTextFile &operator*() { return file_; }
    wxTextFile *operator->() { return &file_; }

private:
    wxTextFile file_;
};

// A file of the given text under the temporary folder, removed afterwards.
class ScratchFile {
public:
    ScratchFile(const std::string &name, const std::string &text)
        : path_(std::filesystem::temp_directory_path() /
                ("ferrolink_" + std::to_string(GetCurrentProcessId()) + "_" + name))
    {
        std::ofstream(path_, std::ios::binary) << text;
    }
    ~ScratchFile()
    {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    ScratchFile(const ScratchFile &) = delete;
    ScratchFile &operator=(const ScratchFile &) = delete;

    std::string Path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

} // namespace ferrolink_test
