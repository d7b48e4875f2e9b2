#include "TestFiles.h"

#include <windows.h>

#include <zlib.h>

#include <fstream>
#include <iterator>

namespace {

void RemoveTree(const std::string &folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

} // namespace

TemporaryFolder::TemporaryFolder()
{
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static int counter = 0;
    path_ = std::string(base) + "cvi_test_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
    CreateDirectoryA(path_.c_str(), nullptr);
}

TemporaryFolder::~TemporaryFolder()
{
    RemoveTree(path_);
}

std::string ReadWholeFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string &path, const std::string &content)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
}

static std::uint32_t BigEndian(const std::string &bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 8 |
           static_cast<unsigned char>(bytes[at + 3]);
}

DecodedPng DecodePng(const std::string &png)
{
    DecodedPng decoded;
    std::string packed;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = BigEndian(png, at);
        const std::string type = png.substr(at + 4, 4);
        const std::string data = png.substr(at + 8, length);
        const uLong crc = crc32(crc32(0, Z_NULL, 0), reinterpret_cast<const Bytef *>(png.data() + at + 4), length + 4);
        decoded.crcsValid = decoded.crcsValid && crc == BigEndian(png, at + 8 + length);
        if (type == "IHDR") {
            decoded.width = BigEndian(data, 0);
            decoded.height = BigEndian(data, 4);
        } else if (type == "IDAT") {
            packed += data;
        }
        at += 12 + length;
    }
    uLongf size = static_cast<uLongf>(decoded.height) * (1 + 3 * decoded.width);
    decoded.pixels.resize(size);
    if (uncompress(reinterpret_cast<Bytef *>(decoded.pixels.data()), &size,
                   reinterpret_cast<const Bytef *>(packed.data()), static_cast<uLong>(packed.size())) != Z_OK)
        decoded.pixels.clear();
    return decoded;
}


bool DecodedPng::Contains(std::uint32_t rgb) const
{
    for (std::size_t row = 0; row < height; ++row) {
        for (std::size_t x = 0; x < width; ++x) {
            const std::size_t at = row * (1 + 3 * width) + 1 + 3 * x;
            const std::uint32_t pixel = static_cast<std::uint32_t>(static_cast<unsigned char>(pixels[at])) << 16 |
                                        static_cast<std::uint32_t>(static_cast<unsigned char>(pixels[at + 1])) << 8 |
                                        static_cast<unsigned char>(pixels[at + 2]);
            if (pixel == rgb)
                return true;
        }
    }
    return false;
}
