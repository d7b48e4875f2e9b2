// Downloads from the fixture's nginx through kr::file and kr::copy_file, with
// a relay in front of it where a test needs broken or silent connections.

#include <winsock2.h>

#include "kr/copy_file.h"
#include "kr/file.h"
#include "kr/file_system.h"
#include "kr/http_file.h"
#include "kr/internet_functions.h"
#include "kr/library_state.h"
#include "kr/win32_exception.h"
#include "kr/wininet_async_handle.h"

#include <gtest/gtest.h>
#include <wincrypt.h>

#include <memory>
#include <string>
#include <vector>

#include "Relay.h"
#include "TestFolder.h"
#include "WebServer.h"

namespace {

constexpr DWORD kAborted = ERROR_INTERNET_CONNECTION_ABORTED;

// Equal bytes, or where they first differ (a byte dump of 300 kB helps nobody).
::testing::AssertionResult SameBytes(const std::string& got, const std::string& expected)
{
    if (got == expected)
        return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < got.size() && at < expected.size() && got[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure() << got.size() << " bytes against " << expected.size()
                                         << ", first difference at " << at;
}

// Records the error dialog's calls; the dialog itself would block a headless run.
struct DialogRecorder {
    static inline std::vector<DWORD> flags;
    static inline std::vector<DWORD> errors;
    static inline DWORD answer = ERROR_SUCCESS;

    static DWORD WINAPI Dialog(HWND, HINTERNET, DWORD error, DWORD dialog_flags, void**)
    {
        errors.push_back(error);
        flags.push_back(dialog_flags);
        return answer;
    }
};

// Answers every error the same way and counts the questions.
struct FixedAnswer : kr::internet_error_handler {
    explicit FixedAnswer(DWORD answer) : answer(answer) {}
    DWORD on_internet_error(HWND, HINTERNET, DWORD error) override
    {
        errors.push_back(error);
        return answer;
    }
    DWORD answer;
    std::vector<DWORD> errors;
};

class WebDownload : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.available()) << "KR_WEB_SERVER names no running fixture";
        DialogRecorder::flags.clear();
        DialogRecorder::errors.clear();
        DialogRecorder::answer = ERROR_SUCCESS;
        kr::internet_functions seams = {};
        seams.error_dialog = &DialogRecorder::Dialog;
        before = kr::set_internet_functions(seams);
        tag = CaseTag();
    }
    void TearDown() override { kr::set_internet_functions(before); }

    // An address of the served file through the server or a relay.
    std::wstring FileUrl(const std::wstring& location, unsigned short port = 0) const
    {
        return L"http://127.0.0.1:" + std::to_wstring(port ? port : server.http_port()) + L"/" + location +
               L"/file.bin?" + Wide(tag);
    }

    bool Copy(const std::wstring& source, const std::wstring& target, bool times = false)
    {
        return kr::copy_file(_stringx(source.c_str()), _stringx(target.c_str()), kr::copy_chunk_size, times);
    }


    WebServer server;
    TestFolder folder;
    kr::internet_functions before = {};
    std::string tag;
};

TEST_F(WebDownload, CopyIsByteExactAndCapitalSchemeTakesTheWebRoad)
{
    const std::wstring target = folder / L"copy.bin";
    std::wstring address = FileUrl(L"range");
    address.replace(0, 4, L"HTTP");
    ASSERT_TRUE(Copy(address, target)) << kr::last_result();
    EXPECT_TRUE(SameBytes(ReadBytes(target), server.Served(L"file.bin")));
    const auto requests = server.Requests(tag);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].range, "-");
    EXPECT_EQ(requests[0].status, 200);
    EXPECT_TRUE(DialogRecorder::flags.empty());
}

TEST_F(WebDownload, BrokenReadResumesWithARangeFromTheBytesReceived)
{
    Relay relay(server.http_port(), 1, 50000);
    const std::wstring target = folder / L"copy.bin";
    ASSERT_TRUE(Copy(FileUrl(L"range", relay.port()), target)) << kr::last_result();
    EXPECT_TRUE(SameBytes(ReadBytes(target), server.Served(L"file.bin")));

    const auto requests = server.Requests(tag);
    const auto received = relay.BodyBytes();
    ASSERT_EQ(requests.size(), 2u);
    ASSERT_GE(received.size(), 1u);
    ASSERT_GT(received[0], 0u);
    EXPECT_EQ(requests[1].range, "bytes=" + std::to_string(received[0]) + "-");
    EXPECT_EQ(requests[1].status, 206);
    // The default answer asks the dialog, which lets it retry.
    ASSERT_EQ(DialogRecorder::flags.size(), 1u);
    EXPECT_EQ(DialogRecorder::flags[0], 7u);
    EXPECT_EQ(DialogRecorder::errors[0], kAborted);
}

