// The type library as the program file carries it, compared with the
// automation contract written out by hand: identity, coclasses, interfaces,
// every member in slot order with its dispatch identifier, invoke kind,
// parameters and flags, and every enumeration value.

#include "TestObjects.h"

#include <com/ComPtr.h>
#include <com/Module.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Members as the contract writes them. Parameters: "name Type", "name Type (out)",
// "- Type" for the unnamed new value of a put, "name Type = ''" for an optional
// text that defaults to empty; separated by "; ". Result: "Type name" or "-".
struct member {
    DISPID id;
    const wchar_t* name;
    const wchar_t* kind;   // get, put, method
    const wchar_t* parameters;
    const wchar_t* result;
    bool hidden = false;
};

struct interface_contract {
    const wchar_t* name;
    const wchar_t* iid;
    const wchar_t* base;
    const wchar_t* help;
    bool hidden;
    unsigned base_slots;   // own slots of the bases after IDispatch's seven
    std::vector<member> members;
};

std::vector<member> CollectionMembers(const wchar_t* item_result)
{
    return {
        {1, L"Count", L"get", L"", L"long pVal"},
        {0, L"Item", L"get", L"Index VARIANT", item_result},
        {-4, L"_NewEnum", L"get", L"", L"IUnknown pVal"},
    };
}

const std::vector<member> kExtensionMembers = {
    {1, L"Attribute", L"get", L"bstrName BSTR", L"BSTR bstrValue"},
    {2, L"LogInfo", L"method", L"bstr BSTR", L"-"},
    {3, L"Property", L"get", L"bstrName BSTR", L"BSTR bstrValue"},
    {3, L"Property", L"put", L"bstrName BSTR; - BSTR", L"-"},
    {4, L"FormatProperty", L"method", L"bstrValue BSTR", L"BSTR bstrReturnValue"},
    {5, L"ResolveString", L"method", L"bstrStringId BSTR", L"BSTR bstrReturnValue"},
};

