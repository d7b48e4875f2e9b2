// The error object handed to the user interface: its properties, the parcel
// it holds, and how it describes itself.

#include "automation/BootstrapError.h"
#include "automation/SuiteErrors.h"

#include "TestObjects.h"

#include <gtest/gtest.h>

namespace {

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

std::wstring SystemMessage(HRESULT hr, LANGID language)
{
    wchar_t text[1040] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        static_cast<DWORD>(hr), language, text, 1040, nullptr);
    return std::wstring(text, length);
}

class BootstrapErrorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, com::MakeObject(engine));
        engine->strings[L"IDS_SUITEERROR_MD5CHECKFAILED"] = L"The file is damaged.";
        engine->strings[L"IDS_SUITEERROR_ABORTCONDITION"] = L"Setup cannot continue: ";
    }

    com::ComPtr<IBootstrapError> Make(EnumBootstrapErrorSource source, HRESULT hr, const wchar_t* file = L"",
                                      IParcel* parcel = nullptr, LANGID language = kEnglish)
    {
        com::ComPtr<IBootstrapError> error;
        EXPECT_EQ(S_OK, CBootstrapError::Create(engine.Get(), language, source, hr, file, parcel, error.Put()));
        return error;
    }

    std::wstring Description(IBootstrapError* error)
    {
        com::Bstr text;
        EXPECT_EQ(S_OK, error->get_Description(text.Put()));
        EXPECT_FALSE(text.IsNull());
        return std::wstring(text.View());
    }

    Apartment apartment;
    com::ComPtr<com::Object<TestEngine>> engine;
};

} // namespace

TEST_F(BootstrapErrorTest, PropertiesAsFilled)
{
    com::ComPtr<com::Object<TestParcel>> parcel;
    ASSERT_EQ(S_OK, com::MakeObject(parcel, std::wstring(L"Runtime")));
    com::ComPtr<IBootstrapError> error = Make(ebesStaging, SUITE_E_MD5CHECKFAILED, L"C:\\stage\\core.msi",
                                              parcel.Get());
    EnumBootstrapErrorSource source = ebesEngine;
    ASSERT_EQ(S_OK, error->get_Source(&source));
    EXPECT_EQ(ebesStaging, source);
    HRESULT hr = S_OK;
    ASSERT_EQ(S_OK, error->get_LastError(&hr));
    EXPECT_EQ(SUITE_E_MD5CHECKFAILED, hr);
    com::Bstr file;
    ASSERT_EQ(S_OK, error->get_File(file.Put()));
    EXPECT_EQ(L"C:\\stage\\core.msi", file.View());
    com::ComPtr<IParcel> held;
    ASSERT_EQ(S_OK, error->get_Parcel(held.Put()));
    EXPECT_EQ(static_cast<IParcel*>(parcel.Get()), held.Get());

    com::ComPtr<IBootstrapError> plain = Make(ebesEngine, E_FAIL);
    ASSERT_EQ(S_OK, plain->get_Parcel(held.Put()));
    EXPECT_FALSE(held);

    EXPECT_EQ(E_POINTER, error->get_Source(nullptr));
    EXPECT_EQ(E_POINTER, error->get_LastError(nullptr));
    EXPECT_EQ(E_POINTER, error->get_File(nullptr));
    EXPECT_EQ(E_POINTER, error->get_Parcel(nullptr));
    EXPECT_EQ(E_POINTER, error->get_Description(nullptr));
}

TEST_F(BootstrapErrorTest, HoldsItsParcelUntilReplacedOrReleased)
{
    com::ComPtr<com::Object<TestParcel>> first, second;
    ASSERT_EQ(S_OK, com::MakeObject(first, std::wstring(L"first")));
    ASSERT_EQ(S_OK, com::MakeObject(second, std::wstring(L"second")));
    auto references = [](IUnknown* object) {
        object->AddRef();
        return object->Release();
    };
    const ULONG alone = references(first.Get());

    com::ComPtr<com::Object<CBootstrapError>> error;
    ASSERT_EQ(S_OK, com::MakeObject(error, static_cast<IBootstrap2*>(engine.Get()), kEnglish));
    error->SetError(ebesParcel, E_FAIL, L"", first.Get());
    EXPECT_EQ(alone + 1, references(first.Get()));
    error->SetError(ebesParcel, E_FAIL, L"", second.Get());
    EXPECT_EQ(alone, references(first.Get()));
    EXPECT_EQ(alone + 1, references(second.Get()));
    error.Reset();
    EXPECT_EQ(alone, references(second.Get()));
}

