#include "conditions/FormattedString.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/ConditionTestSupport.h"

namespace {

using testing_support::FakeEngine;
using testing_support::TraceCapture;

const wchar_t kModuleName[] = L"condition_test_module.dll";

struct ObjectLog {
    std::vector<std::wstring> calls;
    int released = 0;
    bool moduleLoadedAtRelease = false;
};

// A scripting object as an automation client sees it: members by name, called
// through IDispatch::Invoke with BSTR arguments.
class FakeSuiteObject final : public IDispatch {
public:
    FakeSuiteObject(std::shared_ptr<ObjectLog> log, bool failingConstructor)
        : m_log(std::move(log)), m_failingConstructor(failingConstructor)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0) {
            ++m_log->released;
            m_log->moduleLoadedAtRelease = GetModuleHandleW(kModuleName) != nullptr;
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override
    {
        if (iid != IID_NULL || count != 1 || locale != 0)
            return E_INVALIDARG;
        for (size_t i = 0; i < std::size(kMembers); ++i) {
            if (_wcsicmp(names[0], kMembers[i]) == 0) {
                ids[0] = static_cast<DISPID>(i + 1);
                return S_OK;
            }
        }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO*, UINT*) override
    {
        if (id < 1 || static_cast<size_t>(id) > std::size(kMembers))
            return DISP_E_MEMBERNOTFOUND;
        const std::wstring member = kMembers[id - 1];
        std::vector<std::wstring> arguments;
        // Arguments arrive last first.
        for (UINT i = parameters->cArgs; i-- > 0;) {
            const VARIANT& argument = parameters->rgvarg[i];
            if (V_VT(&argument) != VT_BSTR)
                return DISP_E_TYPEMISMATCH;
            arguments.emplace_back(V_BSTR(&argument), SysStringLen(V_BSTR(&argument)));
        }
        std::wstring call = member + L"(";
        for (size_t i = 0; i < arguments.size(); ++i)
            call += (i ? L"|" : L"") + arguments[i];
        call += L")";
        if (locale != 0 || flags != (DISPATCH_METHOD | DISPATCH_PROPERTYGET) || parameters->cNamedArgs != 0)
            call += L" bad call";
        m_log->calls.push_back(call);

        if (member == L"Ctor") {
            if (m_failingConstructor)
                return E_FAIL;
            m_state = arguments.empty() ? L"" : arguments[0];
            return S_OK;
        }
        if (member == L"Fail")
            return E_ACCESSDENIED;
        VariantInit(result);
        if (member == L"Number") {
            V_VT(result) = VT_I4;
            V_I4(result) = 42;
            return S_OK;
        }
        std::wstring text;
        if (member == L"Name")
            text = L"parcel " + m_state;
        else if (member == L"Architecture")
            text = L"x86";
        else if (member == L"Echo") {
            for (size_t i = 0; i < arguments.size(); ++i)
                text += (i ? L"|" : L"") + arguments[i];
        }
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
        return S_OK;
    }

private:
    static constexpr const wchar_t* kMembers[] = {L"Ctor", L"Value", L"Name", L"Architecture", L"Echo", L"Number",
                                                  L"Fail"};

    std::shared_ptr<ObjectLog> m_log;
    bool m_failingConstructor;
    ULONG m_references = 1;
    std::wstring m_state;
};

class ObjectExpression : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_.store.SetAttribute(L"P", L"-p-");
        engine_.objects = [this](const _stringx& name, IDispatch** object, HMODULE* module) -> HRESULT {
            created_.emplace_back(name.c_str(), name.length());
            *module = nullptr;
            if (name == L"Module") {
                *module = LoadLibraryW(kModuleName);
                if (!*module)
                    return HRESULT_FROM_WIN32(GetLastError());
            } else if (!(name == L"Parcel") && !(name == L"Platform") && !(name == L"Failing")) {
                return E_NOINTERFACE;
            }
            *object = new FakeSuiteObject(log_, name == L"Failing");
            return S_OK;
        };
    }

    std::wstring Expand(const wchar_t* text) const
    {
        const _stringx value = FormatPropertyString(text, &engine_.store);
        return std::wstring(value.c_str(), value.length());
    }

    FakeEngine engine_;
    std::shared_ptr<ObjectLog> log_ = std::make_shared<ObjectLog>();
    std::vector<std::wstring> created_;
};

TEST_F(ObjectExpression, MemberWithoutConstructorArguments)
{
    EXPECT_EQ(Expand(L"[@Platform.Architecture]"), L"x86");
    EXPECT_EQ(log_->calls, std::vector<std::wstring>{L"Architecture()"});
    EXPECT_EQ(log_->released, 1);
}

TEST_F(ObjectExpression, ConstructorRunsBeforeTheMember)
{
    EXPECT_EQ(Expand(L"<[@Parcel(Core).Name]>"), L"<parcel Core>");
    EXPECT_EQ(log_->calls, (std::vector<std::wstring>{L"Ctor(Core)", L"Name()"}));
}

TEST_F(ObjectExpression, WithoutMemberTheValueIsEmpty)
{
    EXPECT_EQ(Expand(L"a[@Parcel(x[P]y)]b"), L"ab");
    EXPECT_EQ(log_->calls, std::vector<std::wstring>{L"Value(x-p-y)"});
    log_->calls.clear();
    EXPECT_EQ(Expand(L"a[@Parcel]b"), L"ab");
    EXPECT_TRUE(log_->calls.empty());
    EXPECT_EQ(log_->released, 2);
}