std::vector<member> Join(std::vector<member> first, const std::vector<member>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

const std::vector<interface_contract>& Interfaces()
{
    static const std::vector<interface_contract> contract = {
        {L"IBootstrap", L"{DEADBCB2-62C7-4212-B911-A391181FB9B3}", L"IDispatch", L"IBootstrap Interface", false, 0,
         {
             {1, L"Property", L"get", L"bstrName BSTR", L"BSTR bstrValue"},
             {1, L"Property", L"put", L"bstrName BSTR; - BSTR", L"-"},
             {2, L"Parcels", L"get", L"", L"IParcels pParcels"},
             {3, L"InstallMode", L"get", L"", L"EnumInstallMode eInstallMode"},
             {3, L"InstallMode", L"put", L"- EnumInstallMode", L"-"},
             {4, L"BootstrapState", L"get", L"", L"EnumBootstrapState eState"},
             {5, L"CommandLine", L"get", L"", L"BSTR bstrCmdLine"},
             {6, L"LogInfo", L"method", L"bstr BSTR", L"-"},
             {7, L"ExitStatus", L"get", L"", L"HRESULT phResult"},
             {8, L"Features", L"get", L"", L"IFeatures pFeatures"},
             {9, L"IsMaintenance", L"get", L"", L"VARIANT_BOOL pbIsMaintenance"},
             {10, L"SubstitutePropertyValues", L"method", L"bstrOriginalValue BSTR", L"BSTR pbstrFormattedValue"},
             {11, L"ResolveString", L"method", L"bstrStringId BSTR", L"BSTR pbstrResolvedValue"},
             {12, L"ResolveStringAndPerformSubstitutionForEmbeddedProperties", L"method", L"bstrStringId BSTR",
              L"BSTR pbstrResolvedValue"},
         }},
        {L"IBootstrap2", L"{E8CCE0E1-22FF-45BF-B618-A103E50333B9}", L"IBootstrap", L"IBootstrap2 Interface", false,
         14,
         {
             {13, L"IsUpdateAvailable", L"method", L"", L"VARIANT_BOOL pvbAvailable"},
             {14, L"InstallUpdate", L"method", L"", L"-"},
             {15, L"RunAction", L"method", L"bstrAction BSTR", L"-"},
         }},
        {L"IParcels", L"{7BFCEE98-2D2D-4516-A1D7-C3509FFF2480}", L"IDispatch", L"IParcels Interface", false, 0,
         CollectionMembers(L"IParcel pVal")},
        {L"IParcel", L"{D798A143-43B2-4E48-AAFA-D35CEDFA4423}", L"IDispatch", L"IParcel Interface", false, 0,
         {
             {1, L"Name", L"get", L"", L"BSTR bstrName"},
             {2, L"Description", L"get", L"", L"BSTR bstrDescription"},
             {3, L"ID", L"get", L"", L"BSTR bstrID"},
             {4, L"Eligible", L"get", L"", L"VARIANT_BOOL pbEligible"},
             {5, L"Required", L"get", L"", L"VARIANT_BOOL pbRequired"},
             {6, L"ActionState", L"get", L"", L"EnumParcelInstallState pState"},
             {6, L"ActionState", L"put", L"- EnumParcelInstallState", L"-"},
             {7, L"DetectedState", L"get", L"", L"EnumParcelInstallState pState"},
             {8, L"ExitCode", L"get", L"", L"int piExitCode"},
             {9, L"Type", L"get", L"", L"EnumParcelType eType"},
             {10, L"UIType", L"get", L"", L"EnumParcelUIType eType"},
         }},
        {L"IParcel2", L"{FAE4063B-C0A5-41B4-8663-2094B39990B4}", L"IParcel", L"IParcel2 Interface", false, 11,
         {
             {11, L"SendOnParcelProgress", L"method",
              L"bstrMsg BSTR; iCurrent int; iMax int; eFlags EnumProgressFlags", L"VARIANT_BOOL pbCancel", true},
             {12, L"SendOnNextDisk", L"method", L"bstrSourceFile BSTR; pbCancel VARIANT_BOOL (out)",
              L"BSTR pbstrMediaPath", true},
             {13, L"SendOnError", L"method", L"bstrMsg BSTR; iErrorFlags int", L"int pAction", true},
         }},
        {L"IFeatures", L"{2D8F60C2-F941-4F63-BEEF-7E66C96CB6EB}", L"IDispatch", L"IFeatures Interface", false, 0,
         CollectionMembers(L"IFeature pVal")},
        {L"IFeature", L"{ADD74B25-325A-4918-88C0-5C32B61D7A32}", L"IDispatch", L"IFeature Interface", false, 0,
         {
             {1, L"DisplayName", L"get", L"", L"BSTR pbstrDisplayName"},
             {2, L"Description", L"get", L"", L"BSTR pbstrDescription"},
             {3, L"Cost", L"get", L"", L"int64 pi64Cost"},
             {4, L"ActionState", L"get", L"", L"EnumFeatureActionState eAction"},
             {4, L"ActionState", L"put", L"- EnumFeatureActionState", L"-"},
             {5, L"Name", L"get", L"", L"BSTR pbstrName"},
             {6, L"Features", L"get", L"", L"IFeatures pFeatures"},
             {7, L"Visible", L"get", L"", L"VARIANT_BOOL pbVisible"},
             {8, L"InstalledState", L"get", L"", L"EnumFeatureInstalledState eInstalledState"},
             {9, L"AllowSelectionChange", L"get", L"", L"VARIANT_BOOL pbAllowChange"},
         }},
        {L"_IBootstrapEvents", L"{0DAE2A53-40B9-4398-BE90-87A5AC6356D1}", L"IDispatch", L"_IBootstrapEvents", false,
         0,
         {
             {1, L"OnBootstrapEvent", L"method", L"eState EnumBootstrapState", L"VARIANT_BOOL pbCancel"},
             {2, L"OnError", L"method", L"pError IBootstrapError", L"-"},
             {3, L"OnInstallingParcel", L"method", L"pParcel IParcel", L"VARIANT_BOOL pbCancel"},
             {4, L"OnStagingParcel", L"method", L"eState EnumParcelStagingState; pParcel IParcel",
              L"VARIANT_BOOL pbCancel"},
             {5, L"OnStagingProgress", L"method", L"bstrFile BSTR; iCurrentProgress int64; iMaxProgress int64",
              L"VARIANT_BOOL pbCancel"},
             {6, L"OnQueryReboot", L"method", L"pParcel IParcel", L"VARIANT_BOOL pbRebootNow"},
             {7, L"OnQueryParcelNotDetected", L"method", L"pParcel IParcel", L"VARIANT_BOOL pbAbort"},
             {8, L"OnUpgradingParcels", L"method", L"pParcels IParcels", L"VARIANT_BOOL pbCancel"},
             {9, L"OnPromptForSourceMedia", L"method",
              L"pParcel IParcel; bstrSourceFile BSTR; pbCancel VARIANT_BOOL (out)", L"BSTR pbstrMediaPath"},
             {10, L"OnSuiteRegistration", L"method", L"vbIsRegistering VARIANT_BOOL", L"-"},
             {11, L"OnNonFatalError", L"method", L"bstrMsg BSTR; iErrorFlags int", L"int pAction"},
             {12, L"OnActionEventInfo", L"method",
              L"bstrMsg BSTR; iCurrent int; iMax int; eFlags EnumProgressFlags", L"VARIANT_BOOL pbCancel"},
         }},
        {L"_IParcelEvents", L"{6E37359E-6DF4-4FAC-B187-7B377C055D95}", L"IDispatch", L"_IParcelEvents Interface",
         false, 0,
         {
             {1, L"OnParcelEvent", L"method", L"eState EnumParcelProgressState; pParcel IParcel",
              L"VARIANT_BOOL pbCancel"},
             {2, L"OnParcelProgress", L"method", L"bstrMsg BSTR; iCurrent int; iMax int; eFlags EnumProgressFlags",
              L"VARIANT_BOOL pbCancel"},
             {3, L"OnFileError", L"method", L"pParcel IParcel; bstrMsg BSTR; iErrorFlags int", L"int pAction"},
             {4, L"OnFilesInUse", L"method",
              L"pParcel IParcel; varArrayItems VARIANT; vbUsingRestartManager VARIANT_BOOL", L"int pAction"},
         }},
        {L"IBootstrapError", L"{AEDAE13B-F910-446B-9801-3C0F12D56865}", L"IDispatch", L"IBootstrapError Interface",
         false, 0,
         {
             {1, L"Source", L"get", L"", L"EnumBootstrapErrorSource eSource"},
             {2, L"LastError", L"get", L"", L"HRESULT hResult"},
             {3, L"File", L"get", L"", L"BSTR bstrFile"},
             {4, L"Parcel", L"get", L"", L"IParcel ppParcel"},
             {5, L"Description", L"get", L"", L"BSTR pbstrDescription"},
         }},
        {L"ISuiteExtension", L"{BAFAEAED-08C6-4679-B94E-487A4D89DE63}", L"IDispatch", L"ISuiteExtension", false, 0,
         kExtensionMembers},
        {L"ISuiteExtension2", L"{83A46AAE-C354-485F-AF4C-F1844D97A5AE}", L"ISuiteExtension", L"ISuiteExtension2",
         false, 6,
         {
             {6, L"SendProgressMessage", L"method", L"bstrMsg BSTR; iCurrent int; iMax int; eFlags EnumProgressFlags",
              L"-"},
         }},
        {L"ISuiteUIExtension", L"{68F98262-AAD3-4A0D-B564-AAD9E006CEA8}", L"IDispatch", L"ISuiteUIExtension", false,
         0,
         Join(kExtensionMembers,
              {
                  {100, L"BrowseFolder", L"method", L"bstrCaption BSTR; bstrInitialFolder BSTR", L"BSTR pbstrFolder"},
                  {101, L"BrowseFile", L"method", L"bstrCaption BSTR; bstrInitialFile BSTR", L"BSTR pbstrFile"},
                  {102, L"DoModal", L"method", L"bstrDialogName BSTR", L"long pnResult"},
                  {103, L"MessageBox", L"method", L"bstrMessage BSTR; bstrTitle BSTR; nType long", L"long pnResult"},
                  {104, L"SetActivePage", L"method", L"bstrPage BSTR", L"-"},
                  {105, L"OpenDocument", L"method", L"bstrDocument BSTR; bstrVerb BSTR", L"-"},
              })},
        {L"ISuiteUIExtension2", L"{8F1F5CF3-E30C-484B-90D1-14FBF02C17C0}", L"ISuiteUIExtension",
         L"ISuiteUIExtension2", false, 12,
         {
             {106, L"BrowseFileOpen", L"method", L"bstrCaption BSTR; bstrFilter BSTR; bstrInitialFile BSTR",
              L"BSTR pbstrFile"},
             {107, L"BrowseFileSave", L"method",
              L"bstrCaption BSTR; bstrFilter BSTR; bstrDefExt BSTR; bstrInitialFile BSTR", L"BSTR pbstrFile"},
             {108, L"RunSuiteAction", L"method", L"bstrAction BSTR", L"-"},
         }},
        {L"IRegistryObject", L"{D1685C7B-B88D-4567-BC4A-1443395E4AF3}", L"IDispatch", L"IRegistryObject interface",
         true, 0,
         {
             {0, L"Value", L"get", L"", L"BSTR pbstrValue"},
             {1, L"KeyValue", L"get", L"bstrValue BSTR", L"BSTR pbstrValue"},
             {2, L"Ctor", L"method", L"bstrKey BSTR; bstrIs64BitKey BSTR = ''", L"-", true},
         }},
        {L"IFileObject", L"{DE34A589-D919-4790-B6EC-5CA48224A059}", L"IDispatch", L"IFileObject interface", true, 0,
         {
             {0, L"Value", L"get", L"", L"BSTR pbstrValue"},
             {1, L"Date", L"get", L"bstrTimeType BSTR = ''", L"BSTR pbstrValue"},
             {2, L"Version", L"get", L"", L"BSTR pbstrValue"},
             {3, L"Content", L"get", L"", L"BSTR pbstrContent"},
             {4, L"Ctor", L"method", L"bstrFile BSTR; bstrIs64BitPath BSTR = ''", L"-", true},
         }},
        {L"IPlatformObject", L"{4CB14F43-7114-482D-8DDE-0C66A323031A}", L"IDispatch", L"IPlatformObject interface",
         true, 0,
         {
             {0, L"Value", L"get", L"", L"BSTR pbstrValue"},
             {1, L"MajorVersion", L"get", L"", L"BSTR pbstrValue"},
             {2, L"MinorVersion", L"get", L"", L"BSTR pbstrValue"},
             {3, L"ServicePackVersion", L"get", L"", L"BSTR pbstrValue"},
             {4, L"FullVersion", L"get", L"", L"BSTR pbstrValue"},
             {5, L"CSDVersion", L"get", L"", L"BSTR pbstrValue"},
             {6, L"BuildNumber", L"get", L"", L"BSTR pbstrValue"},
             {7, L"ProductType", L"get", L"", L"BSTR pbstrValue"},
             {8, L"Architecture", L"get", L"", L"BSTR pbstrValue"},
         }},
        {L"IParcelObject", L"{02136D55-E8A1-438F-BBEB-74F901DF8C0D}", L"IDispatch", L"IParcelObject interface", true,
         0,
         {
             {1, L"Name", L"get", L"", L"BSTR bstrName"},
             {2, L"Description", L"get", L"", L"BSTR bstrDescription"},
             {3, L"Eligible", L"get", L"", L"BSTR bstrEligible"},
             {4, L"ActionState", L"get", L"", L"BSTR bstrState"},
             {5, L"DetectedState", L"get", L"", L"BSTR bstrState"},
             {6, L"ExitCode", L"get", L"", L"BSTR bstrExitCode"},
             {7, L"Type", L"get", L"", L"BSTR bstrType"},
             {8, L"Ctor", L"method", L"bstrParcelId BSTR", L"-", true},
         }},
        {L"IFeatureObject", L"{2E814BDC-0EDE-4F26-B7C4-B8EA7F61BE51}", L"IDispatch", L"IFeatureObject interface", true,
         0,
         {
             {1, L"DisplayName", L"get", L"", L"BSTR pbstrDisplayName"},
             {2, L"Description", L"get", L"", L"BSTR pbstrDescription"},
             {3, L"Cost", L"get", L"", L"BSTR bstr64Cost"},
             {4, L"ActionState", L"get", L"", L"BSTR bstrAction"},
             {5, L"Visible", L"get", L"", L"BSTR bstrVisible"},
             {6, L"InstalledState", L"get", L"", L"BSTR bstrInstalledState"},
             {7, L"AllowSelectionChange", L"get", L"", L"BSTR bstrAllowChange"},
             {8, L"Ctor", L"method", L"bstrFeatureName BSTR", L"-", true},
         }},
    };
    return contract;
}

struct coclass_contract {
    const wchar_t* name;
    const wchar_t* clsid;
    const wchar_t* help;
    const wchar_t* interfaces;   // in order; "[default]", "[default, source]" marks
};

const coclass_contract kCoclasses[] = {
    {L"Bootstrap", L"{112C899A-20C9-4212-8341-DD4954582B93}", L"Bootstrap Class",
     L"[default] IBootstrap; [default, source] _IBootstrapEvents; IBootstrap2"},
    {L"Parcels", L"{1C866C1C-BF89-4CBE-8DD2-6F52F0B0AD82}", L"Parcels Class", L"[default] IParcels"},
    {L"Parcel", L"{068CC2D4-6BFA-47B0-96AB-D7BF0DDB0C17}", L"Parcel Class",
     L"[default] IParcel; [default, source] _IParcelEvents; IParcel2"},
    {L"BootstrapError", L"{36F89BB6-78BF-4BF1-AD1A-6C122F37B7D0}", L"BootstrapError Class",
     L"[default] IBootstrapError"},
    {L"Features", L"{09B0C62B-F935-4193-81AE-377398EB1A0A}", L"Features Class", L"[default] IFeatures"},
    {L"Feature", L"{FCD823CB-33EC-4F6B-BCD3-89945510EF56}", L"Feature Class", L"[default] IFeature"},
    {L"SuiteExtension", L"{44325E92-0F50-4448-8B2F-EC94A2F8020B}", L"SuiteExtension Class",
     L"[default] ISuiteExtension; ISuiteExtension2"},
    {L"SuiteUIExtension", L"{A6ACEFD0-51A2-4D71-815D-40159F1D65B7}", L"SuiteUIExtension Class",
     L"[default] ISuiteUIExtension; ISuiteUIExtension2"},
    {L"RegistryObject", L"{72549A89-A140-42C8-99F2-CF1C7667C802}", L"RegistryObject Class",
     L"[default] IRegistryObject"},
    {L"FileObject", L"{2187421B-F33C-4846-BC05-D56E382108BD}", L"FileObject Class", L"[default] IFileObject"},
    {L"PlatformObject", L"{C59B7450-638F-4A0D-8427-06CC9A48BC52}", L"PlatformObject Class",
     L"[default] IPlatformObject"},
    {L"ParcelObject", L"{86D22CDD-438B-4F03-87BD-6E8835E2D13D}", L"ParcelObject Class", L"[default] IParcelObject"},
    {L"FeatureObject", L"{D0B89AC6-E037-4026-A175-406360E5D2AF}", L"FeatureObject Class",
     L"[default] IFeatureObject"},
};

struct enum_contract {
    const wchar_t* name;
    const wchar_t* values;   // "name value" in declaration order
};

const enum_contract kEnums[] = {
    {L"EnumBootstrapState",
     L"ebsInitializing 0; ebsUISelection 1; ebsStage 2; ebsInstall 3; ebsComplete 4; ebsCanceled 5; "
     L"ebsRebooting 6; ebsResuming 7; ebsDlgEditorInit 8; ebsSetWindowHandle 9; ebsShutdownWizard 10; "
     L"ebsUpdateWizardPage 11; ebsGetControlHandles 12; ebsDisplayDialog 13; ebsShowDownloadUpdateUI 14; "
     L"ebsDownloadUpdateSuccess 15; ebsDownloadUpdateFailure 16; ebsResourceInit 17; ebsInvalid -1"},
    {L"EnumInstallMode",
     L"eimInstall 0; eimUIMaintSelection 1; eimModify 2; eimRemove 3; eimRepair 4; eimAdmin 5; eimRunUpdate 6; "
     L"eimInvalid 7"},
    {L"EnumParcelInstallState",
     L"episAbsent 0; episInstalled 1; episModify 2; episRepair 3; episRemove 4; episNoAction 5; episInvalid 6"},
    {L"EnumParcelType", L"eptExe 0; eptMsi 1; eptMsp 2; eptScript 3; eptMsu 4; eptAppx 5; eptWebDeploy 6"},
    {L"EnumParcelUIType",
     L"eputIgnore 0; eputHide 1; eputCaptureKRBB 2; eputCaptureFull 3; eputCaptureFullVerbose 4"},
    {L"EnumFeatureActionState", L"efasNoAction 0; efasInstall 1; efasRemove 2"},
    {L"EnumFeatureInstalledState",
     L"efisAbsent 0; efisPartialInconsistent 1; efisPartialSomeChildren 2; efisInstalled 3"},
    {L"EnumBootstrapErrorSource",
     L"ebesStaging 0; ebesTransaction 1; ebesParcel 2; ebesResource 3; ebesEngine 4; ebesWinFeatureInstall 5"},
    {L"EnumParcelStagingState", L"epssFileAtSource 0; epssFileMissingAtSource 1; epssExtracting 2; epssDownloading 3"},
    {L"EnumParcelProgressState", L"eppsInstalling 0; eppsModify 1; eppsRepair 2; eppsRemove 3; eppsComplete 4"},
    {L"EnumProgressFlags", L"epfProgressValid 1; epfMessageValid 2"},
};

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring TypeName(ITypeInfo* info)
{
    com::Bstr name;
    info->GetDocumentation(MEMBERID_NIL, name.Put(), nullptr, nullptr, nullptr);
    return std::wstring(name.View());
}

std::wstring HelpString(ITypeInfo* info)
{
    com::Bstr help;
    info->GetDocumentation(MEMBERID_NIL, nullptr, help.Put(), nullptr, nullptr);
    return std::wstring(help.View());
}

// A type as the contract writes it; an interface pointer is its interface's name.
std::wstring Render(ITypeInfo* owner, const TYPEDESC& type)
{
    switch (type.vt) {
    case VT_BSTR: return L"BSTR";
    case VT_I4: return L"long";
    case VT_INT: return L"int";
    case VT_I8: return L"int64";
    case VT_BOOL: return L"VARIANT_BOOL";
    case VT_HRESULT: return L"HRESULT";
    case VT_VARIANT: return L"VARIANT";
    case VT_UNKNOWN: return L"IUnknown";
    case VT_DISPATCH: return L"IDispatch";
    case VT_PTR:
        if (type.lptdesc->vt == VT_USERDEFINED) {
            const std::wstring name = Render(owner, *type.lptdesc);
            if (name.rfind(L"I", 0) == 0 || name.rfind(L"_I", 0) == 0)
                return name;
        }
        return Render(owner, *type.lptdesc) + L"*";
    case VT_USERDEFINED: {
        com::ComPtr<ITypeInfo> referenced;
        if (FAILED(owner->GetRefTypeInfo(type.hreftype, referenced.Put())))
            return L"?";
        return TypeName(referenced.Get());
    }
    default: return L"vt" + std::to_wstring(type.vt);
    }
}

// One function of an interface's virtual-table view in the contract's words.
void Describe(ITypeInfo* info, const FUNCDESC& function, std::wstring& parameters, std::wstring& result,
              std::wstring& name)
{
    BSTR names[32] = {};
    UINT count = 0;
    info->GetNames(function.memid, names, 32, &count);
    com::Bstr owned_names[32];
    for (UINT i = 0; i < count; ++i)
        owned_names[i] = com::Bstr::Adopt(names[i]);
    name = std::wstring(owned_names[0].View());

    parameters.clear();
    result = L"-";
    for (SHORT i = 0; i < function.cParams; ++i) {
        const ELEMDESC& element = function.lprgelemdescParam[i];
        const USHORT flags = element.paramdesc.wParamFlags;
        const bool out = (flags & PARAMFLAG_FOUT) != 0;
        TYPEDESC type = element.tdesc;
        std::wstring rendered;
        if (out) {
            if (type.vt != VT_PTR) {
                rendered = L"!not a pointer";
            } else {
                rendered = Render(info, *type.lptdesc);
            }
        } else {
            rendered = Render(info, type);
        }
        std::wstring parameter_name;
        if (function.invkind == INVOKE_PROPERTYPUT && i == function.cParams - 1)
            parameter_name = L"-";
        else
            parameter_name = static_cast<UINT>(i + 1) < count ? std::wstring(owned_names[i + 1].View()) : L"?";
        if (flags & PARAMFLAG_FRETVAL) {
            result = rendered + L" " + parameter_name;
            continue;
        }
        std::wstring text = parameter_name + L" " + rendered;
        if (out)
            text += L" (out)";
        if ((flags & PARAMFLAG_FOPT) && (flags & PARAMFLAG_FHASDEFAULT)) {
            const VARIANT& value = element.paramdesc.pparamdescex->varDefaultValue;
            text += value.vt == VT_BSTR ? L" = '" + Text(value.bstrVal) + L"'" : L" = ?";
        } else if (flags & PARAMFLAG_FOPT) {
            text += L" optional";
        }
        if (!parameters.empty())
            parameters += L"; ";
        parameters += text;
    }
}

const wchar_t* KindText(INVOKEKIND kind)
{
    switch (kind) {
    case INVOKE_PROPERTYGET: return L"get";
    case INVOKE_PROPERTYPUT: return L"put";
    case INVOKE_FUNC: return L"method";
    default: return L"other";
    }
}

class TypeLibraryContract : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The library as the launcher's own program file carries it.
        const std::wstring folder = com::ModuleFileName(nullptr);
        const std::wstring program = folder.substr(0, folder.find_last_of(L'\\')) + L"\\Tessarel.exe";
        ASSERT_EQ(S_OK, LoadTypeLibEx(program.c_str(), REGKIND_NONE, library.Put()));
    }

    com::ComPtr<ITypeInfo> Find(const wchar_t* name, TYPEKIND kind)
    {
        const UINT count = library->GetTypeInfoCount();
        for (UINT i = 0; i < count; ++i) {
            TYPEKIND found = TKIND_MAX;
            library->GetTypeInfoType(i, &found);
            com::ComPtr<ITypeInfo> info;
            if (found == kind && SUCCEEDED(library->GetTypeInfo(i, info.Put())) && TypeName(info.Get()) == name)
                return info;
        }
        return {};
    }

    Apartment apartment;
    com::ComPtr<ITypeLib> library;
};

} // namespace

