// Foreign entries running in a real proxy process: the extension stand-in
// and the Halvecall.dll stand-in call the proxy's extension objects, whose
// calls arrive in the engine; a fault in an entry becomes its code; a
// certificate file goes into the machine's TrustedPeople store.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <vector>

#include <com/Bstr.h>

#include "ProxyTestSupport.h"
#include "parcels/Parcel.h"
#include "parcels/PipeRecords.h"
#include "parcels/ProxyApi.h"
#include "parcels/ProxySuiteExtension.h"
#include "parcels/TrustedPeopleCertificate.h"

using namespace proxy_testing;

namespace {

std::wstring Property(CSetupEngine& engine, const wchar_t* name)
{
    return engine.GetProperty(name).c_str();
}

std::wstring HalvecallPath()
{
    return ProgramFolder() + L"Halvecall.dll";
}

std::wstring ForeignHalvecallPath()
{
#ifdef _WIN64
    return std::wstring(COMPANION_BIN) + L"\\i686\\Halvecall.dll";
#else
    return std::wstring(COMPANION_BIN) + L"\\Halvecall.dll";
#endif
}

class ProxyExtensionRun : public ProxyEngine {
protected:
    void SetUp() override
    {
        ProxyEngine::SetUp();
        CParcel* raw = nullptr;
        ASSERT_EQ(S_OK, CParcel::CreateInstance(&raw));
        m_parcel = com::ComPtr<CParcel>::Adopt(raw);
        m_parcel->SetAttribute(L"Id", L"KeltoRuntime");
        m_parcel->SetAttribute(L"DisplayName", L"Kelto runtime");
        m_parcel->SetAttribute(L"Description", L"The runtime of Kelto");
        m_parcel->SetAttribute(L"IsRequired", L"true");
    }
    void TearDown() override
    {
        m_parcel = nullptr;
        ProxyEngine::TearDown();
    }

    // What the extension stand-in's parcel reader writes, read here in the engine.
    std::wstring ParcelLineInProcess()
    {
        IParcel* parcel = static_cast<IParcel2*>(m_parcel.Get());
        com::Bstr name, description, id;
        VARIANT_BOOL eligible = 0, required = 0;
        EnumParcelInstallState action = {}, detected = {};
        int exitCode = 0;
        EnumParcelType type = {};
        EnumParcelUIType uiType = {};
        parcel->get_Name(name.Put());
        parcel->get_Description(description.Put());
        parcel->get_ID(id.Put());
        parcel->get_Eligible(&eligible);
        parcel->get_Required(&required);
        parcel->get_ActionState(&action);
        parcel->get_DetectedState(&detected);
        parcel->get_ExitCode(&exitCode);
        parcel->get_Type(&type);
        parcel->get_UIType(&uiType);
        wchar_t line[1024] = {};
        swprintf(line, 1024, L"%ls|%ls|%ls|%d|%d|%d|%d|%d|%d|%d|0x%08lx", name.Get() ? name.Get() : L"",
                 description.Get() ? description.Get() : L"", id.Get() ? id.Get() : L"", int(eligible),
                 int(required), int(action), int(detected), exitCode, int(type), int(uiType),
                 static_cast<unsigned long>(E_NOTIMPL));
        return line;
    }

