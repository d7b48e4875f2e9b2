// The ring of non-zero codes the exports returned for one handle.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace ferrolink {

struct ErrorRecord {
    std::string text;
    uint32_t code = 0;
    uint32_t level = 0;
};

class ErrorHistory {
public:
    static constexpr uint32_t kSize = 256;

    ErrorHistory();

    // Enters a non-zero code with its level and text; 0 changes nothing. Returns the code.
    uint32_t Record(uint32_t code);
    // The newest entry; the starting entry ("OK") until something was recorded.
    const ErrorRecord &Newest() const;
    uint32_t WriteCounter() const { return writeCounter_; }

private:
    std::array<ErrorRecord, kSize> entries_;
    uint32_t writeCounter_;
};

} // namespace ferrolink
