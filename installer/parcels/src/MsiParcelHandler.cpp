#include "parcels/MsiParcelHandler.h"

#include "conditions/Condition.h"
#include "conditions/ConditionKind.h"
#include "kr/bootstrap_exception.h"
#include "kr/file_system.h"
#include "kr/holders.h"
#include "kr/trace_log.h"
#include "parcels/EngineServices.h"
#include "parcels/MsiMessageText.h"
#include "parcels/Operation.h"
#include "parcels/Parcel.h"
#include "parcels/ParcelRoutines.h"

#define MSI_SOURCE TraceSource{L"MsiParcelHandler", __LINE__}

namespace {

constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);
constexpr UINT kProductVersion = 1638; // ERROR_PRODUCT_VERSION: another version is installed
constexpr INT kInstallStateLocal = 3;  // INSTALLSTATE_LOCAL
constexpr int kInstallKind = 1;
constexpr int kModifyKind = 2;
constexpr int kRemoveKind = 4;
constexpr int kUpgradeAuto = 1;
constexpr int kUpgradePrompt = 2;

// The launcher's own properties, expanded with the operation's command line.
constexpr wchar_t kBaseProperties[] =
    L"KRPREREQDIR=\"[KRPREREQDIR]\" SETUPEXEDIR=\"[SETUPEXEDIR]\" SETUPEXENAME=\"[SETUPEXENAME]\"";

// The containment tests of the feature lists see letter case.
bool ContainsExactly(const _stringx& text, const wchar_t* part)
{
    return _wstringx(text.c_str(), text.size()).find(part) != _wstringx::npos;
}

HRESULT StatusOf(UINT result)
{
    const LONG value = static_cast<LONG>(result);
    return value > 0 ? static_cast<HRESULT>(0x80070000u | (result & 0xFFFF)) : value;
}

} // namespace

std::unique_ptr<CParcelHandler> CMsiParcelHandler::MakePackage(CParcel& parcel)
{
    return std::make_unique<CMsiParcelHandler>(parcel, false);
}

std::unique_ptr<CParcelHandler> CMsiParcelHandler::MakePatch(CParcel& parcel)
{
    return std::make_unique<CMsiParcelHandler>(parcel, true);
}

bool CMsiParcelHandler::SupportsTransaction()
{
    return !(GetParcel().GetAttribute(L"TransactionMode") == L"Disabled");
}

bool CMsiParcelHandler::Is64Bit()
{
    const _stringx platform = GetParcel().GetAttribute(L"Platform");
    return !platform.empty() && !(platform == L"Intel");
}

bool CMsiParcelHandler::IsRebootStatus()
{
    return IsRebootRequired(static_cast<DWORD>(m_lastStatus) & 0xFFFF, false);
}

void CMsiParcelHandler::GetRebootCodes(std::vector<DWORD>& codes)
{
    codes = {1641, 3010, 3011};
}

void CMsiParcelHandler::Mark(bool)
{
    m_inPlaceUpgrade = true;
}