    com::ComPtr<CParcel> m_parcel;
};

TEST_F(ProxyExtensionRun, EveryExtensionMemberCalledInTheProxyArrivesInTheEngine)
{
    engine_testing::EventSink sink(*m_engine.Get());
    m_engine->SetProperty(L"StandInInput", L"in value", false);
    CProxyApi api;
    EXPECT_EQ(S_OK, api.CallDll(OwnExtensionPath().c_str(), L"CallEverySuiteMember", nullptr, false));
    EXPECT_EQ(Property(*m_engine.Get(), L"StandInEcho"), L"in value");
    EXPECT_EQ(Property(*m_engine.Get(), L"StandInFormatted"), L"<in value>");
    EXPECT_EQ(Property(*m_engine.Get(), L"StandInResolved"), L"IDS_STANDIN_UNKNOWN");
    EXPECT_NE(std::wstring::npos, m_trace.Messages().find(L"(DLL Action): stand-in extension: hello"));
    EXPECT_EQ(sink.Count(12), 1u);
}

TEST_F(ProxyExtensionRun, ParcelIsReadWithTheParcelFlagAndRefusedWithout)
{
    CProxyApi api;
    EXPECT_EQ(S_OK, api.CallDll(OwnExtensionPath().c_str(), L"ReadEveryParcelMember", m_parcel.Get(), false));
    const std::wstring line = Property(*m_engine.Get(), L"StandInParcel");
    EXPECT_EQ(line, ParcelLineInProcess());
    EXPECT_EQ(line.find(L"Kelto runtime|The runtime of Kelto|KeltoRuntime|"), 0u) << line;

    m_engine->SetProperty(L"StandInParcel", L"", false);
    EXPECT_EQ(E_NOINTERFACE, api.CallDll(OwnExtensionPath().c_str(), L"ReadEveryParcelMember", nullptr, false));
    EXPECT_EQ(Property(*m_engine.Get(), L"StandInParcel"), L"");
}

TEST_F(ProxyExtensionRun, AnAccessViolationInAnEntryIsItsResult)
{
    CProxyApi api;
    EXPECT_EQ(static_cast<HRESULT>(EXCEPTION_ACCESS_VIOLATION),
              api.CallDll(OwnExtensionPath().c_str(), L"RaiseAccessViolation", nullptr, false));
    // The proxy lives on.
    m_engine->SetProperty(L"StandInReturnCode", L"3010", false);
    EXPECT_EQ(static_cast<HRESULT>(3010),
              api.CallDll(OwnExtensionPath().c_str(), L"ReturnPropertyCode", nullptr, false));
}

TEST_F(ProxyExtensionRun, HalvecallEntriesRunThroughRequestsTwelveAndSixteen)
{
    CProxyApi api;
    EXPECT_EQ(S_OK, api.CallPowerShell(HalvecallPath().c_str(), L"C:\\Scripts\\setup.ps1", nullptr, false));
    EXPECT_EQ(Property(*m_engine.Get(), L"HalvecallPowerShell"), L"C:\\Scripts\\setup.ps1");
    EXPECT_EQ(S_OK, api.CallClr(HalvecallPath().c_str(), L"C:\\lib.dll", L"Type.Run", L"-x", nullptr, false));
    EXPECT_EQ(Property(*m_engine.Get(), L"HalvecallClr"), L"C:\\lib.dll|Type.Run|-x");

    // Request 16: the extension's calls are served while the engine waits for the result.
    CProxyHandler* proxy = m_engine->GetNonElevatedProxy();
    ASSERT_NE(proxy, nullptr);
    com::ComPtr<com::Object<CProxySuiteExtension>> suite;
    ASSERT_EQ(S_OK, CProxySuiteExtension::CreateInstance(suite));
    proxy->AddHandler(9, suite.Get());
    const std::wstring dll = HalvecallPath();
    const std::vector<BYTE> data = WriteWebDeployCallData({L"site.zip", L"Default Web Site"});
    ASSERT_EQ(0u, proxy->SendRequest(16, 0, dll.c_str(), static_cast<DWORD>(dll.size() * 2), data.data(),
                                     static_cast<DWORD>(data.size())));
    EXPECT_EQ(0u, api.WaitForReply(*proxy));
    proxy->RemoveHandler(9);
    EXPECT_EQ(Property(*m_engine.Get(), L"HalvecallWebDeploy"), L"site.zip|Default Web Site");
}

// The export names of a DLL file of either architecture, read from its file.
std::vector<std::string> ExportNames(const std::wstring& path)
{
    std::vector<char> image;
    if (FILE* file = _wfopen(path.c_str(), L"rb")) {
        char buffer[4096];
        for (size_t read; (read = fread(buffer, 1, sizeof(buffer), file)) > 0;)
            image.insert(image.end(), buffer, buffer + read);
        fclose(file);
    }
    std::vector<std::string> names;
    if (image.size() < sizeof(IMAGE_DOS_HEADER))
        return names;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    const bool wide = nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    const IMAGE_DATA_DIRECTORY exports =
        wide ? reinterpret_cast<const IMAGE_NT_HEADERS64*>(nt)->OptionalHeader.DataDirectory[0]
             : nt->OptionalHeader.DataDirectory[0];
    const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
        reinterpret_cast<const char*>(&nt->OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader);
    auto at = [&](DWORD rva) -> const char* {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i)
            if (rva >= sections[i].VirtualAddress && rva < sections[i].VirtualAddress + sections[i].SizeOfRawData)
                return image.data() + sections[i].PointerToRawData + (rva - sections[i].VirtualAddress);
        return nullptr;
    };
    const auto* directory = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(at(exports.VirtualAddress));
    if (!directory)
        return names;
    const auto* nameRvas = reinterpret_cast<const DWORD*>(at(directory->AddressOfNames));
    for (DWORD i = 0; nameRvas && i < directory->NumberOfNames; ++i)
        names.emplace_back(at(nameRvas[i]));
    return names;
}