TEST_F(BootstrapErrorTest, DescriptionRule)
{
    struct {
        EnumBootstrapErrorSource source;
        HRESULT hr;
        const wchar_t* file;
        std::wstring expected;
    } cases[] = {
        // The launcher's own codes: the text of their string id in the selected language.
        {ebesStaging, SUITE_E_MD5CHECKFAILED, L"core.msi", L"The file is damaged."},
        // An id without an entry resolves to itself.
        {ebesResource, SUITE_E_RESEXTRACT, L"", L"IDS_SUITEERROR_RESEXTRACT"},
        // An abort condition from the engine carries the condition texts.
        {ebesEngine, SUITE_E_ABORTCONDITION, L"No disk space; Old version", L"Setup cannot continue: No disk space; Old version"},
        {ebesParcel, SUITE_E_ABORTCONDITION, L"No disk space", L"Setup cannot continue: "},
        // Codes of the launcher's range without a string id describe nothing.
        {ebesEngine, SUITE_E_INSTALLMODECONDITION, L"", L""},
        {ebesEngine, static_cast<HRESULT>(0x80040711), L"", L""},
        {ebesEngine, static_cast<HRESULT>(0x800407FF), L"", L""},
        // Anything else: the system's message for the code.
        {ebesTransaction, E_ACCESSDENIED, L"", SystemMessage(E_ACCESSDENIED, kEnglish)},
        {ebesParcel, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), L"", SystemMessage(HRESULT_FROM_WIN32(2), kEnglish)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.hr);
        EXPECT_EQ(c.expected, Description(Make(c.source, c.hr, c.file).Get()));
    }
    EXPECT_FALSE(SystemMessage(E_ACCESSDENIED, kEnglish).empty());
}

// The system may have no message in the suite's language: the default
// language's message is given rather than nothing.
TEST_F(BootstrapErrorTest, SystemMessageFallsBackToTheDefaultLanguage)
{
    const LANGID unsupported = MAKELANGID(LANG_INUKTITUT, SUBLANG_DEFAULT);
    ASSERT_TRUE(SystemMessage(E_ACCESSDENIED, unsupported).empty());
    const std::wstring fallback = SystemMessage(E_ACCESSDENIED, 0);
    ASSERT_FALSE(fallback.empty());
    EXPECT_EQ(fallback, Description(Make(ebesParcel, E_ACCESSDENIED, L"", nullptr, unsupported).Get()));
}

TEST_F(BootstrapErrorTest, LateBoundProperties)
{
    com::ComPtr<IBootstrapError> error = Make(ebesEngine, SUITE_E_ABORTCONDITION, L"Old version");
    com::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, error.As(IID_IDispatch, dispatch));
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    struct {
        const wchar_t* name;
        DISPID id;
        VARTYPE type;
    } properties[] = {
        {L"Source", 1, VT_I4}, {L"LastError", 2, VT_ERROR}, {L"File", 3, VT_BSTR}, {L"Description", 5, VT_BSTR},
    };
    for (const auto& p : properties) {
        SCOPED_TRACE(std::string(p.name, p.name + wcslen(p.name)));
        LPOLESTR name = const_cast<LPOLESTR>(p.name);
        DISPID id = 0;
        ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
        EXPECT_EQ(p.id, id);
        com::Variant result;
        ASSERT_EQ(S_OK, dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result.Put(),
                                         nullptr, nullptr));
        EXPECT_EQ(p.type, result.Type());
        if (p.id == 5) {
            EXPECT_EQ(L"Setup cannot continue: Old version", Text(result.Get().bstrVal));
        }
    }
}

TEST_F(BootstrapErrorTest, WithoutAnEngineOwnCodesHaveNoText)
{
    com::ComPtr<IBootstrapError> error;
    ASSERT_EQ(S_OK, CBootstrapError::Create(nullptr, kEnglish, ebesStaging, SUITE_E_MD5CHECKFAILED, L"x", nullptr,
                                            error.Put()));
    EXPECT_EQ(L"", Description(error.Get()));
    EXPECT_EQ(E_POINTER, CBootstrapError::Create(nullptr, kEnglish, ebesStaging, E_FAIL, L"", nullptr, nullptr));
}

TEST(SuiteErrors, StringIds)
{
    EXPECT_STREQ(L"IDS_SUITEERROR_STATEINFOINIT", SuiteErrorStringId(static_cast<HRESULT>(0x80040701)));
    EXPECT_STREQ(L"IDS_SUITEERROR_FAILEDLAUNCHTEMP", SuiteErrorStringId(static_cast<HRESULT>(0x8004070C)));
    EXPECT_STREQ(L"IDS_SUITEERROR_STAGEDOWNLOADFAIL", SuiteErrorStringId(static_cast<HRESULT>(0x8004070E)));
    EXPECT_STREQ(L"IDS_SUITEERROR_ABORTCONDITION", SuiteErrorStringId(static_cast<HRESULT>(0x80040710)));
    EXPECT_EQ(nullptr, SuiteErrorStringId(static_cast<HRESULT>(0x8004070F)));
    EXPECT_EQ(nullptr, SuiteErrorStringId(static_cast<HRESULT>(0x80040711)));
    EXPECT_EQ(nullptr, SuiteErrorStringId(static_cast<HRESULT>(0x00040701)));
}
