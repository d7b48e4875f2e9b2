// The Windows Installer message handling: records made with the real
// msi.dll through the record handler, and the install calls through the
// recording table.

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "MsiRecording.h"
#include "automation/Interfaces.h"
#include "parcels/MsiMessageText.h"
#include "parcels/MsiUIHandlerProxy.h"
#include "support/ConditionTestSupport.h"

using namespace msi_testing;
using testing_support::TraceCapture;

namespace {

constexpr UINT kError = 0x01000000;
constexpr UINT kFilesInUse = 0x05000000;
constexpr UINT kActionStart = 0x08000000;
constexpr UINT kActionData = 0x09000000;
constexpr UINT kProgress = 0x0A000000;
constexpr UINT kRestartManagerFilesInUse = 0x19000000;

// Answers as told and writes down every answer asked for.
class RecordingUIHandler : public CMsiUIHandlerProxy {
public:
    RecordingUIHandler() { SetMsiFunctions(RecordingTable()); }

    UINT RunElevated(const _stringx&, const _stringx&, int, int, bool, const _stringx&, DWORD) override
    {
        return 1626;
    }
    HRESULT OnError(const _stringx& message, int errorFlags, int* action) override
    {
        calls.push_back(L"error " + Wide(message) + L"|" + std::to_wstring(errorFlags));
        *action = errorAction;
        return S_OK;
    }
    HRESULT OnProgress(const _stringx& message, int current, int maximum, int flags, VARIANT_BOOL* cancel) override
    {
        calls.push_back(L"progress " + Wide(message) + L"|" + std::to_wstring(current) + L"|" +
                        std::to_wstring(maximum) + L"|" + std::to_wstring(flags));
        if (progressFails)
            throw std::bad_alloc();
        *cancel = cancelAnswer;
        return S_OK;
    }
    HRESULT OnFilesInUse(const _stringx& message, int* action, short restartManager) override
    {
        calls.push_back(L"files " + Wide(message) + L"|" + std::to_wstring(restartManager));
        *action = filesAction;
        return S_OK;
    }

    static std::wstring Wide(const _stringx& text) { return std::wstring(text.c_str(), text.size()); }

    std::vector<std::wstring> calls;
    int errorAction = 1;
    int filesAction = 1;
    VARIANT_BOOL cancelAnswer = VARIANT_FALSE;
    bool progressFails = false;
};

class MsiUIHandler : public testing::Test {
protected:
    void SetUp() override { Reset(); }

    // The record through the handler as msi.dll would hand it over.
    int Handle(UINT type, const std::vector<std::wstring>& fields)
    {
        const MSIHANDLE_VALUE record = MakeRecord(fields);
        const int answer = CMsiUIHandlerProxy::HandleRecord(&handler, type, record);
        CloseRecord(record);
        return answer;
    }

