#pragma once

// Private and unique names under the temporary folder.

#include <windows.h>
#include <aclapi.h>

#include "kr/holders.h"
#include "kr/stringx.h"

namespace kr {

// The security of a private folder: Users may read and execute, Administrators
// have full access, both inherited by everything below. Frees the SIDs, the
// access list and the descriptor at the end.
class private_folder_security {
public:
    private_folder_security();
    private_folder_security(const private_folder_security&) = delete;
    private_folder_security& operator=(const private_folder_security&) = delete;

    bool valid() const noexcept { return valid_; }
    SECURITY_ATTRIBUTES* attributes() noexcept { return valid_ ? &attributes_ : nullptr; }
    PACL access_list() const noexcept { return static_cast<PACL>(access_list_.get()); }

private:
    builtin_sid_holder administrators_;
    builtin_sid_holder users_;
    local_memory_holder access_list_;
    local_memory_holder descriptor_;
    SECURITY_ATTRIBUTES attributes_ = {};
    bool valid_ = false;
};

// A new folder "{GUID}" under the temporary folder with the private security,
// with its trailing backslash; empty on failure.
_stringx create_private_temp_folder();

// A unique name in folder (empty: the temporary folder). With use_system_name
// a file name from GetTempFileNameW ("_kr" and hexadecimal digits) that does
// not exist; without it a new folder "{GUID}\" that is created. An extension
// (without its dot) replaces the candidate's. Empty when no name is free.
_stringx get_temp_file_name(const _stringx& folder, const _stringx& extension, bool use_system_name);

} // namespace kr
