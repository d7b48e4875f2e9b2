#include "conditions/FormattedStringParser.h"

#include <utility>

#include "kr/trace_log.h"

namespace {

#define PARSER_SOURCE TraceSource{L"FormattedString", __LINE__}

// What the reader sees in place of these characters; every other character
// is its own code (0 to 65535).
constexpr int kEnd = -6;
constexpr int kOpen = -5;
constexpr int kAt = -2;
constexpr int kClose = -1;

int CodeOf(wchar_t ch) noexcept
{
    switch (ch) {
    case L'[':
        return kOpen;
    case L']':
        return kClose;
    case L'@':
        return kAt;
    default:
        return static_cast<unsigned short>(ch);
    }
}

void AppendCode(_stringx& text, int code)
{
    switch (code) {
    case kEnd:
        break;
    case kOpen:
        text += L'[';
        break;
    case kClose:
        text += L']';
        break;
    case kAt:
        text += L'@';
        break;
    default:
        text += static_cast<wchar_t>(code);
        break;
    }
}

bool IsBlank(int code) noexcept
{
    return code == L' ' || code == L'\t' || code == L'\n' || code == L'\v' || code == L'\f' || code == L'\r';
}

std::unique_ptr<CExpressionItem> Literal(const _stringx& text)
{
    return std::make_unique<CStringLiteralItem>(text);
}

std::unique_ptr<CExpressionItem> Concat(std::unique_ptr<CExpressionItem> left, std::unique_ptr<CExpressionItem> right)
{
    return std::make_unique<CConcatExpressionItem>(std::move(left), std::move(right));
}

// A name grows part by part; a missing part adds nothing.
void JoinPart(std::unique_ptr<CExpressionItem>& name, std::unique_ptr<CExpressionItem> part)
{
    if (!part)
        return;
    name = name ? Concat(std::move(name), std::move(part)) : std::move(part);
}

// How a reference was opened, for reproducing it when it does not close.
_stringx Opening(int kind)
{
    return _stringx(kind == prkEnvironment ? L"[%" : L"[");
}

class DepthGuard {
public:
    explicit DepthGuard(int& depth) noexcept : m_depth(++depth) {}
    ~DepthGuard() { --m_depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;

    int Depth() const noexcept { return m_depth; }

private:
    int& m_depth;
};

} // namespace

CFormattedStringParser::CFormattedStringParser(const _stringx& text, bool dropUnresolved)
    : m_text(text), m_dropUnresolved(dropUnresolved)
{
}

CFormattedStringParser::~CFormattedStringParser() = default;

HRESULT CFormattedStringParser::Evaluate(_stringx& value)
{
    value.clear();
    m_position = 0;
    m_code = -1;
    m_depth = 0;
    m_tooDeep = false;

    const std::unique_ptr<CExpressionItem> root = ParseSequence();
    if (m_tooDeep) {
        TraceFormat(PARSER_SOURCE, L"FormattedString: references nested deeper than %d levels", kMaxNesting);
        return E_INVALIDARG;
    }
    if (!root)
        return S_OK;
    _stringx text;
    const HRESULT hr = root->Evaluate(m_context, text);
    if (SUCCEEDED(hr))
        value = std::move(text);
    return hr;
}

int CFormattedStringParser::NextCode()
{
    ++m_position;
    m_code = m_position > m_text.length() ? kEnd : CodeOf(m_text[m_position - 1]);
    return m_code;
}

void CFormattedStringParser::StepBack() noexcept
{
    if (m_position > 0)
        --m_position;
}

_stringx CFormattedStringParser::TextSince(size_t start) const
{
    // The code just read is not part of the text; at the end there is none.
    size_t end = m_position - 1;
    if (end > m_text.length())
        end = m_text.length();
    return start < end ? m_text.substr(start, end - start) : _stringx();
}

void CFormattedStringParser::GiveUpTooDeep() noexcept
{
    // From here on every read is the end, so each open construct unwinds.
    m_tooDeep = true;
    m_position = m_text.length() + 1;
    m_code = kEnd;
}

std::unique_ptr<CExpressionItem> CFormattedStringParser::ParseSequence()
{
    return ParseItem(Mode::Outside);
}

// A run of items joined from the right: item, then the rest. Built in a loop
// so that the depth does not grow with the number of items.
std::unique_ptr<CExpressionItem> CFormattedStringParser::ParseItem(Mode mode)
{
    ExpressionItems items;
    for (;;) {
        const int code = NextCode();
        if (code == kEnd) {
            items.push_back(Literal(_stringx()));
            break;
        }
        items.push_back(code == kOpen ? ParseReference() : ParseLiteral(mode));
        if (mode == Mode::Inside && (m_code == kOpen || m_code == kClose || m_code == L')'))
            break;
        if (NextCode() == kEnd)
            break;
        StepBack();
    }

    std::unique_ptr<CExpressionItem> rest = std::move(items.back());
    items.pop_back();
    while (!items.empty()) {
        rest = Concat(std::move(items.back()), std::move(rest));
        items.pop_back();
    }
    return rest;
}

std::unique_ptr<CExpressionItem> CFormattedStringParser::ParseLiteral(Mode mode)
{
    // The current code is the run's first character.
    const size_t start = m_position - 1;
    for (;;) {
        const int code = NextCode();
        if (code == kOpen || code == kEnd)
            break;
        if (mode == Mode::Inside && (code == kClose || code == L')' || code == L','))
            break;
    }
    const _stringx text = TextSince(start);
    StepBack();
    return Literal(text);
}

std::unique_ptr<CExpressionItem> CFormattedStringParser::ParseReference()
{
    const DepthGuard guard(m_depth);
    if (guard.Depth() > kMaxNesting) {
        GiveUpTooDeep();
        return nullptr;
    }

    int code = NextCode();
    if (code == kAt)
        return ParseObjectExpression();

    int kind = prkProperty;
    if (code == L'%')
        kind = prkEnvironment;
    else if (code == L'\\')
        kind = prkEscape;
    else if (code == L'~')
        kind = prkNul;

    std::unique_ptr<CExpressionItem> name;
    _stringx literal;
    bool keepGoing = true;
    bool firstPass = true;
    // Whether the reproduced text already starts with the reference's opening,
    // through the literal text or through the first name part.
    bool literalOpens = false;
    bool nameOpens = false;

    for (;; firstPass = false) {
        std::unique_ptr<CExpressionItem> part;
        bool join = true;
        code = m_code;

        if (code == kOpen) {
            part = ParseReference();
            NextCode();
        } else if (code == L'\\') {
            // The escaped character is taken as it stands, brackets included.
            literal.clear();
            literalOpens = false;
            const size_t escaped = m_position;
            if (escaped < m_text.length())
                literal.assign(m_text.c_str() + escaped, 1);
            ++m_position;
            while (NextCode() != kClose && m_code != kEnd) {
            }
            if (m_code == kEnd) {
                const _stringx rest = escaped < m_text.length() ? m_text.substr(escaped) : _stringx();
                if (firstPass) {
                    literal = L"[\\" + rest;
                    literalOpens = true;
                } else {
                    // After a nested reference the rest is reproduced in its place.
                    part = Literal(L"\\" + rest);
                    literal.clear();
                }
            }
        } else if (code == L'~') {
            const int next = NextCode();
            if (next == kClose) {
                kind = prkNul;
            } else {
                _stringx text(firstPass || next != kEnd ? L"[~" : L"~");
                AppendCode(text, next);
                part = Literal(text);
                nameOpens = nameOpens || firstPass;
                keepGoing = false;
            }
        } else {
            if (code != L'%')
                StepBack();
            part = ParseItem(Mode::Inside);
            if (m_code == kOpen) {
                JoinPart(name, std::move(part));
                NextCode();
                join = false;
            } else if (m_code == kClose) {
                NextCode();
            } else {
                if (!literalOpens && !nameOpens) {
                    literal += Opening(kind);
                    literalOpens = true;
                }
                kind = prkLiteral;
                NextCode();
            }
        }

        if (join) {
            JoinPart(name, std::move(part));
            if (m_code == kClose)
                break;
            if (m_code == kEnd) {
                // The end forces the reference to be text: reproduce it as written.
                if (!literalOpens && !nameOpens)
                    literal = Opening(kind) + literal;
                kind = prkLiteral;
                break;
            }
        }
        if (!keepGoing) {
            kind = prkLiteral;
            break;
        }
    }
    return std::make_unique<CPropertyExpressionItem>(std::move(name), kind, literal, m_dropUnresolved);
}

// After "[@": Object(arguments).Member(arguments)]
std::unique_ptr<CExpressionItem> CFormattedStringParser::ParseObjectExpression()
{
    _stringx objectName;
    bool closed = false;
    for (;;) {
        const int code = NextCode();
        if (code == kClose) {
            closed = true;
            break;
        }
        if (code == L'(' || code == L'.')
            break;
        if (code == kEnd)
            return nullptr;
        AppendCode(objectName, code);
    }

    ExpressionItems constructorArguments;
    if (!closed && m_code == L'(') {
        constructorArguments = ParseArguments();
        if (NextCode() == kClose)
            closed = true;
    }

    std::unique_ptr<CMethodExpressionItem> member;
    if (!closed && m_code == L'.') {
        _stringx memberName;
        ExpressionItems memberArguments;
        for (;;) {
            const int code = NextCode();
            if (code == kClose) {
                closed = true;
                break;
            }
            if (code == kEnd)
                break;
            if (code == L'(') {
                memberArguments = ParseArguments();
                break;
            }
            AppendCode(memberName, code);
        }
        member = std::make_unique<CMethodExpressionItem>(memberName, std::move(memberArguments));
    }

    // One stray character may stand before the closing bracket.
    if (!closed && NextCode() != kClose)
        return nullptr;
    return std::make_unique<CObjectExpressionItem>(objectName, std::move(constructorArguments), std::move(member));
}

// After "(": one argument per pass, up to ")" or the end.
ExpressionItems CFormattedStringParser::ParseArguments()
{
    ExpressionItems arguments;
    bool listEnds = false;
    while (!listEnds) {
        std::unique_ptr<CExpressionItem> argument;
        int code = NextCode();
        bool passEnds = code == 0;
        while (!passEnds && !listEnds) {
            if (IsBlank(code)) {
                // Blanks before an argument and after a nested reference are dropped.
            } else if (code == kOpen) {
                std::unique_ptr<CExpressionItem> part = ParseReference();
                argument = argument ? Concat(std::move(argument), std::move(part)) : std::move(part);
            } else if (code == L',') {
                if (!argument)
                    argument = Literal(_stringx());
                break;
            } else if (code == L')') {
                listEnds = true;
                if (!argument && m_position >= 2 && m_text[m_position - 2] == L',')
                    argument = Literal(_stringx());
                break;
            } else if (code == kEnd) {
                listEnds = true;
                break;
            } else if (argument) {
                argument = Concat(std::move(argument), ParseLiteral(Mode::Inside));
            } else {
                argument = ParseArgumentLiteral();
            }
            code = NextCode();
            passEnds = code == 0;
        }
        if (argument)
            arguments.push_back(std::move(argument));
    }
    return arguments;
}

// The first run of an argument: up to a NUL character, the end, "]", ")", "[" or ",".
std::unique_ptr<CExpressionItem> CFormattedStringParser::ParseArgumentLiteral()
{
    const size_t start = m_position - 1;
    for (;;) {
        const int code = NextCode();
        if (code == 0 || code == kEnd || code == kClose || code == L')' || code == kOpen || code == L',')
            break;
    }
    const _stringx text = TextSince(start);
    StepBack();
    return Literal(text);
}
