#include "kr/bootstrap_exception.h"
#include "kr/com_exception.h"
#include "kr/command_line_exception.h"
#include "kr/handle_holder.h"
#include "kr/holders.h"
#include "kr/log_failure_message.h"
#include "kr/reboot_exception.h"
#include "kr/win32_exception.h"

#include <gtest/gtest.h>

#include <oleauto.h>

#include <memory>
#include <string>

namespace {

TEST(Win32Exception, CodeZeroHasNoText)
{
    const kr::win32_exception e(0);
    EXPECT_STREQ(e.what(), "");
    EXPECT_STREQ(e.message(), L"");
}

TEST(Win32Exception, TakesTheLastErrorAndFormatsItsSystemText)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    const kr::win32_exception e;
    EXPECT_EQ(e.code(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_GT(wcslen(e.message()), 0u);
    EXPECT_GT(strlen(e.what()), 0u);
}

TEST(Win32Exception, CopyOutlivesTheOriginalAndSharesOneText)
{
    std::unique_ptr<kr::win32_exception> copy;
    const wchar_t* text = nullptr;
    {
        kr::win32_exception original(ERROR_ACCESS_DENIED);
        text = original.message();
        copy = std::make_unique<kr::win32_exception>(original);
        kr::win32_exception late(original);   // formatted before the copy: shares the same text
        EXPECT_EQ(late.message(), text);
    }
    EXPECT_EQ(copy->message(), text);
    EXPECT_GT(wcslen(copy->message()), 0u);

    // Formatting after the copy still reaches every copy.
    kr::win32_exception first(ERROR_INVALID_HANDLE);
    kr::win32_exception second(first);
    EXPECT_EQ(first.message(), second.message());
}

TEST(Win32Exception, FileExceptionsCarryPathAndCode)
{
    SetLastError(ERROR_PATH_NOT_FOUND);
    try {
        throw kr::file_exception(L"C:\\missing\\file.txt");
    } catch (const kr::win32_exception& e) {
        EXPECT_EQ(e.code(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
        const auto* file = dynamic_cast<const kr::file_exception*>(&e);
        ASSERT_NE(file, nullptr);
        EXPECT_STREQ(file->path().c_str(), L"C:\\missing\\file.txt");
    }

    try {
        throw kr::internet_file_exception(L"http://example.invalid/a.msi", 12007);
    } catch (const kr::file_exception& e) {
        EXPECT_EQ(e.code(), 12007u);
        EXPECT_STREQ(e.path().c_str(), L"http://example.invalid/a.msi");
        EXPECT_NE(dynamic_cast<const kr::internet_exception*>(&e), nullptr);
    }
}

TEST(ComException, WithoutErrorInformation)
{
    SetErrorInfo(0, nullptr);
    const com_exception unknown(static_cast<HRESULT>(0x8004F777));
    EXPECT_STREQ(unknown.description().c_str(), L"Unknown error");
    EXPECT_STREQ(unknown.what(), "Unknown error");
    EXPECT_TRUE(unknown.source().empty());
    EXPECT_TRUE(IsEqualGUID(unknown.interface_id(), GUID_NULL));

    const com_exception known(E_OUTOFMEMORY);
    EXPECT_EQ(known.hresult(), E_OUTOFMEMORY);
    EXPECT_FALSE(known.description().empty());
    EXPECT_STRNE(known.description().c_str(), L"Unknown error");
}

TEST(ComException, TakesTheThreadsErrorInformation)
{
    static const GUID iid = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    ICreateErrorInfo* create = nullptr;
    ASSERT_EQ(CreateErrorInfo(&create), S_OK);
    create->SetDescription(const_cast<LPOLESTR>(L"Parcel cannot be found"));
    create->SetSource(const_cast<LPOLESTR>(L"No.Such.ProgId"));
    create->SetGUID(iid);
    IErrorInfo* info = nullptr;
    ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
    SetErrorInfo(0, info);
    info->Release();
    create->Release();

    const com_exception e(E_FAIL);
    EXPECT_STREQ(e.description().c_str(), L"Parcel cannot be found");
    EXPECT_STREQ(e.source().c_str(), L"No.Such.ProgId");
    EXPECT_TRUE(IsEqualGUID(e.interface_id(), iid));
    EXPECT_TRUE(IsEqualGUID(e.source_clsid(), CLSID_NULL));
    EXPECT_STREQ(e.what(), "Parcel cannot be found");

    const com_exception copy(e);
    EXPECT_STREQ(copy.description().c_str(), L"Parcel cannot be found");
    EXPECT_EQ(copy.hresult(), E_FAIL);

    try {
        throw kr::safe_array_exception(E_INVALIDARG);
    } catch (const com_exception& caught) {
        EXPECT_EQ(caught.hresult(), E_INVALIDARG);
    }
}

TEST(BootstrapException, TreeAndCarriedValues)
{
    try {
        throw staged_file_exception(static_cast<HRESULT>(0x80040705), L"C:\\stage\\a.msi");
    } catch (const bootstrap_exception& e) {
        EXPECT_EQ(e.hresult(), static_cast<HRESULT>(0x80040705));
        EXPECT_STREQ(e.what(), "Unknown exception");
        EXPECT_STREQ(dynamic_cast<const staged_file_exception&>(e).path().c_str(), L"C:\\stage\\a.msi");
    }

    const invalid_condition_exception condition(E_INVALIDARG, L"Version", L"GreaterThan", L"Registry");
    EXPECT_STREQ(condition.conversion().c_str(), L"Version");
    EXPECT_STREQ(condition.comparison().c_str(), L"GreaterThan");
    EXPECT_STREQ(condition.type_name().c_str(), L"Registry");

    const parcel_install_failure_exception install(HRESULT_FROM_WIN32(1638), nullptr);
    EXPECT_EQ(install.hresult(), HRESULT_FROM_WIN32(1638));
    EXPECT_EQ(install.parcel(), nullptr);

    EXPECT_TRUE(reboot_exception(true).restart_now());
    EXPECT_FALSE(reboot_exception(false).restart_now());
    EXPECT_THROW(throw command_line_exception(), command_line_exception);
}

TEST(Holders, HandlesAreClosedOnceAndEmptyHoldersDoNothing)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    {
        kr::handle_holder holder(event);
        EXPECT_EQ(holder.get(), event);
    }
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(event, &flags));

    kr::handle_holder explicit_close(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    explicit_close.close();
    EXPECT_TRUE(explicit_close.empty());
    explicit_close.close();

    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    WIN32_FIND_DATAW data;
    kr::find_handle_holder find(FindFirstFileW(module, &data));
    EXPECT_FALSE(find.empty());
    find.close();
    EXPECT_EQ(find.get(), INVALID_HANDLE_VALUE);

    kr::find_handle_holder none;
    EXPECT_TRUE(none.empty());
}

TEST(Holders, ComAndModuleHolders)
{
    kr::variant_holder variant;
    EXPECT_EQ(V_VT(variant.get()), VT_EMPTY);
    V_VT(variant.get()) = VT_BSTR;
    V_BSTR(variant.get()) = SysAllocString(L"released by VariantClear");

    kr::bstr_holder bstr(SysAllocString(L"x"));
    EXPECT_STREQ(bstr.get(), L"x");

    HMODULE module = LoadLibraryW(L"version.dll");
    ASSERT_NE(module, nullptr);
    kr::library_holder library(module);
    library.reset();
    EXPECT_EQ(library.get(), nullptr);

    kr::heap_buffer<wchar_t> buffer(16);
    EXPECT_EQ(buffer.get()[15], L'\0');
}

// The system's own text for an error number in a language, as FormatMessage gives it.
std::wstring SystemText(DWORD error, LANGID language)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const std::wstring result(text ? text : L"", length);
    LocalFree(text);
    return result;
}

TEST(LogFailureMessage, SystemTextOfErrorInstallLogFailure)
{
    const LANGID languages[] = {MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), GetUserDefaultLangID()};
    for (const LANGID language : languages) {
        const std::wstring expected = SystemText(ERROR_INSTALL_LOG_FAILURE, language);
        ASSERT_FALSE(expected.empty()) << language;
        EXPECT_EQ(std::wstring(kr::get_log_failure_message(language).c_str()), expected) << language;
    }
    // The text is that of 1622, not of a neighbouring error.
    EXPECT_NE(SystemText(ERROR_INSTALL_LOG_FAILURE, 0), SystemText(ERROR_INSTALL_FAILURE, 0));
}

} // namespace