    RecordingUIHandler handler;
};

// The titles of a files-in-use text, as the parcel turns it into its list.
std::vector<std::wstring> Titles(const std::wstring& text)
{
    VARIANT items;
    VariantInit(&items);
    std::vector<std::wstring> titles;
    if (FAILED(FilesInUseToSafeArray(_stringx(text.c_str()), &items)))
        return titles;
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(V_ARRAY(&items), 1, &lower);
    SafeArrayGetUBound(V_ARRAY(&items), 1, &upper);
    for (LONG i = lower; i <= upper; ++i) {
        BSTR item = nullptr;
        SafeArrayGetElement(V_ARRAY(&items), &i, &item);
        titles.emplace_back(item, SysStringLen(item));
        SysFreeString(item);
    }
    VariantClear(&items);
    return titles;
}

TEST_F(MsiUIHandler, FilesInUseRecordsGiveTheWindowTitles)
{
    // The template is dropped so that the fields come out numbered.
    handler.filesAction = 3;
    EXPECT_EQ(Handle(kFilesInUse, {L"Close [1] and [3]", L"notepad.exe", L"notes.txt - Notepad", L"app.exe",
                                   L"The App"}),
              3);
    EXPECT_EQ(Handle(kRestartManagerFilesInUse, {L"", L"a.exe", L"A", L"b.exe", L"B"}), 3);
    ASSERT_EQ(handler.calls.size(), 2u);
    const std::wstring first = handler.calls[0];
    ASSERT_EQ(first.substr(first.size() - 2), L"|0");
    EXPECT_EQ(Titles(first.substr(6, first.size() - 8)),
              (std::vector<std::wstring>{L"notes.txt - Notepad", L"The App"}))
        << first;
    const std::wstring second = handler.calls[1];
    ASSERT_EQ(second.substr(second.size() - 3), L"|-1");
    EXPECT_EQ(Titles(second.substr(6, second.size() - 9)), (std::vector<std::wstring>{L"A", L"B"})) << second;
}

TEST_F(MsiUIHandler, ProgressRecordsBecomePositionsOfATotal)
{
    // Forward: a reset to 0 of 1000, then reports and steps move on.
    EXPECT_EQ(Handle(kProgress, {L"", L"0", L"1000", L"0", L"0"}), 1);
    EXPECT_EQ(Handle(kProgress, {L"", L"2", L"250"}), 1);
    EXPECT_EQ(Handle(kProgress, {L"", L"1", L"100", L"1"}), 1);
    EXPECT_EQ(Handle(kActionData, {L"Copying [1]", L"file.txt"}), 1);
    // An action start passes on the text after ". " and ends the stepping.
    EXPECT_EQ(Handle(kActionStart, {L"Action [1]: [2]. [3]", L"12:00:00", L"InstallFiles", L"Copying new files"}), 1);
    EXPECT_EQ(Handle(kActionData, {L"Copying [1]", L"other.txt"}), 1);
    // Backward: a reset with 1 in field 3 starts at the total.
    EXPECT_EQ(Handle(kProgress, {L"", L"0", L"1000", L"1", L"0"}), 1);
    EXPECT_EQ(Handle(kProgress, {L"", L"2", L"300"}), 1);
    // Too few fields: nothing.
    EXPECT_EQ(Handle(kProgress, {L"", L"0", L"5"}), 1);

    const std::vector<std::wstring> expected = {
        L"progress |0|1000|1",
        L"progress |250|1000|1",
        L"progress Copying file.txt|0|0|2",
        L"progress |350|1000|1",
        L"progress Copying new files|0|0|2",
        L"progress Copying other.txt|0|0|2",
        L"progress |1000|1000|1",
        L"progress |700|1000|1",
    };
    EXPECT_EQ(handler.calls, expected);
}

TEST_F(MsiUIHandler, AnswersByMessageKind)
{
    handler.errorAction = 4;
    const struct {
        UINT type;
        std::vector<std::wstring> fields;
        int answer;
    } cases[] = {
        {kError | 0x31, {L"Disk full: [1]", L"C:"}, 4},
        {0x00000000, {L"Fatal"}, 4},
        {0x03000000, {L"User"}, 4},
        {0x04000000, {L"Info"}, 1},
        {0x06000000, {L"Resolve"}, 0},
        {0x07000000, {L"Space"}, 0},
        {0x0B000000, {L"Common"}, 1},
        {0x0C000000, {L"Other"}, 0},
        // Action data before any total passes nothing on.
        {kActionData, {L"Data"}, 1},
        // An action start without ". " passes nothing on.
        {kActionStart, {L"Start"}, 1},
        // An empty text leaves the message to the installer.
        {kError, {L""}, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Handle(c.type, c.fields), c.answer) << std::hex << c.type;
    EXPECT_EQ(handler.calls, (std::vector<std::wstring>{L"error Disk full: C:|49", L"error Fatal|0", L"error User|0"}));
    EXPECT_EQ(CMsiUIHandlerProxy::HandleRecord(nullptr, kError, 0), 0);
}

TEST_F(MsiUIHandler, ACancelledProgressAnswersCancel)
{
    handler.cancelAnswer = VARIANT_TRUE;
    EXPECT_EQ(Handle(kProgress, {L"", L"0", L"1000", L"0", L"0"}), IDCANCEL);
    EXPECT_EQ(Handle(kActionStart, {L"", L"Action. Text"}), IDCANCEL);
    handler.cancelAnswer = VARIANT_FALSE;
    EXPECT_EQ(Handle(kActionStart, {L"", L"Action. Text"}), IDOK);
}

// A text longer than the first buffer is formatted again into one that fits.
TEST_F(MsiUIHandler, LongTextsAreFormattedWhole)
{
    const std::wstring longText(5000, L'x');
    Handle(kError, {L"[1]!", longText});
    ASSERT_EQ(handler.calls.size(), 1u);
    EXPECT_EQ(handler.calls[0], L"error " + longText + L"!|0");
}

TEST_F(MsiUIHandler, UILevelByType)
{
    const struct {
        int type;
        const wchar_t* level;
    } cases[] = {{eputIgnore, L"ui 5"}, {eputHide, L"ui 2"}, {eputCaptureKRBB, L"ui 5"},
                 {eputCaptureFull, L"ui 102"}, {eputCaptureFullVerbose, L"ui 102"}, {9, L"ui 5"}};
    for (const auto& c : cases) {
        Reset();
        EXPECT_EQ(handler.Install(L"C:\\p\\a.msi", L"A=1", 1, c.type, false, L"", 0), 0u);
        ASSERT_FALSE(Script().calls.empty());
        EXPECT_EQ(Script().calls[0], c.level) << c.type;
    }
}

TEST_F(MsiUIHandler, TheThreeCallsWithTheHandlerAroundThem)
{
    Script().result = 1603;
    EXPECT_EQ(handler.Install(L"C:\\p\\a.msi", L"A=1", 1, eputHide, false, L"", 0), 1603u);
    EXPECT_EQ(Script().calls, (std::vector<std::wstring>{L"ui 2", L"handler 2004fff", L"install C:\\p\\a.msi|A=1",
                                                        L"handler restored"}));
    // Any other kind reconfigures the product: default level and state.
    for (int kind : {2, 3, 4, 6}) {
        Reset();
        Script().result = 0;
        EXPECT_EQ(handler.Install(L"{CODE}", L"REMOVE=ALL", kind, eputHide, false, L"", 0), 0u);
        EXPECT_EQ(Script().calls.at(2), L"configure {CODE}|0|5|REMOVE=ALL") << kind;
    }
    // A patch is applied for Install and Modify: no package, the default install type.
    for (int kind : {1, 2}) {
        Reset();
        EXPECT_EQ(handler.Install(L"C:\\p\\fix.msp", L"P=1", kind, eputHide, true, L"", 0), 0u);
        EXPECT_EQ(Script().calls.at(2), L"patch C:\\p\\fix.msp||0|P=1") << kind;
    }
}

// Chosen here: a patch cannot be repaired or removed on this road, and
// nothing is called; the run reports ERROR_NOT_SUPPORTED rather than a
// success that did not happen.
TEST_F(MsiUIHandler, APatchOfAnotherKindIsNotSupported)
{
    for (int kind : {3, 4, 6}) {
        Reset();
        EXPECT_EQ(handler.Install(L"C:\\p\\fix.msp", L"", kind, eputHide, true, L"", 0),
                  static_cast<UINT>(ERROR_NOT_SUPPORTED))
            << kind;
        EXPECT_EQ(Script().calls, (std::vector<std::wstring>{L"ui 2", L"handler 2004fff", L"handler restored"}));
    }
}

TEST_F(MsiUIHandler, LoggingIsOnForTheCallOnly)
{
    EXPECT_EQ(handler.Install(L"C:\\p\\a.msi", L"", 1, eputHide, false, L"C:\\logs\\a.log", 0x3001F9E), 0u);
    EXPECT_EQ(Script().calls, (std::vector<std::wstring>{L"ui 2", L"handler 2004fff", L"log 1f9e|C:\\logs\\a.log|3",
                                                        L"install C:\\p\\a.msi|", L"log off 0|0",
                                                        L"handler restored"}));
}

TEST_F(MsiUIHandler, WithoutTheRecordHandlerNothingRuns)
{
    MsiFunctions older = RecordingTable();
    older.SetExternalUIRecord = nullptr;
    handler.SetMsiFunctions(older);
    TraceCapture trace;
    EXPECT_EQ(handler.Install(L"C:\\p\\a.msi", L"", 1, eputHide, false, L"C:\\a.log", 0x1F9E), 127u);
    EXPECT_EQ(Script().calls, std::vector<std::wstring>{L"ui 2"});
    EXPECT_NE(trace.Messages().find(
                  L"Could not obtain function proc address for MsiSetExternalUIRecord from msi.dll"),
              std::wstring::npos);
}

// Wine's installer ignores a cancel from the handler: the recording run
// shows that the handler does answer IDCANCEL to msi.dll.
TEST_F(MsiUIHandler, CancelIsHandedToTheInstaller)
{
    handler.cancelAnswer = VARIANT_TRUE;
    Script().messages = {{kProgress, {L"", L"0", L"1000", L"0", L"0"}}, {0x04000000, {L"Info"}}};
    handler.Install(L"C:\\p\\a.msi", L"", 1, eputHide, false, L"", 0);
    EXPECT_EQ(Script().answers, (std::vector<int>{IDCANCEL, IDOK}));
}

// An answer that fails leaves the message to the installer, and the run
// still ends with the previous handler put back.
TEST_F(MsiUIHandler, AFailingAnswerStaysOnThisSideOfTheInstaller)
{
    handler.progressFails = true;
    Script().messages = {{kProgress, {L"", L"0", L"1000", L"0", L"0"}}, {0x04000000, {L"Info"}}};
    EXPECT_EQ(handler.Install(L"C:\\p\\a.msi", L"", 1, eputHide, false, L"", 0), 0u);
    EXPECT_EQ(Script().answers, (std::vector<int>{0, IDOK}));
    EXPECT_EQ(Script().calls.back(), L"handler restored");
}

// Full capture keeps action-data texts to itself.
TEST_F(MsiUIHandler, FullCaptureDoesNotPassActionDataTexts)
{
    Script().messages = {{kProgress, {L"", L"0", L"1000", L"0", L"0"}},
                         {kProgress, {L"", L"1", L"10", L"1"}},
                         {kActionData, {L"Copying [1]", L"file.txt"}}};
    handler.Install(L"C:\\p\\a.msi", L"", 1, eputCaptureFull, false, L"", 0);
    EXPECT_EQ(handler.calls, (std::vector<std::wstring>{L"progress |0|1000|1", L"progress |10|1000|1"}));
}

} // namespace
