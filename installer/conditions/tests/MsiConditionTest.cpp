#include "conditions/MsiInstalledCondition.h"
#include "conditions/MsiRelatedCondition.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conditions/ConditionKind.h"
#include "conditions/GuidString.h"
#include "conditions/InstalledProductConditions.h"
#include "conditions/MsiQueries.h"
#include "InstalledConditionTestSupport.h"
#include "support/ConditionTestSupport.h"

namespace {

using namespace installed_testing;
using testing_support::TraceCapture;

// The packages of data/msi, built with wixl.
constexpr wchar_t kSingleProduct[] = L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1201}";
constexpr wchar_t kSingleUpgrade[] = L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F12A1}";
constexpr wchar_t kFamilyOldProduct[] = L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1202}";
constexpr wchar_t kFamilyNewProduct[] = L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1203}";
constexpr wchar_t kFamilyUpgrade[] = L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F12A2}";
constexpr wchar_t kAbsentCode[] = L"{0BADC0DE-0000-4000-8000-000000000001}";

DWORD RunMsiexec(const _stringx& arguments)
{
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    _stringx line = _stringx(L"\"") + _stringx(system).path_combine(L"msiexec.exe") + L"\" " + arguments;
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return GetLastError();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

DWORD Install(const wchar_t* package)
{
    return RunMsiexec(_stringx(L"/i \"") + ProgramFolder().path_combine(L"condition-msi").path_combine(package) +
                      L"\" /qn");
}

void Uninstall(const wchar_t* product)
{
    RunMsiexec(_stringx(L"/x ") + product + L" /qn");
}

TEST(GuidString, Forms)
{
    struct Case {
        const wchar_t* text;
        bool valid;
    };
    const Case cases[] = {
        {L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1201}", true},
        {L"6e1d3c41-2a7b-4f0e-9c1d-3b5a7e9f1201", true},
        {L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1201", false},
        {L"6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1201}", false},
        {L"6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F120", false},
        {L"6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F120G", false},
        {L"6E1D3C41+2A7B-4F0E-9C1D-3B5A7E9F1201", false},
        {L"{}", false},
        {L"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsValidGuidString(_stringx(c.text)), c.valid) << c.text;
        EXPECT_EQ(IsValidGuidString(_wstringx(c.text)), c.valid) << c.text;
    }
    EXPECT_EQ(BracedGuidString(L"6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1201"), _stringx(kSingleProduct));
    EXPECT_EQ(BracedGuidString(kSingleProduct), _stringx(kSingleProduct));
}

TEST(MsiInstalled, Validation)
{
    struct Case {
        std::initializer_list<Attribute> attributes;
        HRESULT result;
        const wchar_t* line;
    };
    const Case cases[] = {
        {{{L"ProductCode", kSingleProduct}}, S_OK, nullptr},
        {{{L"ProductCode", L"6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1201"}}, S_OK, nullptr},
        {{{L"ProductCode", L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1201"}}, E_INVALIDARG,
         L"MsiInstalled condition: invalid product code specified ({6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1201)"},
        {{{L"ProductCode", L""}}, E_INVALIDARG, L"invalid product code specified ()"},
        {{{L"ProductCode", L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1201};{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1202}"}},
         E_INVALIDARG, L"invalid product code specified"},
        {{{L"ProductCode", L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1201};{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1202}"},
          {L"PatchCode", L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F12B1}"}},
         S_OK, nullptr},
        {{{L"ProductCode", L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1201};"}, {L"PatchCode", kAbsentCode}}, E_INVALIDARG,
         L"invalid product code specified ()"},
        {{{L"ProductCode", kSingleProduct}, {L"PackageCode", L"nope"}}, E_INVALIDARG,
         L"MsiInstalled condition: invalid package code specified (nope)"},
        {{{L"ProductCode", kSingleProduct}, {L"PatchCode", L"nope"}}, E_INVALIDARG,
         L"MsiInstalled condition: invalid patch code specified (nope)"},
        // A patch code drops the package code and the version test.
        {{{L"ProductCode", kSingleProduct}, {L"PatchCode", kAbsentCode}, {L"ProductVersion", L"x.y"}}, S_OK, nullptr},
        {{{L"ProductCode", kSingleProduct}, {L"ProductVersion", L"1.2.3"}}, E_INVALIDARG,
         L"MsiInstalled condition: invalid comparator specified (80070057)"},
        {{{L"ProductCode", kSingleProduct}, {L"ProductVersion", L"1.2.x"}, {L"Compare", L"GreaterEqual"}},
         DISP_E_TYPEMISMATCH, nullptr},
    };
    for (const Case& c : cases) {
        TraceCapture trace;
        auto condition = Make(ckMsiInstalled, c.attributes);
        EXPECT_EQ(condition->Validate(), c.result) << c.attributes.begin()->value;
        if (c.line)
            EXPECT_NE(trace.Messages().find(c.line), std::wstring::npos) << trace.Messages();
    }
}

// What the recording table was asked, and how it answers.
struct MsiScript {
    std::vector<std::wstring> calls;
    std::wstring installedProduct;
    std::wstring registeredPatch;
    bool versionFails = false;
    const wchar_t* version = L"1.2.3";
    bool longAnswer = false;
};
MsiScript g_msi;

UINT Answer(const std::wstring& text, LPWSTR value, DWORD* size)
{
    if (*size <= text.size()) {
        *size = static_cast<DWORD>(text.size());
        return ERROR_MORE_DATA;
    }
    wcscpy(value, text.c_str());
    *size = static_cast<DWORD>(text.size());
    return ERROR_SUCCESS;
}

UINT WINAPI RecordProductInfo(LPCWSTR product, LPCWSTR property, LPWSTR value, DWORD* size)
{
    g_msi.calls.push_back(std::wstring(L"product ") + product + L" " + property + L" " + std::to_wstring(*size));
    if (g_msi.installedProduct != product)
        return ERROR_UNKNOWN_PRODUCT;
    if (std::wstring(property) == L"VersionString")
        return g_msi.versionFails ? ERROR_UNKNOWN_PROPERTY : Answer(g_msi.version, value, size);
    return Answer(g_msi.longAnswer ? std::wstring(300, L'P') : L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F12D1}", value,
                  size);
}

UINT WINAPI RecordPatchInfo(LPCWSTR patch, LPCWSTR property, LPWSTR value, DWORD* size)
{
    g_msi.calls.push_back(std::wstring(L"patch ") + patch + L" " + property);
    if (g_msi.registeredPatch != patch)
        return ERROR_UNKNOWN_PRODUCT;
    return Answer(L"C:\\windows\\Installer\\1a2b.msp", value, size);
}

class RecordingMsi {
public:
    RecordingMsi()
    {
        g_msi = MsiScript{};
        m_table.GetProductInfoW = RecordProductInfo;
        m_table.GetPatchInfoW = RecordPatchInfo;
        m_previous = SetConditionMsiFunctions(&m_table);
    }
    ~RecordingMsi() { SetConditionMsiFunctions(m_previous); }

private:
    MsiFunctions m_table;
    const MsiFunctions* m_previous = nullptr;
};

TEST(MsiInstalled, PatchListThroughTheRecordingTable)
{
    RecordingMsi msi;
    g_msi.installedProduct = kFamilyNewProduct;
    g_msi.registeredPatch = L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F12B1}";
    auto condition = Make(ckMsiInstalled, {{L"ProductCode", L"6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1202;"
                                                            L"6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1203"},
                                           {L"PatchCode", L"6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F12B1"},
                                           {L"PackageCode", L"{6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F12FF}"}});
    ASSERT_EQ(condition->Validate(), S_OK);
    EXPECT_TRUE(Evaluated(*condition));
    // Codes reach msi.dll braced; the package code gave way to the patch.
    const std::vector<std::wstring> expected = {
        L"product {6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1202} PackageCode 260",
        L"product {6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F1203} PackageCode 260",
        L"patch {6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F12B1} LocalPackage",
    };
    EXPECT_EQ(g_msi.calls, expected);

    g_msi.registeredPatch.clear();
    EXPECT_FALSE(Evaluated(*condition));
}

TEST(MsiInstalled, VersionAndRetryThroughTheRecordingTable)
{
    RecordingMsi msi;
    g_msi.installedProduct = kSingleProduct;
    auto condition = Make(ckMsiInstalled, {{L"ProductCode", kSingleProduct},
                                           {L"ProductVersion", L"1.2.3"},
                                           {L"Compare", L"GreaterEqual"}});
    ASSERT_EQ(condition->Validate(), S_OK);
    EXPECT_TRUE(Evaluated(*condition));
    g_msi.version = L"1.2.2";
    EXPECT_FALSE(Evaluated(*condition));
    g_msi.versionFails = true;
    EXPECT_FALSE(Evaluated(*condition));
    g_msi.versionFails = false;
    g_msi.version = L"one";
    {
        TraceCapture trace;
        EXPECT_FALSE(Evaluated(*condition, DISP_E_TYPEMISMATCH));
        EXPECT_NE(trace.Messages().find(L"MsiInstalled condition: failed to convert registered version value (one)"),
                  std::wstring::npos);
    }

    // An answer longer than 260 characters: one retry with the size asked for plus one.
    g_msi.calls.clear();
    g_msi.longAnswer = true;
    auto plain = Make(ckMsiInstalled, {{L"ProductCode", kSingleProduct}, {L"PackageCode", kAbsentCode}});
    ASSERT_EQ(plain->Validate(), S_OK);
    EXPECT_FALSE(Evaluated(*plain));
    const std::vector<std::wstring> expected = {
        std::wstring(L"product ") + kSingleProduct + L" PackageCode 260",
        std::wstring(L"product ") + kSingleProduct + L" PackageCode 301",
    };
    EXPECT_EQ(g_msi.calls, expected);
}

TEST(MsiRelated, Validation)
{
    struct Case {
        std::initializer_list<Attribute> attributes;
        HRESULT result;
        const wchar_t* line;
    };
    const Case cases[] = {
        {{{L"UpgradeCode", kFamilyUpgrade}}, S_OK, nullptr},
        {{}, E_INVALIDARG, L"MsiRelated: invalid upgrade code specified ('')"},
        {{{L"UpgradeCode", L"{bad}"}}, E_INVALIDARG, L"MsiRelated: invalid upgrade code specified ('{bad}')"},
        {{{L"UpgradeCode", kFamilyUpgrade}, {L"MinimumVersion", L"1.x"}}, DISP_E_TYPEMISMATCH,
         L"MsiRelated: invalid minimum version supplied: '1.x', error 80020005"},
        {{{L"UpgradeCode", kFamilyUpgrade}, {L"MaximumVersion", L"1.0.x"}}, DISP_E_TYPEMISMATCH,
         L"MsiRelated: invalid maximum version supplied: '1.0.x'"},
    };
    for (const Case& c : cases) {
        TraceCapture trace;
        auto condition = Make(ckMsiRelated, c.attributes);
        EXPECT_EQ(condition->Validate(), c.result);
        if (c.line)
            EXPECT_NE(trace.Messages().find(c.line), std::wstring::npos) << trace.Messages();
    }
}

// Wine's msi.dll with packages installed by msiexec.
class InstalledPackages : public ::testing::Test {
protected:
    static void TearDownTestSuite()
    {
        Uninstall(kSingleProduct);
        Uninstall(kFamilyOldProduct);
        Uninstall(kFamilyNewProduct);
    }
};

TEST_F(InstalledPackages, MsiInstalledFindsBracedAndUnbracedCodes)
{
    ASSERT_EQ(Install(L"Single.msi"), 0u);
    struct Case {
        std::initializer_list<Attribute> attributes;
        bool result;
    };
    const Case cases[] = {
        {{{L"ProductCode", kSingleProduct}}, true},
        {{{L"ProductCode", L"6e1d3c41-2a7b-4f0e-9c1d-3b5a7e9f1201"}}, true},
        {{{L"ProductCode", kAbsentCode}}, false},
        {{{L"ProductCode", kSingleProduct}, {L"ProductVersion", L"1.2.3"}, {L"Compare", L"GreaterEqual"}}, true},
        {{{L"ProductCode", kSingleProduct}, {L"ProductVersion", L"1.2.4"}, {L"Compare", L"GreaterEqual"}}, false},
        {{{L"ProductCode", kSingleProduct}, {L"ProductVersion", L"1.2.4"}, {L"Compare", L"LessThan"}}, true},
        {{{L"ProductCode", kSingleProduct}, {L"PackageCode", kAbsentCode}}, false},
        {{{L"ProductCode", kSingleProduct}, {L"PatchCode", kAbsentCode}}, false},
    };
    for (const Case& c : cases) {
        auto condition = Make(ckMsiInstalled, c.attributes);
        ASSERT_EQ(condition->Validate(), S_OK);
        EXPECT_EQ(Evaluated(*condition), c.result) << c.attributes.begin()->value << " " << c.attributes.size();
    }
}

TEST_F(InstalledPackages, MsiRelatedVersionRange)
{
    ASSERT_EQ(Install(L"Single.msi"), 0u);
    auto any = Make(ckMsiRelated, {{L"UpgradeCode", L"6E1D3C41-2A7B-4F0E-9C1D-3B5A7E9F12A1"}});
    ASSERT_EQ(any->Validate(), S_OK);
    EXPECT_TRUE(Evaluated(*any));
    auto none = Make(ckMsiRelated, {{L"UpgradeCode", kAbsentCode}});
    ASSERT_EQ(none->Validate(), S_OK);
    EXPECT_FALSE(Evaluated(*none));

    ASSERT_EQ(Install(L"FamilyOld.msi"), 0u);
    auto above = Make(ckMsiRelated, {{L"UpgradeCode", kFamilyUpgrade}, {L"MinimumVersion", L"1.0.0"}});
    auto from = Make(ckMsiRelated, {{L"UpgradeCode", kFamilyUpgrade},
                                    {L"MinimumVersion", L"1.0.0"},
                                    {L"MinimumVersionInclusive", L"YES"}});
    auto window = Make(ckMsiRelated, {{L"UpgradeCode", kFamilyUpgrade},
                                      {L"MinimumVersion", L"1.5"},
                                      {L"MaximumVersion", L"2.0.0"},
                                      {L"MaximumVersionInclusive", L"yes"}});
    for (auto* condition : {above.get(), from.get(), window.get()})
        ASSERT_EQ(condition->Validate(), S_OK);
    EXPECT_FALSE(Evaluated(*above));
    EXPECT_TRUE(Evaluated(*from));
    EXPECT_FALSE(Evaluated(*window));

    ASSERT_EQ(Install(L"FamilyNew.msi"), 0u);
    EXPECT_TRUE(Evaluated(*above));
    EXPECT_TRUE(Evaluated(*window));
}

} // namespace