TEST_F(ObjectExpression, ArgumentLists)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* call;
    };
    const Case cases[] = {
        {L"[@Parcel.Echo( a , b )]", L"Echo(a |b )"},
        {L"[@Parcel.Echo(,)]", L"Echo(|)"},
        {L"[@Parcel.Echo(a,)]", L"Echo(a|)"},
        {L"[@Parcel.Echo(,a)]", L"Echo(|a)"},
        {L"[@Parcel.Echo()]", L"Echo()"},
        {L"[@Parcel.Echo( )]", L"Echo()"},
        {L"[@Parcel.Echo( , )]", L"Echo()"},
        {L"[@Parcel.Echo(x[P]y)]", L"Echo(x-p-y)"},
        {L"[@Parcel.Echo( [P] y, [P])]", L"Echo(-p-y|-p-)"},
        {L"[@Parcel.Echo(a b\tc)]", L"Echo(a b\tc)"},
        {L"[@Parcel.Echo(a]b)]", L"Echo(a]b)"},
        {L"[@Parcel.Echo([\\)])]", L"Echo())"},
    };
    for (const Case& c : cases) {
        log_->calls.clear();
        Expand(c.text);
        ASSERT_EQ(log_->calls.size(), 1u) << c.text;
        EXPECT_EQ(log_->calls[0], c.call) << c.text;
    }

    // A NUL character separates arguments too.
    log_->calls.clear();
    FormatPropertyString(_stringx(L"[@Parcel.Echo(a\0b)]", 19), &engine_.store);
    EXPECT_EQ(log_->calls, std::vector<std::wstring>{L"Echo(a|b)"});
}

TEST_F(ObjectExpression, LongArgumentsEvaluate)
{
    std::wstring text = L"[@Parcel.Echo(";
    std::wstring argument;
    for (int i = 0; i < 50000; ++i) {
        text += L"x[P]";
        argument += L"x-p-";
    }
    text += L")]";
    EXPECT_EQ(Expand(text.c_str()), argument);
}

TEST_F(ObjectExpression, ResultsBecomeText)
{
    EXPECT_EQ(Expand(L"n=[@Parcel.Number]"), L"n=42");
}

TEST_F(ObjectExpression, FailingMemberLeavesTheValueEmpty)
{
    EXPECT_EQ(Expand(L"a[@Parcel.Fail]"), L"a");
    EXPECT_EQ(Expand(L"a[@Parcel.Missing]b"), L"ab");
    EXPECT_EQ(log_->released, 2);
}

TEST_F(ObjectExpression, UnknownObjectFailsTheRightmostPart)
{
    const TraceCapture trace;
    EXPECT_EQ(Expand(L"a[@Unknown.Name]"), L"");
    EXPECT_EQ(Expand(L"[@Unknown.Name]b"), L"b");
    EXPECT_NE(trace.Messages().find(L"SuiteObject: initialize object for 'Unknown' failed with error 80004002\n"),
              std::wstring::npos)
        << trace.Messages();
}

TEST_F(ObjectExpression, FailingConstructorFailsTheItem)
{
    const TraceCapture trace;
    EXPECT_EQ(Expand(L"a[@Failing(x).Name]"), L"");
    EXPECT_EQ(log_->calls, std::vector<std::wstring>{L"Ctor(x)"});
    EXPECT_EQ(log_->released, 1);
    EXPECT_NE(trace.Messages().find(L"SuiteObject call ('Ctor') failed with error 80004005\n"), std::wstring::npos)
        << trace.Messages();
}

TEST_F(ObjectExpression, MalformedExpressionsYieldNoItem)
{
    EXPECT_EQ(Expand(L"[@Parcel(a)b]"), L"");
    EXPECT_EQ(log_->calls, std::vector<std::wstring>{L"Value(a)"});
    log_->calls.clear();

    const wchar_t* malformed[] = {L"[@Parcel", L"[@Parcel.Name", L"[@Parcel(a", L"[@Parcel(a)", L"[@"};
    for (const wchar_t* text : malformed)
        EXPECT_EQ(Expand(text), L"") << text;
    EXPECT_TRUE(created_.size() == 1 && log_->calls.empty());
    // Next to other items a missing one adds nothing.
    EXPECT_EQ(Expand(L"a[@Parcel.Name"), L"a");
    // The expression ends at the unexpected character; what follows is text.
    EXPECT_EQ(Expand(L"[@Parcel(a)bc]z"), L"]z");
}

TEST_F(ObjectExpression, ObjectIsReleasedBeforeItsModuleIsFreed)
{
    ASSERT_EQ(GetModuleHandleW(kModuleName), nullptr);
    EXPECT_EQ(Expand(L"[@Module(m).Name]"), L"parcel m");
    EXPECT_EQ(log_->released, 1);
    EXPECT_TRUE(log_->moduleLoadedAtRelease);
    EXPECT_EQ(GetModuleHandleW(kModuleName), nullptr);
}

TEST_F(ObjectExpression, EachEvaluationCreatesTheObjectAfresh)
{
    EXPECT_EQ(Expand(L"[@Parcel(a).Name][@Parcel(b).Name]"), L"parcel aparcel b");
    EXPECT_EQ(created_, (std::vector<std::wstring>{L"Parcel", L"Parcel"}));
    EXPECT_EQ(log_->released, 2);
}

TEST_F(ObjectExpression, WithoutEngineObjectsCannotBeCreated)
{
    SetSetupEngine(nullptr);
    EXPECT_EQ(Expand(L"a[@Parcel.Name]"), L"");
    SetSetupEngine(&engine_);
}

} // namespace
