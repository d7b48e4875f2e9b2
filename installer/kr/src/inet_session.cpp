#include "kr/inet_session.h"

namespace kr {

bool inet_session::open(const wchar_t* agent, DWORD access_type, const wchar_t* proxy, const wchar_t* proxy_bypass,
                        DWORD flags)
{
    shared_.reset();
    const HINTERNET handle = InternetOpenW(agent, access_type, proxy, proxy_bypass, flags);
    if (!handle)
        return false;
    shared_ = std::shared_ptr<void>(handle, closer{});
    return true;
}

bool inet_session::open_shared(const wchar_t* agent, DWORD access_type, const wchar_t* proxy,
                               const wchar_t* proxy_bypass, DWORD flags)
{
    static std::weak_ptr<void> process_wide;
    shared_ = process_wide.lock();
    if (shared_)
        return true;
    if (!open(agent, access_type, proxy, proxy_bypass, flags))
        return false;
    process_wide = shared_;
    return true;
}

} // namespace kr
