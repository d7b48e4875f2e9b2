#include "kr/elevation.h"

#include <memory>

#include "kr/handle_holder.h"
#include "kr/holders.h"
#include "kr/system_info.h"

namespace kr {

bool token_has_group(token_group group, bool check_deny_only)
{
    HANDLE opened = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &opened)) {
        const DWORD error = GetLastError();
        if (error == ERROR_CALL_NOT_IMPLEMENTED)
            return true;
        if (error != ERROR_NO_TOKEN)
            return false;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
            return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED;
    }
    const handle_holder token(opened);

    DWORD size = 0;
    if (GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &size) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    std::unique_ptr<BYTE[]> buffer(new BYTE[size]);
    if (!GetTokenInformation(token.get(), TokenGroups, buffer.get(), size, &size))
        return false;

    const builtin_sid_holder wanted(group == token_group::administrators ? DOMAIN_ALIAS_RID_ADMINS
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
