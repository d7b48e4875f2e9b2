#pragma once

// The suite's entry in the list of installed programs: the data of setup.xml's
// ARPInfo element, the uninstall key written and removed under
// HKEY_LOCAL_MACHINE, the launcher copy that the entry's remove and modify
// commands start, and the language the suite was registered under. A
// registrar in a process without administrator rights hands its state to the
// elevated proxy (request 8), where a registrar in its elevated-process form
// does the work.

#include <windows.h>
#include <oaidl.h>

#include "kr/stringx.h"
#include "parcels/PipeRecords.h"
#include "properties/Properties.h"

class CProxyHandler;

// Uninstall entries live in the 32-bit view, where the 32-bit launcher writes
// them; a 64-bit build must look there too.
constexpr REGSAM kArpRegistryView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : 0;
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// What the engine's registrar uses of its engine.
class IMaintenanceHost {
public:
    virtual _stringx FormatString(const _stringx& text) = 0;
    virtual _stringx ResolveStringId(const _stringx& id) = 0;
    virtual _stringx GetEngineProperty(const _stringx& name) = 0;
    virtual _stringx GetStagingFolder() = 0;
    // False when the setup payload has no such entry.
    virtual bool ExtractStreamFile(const _stringx& name, const _stringx& path) = 0;
    virtual HRESULT Fire_OnSuiteRegistration(VARIANT_BOOL registering) = 0;
    virtual bool IsElevated() = 0;
    // Null when no elevated proxy can be had.
    virtual CProxyHandler* GetElevatedProxy() = 0;

protected:
    ~IMaintenanceHost() = default;
};

class CMaintenanceRegistrar : public CProperties {
public:
    // The texts in the order of the request record.
    enum Text : size_t {
        SuiteId,
        DisplayName,
        Publisher,
        HelpLink,
        HelpPhone,
        URLInfoAbout,
        URLUpdateInfo,
        Comments,
        Contact,
        Readme,
        Icon,
        Version,
        Remove,
        Modify,
        CachedLauncher,
        LauncherSource,
    };
    // Flag bits.
    static constexpr DWORD kNoRemove = 1;
    static constexpr DWORD kNoModify = 2;
    static constexpr DWORD kPassive = 4;

    // The engine's registrar has a host; the elevated proxy's has none and
    // takes its texts prepared from the request.
    CMaintenanceRegistrar(bool elevatedForm, IMaintenanceHost* host);

    // ARPInfo's children by element name, without regard to case.
    void SetAttribute(const _stringx& name, const _stringx& value) override;

    HRESULT Register();
    HRESULT Unregister();
    // The language the suite's entry was written with; false and 0 without one.
    bool GetInstalledLanguage(LANGID& language);
    // Request 8 with operation 1 (register) or 0 (unregister): the proxy's result,
    // 233 when there is no elevated proxy or no reply.
    HRESULT SendToElevatedProxy(DWORD operation);

    // The state as request 8 carries it, and taken back from it.
    ArpRecord MakeRecord(DWORD operation) const;
    void TakeRecord(const ArpRecord& record);

    const _stringx& GetText(Text which) const noexcept { return m_texts[which]; }
    const _stringx& GetVersion() const noexcept { return m_texts[Version]; }
    void SetSuiteId(const _stringx& id) { m_texts[SuiteId] = id; }
    void SetLauncherSourcePath(const _stringx& path) { m_texts[LauncherSource] = path; }
    void SetLanguage(LANGID language) noexcept { m_language = language; }
    void SetPassive(bool passive) noexcept;

private:
    void PrepareRegistration();
    void PrepareIcon();
    _stringx UninstallKeyPath() const;
    // Absolute, named by the suite id (a plain name) and no drive root: the only folder Unregister may delete.
    bool CachedFolderIsDeletable() const;

    _stringx m_texts[ArpRecord::kTexts];
    DWORD m_packedVersion = 0;
    DWORD m_estimatedSize = 0;
    DWORD m_language = 0;
    bool m_elevatedForm = false;
    bool m_iconFromPayload = false;
    DWORD m_flags = 0;
    IMaintenanceHost* m_host = nullptr;
};