TEST_F(TypeLibraryContract, LibraryIdentity)
{
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attributes));
    EXPECT_EQ(L"{F0203356-C692-4CE0-A0D7-35DFDC2CC2A4}", GuidText(attributes->guid));
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    EXPECT_EQ(0x409u, attributes->lcid);
    // Written for the program's own platform: Win32 for the launcher, Win64 for its 64-bit test build.
    EXPECT_EQ(sizeof(void *) == 8 ? SYS_WIN64 : SYS_WIN32, attributes->syskind);
    library->ReleaseTLibAttr(attributes);

    com::Bstr name, help, help_file;
    ASSERT_EQ(S_OK, library->GetDocumentation(-1, name.Put(), help.Put(), nullptr, help_file.Put()));
    EXPECT_EQ(L"TessarelLib", name.View());
    EXPECT_EQ(L"Tessarel 1.0 Type Library", help.View());
    EXPECT_TRUE(help_file.View().empty());

    // 13 coclasses, 19 interfaces and 11 enumerations, nothing else.
    EXPECT_EQ(43u, library->GetTypeInfoCount());
}

TEST_F(TypeLibraryContract, Coclasses)
{
    for (const coclass_contract& c : kCoclasses) {
        SCOPED_TRACE(Narrow(c.name));
        com::ComPtr<ITypeInfo> info = Find(c.name, TKIND_COCLASS);
        ASSERT_TRUE(info);
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
        EXPECT_EQ(c.clsid, GuidText(attributes->guid));
        EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FCANCREATE);
        const WORD implemented = attributes->cImplTypes;
        info->ReleaseTypeAttr(attributes);
        EXPECT_EQ(c.help, HelpString(info.Get()));

        std::wstring interfaces;
        for (UINT i = 0; i < implemented; ++i) {
            HREFTYPE reference = 0;
            INT flags = 0;
            com::ComPtr<ITypeInfo> implemented_info;
            ASSERT_EQ(S_OK, info->GetRefTypeOfImplType(i, &reference));
            ASSERT_EQ(S_OK, info->GetImplTypeFlags(i, &flags));
            ASSERT_EQ(S_OK, info->GetRefTypeInfo(reference, implemented_info.Put()));
            if (!interfaces.empty())
                interfaces += L"; ";
            if (flags == (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE))
                interfaces += L"[default, source] ";
            else if (flags == IMPLTYPEFLAG_FDEFAULT)
                interfaces += L"[default] ";
            else if (flags != 0)
                interfaces += L"[flags " + std::to_wstring(flags) + L"] ";
            interfaces += TypeName(implemented_info.Get());
        }
        EXPECT_EQ(c.interfaces, interfaces);
    }
}

