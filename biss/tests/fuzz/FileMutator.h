// Mutated copies of a well-formed file for the file readers' fuzz run. Each
// mutation says whether it certainly breaks the file's format, so a reader
// that still succeeds on such a file is caught; the others only have to be
// survived.
#pragma once

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace ferrolink_fuzz {

// A well-formed file and what its format cannot do without.
struct SeedFile {
    std::string text;
    // Lines (0-based) whose loss breaks the format.
    std::set<size_t> essentialLines;
    // The format needs the text up to here: a cut before it breaks the file.
    size_t essentialEnd = 0;
    // Intel HEX records: every line is a record, and one changed digit breaks its checksum.
    bool hexRecords = false;
};

struct MutatedFile {
    std::string kind;
    std::string bytes;
    bool breaksFormat = false;
};

class FileMutator {
public:
    explicit FileMutator(uint32_t seed) : random_(seed) {}

    // One mutation of the seed, of a kind chosen at random.
    MutatedFile Mutate(const SeedFile &seed);

    // The seed with one line of the given length inserted before line `at`,
    // holding a closing tag that a matcher which backtracks finds again and again.
    static MutatedFile WithLongLine(const SeedFile &seed, size_t at, size_t length);

    // The text's lines, each with its line end.
    static std::vector<std::string> Lines(const std::string &text);

private:
    size_t Below(size_t limit);
    std::string Digits(size_t count);
    std::string LongLine();

    std::mt19937 random_;
};

} // namespace ferrolink_fuzz