TEST(HalvecallStandIn, ExportsTheDecoratedNamesInBothArchitectures)
{
    const std::vector<std::string> expected = {"_SuiteClrActionEntry@16", "_SuitePSHostEntry@8",
                                               "_SuiteWebDeployEntry@12"};
    EXPECT_EQ(ExportNames(HalvecallPath()), expected);
    EXPECT_EQ(ExportNames(ForeignHalvecallPath()), expected);
}

// The store the test publisher's certificate goes to.
class TrustedPeople : public ProxyEngine {
protected:
    static std::wstring Fixture(const wchar_t* name) { return std::wstring(TEST_DATA) + L"\\" + name; }

    DWORD Import(const std::wstring& path)
    {
        CProxyHandler* proxy = m_engine->GetElevatedProxy();
        if (!proxy)
            return ~0u;
        const std::vector<BYTE> record = WordBytes({5, 0, 0, 0, 0});
        return proxy->SendRequest(11, 0, path.c_str(), static_cast<DWORD>(path.size() * 2), record.data(),
                                  static_cast<DWORD>(record.size()));
    }

    static std::vector<BYTE> WordBytes(std::initializer_list<DWORD> words)
    {
        std::vector<BYTE> bytes(words.size() * 4);
        memcpy(bytes.data(), std::data(words), bytes.size());
        return bytes;
    }

    void SetUp() override
    {
        ProxyEngine::SetUp();
        TestPublisherInTrustedPeople(true);
    }
    void TearDown() override
    {
        TestPublisherInTrustedPeople(true);
        ProxyEngine::TearDown();
    }
};

TEST_F(TrustedPeople, ACertificateFileLandsInTheStoreThroughTheElevatedProxy)
{
    EXPECT_EQ(0u, Import(Fixture(L"TrustedPublisher.cer")));
    EXPECT_TRUE(TestPublisherInTrustedPeople(false));
    // Again: the one already there is replaced.
    EXPECT_EQ(0u, Import(Fixture(L"TrustedPublisher.cer")));
}

TEST_F(TrustedPeople, OtherContentMissingFilesAndEmptyPathsAreRefused)
{
    EXPECT_EQ(50u, Import(Fixture(L"TrustedPublisher.p7b")));
    EXPECT_EQ(2u, Import(Fixture(L"Absent.cer")));
    EXPECT_EQ(87u, Import(L""));
    EXPECT_FALSE(TestPublisherInTrustedPeople(false));
    EXPECT_EQ(87u, ImportTrustedPeopleCertificate(L""));
    EXPECT_EQ(50u, ImportTrustedPeopleCertificate(Fixture(L"TrustedPublisher.p7b").c_str()));
}

} // namespace
