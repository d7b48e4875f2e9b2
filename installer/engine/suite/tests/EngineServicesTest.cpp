// The engine's small services: the error box, the product name in the
// selected language, the language names of the automation face, and the
// registrar as the setup.xml reader and a process without a proxy see it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "kr/message_box.h"
#include "suite/UniversalPath.h"

#include <winnetwk.h>

using engine_testing::NewEngine;

namespace {

struct Box {
    std::wstring text;
    std::wstring caption;
    UINT type = 0;
    HWND owner = nullptr;
};

std::vector<Box>& Boxes()
{
    static std::vector<Box> boxes;
    return boxes;
}

int WINAPI RecordBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    Boxes().push_back({text ? text : L"", caption ? caption : L"", type, owner});
    return IDOK;
}

std::wstring Property(CSetupEngine& engine, const wchar_t* name)
{
    BSTR text = SysAllocString(name);
    BSTR value = nullptr;
    engine.get_Property(text, &value);
    std::wstring result = value ? value : L"";
    SysFreeString(text);
    SysFreeString(value);
    return result;
}

TEST(EngineServices, ErrorBoxShowsUnlessSilentAndPassesTheValueThrough)
{
    Boxes().clear();
    const kr::message_box_function previous = kr::set_message_box_function(&RecordBox);
    const auto engine = NewEngine();
    const HRESULT value = static_cast<HRESULT>(0x80040711);
    EXPECT_EQ(value, engine->ShowErrorBox(L"Caption", L"Text", value));
    ASSERT_EQ(1u, Boxes().size());
    EXPECT_EQ(L"Text", Boxes()[0].text);
    EXPECT_EQ(L"Caption", Boxes()[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONERROR), Boxes()[0].type);
    EXPECT_EQ(nullptr, Boxes()[0].owner);

    const auto silent = NewEngine();
    engine_testing::TempFile setupXml(L"<Setup/>");
    silent->SetSetupXmlLoader([](CSetupEngine&, const _stringx&) { return S_OK; });
    const std::wstring line = L"/silent /f3:" + setupXml.Path();
    BSTR text = SysAllocString(line.c_str());
    bool exitNow = false;
    silent->Initialize(text, &exitNow);
    SysFreeString(text);
    EXPECT_EQ(S_FALSE, silent->ShowErrorBox(L"Caption", L"Text", S_FALSE));
    EXPECT_EQ(1u, Boxes().size());
    kr::set_message_box_function(previous);
}

TEST(EngineServices, EachLanguageChoiceResolvesTheSameProductNameId)
{
    const auto engine = NewEngine();
    engine->StringTable(1033)->SetAttribute(L"IDS_PRODUCT", L"Encoder Tools");
    engine->StringTable(1031)->SetAttribute(L"IDS_PRODUCT", L"Encoder-Werkzeuge");
    engine->SetProperty(L"ProductName", L"IDS_PRODUCT", false);

    engine->SetProperty(L"KRSelectedLanguage", L"1031", false);
    EXPECT_EQ(L"Encoder-Werkzeuge", Property(*engine.Get(), L"ProductName"));
    engine->SetProperty(L"KRSelectedLanguage", L"1033", false);
    EXPECT_EQ(L"Encoder Tools", Property(*engine.Get(), L"ProductName"));
}

TEST(EngineServices, LanguageNamesComeFromTheLanguageManager)
{
    const auto engine = NewEngine();
    engine->LanguageManager()->SetAttribute(L"Languages", L"1033,1031");
    engine->LanguageManager()->SetAttribute(L"Default", L"1031");
    engine->LanguageManager()->SetAttribute(L"RTLLangs", L"1037");
    engine->SetProperty(L"KRSelectedLanguage", L"1031", false);
    EXPECT_EQ(L"1033,1031", Property(*engine.Get(), L"REVizizLanguages"));
    EXPECT_EQ(L"1031", Property(*engine.Get(), L"KRDefaultLanguage"));
    EXPECT_EQ(L"1031", Property(*engine.Get(), L"KRSelectedLanguage"));
    EXPECT_EQ(L"false", Property(*engine.Get(), L"KRShowLanguageSelection"));
    EXPECT_EQ(L"1037", Property(*engine.Get(), L"KRRTLLangs"));
}

TEST(EngineServices, RegistrarTakesTheArpInfoChildrenByName)
{
    const auto engine = NewEngine();
    EXPECT_EQ(nullptr, engine->Registrar());
    CProperties* arp = engine->ArpInfo();
    ASSERT_NE(nullptr, arp);
    EXPECT_EQ(arp, engine->ArpInfo()) << "a second ARPInfo fills the same registrar";
    arp->SetAttribute(L"DISPLAYNAME", L"upper");
    arp->SetAttribute(L"displayName", L"mixed");
    arp->SetAttribute(L"version", L"1.2.3");
    arp->SetAttribute(L"Unknown", L"ignored");
    const CMaintenanceRegistrar& registrar = *engine->Registrar();
    EXPECT_EQ(L"mixed", std::wstring(registrar.GetText(CMaintenanceRegistrar::DisplayName).c_str()));
    EXPECT_EQ(L"1.2.3", std::wstring(registrar.GetVersion().c_str()));
    for (const wchar_t* name : {L"DisplayName", L"Version", L"Unknown"})
        EXPECT_EQ(L"", std::wstring(arp->GetAttribute(name).c_str())) << name;

    // "Size" is read as wcstoul reads it.
    const struct {
        const wchar_t* text;
        DWORD size;
    } sizes[] = {{L"1024", 1024}, {L"abc", 0}, {L"12kb", 12}, {L"99999999999", 0xFFFFFFFF}};
    for (const auto& row : sizes) {
        arp->SetAttribute(L"size", row.text);
        EXPECT_EQ(row.size, registrar.MakeRecord(1).size) << row.text;
    }
}

