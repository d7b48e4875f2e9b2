#include "kr/elevation.h"

#include <memory>

#include "kr/system_info.h"

namespace kr {

namespace {

class token_holder {
public:
    ~token_holder()
    {
        if (token_)
            CloseHandle(token_);
    }
    HANDLE* address() noexcept { return &token_; }
    HANDLE get() const noexcept { return token_; }

private:
    HANDLE token_ = nullptr;
};

class sid_holder {
public:
    explicit sid_holder(DWORD rid)
    {
        SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
        if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, rid, 0, 0, 0, 0, 0, 0, &sid_))
            sid_ = nullptr;
    }
    ~sid_holder()
    {
        if (sid_)
            FreeSid(sid_);
    }
    sid_holder(const sid_holder&) = delete;
    sid_holder& operator=(const sid_holder&) = delete;
    PSID get() const noexcept { return sid_; }

private:
    PSID sid_ = nullptr;
};

} // namespace

bool token_has_group(token_group group, bool check_deny_only)
{
    token_holder token;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.address())) {
        const DWORD error = GetLastError();
        if (error == ERROR_CALL_NOT_IMPLEMENTED)
            return true;
        if (error != ERROR_NO_TOKEN)
            return false;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.address()))
            return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED;
    }

    DWORD size = 0;
    if (GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &size) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    std::unique_ptr<BYTE[]> buffer(new BYTE[size]);
    if (!GetTokenInformation(token.get(), TokenGroups, buffer.get(), size, &size))
        return false;

    const sid_holder wanted(group == token_group::administrators ? DOMAIN_ALIAS_RID_ADMINS
                                                                 : DOMAIN_ALIAS_RID_POWER_USERS);
    if (!wanted.get())
        return false;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.get());
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        if (!EqualSid(groups->Groups[i].Sid, wanted.get()))
            continue;
        return !(check_deny_only && (groups->Groups[i].Attributes & SE_GROUP_USE_FOR_DENY_ONLY));
    }
    return false;
}

bool is_elevated()
{
    if (win9x_platform())
        return true;
    return token_has_group(token_group::administrators, true);
}

} // namespace kr
