// Random and mutated texts through the formatted-string parser, the converters
// and the comparator: nothing may crash, hang or change a text without "[".

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "conditions/ConditionComparator.h"
#include "conditions/ConditionValueTypeConverter.h"
#include "conditions/FormattedString.h"
#include "kr/holders.h"
#include "support/ConditionTestSupport.h"

namespace {

using testing_support::FakeEngine;

constexpr int kTexts = 40000;
constexpr size_t kMaxLength = 160;

// Answers every member with its arguments joined, so object paths run through.
class EchoObject final : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = iid == IID_IUnknown || iid == IID_IDispatch ? this : nullptr;
        if (!*out)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (!left)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override
    {
        ids[0] = names[0][0] == L'F' ? DISPID_UNKNOWN : 1;
        return ids[0] == 1 ? S_OK : DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO*, UINT*) override
    {
        std::wstring text;
        for (UINT i = parameters->cArgs; i-- > 0;)
            text.append(V_BSTR(&parameters->rgvarg[i]), SysStringLen(V_BSTR(&parameters->rgvarg[i])));
        if (result) {
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
        }
        return S_OK;
    }

private:
    ULONG m_references = 1;
};

class AnyConverter : public CConditionValueTypeConverter {
public:
    explicit AnyConverter(const wchar_t* type) : m_type(type) { Parse(); }
    _stringx GetAttribute(const _stringx& name) const override
    {
        return name == L"Convert" ? _stringx(m_type) : _stringx();
    }
    DWORD GetAllowedTypes() const override { return 0x7F; }

private:
    const wchar_t* m_type;
};

class AnyComparator : public CConditionComparator {
public:
    explicit AnyComparator(const wchar_t* op) : m_op(op) { Parse(); }
    _stringx GetAttribute(const _stringx&) const override { return m_op; }

private:
    const wchar_t* m_op;
};

const wchar_t kAlphabet[] = L"[[[]]]@@%%\\~~(()),,..  \t\0aNxe:P-19.0F";

std::wstring RandomText(std::mt19937& random)
{
    std::uniform_int_distribution<size_t> length(0, kMaxLength);
    std::uniform_int_distribution<size_t> pick(0, std::size(kAlphabet) - 2);
    std::uniform_int_distribution<int> wide(0, 15);
    std::wstring text(length(random), L' ');
    for (wchar_t& ch : text)
        ch = wide(random) == 0 ? static_cast<wchar_t>(random() & 0xFFFF) : kAlphabet[pick(random)];
    return text;
}

std::wstring Mutate(std::wstring text, std::mt19937& random)
{
    std::uniform_int_distribution<int> action(0, 3);
    for (int round = 0; round < 4; ++round) {
        const size_t at = text.empty() ? 0 : random() % (text.size() + 1);
        switch (action(random)) {
        case 0:
            text.insert(at, 1, kAlphabet[random() % (std::size(kAlphabet) - 1)]);
            break;
        case 1:
            if (at < text.size())
                text.erase(at, 1 + random() % 3);
            break;
        case 2:
            if (at < text.size())
                text[at] = kAlphabet[random() % (std::size(kAlphabet) - 1)];
            break;
        default:
            text.insert(at, text.substr(0, random() % (text.size() + 1)));
            break;
        }
    }
    return text.size() > 4 * kMaxLength ? text.substr(0, 4 * kMaxLength) : text;
}

TEST(FormattedStringFuzz, RandomAndMutatedTexts)
{
    FakeEngine engine;
    engine.objects = [](const _stringx& name, IDispatch** object, HMODULE* module) -> HRESULT {
        *module = nullptr;
        if (name.empty() || name[0] != L'a')
            return E_NOINTERFACE;
        *object = new EchoObject;
        return S_OK;
    };
    for (const wchar_t* name : {L"a", L"N", L"x", L"e", L"P", L"aN", L"Nx"})
        engine.store.SetAttribute(name, L"[v]@");
    SetEnvironmentVariableW(L"a", L"env");

    const std::vector<std::wstring> seeds = {
        L"[Name]", L"[A[B]]", L"[%[V]]", L"[\\[]", L"[~]", L"ab[cd[e]", L"[@a(x, [P] ,).N(,)]", L"[@a.b(c)d]",
        L"[a)b]", L"[a,b]", L"[]", L"[@Parcel(Core).Name]", L"x[%a]y[\\ab]z",
    };
    const AnyConverter converters[] = {AnyConverter(L"DWORD"),   AnyConverter(L"QWORD"),
                                       AnyConverter(L"String"),  AnyConverter(L"MultiString"),
                                       AnyConverter(L"Version"), AnyConverter(L"ProductVersion"),
                                       AnyConverter(L"LocalDateTime")};
    const wchar_t* operators[] = {L"LessThan", L"Equal", L"HasFlags", L"AnyContains", L"AnyEndsWith", L"NotEqual"};

    std::mt19937 random(20240501);
    size_t characters = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kTexts; ++i) {
        const std::wstring text =
            i % 2 ? RandomText(random) : Mutate(seeds[random() % seeds.size()], random);
        characters += text.size();
        const _stringx input(text.c_str(), text.size());

        const _stringx dropped = FormatPropertyString(input, &engine.store);
        const _stringx kept = FormatPropertyStringKeepUnresolved(input, &engine.store);
        if (text.find(L'[') == std::wstring::npos) {
            ASSERT_EQ(std::wstring(dropped.c_str(), dropped.length()), text) << i;
            ASSERT_EQ(std::wstring(kept.c_str(), kept.length()), text) << i;
        }

        const AnyConverter& converter = converters[i % std::size(converters)];
        kr::variant_holder actual;
        kr::variant_holder expected;
        const HRESULT first = converter.Convert(input, actual.get());
        const HRESULT second = converter.Convert(kept, expected.get());
        if (SUCCEEDED(first) && SUCCEEDED(second)) {
            const AnyComparator comparator(operators[i % std::size(operators)]);
            bool result = false;
            ASSERT_EQ(comparator.Compare(*actual.get(), *expected.get(), &result), S_OK) << i;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d texts, %zu characters in %.2f s\n", kTexts, characters, seconds);
    SetEnvironmentVariableW(L"a", nullptr);
}

} // namespace
