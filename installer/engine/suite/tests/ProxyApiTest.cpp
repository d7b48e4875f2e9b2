// The engine's calls through its proxies: registry writes, elevated programs
// and extension DLLs, against real proxy processes and scripted peers.

#include <gtest/gtest.h>

#include "ProxyTestSupport.h"
#include "kr/system_info.h"
#include "parcels/PipeRecords.h"
#include "parcels/ProxyApi.h"
#include "parcels/ProxyExeCallbackWrapper.h"

using namespace proxy_testing;

namespace {

class RecordingCallbacks : public CProxyExeCallbackWrapper {
public:
    LONG OnCallback(CProxyApi*, std::span<const BYTE>) override { return -1; }
    LONG OnQueryValue(CProxyApi*) override { return 0; }
    LONG OnProcessFinished(CProxyApi*) override
    {
        ++finished;
        return 0;
    }
    int finished = 0;
};

std::wstring ExitStandIn()
{
    return ProgramFolder() + L"launcher_exit_standin.exe";
}

using ProxyApiTest = ProxyEngine;

TEST_F(ProxyApiTest, RegistryValueIsWrittenAndTheKeyRemovedThroughTheElevatedProxy)
{
    const std::wstring key = L"Software\\KrProxyApiTest\\{" + std::wstring(kr::new_guid_string().c_str()) + L"}";
    const wchar_t value[] = L"{A} {B}";
    CProxyApi api;
    ASSERT_EQ(0u, api.SetRegistryValue(key.c_str(), L"Clients", value, sizeof(value)));
    ASSERT_NE(nullptr, Slots().elevated.get());
    wchar_t read[64] = {};
    DWORD size = sizeof(read);
    EXPECT_EQ(ERROR_SUCCESS,
              RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Clients", RRF_RT_REG_SZ, nullptr, read, &size));
    EXPECT_STREQ(value, read);

    EXPECT_EQ(0u, api.DeleteRegistryKey(key.c_str()));
    HKEY opened = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\KrProxyApiTest");
}

TEST_F(ProxyApiTest, ElevatedProgramsRunThroughTheElevatedProxy)
{
    RecordingCallbacks callbacks;
    // Waiting: the program's exit code, after the call-back that it ended.
    EXPECT_EQ(3010, m_engine->LaunchElevatedExe(ExitStandIn().c_str(), L"3010", L"open", SW_HIDE, true, callbacks));
    EXPECT_EQ(1, callbacks.finished);
    // Not waiting: started is all there is to know.
    EXPECT_EQ(0, m_engine->LaunchElevatedExe(ExitStandIn().c_str(), L"5", L"open", SW_HIDE, false, callbacks));
    EXPECT_EQ(static_cast<LONG>(kProxyExeLaunchRefused),
              m_engine->LaunchElevatedExe((m_support / L"absent.exe").c_str(), L"", L"open", SW_HIDE, true,
                                          callbacks));
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"EXE (elevated) launch failed with status 0x"));
    EXPECT_EQ(1, callbacks.finished);
}

TEST_F(ProxyApiTest, LostResultOfAnElevatedProgramIsNoSuccess)
{
    ScriptedPeer peer([](CNamedPipeHandler& proxy) {
        if (!ReadNext(proxy) || proxy.Type() != kPipeRequest)
            return;
        WriteWordMessage(proxy, kPipeReply | kPipeRequest, 0);
        const DWORD ended[2] = {2, 0};
        proxy.WriteMessage(kPipeCallback, ended, sizeof(ended));
    });
    Slots().elevated = peer.TakeEngineEnd();
    RecordingCallbacks callbacks;
    EXPECT_EQ(233, m_engine->LaunchElevatedExe(ExitStandIn().c_str(), L"", L"open", SW_HIDE, true, callbacks));
    EXPECT_EQ(1, callbacks.finished);
}

TEST_F(ProxyApiTest, DllCallGoesToTheProxyOfTheDllsArchitecture)
{
    CProxyApi api;
    EXPECT_EQ(static_cast<HRESULT>(0xBC2), api.CallDll(OwnExtensionPath().c_str(), L"StandInEntry", nullptr, false));
    EXPECT_NE(nullptr, Slots().nonElevated.get());
    EXPECT_EQ(nullptr, Slots().x64.get());

    api.CallDll(ForeignExtensionPath().c_str(), L"StandInEntry", nullptr, false);
    EXPECT_NE(nullptr, Slots().x64.get());
}

TEST_F(ProxyApiTest, MissingDllIsRefusedByTheProxy)
{
    CProxyApi api;
    EXPECT_EQ(kProxyDllCallRefused, api.CallDll((m_support / L"absent.dll").c_str(), L"StandInEntry", nullptr, false));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), api.LastStatus());
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"Proxy DLL call action request failed, status 0x0000007e"));
}

TEST_F(ProxyApiTest, DllCallWithoutAProxyGives233)
{
    RemoveCompanion();
    CProxyApi api;
    EXPECT_EQ(static_cast<HRESULT>(233), api.CallDll(ForeignExtensionPath().c_str(), L"StandInEntry", nullptr, false));
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"Failed to obtain proxy handler for DLL call action"));
}

} // namespace
