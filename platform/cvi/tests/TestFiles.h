// A fresh folder under the temporary folder for one test, removed with its files afterwards.
#pragma once

#include <cstdint>
#include <string>

class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder &) = delete;
    TemporaryFolder &operator=(const TemporaryFolder &) = delete;

    const std::string &Path() const { return path_; }
    std::string File(const std::string &name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

std::string ReadWholeFile(const std::string &path);
void WriteWholeFile(const std::string &path, const std::string &content);

// A PNG file as the run-time writes it (8-bit RGB), unpacked.
struct DecodedPng {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::string pixels; // per row: filter byte, then R G B per pixel
    bool crcsValid = true;

    bool Contains(std::uint32_t rgb) const;
};

DecodedPng DecodePng(const std::string &png);