TEST_F(WebDownload, ReadBrokenOnEveryTryFailsAfterSixRequestsWithoutATarget)
{
    // 1,000 bytes of answer: the headers and less than one first piece of body.
    Relay relay(server.http_port(), Relay::every_connection, 1000);
    const std::wstring target = folder / L"copy.bin";
    EXPECT_FALSE(Copy(FileUrl(L"range", relay.port()), target));
    EXPECT_EQ(kr::last_result(), kAborted);
    EXPECT_EQ(server.Requests(tag).size(), 6u);
    EXPECT_EQ(FilesIn(folder.path()), 0u);
}

TEST_F(WebDownload, ResumeAnsweredWithTheWholeBodyFails)
{
    Relay relay(server.http_port(), 1, 50000);
    const std::wstring target = folder / L"copy.bin";
    EXPECT_FALSE(Copy(FileUrl(L"norange", relay.port()), target));
    EXPECT_EQ(kr::last_result(), kr::http_file::status_error(200));
    EXPECT_EQ(kr::last_result(), 0x80040000u | (200 + 0xD3C0));
    const auto requests = server.Requests(tag);
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[1].range.rfind("bytes=", 0), 0u);
    EXPECT_EQ(requests[1].status, 200);
    EXPECT_EQ(FilesIn(folder.path()), 0u);
}

TEST_F(WebDownload, ResumeAnsweredFromAnotherOffsetFails)
{
    FixedAnswer cancel(ERROR_CANCELLED);
    kr::file web;
    web.set_error_handler(&cancel);
    ASSERT_EQ(web.open(_stringx(FileUrl(L"wrongrange").c_str()), GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL,
                       OPEN_EXISTING),
              0u);
    EXPECT_EQ(web.seek(5, FILE_BEGIN), 5u);
    char buffer[10];
    try {
        web.read(buffer, sizeof(buffer));
        ADD_FAILURE() << "a range from 0 was taken for one from 5";
    } catch (const kr::internet_file_exception& failure) {
        EXPECT_EQ(failure.code(), kr::http_file::status_error(206));
    }
    const auto requests = server.Requests(tag);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].range, "bytes=5-");
    EXPECT_EQ(requests[0].status, 206);
}

TEST_F(WebDownload, MissingFileFailsWithItsStatusAndDoesNotExist)
{
    const std::wstring missing = server.Url(L"/range/missing.bin?" + Wide(tag));
    EXPECT_FALSE(Copy(missing, folder / L"copy.bin"));
    EXPECT_EQ(kr::last_result(), 0x8004D554u);
    EXPECT_FALSE(kr::url_exists(_stringx(missing.c_str()), 0));
    EXPECT_FALSE(kr::url_exists(_stringx(missing.c_str()), kr::path_raise_errors));
    EXPECT_TRUE(kr::url_exists(_stringx(FileUrl(L"range").c_str()), kr::path_raise_errors));
    EXPECT_EQ(FilesIn(folder.path()), 0u);
}

TEST_F(WebDownload, UnknownSchemeIsUnrecognized)
{
    FixedAnswer cancel(ERROR_CANCELLED);
    kr::http_file web(L"kr test", 30000, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    web.set_error_handler(&cancel);
    ASSERT_TRUE(web.prepare_url(L"kr://127.0.0.1/file.bin", nullptr, 0x80400100));
    char buffer[16];
    DWORD read = 0;
    EXPECT_FALSE(web.read_with_retry(buffer, sizeof(buffer), &read));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_UNRECOGNIZED_SCHEME));
    EXPECT_EQ(read, 0u);
}

TEST_F(WebDownload, SeekToTheReadOffsetKeepsTheRequestAnotherSendsARange)
{
    const std::string served = server.Served(L"file.bin");
    kr::file web;
    ASSERT_EQ(web.open(_stringx(FileUrl(L"range").c_str()), GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL,
                       OPEN_EXISTING),
              0u);
    ASSERT_TRUE(web.is_web());
    std::string bytes(1000, '\0');
    ASSERT_EQ(web.read(bytes.data(), 1000), 1000u);
    EXPECT_EQ(web.seek(1000, FILE_BEGIN), 1000u);
    EXPECT_EQ(web.seek(0, FILE_CURRENT), 1000u);
    ASSERT_EQ(web.read(bytes.data(), 1000), 1000u);
    EXPECT_EQ(bytes, served.substr(1000, 1000));
    EXPECT_EQ(server.Requests(tag).size(), 1u);

    EXPECT_EQ(web.seek(123456, FILE_BEGIN), 123456u);
    ASSERT_EQ(web.read(bytes.data(), 1000), 1000u);
    EXPECT_EQ(bytes, served.substr(123456, 1000));
    const auto requests = server.Requests(tag);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].range, "bytes=123456-");
    EXPECT_EQ(requests[1].status, 206);

    EXPECT_EQ(web.size64(), served.size());
    EXPECT_EQ(web.seek(-10, FILE_END), served.size() - 10);
    ASSERT_EQ(web.read(bytes.data(), 1000), 10u);
    EXPECT_EQ(bytes.substr(0, 10), served.substr(served.size() - 10));

    // Past 2 GiB the offset stays a plain unsigned number, not a suffix range.
    LONG high = 0;
    EXPECT_EQ(web.seek(static_cast<LONG>(0xC0000000u), FILE_BEGIN, &high), 0xC0000000u);
    EXPECT_THROW(web.read(bytes.data(), 1000), kr::internet_file_exception);
    const auto beyond = server.Requests(tag);
    ASSERT_FALSE(beyond.empty());
    EXPECT_EQ(beyond.back().range, "bytes=3221225472-");
    EXPECT_EQ(beyond.back().status, 416);
    web.close();
}

