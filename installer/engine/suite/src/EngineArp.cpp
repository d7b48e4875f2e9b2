// The suite's Add/Remove Programs entry as the engine sees it: the registrar
// that setup.xml's ARPInfo fills, the installed language it reads at start-up,
// and the registration at the end of a good run.

#include "suite/SetupEngine.h"

#include <com/Variant.h>

#include "kr/trace_log.h"
#include "suite/UniversalPath.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

constexpr DISPID kOnSuiteRegistration = 10;

} // namespace

CProperties* CSetupEngine::ArpInfo()
{
    if (!m_registrar)
        m_registrar = std::make_unique<CMaintenanceRegistrar>(false, &m_maintenanceHost);
    return m_registrar.get();
}

HRESULT CSetupEngine::Fire_OnSuiteRegistration(VARIANT_BOOL registering)
{
    const com::Variant arguments[] = {com::Variant::Int16(registering)};
    return m_events.InvokeEach(kOnSuiteRegistration, arguments);
}

LANGID CSetupEngine::InstalledLanguage()
{
    if (!m_registrar)
        return 0;
    m_registrar->SetSuiteId(GetSuiteId());
    LANGID language = 0;
    if (!m_registrar->GetInstalledLanguage(language))
        return 0;
    m_languages.SetAttribute(L"ShowLanguageSelection", _stringx());
    return language;
}

void CSetupEngine::RegisterArpEntry()
{
    if (!m_registrar) {
        ENGINE_TRACE(L"No ARP information provided in setup.xml, skipping register/unregister ARP info");
        return;
    }
    ENGINE_TRACE(L"Engine: registering/unregistering ARP entry, will use maintenance mode detection from setup.xml");
    CInstallMode* maintenance = nullptr;
    for (const auto& mode : m_model->installModes) {
        if (mode && mode->Mode() == eimUIMaintSelection) {
            maintenance = mode.get();
            break;
        }
    }
    if (!maintenance) {
        ENGINE_TRACE(L"No maintenance mode detection condition in setup.xml, skipping register/unregister ARP info");
        return;
    }
    // A condition that cannot be evaluated says nothing: an installed suite must not lose its entry for it.
    bool registering = false;
    if (maintenance->Condition()) {
        const HRESULT evaluated = maintenance->Condition()->Evaluate(&registering);
        if (FAILED(evaluated)) {
            ENGINE_TRACE(L"Engine: failed to evaluate the maintenance mode condition, error %x, skipping "
                         L"register/unregister ARP info",
                         evaluated);
            return;
        }
    }

    m_registrar->SetLauncherSourcePath(UniversalPath(m_launcherPath));
    m_registrar->SetSuiteId(GetSuiteId());
    m_registrar->SetLanguage(m_languages.SelectedLanguage());
    m_registrar->SetPassive(m_passive);
    const wchar_t* action = registering ? L"registering" : L"unregistering";
    ENGINE_TRACE(L"Engine: %s ARP entry", action);
    const HRESULT result = registering ? m_registrar->Register() : m_registrar->Unregister();
    if (result != S_OK)
        ENGINE_TRACE(L"Engine: %s ARP entry failed, error 0x%08x", action, result);
}
