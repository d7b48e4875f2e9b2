#pragma once

// Parses a formatted string into an expression tree and evaluates it against a
// property store: [Name] a property, [%Name] an environment variable, [\c] one
// character, [~] a NUL character, [@Object(arguments).Member(arguments)] a
// value read from a scripting object. Names may hold further references.

#include <windows.h>

#include <memory>

#include "conditions/ExpressionItems.h"
#include "kr/stringx.h"

class CProperties;

class CFormattedStringParser {
public:
    // dropUnresolved: an empty property gives the empty text rather than [Name].
    CFormattedStringParser(const _stringx& text, bool dropUnresolved);
    CFormattedStringParser(const CFormattedStringParser&) = delete;
    CFormattedStringParser& operator=(const CFormattedStringParser&) = delete;
    virtual ~CFormattedStringParser();

    // Borrowed for the evaluation; null means that no property is set.
    void SetContext(const CProperties* context) noexcept { m_context = context; }

    // Parses the whole text and evaluates it. The value is the empty text when
    // there is nothing to evaluate or the evaluation fails (the result says so).
    HRESULT Evaluate(_stringx& value);

    // References nested deeper than this make the whole text fail to parse.
    static constexpr int kMaxNesting = 100;

private:
    enum class Mode { Outside, Inside };

    int NextCode();
    void StepBack() noexcept;
    std::unique_ptr<CExpressionItem> ParseSequence();
    std::unique_ptr<CExpressionItem> ParseItem(Mode mode);
    std::unique_ptr<CExpressionItem> ParseLiteral(Mode mode);
    std::unique_ptr<CExpressionItem> ParseReference();
    std::unique_ptr<CExpressionItem> ParseObjectExpression();
    ExpressionItems ParseArguments();
    std::unique_ptr<CExpressionItem> ParseArgumentLiteral();
    // The text from the current character up to the code just read.
    _stringx TextSince(size_t start) const;
    void GiveUpTooDeep() noexcept;

    _stringx m_text;
    size_t m_position = 0;
    int m_code = -1;
    bool m_dropUnresolved;
    const CProperties* m_context = nullptr;
    int m_depth = 0;
    bool m_tooDeep = false;
};