HRESULT CMsiParcelHandler::Run()
{
    COperation* operation = GetOperation();
    if (!operation)
        return S_FALSE;
    CParcel& parcel = GetParcel();
    IEngineServices& engine = *EngineServices();

    TraceFormat(MSI_SOURCE, L"Running MSI parcel operation");
    TakeSnapshot();
    const int mode = engine.GetInstallMode();
    int kind = operation->GetKind();
    EnumParcelInstallState detected = episAbsent;
    parcel.get_DetectedState(&detected);

    _stringx target;
    if (mode == eimInstall || m_patch || (detected == episAbsent && kind == kInstallKind)) {
        TraceFormat(MSI_SOURCE, L"Using parcel operation target");
        target = parcel.GetPackagePath().path_combine(operation->GetTarget());
        if (!kr::path_test(target, kr::path_accept_file))
            return kFileNotFound;
    } else {
        TraceFormat(MSI_SOURCE, L"Using MSI parcel product code as target");
        target = parcel.GetAttribute(L"ProductCode");
        if ((mode == eimModify || mode == eimRepair) && kind == kInstallKind) {
            TraceFormat(MSI_SOURCE, L"Changing internal state operation to modify");
            kind = kModifyKind;
        }
    }
    TraceFormat(MSI_SOURCE, L"MSI parcel operation, mode: %d, operation mode: %d", mode, kind);
    parcel.Fire_OnParcelEvent(ParcelProgressStateOf(kind));

    const _stringx raw = engine.IsSilent() ? operation->GetSilentCommandLine() : operation->GetCommandLine();
    TraceFormat(MSI_SOURCE, L"MSI parcel command line: %s", raw.c_str());
    _stringx features;
    if (m_inPlaceUpgrade) {
        TraceFormat(MSI_SOURCE, L"Running MSI parcel as in-place upgrade");
        if (raw.find(L"REINSTALL=") == _stringx::npos)
            features = L"REINSTALL=ALL";
        if (raw.find(L"REINSTALLMODE=") == _stringx::npos)
            features = JoinWithSpace(features, L"REINSTALLMODE=vomus");
    } else {
        TraceFormat(MSI_SOURCE, L"Not running as upgrade");
        features = BuildFeatureList(mode, kind, raw);
    }
    TraceFormat(MSI_SOURCE, L"Feature command line: %s", features.c_str());
    // The feature names are not expanded: they are the package's own.
    const _stringx commandLine = JoinWithSpace(parcel.FormatString(JoinWithSpace(raw, kBaseProperties)), features);
    TraceFormat(MSI_SOURCE, L"Final command line: %s", MaskHiddenPropertyValues(commandLine).c_str());

    const int uiType = parcel.GetUIType();
    _stringx logFile;
    DWORD logMode = 0;
    MakeLog(logFile, logMode);

    UINT result = 0;
    if ((parcel.IsElevationRequired() && !engine.IsElevated()) || Is64Bit())
        result = RunElevated(target, commandLine, kind, uiType, m_patch, logFile, logMode);
    else
        result = Install(target, commandLine, kind, uiType, m_patch, logFile, logMode);
    m_lastStatus = StatusOf(result);
    TraceFormat(MSI_SOURCE, L"MSI parcel launch result: %x", m_lastStatus);
    if (result == kProductVersion)
        throw parcel_install_failure_exception(m_lastStatus, static_cast<IParcel2*>(&parcel));
    parcel.Fire_OnParcelEvent(eppsComplete);
    return m_lastStatus;
}

void CMsiParcelHandler::MakeLog(_stringx& logFile, DWORD& logMode) const
{
    logFile.clear();
    logMode = 0;
    CParcel& parcel = GetParcel();
    const _stringx folder = EngineServices()->GetParcelLogFolder();
    CParcelLoggingParameters* logging = parcel.LoggingParameters();
    if (folder.empty() || !logging)
        return;
    const _stringx name = parcel.FormatString(logging->GetLogName());
    if (name.empty())
        logFile = folder.path_combine(parcel.GetId() + L".log");
    else
        logFile = name.is_absolute_path() ? name : folder.path_combine(name);
    _stringx options = logging->GetLogOptions();
    if (options.empty())
        options = L"*v";
    logMode = MsiLogModeFromOptions(options);
}

_stringx CMsiParcelHandler::BuildFeatureList(int mode, int kind, const _stringx& commandLine) const
{
    const CParcel& parcel = GetParcel();
    switch (mode) {
    case eimInstall: {
        if (ContainsExactly(commandLine, L"ADDLOCAL="))
            return _stringx();
        const _stringx install = parcel.GetAttribute(L"KRParcelFeatureInstall");
        return _stringx(L"ADDLOCAL=") + (install.empty() ? _stringx(L"ALL") : install);
    }
    case eimModify: {
        if (kind == kRemoveKind)
            return L"REMOVE=ALL";
        const _stringx install = parcel.GetAttribute(L"KRParcelFeatureInstall");
        const _stringx remove = parcel.GetAttribute(L"KRParcelFeatureRemove");
        _stringx add;
        if (!ContainsExactly(commandLine, L"ADDLOCAL=") && !install.empty())
            add = _stringx(L"ADDLOCAL=") + install;
        _stringx removal;
        if (!ContainsExactly(commandLine, L"REMOVE=") && !remove.empty())
            removal = _stringx(L"REMOVE=") + remove;
        return add + L" " + removal;
    }
    case eimRemove:
        return ContainsExactly(commandLine, L"REMOVE=") ? _stringx() : _stringx(L"REMOVE=ALL");
    case eimRepair:
        return ContainsExactly(commandLine, L"REINSTALL=") ? _stringx() : _stringx(L"REINSTALL=ALL");
    default:
        return _stringx();
    }
}

