#include "ErrorHistory.h"

#include "ErrorTable.h"

namespace ferrolink {

ErrorHistory::ErrorHistory() : writeCounter_(1)
{
    entries_[0].text = "OK";
}

uint32_t ErrorHistory::Record(uint32_t code)
{
    if (code == 0)
        return 0;
    ErrorRecord &entry = entries_[writeCounter_ % kSize];
    const ErrorTableRow row = LookupError(code);
    entry.code = code;
    entry.level = row.level;
    entry.text = row.text;
    ++writeCounter_;
    return code;
}

const ErrorRecord &ErrorHistory::Newest() const
{
    return entries_[(writeCounter_ - 1u) % kSize];
}

} // namespace ferrolink