TEST_F(TypeLibraryContract, InterfacesAndTheirMembersInSlotOrder)
{
    for (const interface_contract& contract : Interfaces()) {
        SCOPED_TRACE(Narrow(contract.name));
        com::ComPtr<ITypeInfo> described = Find(contract.name, TKIND_DISPATCH);
        ASSERT_TRUE(described) << "not a dual interface";
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(S_OK, described->GetTypeAttr(&attributes));
        EXPECT_EQ(contract.iid, GuidText(attributes->guid));
        const WORD flags = attributes->wTypeFlags;
        described->ReleaseTypeAttr(attributes);
        const WORD required = TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
        EXPECT_EQ(required, flags & required);
        EXPECT_EQ(contract.hidden, (flags & TYPEFLAG_FHIDDEN) != 0);
        EXPECT_EQ(contract.help, HelpString(described.Get()));

        // The virtual-table view: the base, then the own members in slot order.
        HREFTYPE twin = 0;
        com::ComPtr<ITypeInfo> table;
        ASSERT_EQ(S_OK, described->GetRefTypeOfImplType(static_cast<UINT>(-1), &twin));
        ASSERT_EQ(S_OK, described->GetRefTypeInfo(twin, table.Put()));
        ASSERT_EQ(S_OK, table->GetTypeAttr(&attributes));
        EXPECT_EQ(TKIND_INTERFACE, attributes->typekind);
        EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
        EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FDUAL);
        const WORD functions = attributes->cFuncs;
        table->ReleaseTypeAttr(attributes);
        HREFTYPE base_reference = 0;
        com::ComPtr<ITypeInfo> base;
        ASSERT_EQ(S_OK, table->GetRefTypeOfImplType(0, &base_reference));
        ASSERT_EQ(S_OK, table->GetRefTypeInfo(base_reference, base.Put()));
        EXPECT_EQ(contract.base, TypeName(base.Get()));

        ASSERT_EQ(contract.members.size(), functions);
        for (WORD slot = 0; slot < functions; ++slot) {
            const member& expected = contract.members[slot];
            SCOPED_TRACE(testing::Message() << "slot " << slot << " " << Narrow(expected.name));
            FUNCDESC* function = nullptr;
            ASSERT_EQ(S_OK, table->GetFuncDesc(slot, &function));
            std::wstring parameters, result, name;
            Describe(table.Get(), *function, parameters, result, name);
            EXPECT_EQ(expected.id, function->memid);
            EXPECT_EQ(expected.name, name);
            EXPECT_EQ(std::wstring(expected.kind), KindText(function->invkind));
            EXPECT_EQ(expected.parameters, parameters);
            EXPECT_EQ(expected.result, result);
            EXPECT_EQ(expected.hidden, (function->wFuncFlags & FUNCFLAG_FHIDDEN) != 0);
            EXPECT_EQ(static_cast<SHORT>((7 + contract.base_slots + slot) * sizeof(void*)), function->oVft);
            EXPECT_EQ(VT_HRESULT, function->elemdescFunc.tdesc.vt);
            EXPECT_EQ(CC_STDCALL, function->callconv);
            table->ReleaseFuncDesc(function);
        }
    }
}