std::unique_ptr<CCondition> CMsiParcelHandler::MakeInstalledCondition()
{
    std::unique_ptr<CCondition> condition;
    try {
        condition = MakeCondition(ckMsiInstalled);
    } catch (const std::bad_alloc&) {
    }
    if (!condition)
        TraceFormat(MSI_SOURCE, L"Failed to allocate msi installed condition");
    return condition;
}

HRESULT CMsiParcelHandler::Detect(EnumParcelInstallState* state, bool)
{
    if (!HasOwnDetection()) {
        TraceFormat(MSI_SOURCE, L"MSI parcel detect: condition is overridden by setup.xml detect");
        return 1;
    }
    return m_patch ? DetectPatch(state) : DetectProduct(state);
}

HRESULT CMsiParcelHandler::DetectProduct(EnumParcelInstallState* state)
{
    CParcel& parcel = GetParcel();
    const _stringx productCode = parcel.GetAttribute(L"ProductCode");
    const _stringx packageCode = parcel.GetAttribute(L"PackageCode");
    const _stringx version = parcel.GetAttribute(L"ProductVersion");
    TraceFormat(MSI_SOURCE, L"MSI parcel detect: product code: '%s', package code: '%s'", productCode.c_str(),
                packageCode.c_str());
    std::unique_ptr<CCondition> condition = MakeInstalledCondition();
    if (!condition)
        return E_OUTOFMEMORY;
    CProperties& attributes = condition->Attributes();
    // Validated, then evaluated; false when the evaluation fails.
    auto test = [&](bool& result, const wchar_t* failure) {
        result = false;
        const HRESULT validated = condition->Validate();
        if (FAILED(validated)) {
            TraceFormat(MSI_SOURCE, failure, validated);
            return validated;
        }
        bool value = false;
        result = SUCCEEDED(condition->Evaluate(&value)) && value;
        return S_OK;
    };
    static const wchar_t kValidationFailed[] = L"MSI parcel detect: failed to validate condition, error: %x";

    bool installed = false;
    attributes.SetAttribute(L"ProductCode", productCode);
    if (const HRESULT hr = test(installed, kValidationFailed); FAILED(hr))
        return hr;
    if (!installed) {
        *state = episAbsent;
        return S_OK;
    }
    *state = episInstalled;

    attributes.SetAttribute(L"PackageCode", packageCode);
    if (const HRESULT hr = test(installed, kValidationFailed); FAILED(hr))
        return hr;
    if (installed) {
        TraceFormat(MSI_SOURCE, L"MSI parcel detect: product and package code exact matches, parcel is installed");
        return S_OK;
    }

    attributes.SetAttribute(L"PackageCode", L"");
    attributes.SetAttribute(L"ProductVersion", version);
    attributes.SetAttribute(L"Compare", L"GreaterThan");
    if (const HRESULT hr = test(installed, kValidationFailed); FAILED(hr))
        return hr;
    if (installed) {
        TraceFormat(MSI_SOURCE,
                    L"MSI parcel detect: product is present on machine with a newer version, indicating parcel installed");
        return S_OK;
    }

    const int upgradeType = parcel.GetUpgradeType();
    if (upgradeType != 0) {
        TraceFormat(MSI_SOURCE, L"MSI parcel detect: running upgrade detection against product version '%s'",
                    version.c_str());
        attributes.SetAttribute(L"Compare", L"LessEqual");
        if (const HRESULT hr = test(
                installed, L"MSI parcel detect: failed validation of installed condition for upgrade, error %x");
            FAILED(hr))
            return hr;
        if (installed) {
            *state = episAbsent;
            TraceFormat(MSI_SOURCE, L"MSI parcel detect: setup.xml parcel version appears newer than installed parcel");
            if (!m_upgradeDecided) {
                m_upgradeDecided = true;
                if (upgradeType == kUpgradePrompt)
                    EngineServices()->AddUpgradingParcel(static_cast<IParcel2*>(&parcel));
                else if (upgradeType == kUpgradeAuto)
                    Mark(true);
            }
        }
    }
    return S_OK;
}

