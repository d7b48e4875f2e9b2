#include "EngineTestSupport.h"

#include "kr/message_box.h"

namespace engine_testing {

EventSink::EventSink(CSetupEngine& engine)
{
    com::ComPtr<IConnectionPointContainer> container;
    if (SUCCEEDED(engine.QueryInterface(IID_IConnectionPointContainer, container.PutVoid())) &&
        SUCCEEDED(container->FindConnectionPoint(IID__IBootstrapEvents, m_point.Put())))
        m_point->Advise(this, &m_cookie);
}

EventSink::~EventSink()
{
    if (m_point && m_cookie)
        m_point->Unadvise(m_cookie);
}

std::vector<int> EventSink::BootstrapStates() const
{
    std::vector<int> states;
    for (const RecordedEvent& event : m_events)
        if (event.id == 1)
            states.push_back(event.state);
    return states;
}

std::vector<RecordedEvent> EventSink::Errors() const
{
    std::vector<RecordedEvent> errors;
    for (const RecordedEvent& event : m_events)
        if (event.id == 2)
            errors.push_back(event);
    return errors;
}

std::vector<std::wstring> EventSink::ParcelsOf(DISPID id) const
{
    std::vector<std::wstring> parcels;
    for (const RecordedEvent& event : m_events)
        if (event.id == id)
            parcels.push_back(event.parcel);
    return parcels;
}

size_t EventSink::Count(DISPID id) const
{
    size_t count = 0;
    for (const RecordedEvent& event : m_events)
        count += event.id == id ? 1 : 0;
    return count;
}

namespace {

std::wstring ParcelId(const VARIANT& value)
{
    if (value.vt != VT_DISPATCH || !value.pdispVal)
        return L"";
    com::ComPtr<IParcel> parcel;
    if (FAILED(value.pdispVal->QueryInterface(IID_IParcel, parcel.PutVoid())))
        return L"";
    BSTR id = nullptr;
    parcel->get_ID(&id);
    std::wstring text = id ? id : L"";
    SysFreeString(id);
    return text;
}

} // namespace

STDMETHODIMP EventSink::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID__IBootstrapEvents)) {
        *out = static_cast<IDispatch*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP EventSink::GetTypeInfoCount(UINT* count)
{
    *count = 0;
    return S_OK;
}

// Arguments arrive last first.
STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*)
{
    RecordedEvent event;
    event.id = id;
    if (id == 1 && params->cArgs == 2) {
        event.state = params->rgvarg[1].lVal;
        if (event.state == m_cancelAt && (params->rgvarg[0].vt & VT_BYREF) && params->rgvarg[0].pboolVal)
            *params->rgvarg[0].pboolVal = VARIANT_TRUE;
    } else if (id == 2 && params->cArgs == 1 && params->rgvarg[0].pdispVal) {
        com::ComPtr<IBootstrapError> error;
        if (SUCCEEDED(params->rgvarg[0].pdispVal->QueryInterface(IID_IBootstrapError, error.PutVoid()))) {
            error->get_LastError(&event.error);
            BSTR file = nullptr;
            error->get_File(&file);
            event.file = file ? file : L"";
            SysFreeString(file);
        }
    } else if (id == 3 && params->cArgs == 2) {
        event.parcel = ParcelId(params->rgvarg[1]);
    } else if (id == 4 && params->cArgs == 3) {
        event.state = params->rgvarg[2].lVal;
        event.parcel = ParcelId(params->rgvarg[1]);
    } else if (id == 5 && params->cArgs == 4) {
        if (++m_progressCount == m_cancelProgressAt && (params->rgvarg[0].vt & VT_BYREF))
            *params->rgvarg[0].pboolVal = VARIANT_TRUE;
    } else if (id == 12 && params->cArgs == 5) {
        event.file = params->rgvarg[4].vt == VT_BSTR && params->rgvarg[4].bstrVal ? params->rgvarg[4].bstrVal : L"";
        if (!m_cancelActionMessage.empty() && event.file == m_cancelActionMessage &&
            (params->rgvarg[0].vt & VT_BYREF) && params->rgvarg[0].pboolVal)
            *params->rgvarg[0].pboolVal = VARIANT_TRUE;
    } else if (id == 10 && params->cArgs == 1) {
        event.type = params->rgvarg[0].vt;
        event.state = params->rgvarg[0].iVal;
    } else if (id == 9 && params->cArgs == 4) {
        event.parcel = ParcelId(params->rgvarg[3]);
        event.file = params->rgvarg[2].vt == VT_BSTR && params->rgvarg[2].bstrVal ? params->rgvarg[2].bstrVal : L"";
        if (params->rgvarg[0].vt == (VT_BSTR | VT_BYREF)) {
            SysFreeString(*params->rgvarg[0].pbstrVal);
            *params->rgvarg[0].pbstrVal = SysAllocString(m_mediaPath.c_str());
        }
    }
    m_events.push_back(event);
    return S_OK;
}

namespace {

int WINAPI RecordBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    BoxRecorder::Texts().push_back(text ? text : L"");
    return IDOK;
}

} // namespace

BoxRecorder::BoxRecorder() : m_previous(kr::set_message_box_function(&RecordBox))
{
    Texts().clear();
}

BoxRecorder::~BoxRecorder()
{
    kr::set_message_box_function(m_previous);
}

std::vector<std::wstring>& BoxRecorder::Texts()
{
    static std::vector<std::wstring> texts;
    return texts;
}

TempFile::TempFile(const std::wstring& text)
{
    wchar_t folder[MAX_PATH] = {};
    wchar_t name[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"eng", 0, name);
    m_path = name;
    HANDLE file = CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

TempFile::~TempFile()
{
    DeleteFileW(m_path.c_str());
}

com::ComPtr<CSetupEngine> NewEngine()
{
    return com::ComPtr<CSetupEngine>(new CSetupEngine());
}

} // namespace engine_testing
