#include "conditions/PlatformCondition.h"

#include <vector>

#include "conditions/EngineOsVersion.h"
#include "conditions/PlatformArchitecture.h"
#include "kr/trace_log.h"

namespace {

#define CONDITION_TRACE(...) TraceFormat({L"Condition", __LINE__}, __VA_ARGS__)

constexpr wchar_t kBlanks[] = L"\n\t ";
constexpr unsigned kNoBound = CPlatformCondition::kNoBound;

_stringx Trimmed(_stringx text)
{
    text.trim(kBlanks);
    return text;
}

// A plain unsigned decimal number and nothing else.
bool ReadWhole(const _stringx& text, unsigned* value)
{
    if (text.empty() || text[0] < L'0' || text[0] > L'9')
        return false;
    unsigned long number = 0;
    if (!text.to_ulong(number, 10))
        return false;
    *value = static_cast<unsigned>(number);
    return true;
}

// "major[.minor[...]]" as major * 100 + minor; parts after the second are ignored.
bool ReadOsVersion(const _stringx& text, unsigned* value)
{
    const std::vector<_stringx> parts = text.split(_stringx(L"."));
    unsigned major = 0;
    unsigned minor = 0;
    if (!ReadWhole(parts[0], &major))
        return false;
    if (parts.size() > 1 && !ReadWhole(parts[1], &minor))
        return false;
    *value = major * 100 + minor;
    return true;
}

using BoundReader = bool (*)(const _stringx&, unsigned*);

// One bound of a range; an empty piece leaves the bound unset.
bool ReadBound(const _stringx& piece, BoundReader read, unsigned* bound)
{
    const _stringx text = Trimmed(piece);
    if (text.empty())
        return true;
    return read(text, bound);
}

struct NamedBit {
    const wchar_t* name;
    unsigned bit;
};

// A "," list of names, each setting its bit.
bool ReadMask(const _stringx& text, const NamedBit* names, size_t count, unsigned* mask)
{
    *mask = 0;
    for (const _stringx& piece : Trimmed(text).split(_stringx(L","))) {
        const _stringx name = Trimmed(piece);
        bool known = false;
        for (size_t i = 0; i < count && !known; ++i) {
            if (name == names[i].name) {
                *mask |= names[i].bit;
                known = true;
            }
        }
        if (!known)
            return false;
    }
    return true;
}

constexpr NamedBit kProductTypes[] = {{L"Workstation", 1}, {L"Server", 2}, {L"DomainController", 4}};
constexpr NamedBit kArchitectures[] = {{L"x86", 1}, {L"x64", 2}, {L"ia64", 4}};

bool Within(unsigned value, unsigned minimum, unsigned maximum)
{
    return (minimum == kNoBound || value >= minimum) && (maximum == kNoBound || value <= maximum);
}

unsigned ProductTypeBits(BYTE productType)
{
    switch (productType) {
    case VER_NT_WORKSTATION:
        return 1;
    case VER_NT_DOMAIN_CONTROLLER:
        return 2 | 4;
    case VER_NT_SERVER:
        return 2;
    default:
        return 0;
    }
}

unsigned ArchitectureBit()
{
    switch (NativePlatformArchitecture()) {
    case paAmd64:
        return 2;
    case paIa64:
        return 4;
    default:
        return 1;
    }
}

} // namespace

HRESULT CPlatformCondition::Validate()
{
    m_minimumOs = m_maximumOs = kNoBound;
    m_minimumServicePack = m_maximumServicePack = kNoBound;
    m_minimumBuild = kNoBound;
    m_productTypes = m_architectures = 7;

    const _stringx osVersion = ReadAttribute(L"OSVersion");
    const _stringx servicePack = ReadAttribute(L"ServicePack");
    const _stringx buildNumber = ReadAttribute(L"BuildNumber");
    const _stringx productType = ReadAttribute(L"ProductType");
    const _stringx architecture = ReadAttribute(L"Architecture");
    m_csdVersion = ReadAttribute(L"CSDVersion");

    if (!osVersion.empty()) {
        const std::vector<_stringx> pieces = osVersion.split(_stringx(L"-"));
        const _stringx& maximum = pieces.size() > 1 ? pieces[1] : pieces[0];
        if (pieces.size() > 2 || !ReadBound(pieces[0], ReadOsVersion, &m_minimumOs) ||
            !ReadBound(maximum, ReadOsVersion, &m_maximumOs)) {
            CONDITION_TRACE(L"Platform: invalid OS version supplied (%s)", osVersion.c_str());
            return E_INVALIDARG;
        }
    }
    if (!servicePack.empty()) {
        if (osVersion.empty()) {
            CONDITION_TRACE(L"Platform: SP version '%s' specified but no OS version was provided", servicePack.c_str());
            return E_INVALIDARG;
        }
        const std::vector<_stringx> pieces = servicePack.split(_stringx(L"-"));
        const _stringx& maximum = pieces.size() > 1 ? pieces[1] : pieces[0];
        if (pieces.size() > 1 && Trimmed(pieces[0]).empty())
            m_minimumServicePack = 0;
        if (pieces.size() > 2 || !ReadBound(pieces[0], ReadWhole, &m_minimumServicePack)) {
            CONDITION_TRACE(L"Platform: invalid SP version minimum provided (%s)", servicePack.c_str());
            return E_INVALIDARG;
        }
        if (!ReadBound(maximum, ReadWhole, &m_maximumServicePack)) {
            CONDITION_TRACE(L"Platform: invalid SP version maximum provided (%s)", servicePack.c_str());
            return E_INVALIDARG;
        }
    }
    if (!buildNumber.empty() && !ReadWhole(buildNumber, &m_minimumBuild)) {
        CONDITION_TRACE(L"Platform: invalid build number provided (%s)", buildNumber.c_str());
        return E_INVALIDARG;
    }
    if (!productType.empty() && !ReadMask(productType, kProductTypes, std::size(kProductTypes), &m_productTypes)) {
        CONDITION_TRACE(L"Platform: invalid platform type provided (%s)", productType.c_str());
        return E_INVALIDARG;
    }
    if (!architecture.empty() &&
        !ReadMask(architecture, kArchitectures, std::size(kArchitectures), &m_architectures)) {
        CONDITION_TRACE(L"Platform: invalid architecture provided (%s)", architecture.c_str());
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT CPlatformCondition::Evaluate(bool* result)
{
    const OSVERSIONINFOEXW& os = EngineOsVersionInfo();
    bool matches = Within(EngineOsVersionNumber(), m_minimumOs, m_maximumOs) &&
                   Within(os.wServicePackMajor, m_minimumServicePack, m_maximumServicePack) &&
                   (m_csdVersion.empty() || m_csdVersion == os.szCSDVersion) &&
                   (m_minimumBuild == kNoBound || os.dwBuildNumber >= m_minimumBuild);
    if (matches && m_productTypes != 7)
        matches = (ProductTypeBits(os.wProductType) & m_productTypes) != 0;
    if (matches && m_architectures != 7)
        matches = (ArchitectureBit() & m_architectures) != 0;
    *result = matches;
    return S_OK;
}

std::unique_ptr<CCondition> MakePlatformCondition()
{
    return std::make_unique<CPlatformCondition>();
}
