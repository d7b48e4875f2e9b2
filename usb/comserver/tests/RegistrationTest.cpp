// Registration of the server: the registry script, the type library, regsvr32,
// and creation by ProgID from both kinds of apartment.
#include "ServerSupport.h"

#include <com/Bstr.h>

#include <thread>

namespace {

const wchar_t kProgId[] = L"DravioCOM.DravioInterface.1";

std::wstring ClassKey()
{
    wchar_t clsid[40] = {};
    StringFromGUID2(CLSID_DravioInterface, clsid, 40);
    return std::wstring(L"CLSID\\") + clsid;
}

bool HasKey(const std::wstring &key)
{
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(h);
    return true;
}

std::wstring Text(const std::wstring &key, const wchar_t *name = nullptr)
{
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) {
        return L"<missing>";
    }
    return buffer;
}

// Runs regsvr32 silently and returns its exit code as Windows sees it.
DWORD RunRegsvr32(const std::wstring &arguments)
{
    std::wstring command = L"regsvr32.exe /s " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return GetLastError();
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// Creates the object by ProgID in a new thread of the given apartment and
// asks it for an error text through the interface.
std::wstring CreateAndAsk(DWORD apartmentModel)
{
    std::wstring answer;
    std::thread client([&] {
        Apartment apartment(apartmentModel);
        CLSID clsid = {};
        if (FAILED(CLSIDFromProgID(kProgId, &clsid))) {
            answer = L"<no ProgID>";
            return;
        }
        com::ComPtr<IDravioInterface> object;
        HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDravioInterface, object.PutVoid());
        if (FAILED(hr)) {
            wchar_t code[16];
            swprintf(code, 16, L"%08lX", static_cast<unsigned long>(hr));
            answer = L"<not created: " + std::wstring(code) + L">";
            return;
        }
        com::Bstr text;
        object->GetErrorText(static_cast<LONG>(0xE000A001), text.Put());
        answer = std::wstring(text.View());
        Automation late(object.Get());
        if (late.CallForText(L"GetErrorText", {Long(0)}) != L"Error code 0x00000000: No error.") {
            answer += L" <late-bound call failed>";
        }
    });
    client.join();
    return answer;
}

const wchar_t kNotEnumerated[] = L"Error code 0xE000A001: DravioCOM: Not enumerated. Call EnumerateDevices first.";

TEST(Registration, ScriptWritesTheClassAndItsProgIdAndRemovesThemAgain)
{
    Apartment apartment;
    ServerModule server(ProgramFolder() + L"\\DravioCOM_x64.dll");
    ASSERT_TRUE(server.Loaded());
    ASSERT_EQ(server.Register(), S_OK);

    wchar_t clsid[40] = {};
    StringFromGUID2(CLSID_DravioInterface, clsid, 40);
    wchar_t libid[40] = {};
    StringFromGUID2(LIBID_DravioCOMLib, libid, 40);
    const std::wstring cls = ClassKey();
    EXPECT_EQ(Text(kProgId), L"DravioInterface Class");
    EXPECT_EQ(Text(std::wstring(kProgId) + L"\\CLSID"), clsid);
    EXPECT_EQ(Text(std::wstring(kProgId) + L"\\CurVer"), kProgId);
    EXPECT_FALSE(HasKey(L"DravioCOM.DravioInterface")); // only named under the class
    EXPECT_EQ(Text(cls), L"DravioInterface Class");
    EXPECT_EQ(Text(cls + L"\\ProgID"), kProgId);
    EXPECT_EQ(Text(cls + L"\\VersionIndependentProgID"), L"DravioCOM.DravioInterface");
    EXPECT_TRUE(HasKey(cls + L"\\Programmable"));
    EXPECT_EQ(Text(cls + L"\\InprocServer32"), ProgramFolder() + L"\\DravioCOM_x64.dll");
    EXPECT_EQ(Text(cls + L"\\InprocServer32", L"ThreadingModel"), L"Free");
    EXPECT_EQ(Text(cls + L"\\TypeLib"), libid);
    com::ComPtr<ITypeLib> library;
    EXPECT_EQ(LoadRegTypeLib(LIBID_DravioCOMLib, 1, 0, LOCALE_NEUTRAL, library.Put()), S_OK);
    library.Reset();

    EXPECT_EQ(CreateAndAsk(COINIT_MULTITHREADED), kNotEnumerated);
    EXPECT_EQ(CreateAndAsk(COINIT_APARTMENTTHREADED), kNotEnumerated);

    ASSERT_EQ(server.Unregister(), S_OK);
    EXPECT_FALSE(HasKey(cls));
    EXPECT_FALSE(HasKey(kProgId));
    EXPECT_TRUE(HasKey(L"CLSID"));
    EXPECT_NE(LoadRegTypeLib(LIBID_DravioCOMLib, 1, 0, LOCALE_NEUTRAL, library.Put()), S_OK);
}

TEST(Registration, Regsvr32RegistersAndUnregistersTheServer)
{
    const std::wstring path = L"\"" + ProgramFolder() + L"\\DravioCOM_x64.dll\"";
    ASSERT_EQ(RunRegsvr32(path), 0u);
    EXPECT_TRUE(HasKey(ClassKey() + L"\\InprocServer32"));
    EXPECT_EQ(CreateAndAsk(COINIT_MULTITHREADED), kNotEnumerated);
    ASSERT_EQ(RunRegsvr32(L"/u " + path), 0u);
    EXPECT_FALSE(HasKey(ClassKey()));
}

} // namespace
