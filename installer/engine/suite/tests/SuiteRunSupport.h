#pragma once

// A suite run in process: an engine reading a setup.xml the test writes, its
// packages taken from a setup stream the packer appended to a probe program
// (entries p1.exe, p2.exe and p3.exe, each the package stand-in), a
// recording sink, and a folder the test owns for logs, sources and stage
// roots. The suite's resume entry and state key are removed afterwards.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include <com/ComPtr.h>

#include "EngineTestSupport.h"
#include "kr/reboot.h"

namespace engine_testing {

constexpr wchar_t kRunSuiteId[] = L"{6A1D3C52-8E4B-4F0A-9C7D-2B5E1F3A9D84}";

// The folder of this test program.
std::wstring OwnFolder();
// The digest of the package stand-in, as the payload holds it.
std::wstring StandInMd5();
// The RunOnce value named by the suite id; empty when there is none.
std::wstring RunOnceEntry();
// The suite's "Reboot" value; -1 when there is none.
long RebootValue();
bool StateKeyExists();

// One Exe parcel staged from the setup stream: its entry is its target, and
// when silent it is started with "<id> log:<calls log> probe:<suite id>" and
// the extra arguments.
struct ParcelSpec {
    ParcelSpec(std::wstring id_, std::wstring entry_ = L"p1.exe", std::wstring arguments_ = L"",
               std::wstring parcelAttributes_ = L"", std::wstring operationAttributes_ = L"",
               std::wstring md5_ = L"")
        : id(std::move(id_)), entry(std::move(entry_)), arguments(std::move(arguments_)),
          parcelAttributes(std::move(parcelAttributes_)), operationAttributes(std::move(operationAttributes_)),
          md5(std::move(md5_))
    {}

    std::wstring id;
    std::wstring entry;
    std::wstring arguments;          // after the standard ones
    std::wstring parcelAttributes;   // e.g. RebootCodes="1234"
    std::wstring operationAttributes;
    std::wstring md5;                // the stand-in's when empty
    std::wstring package;            // the Package element in place of the stream's
};
using TransactionSpec = std::vector<ParcelSpec>;

class SuiteRun {
public:
    SuiteRun();
    ~SuiteRun();
    SuiteRun(const SuiteRun&) = delete;
    SuiteRun& operator=(const SuiteRun&) = delete;

    // setup.xml for the transactions (one parcel alone gets no Transaction
    // element), one feature mapping every parcel, the install mode always
    // true, and what extra adds inside Setup.
    std::wstring SuiteXml(const std::vector<TransactionSpec>& transactions, const std::wstring& setupAttributes = L"",
                          const std::wstring& extra = L"") const;
    // Writes setup.xml and initialises the engine with "/silent", it and arguments.
    HRESULT Initialize(const std::wstring& setupXml, const std::wstring& arguments = L"");
    HRESULT Run() { return engine->DetermineFeatureStates(); }
    // The parcels are detected as installed, through a scripted condition.
    void DetectInstalled(const std::vector<std::wstring>& parcelIds);
    // Releases the engine as the entry does at its end.
    void ReleaseEngine();

    // The lines the stand-ins wrote, in order.
    std::vector<std::wstring> Calls() const;
    // The "args=" lines only, without the log and probe arguments.
    std::vector<std::wstring> Started() const;
    const std::wstring& Root() const { return m_root; }
    std::wstring CallsLog() const { return m_root + L"\\calls.log"; }

    com::ComPtr<CSetupEngine> engine;
    std::unique_ptr<EventSink> sink;
    BoxRecorder boxes;

private:
    std::wstring m_root;
};

// Restart requests while it lives, recorded in place of the real call.
class RestartRecorder {
public:
    RestartRecorder();
    ~RestartRecorder();
    RestartRecorder(const RestartRecorder&) = delete;
    RestartRecorder& operator=(const RestartRecorder&) = delete;
    static int& Count();

private:
    kr::exit_windows_function m_previous;
};

} // namespace engine_testing
