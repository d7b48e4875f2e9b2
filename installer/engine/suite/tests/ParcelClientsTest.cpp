// The client lists of shared parcels: read from the machine's registry,
// pruned of suites that are gone, and written through the elevated proxy.

#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "ProxyTestSupport.h"
#include "parcels/MaintenanceRegistrar.h"

using namespace proxy_testing;

namespace {

constexpr wchar_t kSuite[] = L"{5E2A7C10-4B3D-4F6E-8A9B-0C1D2E3F4A01}";
constexpr wchar_t kNoSuite[] = L"{00000000-0000-0000-0000-000000000000}";
constexpr wchar_t kInstalled[] = L"{5E2A7C10-4B3D-4F6E-8A9B-0C1D2E3F4A02}";
constexpr wchar_t kHidden[] = L"{5E2A7C10-4B3D-4F6E-8A9B-0C1D2E3F4A03}";
constexpr wchar_t kGone[] = L"{5E2A7C10-4B3D-4F6E-8A9B-0C1D2E3F4A04}";
constexpr wchar_t kParcels[] = L"Software\\Korvanstilmer\\SuiteInstallers\\Parcels\\";

std::wstring EntryKey(const wchar_t* id)
{
    return std::wstring(kUninstallKey) + L"\\" + id;
}

// Wine takes a key's DACL when it is set on the key, not from the creation's attributes.
void CreateEntry(const wchar_t* id, const wchar_t* sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, EntryKey(id).c_str(), 0, nullptr, 0,
                                             KEY_READ | WRITE_DAC | kArpRegistryView, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor));
    RegCloseKey(key);
    LocalFree(descriptor);
}

std::vector<std::wstring> Texts(const kr::stringx_vector& list)
{
    std::vector<std::wstring> texts;
    for (const _stringx& item : list)
        texts.push_back(item.c_str());
    return texts;
}

std::wstring ReadClients(const std::wstring& parcel)
{
    wchar_t text[512] = {};
    DWORD size = sizeof(text);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, (kParcels + parcel).c_str(), L"Clients", RRF_RT_REG_SZ, nullptr, text,
                     &size) != ERROR_SUCCESS)
        return L"-";
    return text;
}

bool ParcelKeyExists(const std::wstring& parcel)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kParcels + parcel).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

class ParcelClients : public ProxyEngine {
protected:
    void SetUp() override
    {
        ProxyEngine::SetUp();
        m_engine->SetProperty(L"SuiteId", kSuite, false);
        RemoveKeys();
    }
    void TearDown() override
    {
        RemoveKeys();
        ProxyEngine::TearDown();
    }
    static void RemoveKeys()
    {
        for (const wchar_t* id : {kInstalled, kHidden, kGone})
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, EntryKey(id).c_str(), kArpRegistryView, 0);
        for (const wchar_t* parcel : {L"ClientsTestParcel", L"ClientsTestSibling"})
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, (kParcels + std::wstring(parcel)).c_str());
    }
};

TEST_F(ParcelClients, StoredListIsSplitAtBlanksAndPruned)
{
    CreateEntry(kInstalled, L"D:P(A;;KA;;;WD)");
    // The key exists, but reading it is refused: its suite may still be installed.
    CreateEntry(kHidden, L"D:P(A;;SD;;;WD)");
    HKEY refused = nullptr;
    ASSERT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExW(HKEY_LOCAL_MACHINE, EntryKey(kHidden).c_str(), 0,
                                                 KEY_READ | kArpRegistryView, &refused));

    const std::wstring stored = std::wstring(kInstalled) + L"  " + kGone + L" " + kHidden + L"  " + kNoSuite + L" " +
                                L"{5e2a7c10-4b3d-4f6e-8a9b-0c1d2e3f4a01}";
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_LOCAL_MACHINE, (kParcels + std::wstring(L"ClientsTestParcel")).c_str(),
                                             L"Clients", REG_SZ, stored.c_str(),
                                             static_cast<DWORD>((stored.size() + 1) * sizeof(wchar_t))));
    kr::stringx_vector clients;
    m_engine->GetParcelClients(L"ClientsTestParcel", clients);
    EXPECT_EQ((std::vector<std::wstring>{kInstalled, kHidden, kNoSuite, L"{5e2a7c10-4b3d-4f6e-8a9b-0c1d2e3f4a01}"}),
              Texts(clients));
    EXPECT_NE(std::wstring::npos,
              m_trace.Messages().find(L"SetupEngine: parcel 'ClientsTestParcel' shared client count: 4"));

    // Two ids with two blanks between them are two clients.
    const std::wstring two = std::wstring(kNoSuite) + L"  " + kSuite;
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, (kParcels + std::wstring(L"ClientsTestParcel")).c_str(), L"Clients", REG_SZ,
                    two.c_str(), static_cast<DWORD>((two.size() + 1) * sizeof(wchar_t)));
    m_engine->GetParcelClients(L"ClientsTestParcel", clients);
    EXPECT_EQ((std::vector<std::wstring>{kNoSuite, kSuite}), Texts(clients));
}

TEST_F(ParcelClients, ListIsWrittenThroughTheElevatedProxyAndAnEmptyOneRemovesOnlyItsKey)
{
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_LOCAL_MACHINE, (kParcels + std::wstring(L"ClientsTestSibling")).c_str(),
                                             L"Clients", REG_SZ, kSuite, sizeof(kSuite)));
    kr::stringx_vector clients{kNoSuite};
    EXPECT_FALSE(m_engine->AddSuiteToClients(clients));
    EXPECT_EQ(S_OK, m_engine->WriteParcelClients(L"ClientsTestParcel", clients));
    ASSERT_NE(nullptr, Slots().elevated.get());
    EXPECT_EQ(std::wstring(kNoSuite) + L" " + kSuite, ReadClients(L"ClientsTestParcel"));

    EXPECT_FALSE(m_engine->RemoveSuiteFromClients(clients));
    clients.clear();
    EXPECT_EQ(S_OK, m_engine->WriteParcelClients(L"ClientsTestParcel", clients));
    EXPECT_FALSE(ParcelKeyExists(L"ClientsTestParcel"));
    EXPECT_EQ(kSuite, ReadClients(L"ClientsTestSibling"));
}

} // namespace
