#pragma once

// What the engine's tests share: an automation sink that records the engine's
// events and answers as told, a recorder in place of message boxes, and a
// setup.xml stand-in loader.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include <com/ComPtr.h>

#include "kr/message_box.h"
#include "suite/SetupEngine.h"

namespace engine_testing {

// One event as a sink received it.
struct RecordedEvent {
    DISPID id = 0;
    int state = 0;          // OnBootstrapEvent
    HRESULT error = S_OK;   // OnError: the error's LastError
    std::wstring file;      // OnError: the error's File; OnPromptForSourceMedia: the source file; OnActionEventInfo: the message
    std::wstring parcel;    // the parcel's ID, for events about a parcel
    VARTYPE type = VT_EMPTY; // OnSuiteRegistration: the argument's type (its value is in state)
};

// An IDispatch sink of _IBootstrapEvents, advised on an engine for its life.
class EventSink : public IDispatch {
public:
    explicit EventSink(CSetupEngine& engine);
    ~EventSink();
    EventSink(const EventSink&) = delete;
    EventSink& operator=(const EventSink&) = delete;

    // Answers VARIANT_TRUE in the cancel cell of OnBootstrapEvent for this state.
    void CancelAt(int state) { m_cancelAt = state; }
    // Answers VARIANT_TRUE in the cancel cell of OnActionEventInfo with this message.
    void CancelActionEventInfo(const std::wstring& message) { m_cancelActionMessage = message; }
    // Answers OnPromptForSourceMedia with this media path.
    void AnswerSourcePrompt(const std::wstring& path) { m_mediaPath = path; }
    // Cancels at the n-th OnStagingProgress (from 1).
    void CancelStagingProgressAt(int count) { m_cancelProgressAt = count; }
    // The parcel IDs of the events with that id, in order.
    std::vector<std::wstring> ParcelsOf(DISPID id) const;
    size_t Count(DISPID id) const;
    std::vector<int> BootstrapStates() const;
    std::vector<RecordedEvent> Errors() const;
    const std::vector<RecordedEvent>& Events() const { return m_events; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override;

private:
    com::ComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
    int m_cancelAt = -100;
    std::wstring m_mediaPath;
    std::wstring m_cancelActionMessage;
    int m_cancelProgressAt = 0;
    int m_progressCount = 0;
    std::vector<RecordedEvent> m_events;
};

// Message boxes shown while it lives, in place of real ones.
class BoxRecorder {
public:
    BoxRecorder();
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    static std::vector<std::wstring>& Texts();

private:
    kr::message_box_function m_previous;
};

// A file the test owns for its life.
class TempFile {
public:
    explicit TempFile(const std::wstring& text);
    ~TempFile();
    const std::wstring& Path() const { return m_path; }

private:
    std::wstring m_path;
};

// A new engine with the entry's reference.
com::ComPtr<CSetupEngine> NewEngine();

} // namespace engine_testing