// A host without an elevated proxy, which records the events fired.
class ProxylessHost : public IMaintenanceHost {
public:
    _stringx FormatString(const _stringx& text) override { return text; }
    _stringx ResolveStringId(const _stringx& id) override { return id; }
    _stringx GetEngineProperty(const _stringx& name) override
    {
        return name == L"SETUPEXENAME" ? _stringx(L"setup.exe") : _stringx();
    }
    _stringx GetStagingFolder() override { return L"C:\\staging"; }
    bool ExtractStreamFile(const _stringx&, const _stringx&) override { return false; }
    HRESULT Fire_OnSuiteRegistration(VARIANT_BOOL registering) override
    {
        events.push_back(registering);
        return S_OK;
    }
    bool IsElevated() override { return false; }
    CProxyHandler* GetElevatedProxy() override { return nullptr; }

    std::vector<VARIANT_BOOL> events;
};

TEST(EngineServices, WithoutAnElevatedProxyNothingIsRegisteredAndThatIsNoSuccess)
{
    ProxylessHost host;
    CMaintenanceRegistrar registering(false, &host);
    registering.SetSuiteId(L"{8B1F0C2D-3E4A-4B5C-9D6E-7F8091A2B3C4}");
    EXPECT_EQ(static_cast<HRESULT>(233), registering.Register());
    CMaintenanceRegistrar unregistering(false, &host);
    unregistering.SetSuiteId(L"{8B1F0C2D-3E4A-4B5C-9D6E-7F8091A2B3C4}");
    EXPECT_EQ(static_cast<HRESULT>(233), unregistering.Unregister());
    EXPECT_EQ((std::vector<VARIANT_BOOL>{VARIANT_TRUE, VARIANT_FALSE}), host.events);
    LANGID language = 1;
    EXPECT_FALSE(registering.GetInstalledLanguage(language));
    EXPECT_EQ(0, language);

    // Without a suite id nothing goes anywhere.
    CMaintenanceRegistrar anonymous(false, &host);
    EXPECT_EQ(E_INVALIDARG, anonymous.Register());
    EXPECT_EQ(E_INVALIDARG, anonymous.Unregister());
    EXPECT_EQ(2u, host.events.size());
}

// The drive type each root answers and the universal-name calls made.
struct Drives {
    static inline std::vector<std::wstring> asked;
    static UINT WINAPI Type(LPCWSTR root) { return root[0] == L'N' || root[0] == L'F' ? DRIVE_REMOTE : DRIVE_FIXED; }
    // N: maps to a share; F: is a remote drive the network cannot name.
    static DWORD WINAPI Name(LPCWSTR path, DWORD, LPVOID buffer, LPDWORD size)
    {
        asked.push_back(path);
        if (path[0] == L'F')
            return ERROR_NOT_CONNECTED;
        const wchar_t name[] = L"\\\\server\\share\\setup.exe";
        if (*size < sizeof(UNIVERSAL_NAME_INFOW) + sizeof(name))
            return ERROR_MORE_DATA;
        auto* info = static_cast<UNIVERSAL_NAME_INFOW*>(buffer);
        info->lpUniversalName = reinterpret_cast<wchar_t*>(info + 1);
        memcpy(info->lpUniversalName, name, sizeof(name));
        return NO_ERROR;
    }
};

TEST(EngineServices, OnlyAPathOnANetworkDriveTakesItsUniversalName)
{
    const NetworkDriveCalls previous = SetNetworkDriveCalls({&Drives::Type, &Drives::Name});
    const struct {
        const wchar_t* path;
        const wchar_t* result;
        bool asked;
    } rows[] = {
        {L"N:\\suites\\setup.exe", L"\\\\server\\share\\setup.exe", true},
        {L"F:\\setup.exe", L"F:\\setup.exe", true},
        {L"C:\\setup.exe", L"C:\\setup.exe", false},
        {L"\\\\host\\share\\setup.exe", L"\\\\host\\share\\setup.exe", false},
    };
    for (const auto& row : rows) {
        Drives::asked.clear();
        EXPECT_EQ(std::wstring(row.result), UniversalPath(row.path).c_str()) << row.path;
        EXPECT_EQ(row.asked, !Drives::asked.empty()) << row.path;
    }
    SetNetworkDriveCalls(previous);
}

} // namespace