TEST_F(TypeLibraryContract, EnumerationsInDeclarationOrder)
{
    for (const enum_contract& e : kEnums) {
        SCOPED_TRACE(Narrow(e.name));
        com::ComPtr<ITypeInfo> info = Find(e.name, TKIND_ENUM);
        ASSERT_TRUE(info);
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
        EXPECT_TRUE(IsEqualGUID(GUID_NULL, attributes->guid));
        const WORD count = attributes->cVars;
        info->ReleaseTypeAttr(attributes);
        std::wstring values;
        for (WORD i = 0; i < count; ++i) {
            VARDESC* variable = nullptr;
            ASSERT_EQ(S_OK, info->GetVarDesc(i, &variable));
            com::Bstr name;
            UINT got = 0;
            BSTR raw = nullptr;
            info->GetNames(variable->memid, &raw, 1, &got);
            name = com::Bstr::Adopt(raw);
            if (!values.empty())
                values += L"; ";
            values += std::wstring(name.View()) + L" " + std::to_wstring(variable->lpvarValue->lVal);
            info->ReleaseVarDesc(variable);
        }
        EXPECT_EQ(e.values, values);
    }
}

// Interfaces the launcher's objects implement reach their members through
// IDispatch by name and identifier as the contract fixes them.
TEST_F(TypeLibraryContract, LateBoundCallsFollowTheContract)
{
    com::ComPtr<com::Object<TestEngine>> engine;
    ASSERT_EQ(S_OK, com::MakeObject(engine));
    com::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, engine.As(IID_IDispatch, dispatch));

    // A put's new value comes after the name: Property("Target") = "C:\Suite".
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Property")};
    DISPID id = 0;
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(1, id);
    VARIANT arguments[2];
    arguments[0].vt = VT_BSTR;   // last argument first
    arguments[0].bstrVal = SysAllocString(L"C:\\Suite");
    arguments[1].vt = VT_BSTR;
    arguments[1].bstrVal = SysAllocString(L"Target");
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS put = {arguments, &named, 2, 1};
    EXPECT_EQ(S_OK, dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr,
                                     nullptr));
    VariantClear(&arguments[0]);
    VariantClear(&arguments[1]);
    EXPECT_EQ(L"C:\\Suite", engine->properties[L"Target"]);

    // IBootstrap2's own members continue IBootstrap's identifiers.
    LPOLESTR update[] = {const_cast<LPOLESTR>(L"IsUpdateAvailable")};
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, update, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(13, id);
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    ASSERT_EQ(S_OK, dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr,
                                     nullptr));
    EXPECT_EQ(VT_BOOL, result.vt);
    EXPECT_EQ(VARIANT_TRUE, result.boolVal);

    // An omitted optional text arrives as the empty text.
    com::ComPtr<com::Object<TestRegistryObject>> registry;
    ASSERT_EQ(S_OK, com::MakeObject(registry));
    com::ComPtr<IDispatch> script;
    ASSERT_EQ(S_OK, registry.As(IID_IDispatch, script));
    VARIANT key;
    key.vt = VT_BSTR;
    key.bstrVal = SysAllocString(L"HKLM\\Software\\Vantrel");
    DISPPARAMS one = {&key, nullptr, 1, 0};
    ASSERT_EQ(S_OK, script->Invoke(2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr));
    VariantClear(&key);
    EXPECT_EQ(L"HKLM\\Software\\Vantrel", registry->key);
    EXPECT_EQ(L"", registry->view);
}

TEST_F(TypeLibraryContract, HiddenMembersOfIParcel2AreCallable)
{
    com::ComPtr<com::Object<TestParcel>> parcel;
    ASSERT_EQ(S_OK, com::MakeObject(parcel, std::wstring(L"core")));
    com::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, parcel.As(IID_IDispatch, dispatch));
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"SendOnError")};
    DISPID id = 0;
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_EQ(13, id);
    VARIANT arguments[2];
    arguments[0].vt = VT_I4;
    arguments[0].lVal = 4;
    arguments[1].vt = VT_BSTR;
    arguments[1].bstrVal = SysAllocString(L"disk full");
    DISPPARAMS call = {arguments, nullptr, 2, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(S_OK, dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &call, &result, nullptr,
                                     nullptr));
    VariantClear(&arguments[1]);
    EXPECT_EQ(L"disk full", parcel->last_error_message);
    VARIANT as_long;
    VariantInit(&as_long);
    ASSERT_EQ(S_OK, VariantChangeType(&as_long, &result, 0, VT_I4));
    EXPECT_EQ(5, as_long.lVal);
}
