#include "kr/temp_folders.h"

#include "kr/file_system.h"
#include "kr/folders.h"
#include "kr/system_info.h"
#include "kr/win32_exception.h"

namespace kr {

namespace {

constexpr DWORD kReadAndExecute = 0x1200A9;
constexpr DWORD kFullAccess = 0x1F01FF;

EXPLICIT_ACCESSW grant(PSID sid, DWORD rights, TRUSTEE_TYPE type)
{
    EXPLICIT_ACCESSW access = {};
    access.grfAccessPermissions = rights;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = type;
    access.Trustee.ptstrName = static_cast<LPWSTR>(sid);
    return access;
}

} // namespace

private_folder_security::private_folder_security()
    : administrators_(DOMAIN_ALIAS_RID_ADMINS), users_(DOMAIN_ALIAS_RID_USERS)
{
    if (!administrators_.get() || !users_.get())
        return;
    EXPLICIT_ACCESSW entries[2] = {
        grant(users_.get(), kReadAndExecute, TRUSTEE_IS_WELL_KNOWN_GROUP),
        grant(administrators_.get(), kFullAccess, TRUSTEE_IS_GROUP),
    };
    PACL list = nullptr;
    if (SetEntriesInAclW(2, entries, nullptr, &list) != ERROR_SUCCESS)
        return;
    access_list_.reset(list);
    descriptor_.reset(LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH));
    if (!descriptor_.get() || !InitializeSecurityDescriptor(descriptor_.get(), SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(descriptor_.get(), TRUE, list, FALSE))
        return;
    attributes_.nLength = sizeof(attributes_);
    attributes_.lpSecurityDescriptor = descriptor_.get();
    attributes_.bInheritHandle = FALSE;
    valid_ = true;
}

_stringx create_private_temp_folder()
{
    private_folder_security security;
    if (!security.valid())
        return _stringx();
    wchar_t temp[MAX_PATH] = {};
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
        return _stringx();
    _stringx folder(temp, length);
    folder += L"{" + new_guid_string() + L"}";
    if (!CreateDirectoryW(folder.c_str(), security.attributes()))
        return _stringx();
    return folder.add_trailing_backslash();
}

_stringx get_temp_file_name(const _stringx& folder, const _stringx& extension, bool use_system_name)
{
    _stringx base(folder);
    if (base.empty()) {
        try {
            base = get_temp_path();
        } catch (const win32_exception&) {
            return _stringx();
        }
    }
    base.add_trailing_backslash();
    if (!path_test(base, path_accept_folder))
        create_directory_tree(base);

    for (int counter = 0; counter >= 0; ++counter) {
        _stringx candidate;
        if (use_system_name) {
            wchar_t name[MAX_PATH] = {};
            if (!GetTempFileNameW(base.c_str(), L"_kr", static_cast<UINT>(counter), name))
                return _stringx();
            candidate = name;
            if (counter == 0)
                DeleteFileW(name);
        } else {
            candidate = base;
            candidate += L"{" + new_guid_string() + L"}";
        }

        if (!extension.empty()) {
            candidate.change_extension(extension);
        } else {
            const size_t tmp = candidate.find(L".tmp");
            if (tmp != _stringx::npos)
                candidate.erase(tmp, 4);
        }
        if (!use_system_name)
            candidate.add_trailing_backslash();

        if (!path_test(candidate, path_accept_any)) {
            if (!use_system_name && !create_directory_tree(candidate))
                return _stringx();
            return candidate;
        }
    }
    return _stringx();
}

} // namespace kr