TEST_F(WebDownload, CopyWithTimesTakesTheLastModifiedTime)
{
    const std::wstring target = folder / L"copy.bin";
    ASSERT_TRUE(Copy(FileUrl(L"range"), target, true)) << kr::last_result();
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data));
    SYSTEMTIME written = {};
    FileTimeToSystemTime(&data.ftLastWriteTime, &written);
    EXPECT_EQ(written.wYear, 2021);
    EXPECT_EQ(written.wMonth, 3);
    EXPECT_EQ(written.wDay, 4);
    EXPECT_EQ(written.wHour, 5);
    EXPECT_EQ(written.wMinute, 6);
    EXPECT_EQ(written.wSecond, 7);
    // The server gives no other time: last access keeps the copy's own. (Wine
    // derives a file's creation time from its modification time on a Linux
    // file system, so the creation time shows nothing here.)
    SYSTEMTIME accessed = {};
    FileTimeToSystemTime(&data.ftLastAccessTime, &accessed);
    EXPECT_NE(accessed.wYear, 2021);
}

TEST_F(WebDownload, ErrorHandlerAnswersBeforeTheDialog)
{
    struct Case {
        DWORD answer;
        size_t requests;
        size_t dialogs;
    };
    // Cancel ends at once; retry tries five more times; anything else asks the dialog.
    const Case cases[] = {{ERROR_CANCELLED, 1, 0}, {ERROR_INTERNET_FORCE_RETRY, 6, 0}, {ERROR_SUCCESS, 6, 6}};
    for (const Case& c : cases) {
        tag = CaseTag() + "." + std::to_string(c.answer);
        DialogRecorder::flags.clear();
        Relay relay(server.http_port(), Relay::every_connection, 1000);
        FixedAnswer handler(c.answer);
        kr::file web;
        web.set_error_handler(&handler);
        ASSERT_EQ(web.open(_stringx(FileUrl(L"range", relay.port()).c_str()), GENERIC_READ, FILE_SHARE_READ,
                           FILE_ATTRIBUTE_NORMAL, OPEN_EXISTING),
                  0u);
        std::vector<char> buffer(32768);
        try {
            web.read(buffer.data(), static_cast<DWORD>(buffer.size()));
            ADD_FAILURE() << "read through a relay that cuts every connection succeeded";
        } catch (const kr::internet_file_exception& failure) {
            EXPECT_EQ(failure.code(), kAborted) << c.answer;
        }
        web.close();
        EXPECT_EQ(server.Requests(tag).size(), c.requests) << c.answer;
        EXPECT_EQ(handler.errors.size(), c.requests) << c.answer;
        EXPECT_EQ(DialogRecorder::flags.size(), c.dialogs) << c.answer;
        for (DWORD flags : DialogRecorder::flags)
            EXPECT_EQ(flags, 7u);
    }
}

// A handle whose closing is never reported to its object (a session opened
// without its call-back): the close waits for the report only up to the
// object's time-out.
TEST_F(WebDownload, CloseWaitsForTheClosingReportOnlyUpToTheTimeOut)
{
    kr::wininet_async_handle handle(300);
    const HINTERNET session = InternetOpenW(L"kr test", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    ASSERT_NE(session, nullptr);
    handle.set_handle(session);
    const DWORD start = GetTickCount();
    handle.close();
    const DWORD waited = GetTickCount() - start;
    EXPECT_GE(waited, 250u);
    EXPECT_LT(waited, 5000u);
}

LRESULT CALLBACK CountingWindow(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_APP)
        ++*reinterpret_cast<int*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return DefWindowProcW(window, message, wparam, lparam);
}