HRESULT CMsiParcelHandler::DetectPatch(EnumParcelInstallState* state)
{
    CParcel& parcel = GetParcel();
    const _stringx productCode = parcel.GetAttribute(L"ProductCode");
    const _stringx patchCode = parcel.GetAttribute(L"PatchCode");
    TraceFormat(MSI_SOURCE, L"MSI patch detect: product code: '%s', patch code: '%s'", productCode.c_str(),
                patchCode.c_str());
    std::unique_ptr<CCondition> condition = MakeInstalledCondition();
    if (!condition)
        return E_OUTOFMEMORY;
    condition->Attributes().SetAttribute(L"ProductCode", productCode);
    condition->Attributes().SetAttribute(L"PatchCode", patchCode);
    const HRESULT validated = condition->Validate();
    if (FAILED(validated)) {
        TraceFormat(MSI_SOURCE, L"MSI patch detect: failed to validate condition, error: %x", validated);
        return validated;
    }
    bool installed = false;
    const HRESULT evaluated = condition->Evaluate(&installed);
    TraceFormat(MSI_SOURCE, L"MSI patch detect: evaluate status: %x, is installed: %s", evaluated,
                installed ? L"true" : L"false");
    *state = SUCCEEDED(evaluated) && installed ? episInstalled : episAbsent;
    return evaluated;
}

HRESULT CMsiParcelHandler::GetFeatureState(const _stringx& feature, int* state)
{
    const _stringx productCode = GetParcel().GetAttribute(L"ProductCode");
    const INT installed =
        Msi().QueryFeatureStateW ? Msi().QueryFeatureStateW(productCode.c_str(), feature.c_str()) : -1;
    TraceFormat(MSI_SOURCE, L"MSI parcel: requesting feature state for product '%s', feature '%s', state: %x",
                productCode.c_str(), feature.c_str(), installed);
    *state = installed == kInstallStateLocal ? 1 : 0;
    return S_OK;
}

HRESULT CMsiParcelHandler::OnError(const _stringx& message, int errorFlags, int* action)
{
    CParcel& parcel = GetParcel();
    kr::bstr_holder text(SysAllocStringLen(message.c_str(), static_cast<UINT>(message.size())));
    return parcel.Events().Fire_OnFileError(static_cast<IParcel2*>(&parcel), text.get(), errorFlags, action);
}

HRESULT CMsiParcelHandler::OnProgress(const _stringx& message, int current, int maximum, int flags,
                                      VARIANT_BOOL* cancel)
{
    return GetParcel().Fire_OnParcelProgress(message, current, maximum, static_cast<EnumProgressFlags>(flags),
                                             cancel);
}

HRESULT CMsiParcelHandler::OnFilesInUse(const _stringx& message, int* action, short restartManager)
{
    CParcel& parcel = GetParcel();
    VARIANT items;
    VariantInit(&items);
    const HRESULT converted = FilesInUseToSafeArray(message, &items);
    if (FAILED(converted)) {
        TraceFormat(MSI_SOURCE, L"Failed to convert string to safe array, error %x", converted);
        VariantClear(&items);
        FilesInUseToSafeArray(_stringx(), &items);
    }
    const HRESULT fired = parcel.Events().Fire_OnFilesInUse(static_cast<IParcel2*>(&parcel), items,
                                                             static_cast<VARIANT_BOOL>(restartManager), action);
    VariantClear(&items);
    return fired;
}
