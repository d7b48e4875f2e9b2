#include "kr/internet_functions.h"

namespace kr {

namespace {

BOOL WINAPI query_version(INTERNET_VERSION_INFO* version)
{
    DWORD size = sizeof(*version);
    return InternetQueryOptionW(nullptr, INTERNET_OPTION_VERSION, version, &size);
}

constexpr internet_functions real_functions = {&query_version, &InternetGetConnectedState, &InternetAutodial,
                                               &InternetErrorDlg};

internet_functions& functions_in_use()
{
    static internet_functions functions = real_functions;
    return functions;
}

} // namespace

const internet_functions& current_internet_functions()
{
    return functions_in_use();
}

internet_functions set_internet_functions(const internet_functions& functions)
{
    const internet_functions before = functions_in_use();
    internet_functions& now = functions_in_use();
    now.query_version = functions.query_version ? functions.query_version : real_functions.query_version;
    now.get_connected_state =
        functions.get_connected_state ? functions.get_connected_state : real_functions.get_connected_state;
    now.autodial = functions.autodial ? functions.autodial : real_functions.autodial;
    now.error_dialog = functions.error_dialog ? functions.error_dialog : real_functions.error_dialog;
    return before;
}

} // namespace kr