TEST_F(WebDownload, SilentServerTimesOutWhileMessagesAreDispatched)
{
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = &CountingWindow;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"kr_web_wait_window";
    RegisterClassW(&window_class);
    HWND window = CreateWindowW(window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                window_class.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    int dispatched = 0;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&dispatched));

    Relay silent;
    FixedAnswer cancel(ERROR_CANCELLED);
    kr::http_file web(L"kr test", 500, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    web.set_error_handler(&cancel);
    ASSERT_TRUE(web.prepare_url(FileUrl(L"range", silent.port()).c_str(), nullptr, 0x80400100));
    PostMessageW(window, WM_APP, 0, 0);
    char buffer[100];
    DWORD read = 0;
    const DWORD start = GetTickCount();
    EXPECT_FALSE(web.read_with_retry(buffer, sizeof(buffer), &read));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
    EXPECT_LT(GetTickCount() - start, 10000u);
    EXPECT_EQ(dispatched, 1);
    DestroyWindow(window);
}

// Wine reports version 1.2 and a LAN connection: the process-wide session and
// autodial are reached only through replaced queries.
BOOL WINAPI VersionOneOne(INTERNET_VERSION_INFO* version)
{
    version->dwMajorVersion = 1;
    version->dwMinorVersion = 1;
    return TRUE;
}

BOOL WINAPI VersionOneTwo(INTERNET_VERSION_INFO* version)
{
    version->dwMajorVersion = 1;
    version->dwMinorVersion = 2;
    return TRUE;
}

BOOL WINAPI OfflineModem(DWORD* flags, DWORD)
{
    *flags = INTERNET_CONNECTION_MODEM;
    return FALSE;
}

std::vector<DWORD> autodial_flags;
BOOL WINAPI AutodialFails(DWORD flags, HWND)
{
    autodial_flags.push_back(flags);
    SetLastError(ERROR_INTERNET_NAME_NOT_RESOLVED);
    return FALSE;
}

TEST_F(WebDownload, SessionIsSharedOnlyForMinorVersionOne)
{
    kr::internet_functions seams = {};
    seams.error_dialog = &DialogRecorder::Dialog;
    seams.query_version = &VersionOneOne;
    kr::set_internet_functions(seams);
    {
        kr::http_file first(L"kr test", 30000, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        kr::http_file second(L"kr test", 30000, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        EXPECT_TRUE(first.shares_process_session());
        EXPECT_TRUE(second.shares_process_session());
    }
    seams.query_version = &VersionOneTwo;
    kr::set_internet_functions(seams);
    kr::http_file own(L"kr test", 30000, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    EXPECT_FALSE(own.shares_process_session());
    // Either way the file downloads.
    ASSERT_TRUE(own.prepare_url(FileUrl(L"range").c_str(), nullptr, 0x80400100));
    char buffer[10];
    DWORD read = 0;
    ASSERT_TRUE(own.read_with_retry(buffer, sizeof(buffer), &read));
    EXPECT_EQ(std::string(buffer, read), server.Served(L"file.bin").substr(0, 10));
}

TEST_F(WebDownload, OfflineModemDialsFirstAndAFailedDialFailsTheRead)
{
    kr::internet_functions seams = {};
    seams.error_dialog = &DialogRecorder::Dialog;
    seams.get_connected_state = &OfflineModem;
    seams.autodial = &AutodialFails;
    kr::set_internet_functions(seams);
    autodial_flags.clear();
    FixedAnswer cancel(ERROR_CANCELLED);
    kr::http_file web(L"kr test", 30000, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    web.set_error_handler(&cancel);
    ASSERT_TRUE(web.prepare_url(FileUrl(L"range").c_str(), nullptr, 0x80400100));
    char buffer[10];
    DWORD read = 0;
    EXPECT_FALSE(web.read_with_retry(buffer, sizeof(buffer), &read));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INTERNET_NAME_NOT_RESOLVED));
    EXPECT_EQ(autodial_flags, std::vector<DWORD>{INTERNET_AUTODIAL_FORCE_ONLINE});
    EXPECT_TRUE(server.Requests(tag).empty());
}

// The test root goes into the machine's Root store of this tree's prefix.
TEST_F(WebDownload, HttpsCopyIsByteExact)
{
    const std::string der = ReadBytes(server.CaCertificate());
    ASSERT_FALSE(der.empty());
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    ASSERT_NE(root, nullptr);
    ASSERT_TRUE(CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING,
                                                 reinterpret_cast<const BYTE*>(der.data()),
                                                 static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                 nullptr));
    CertCloseStore(root, 0);

    const std::wstring target = folder / L"copy.bin";
    ASSERT_TRUE(Copy(server.SecureUrl(L"/range/file.bin?" + Wide(tag)), target)) << kr::last_result();
    EXPECT_TRUE(SameBytes(ReadBytes(target), server.Served(L"file.bin")));
    EXPECT_EQ(server.Requests(tag).size(), 1u);
}

} // namespace
