#pragma once

// The tree a formatted string is parsed into: literals, concatenations,
// references and object expressions, evaluated against a property store.

#include <windows.h>

#include <memory>
#include <vector>

#include "kr/stringx.h"

class CProperties;
class SuiteObjectInstance;

class CExpressionItem {
public:
    CExpressionItem() = default;
    CExpressionItem(std::unique_ptr<CExpressionItem> left, std::unique_ptr<CExpressionItem> right);
    CExpressionItem(const CExpressionItem&) = delete;
    CExpressionItem& operator=(const CExpressionItem&) = delete;
    // Long chains are taken apart one node at a time, not by recursion.
    virtual ~CExpressionItem();

    // The context may be null: then no property is set.
    virtual HRESULT Evaluate(const CProperties* context, _stringx& value) const = 0;

    const CExpressionItem* Left() const noexcept { return m_left.get(); }
    const CExpressionItem* Right() const noexcept { return m_right.get(); }

private:
    std::unique_ptr<CExpressionItem> m_left;
    std::unique_ptr<CExpressionItem> m_right;
};

using ExpressionItems = std::vector<std::unique_ptr<CExpressionItem>>;

class CStringLiteralItem : public CExpressionItem {
public:
    explicit CStringLiteralItem(const _stringx& text) : m_text(text) {}

    HRESULT Evaluate(const CProperties* context, _stringx& value) const override;

private:
    _stringx m_text;
};

// Left text followed by right text. The result is the right side's: through a
// chain of concatenations only the rightmost item's result counts. A missing
// side adds nothing and does not fail.
class CConcatExpressionItem : public CExpressionItem {
public:
    CConcatExpressionItem(std::unique_ptr<CExpressionItem> left, std::unique_ptr<CExpressionItem> right)
        : CExpressionItem(std::move(left), std::move(right))
    {
    }

    // Walks the leaves in order without recursion, so chains of any length evaluate.
    HRESULT Evaluate(const CProperties* context, _stringx& value) const override;
};

enum PropertyReferenceKind {
    prkProperty = 0,
    prkEscape = 1,
    prkEnvironment = 2,
    prkNul = 3,
    prkLiteral = 4,
};

// [Name], [%Name], [\c], [~], or a reference reproduced as text. The name
// expression is the left child.
class CPropertyExpressionItem : public CExpressionItem {
public:
    CPropertyExpressionItem(std::unique_ptr<CExpressionItem> name, int kind, const _stringx& literal,
                            bool dropUnresolved);

    HRESULT Evaluate(const CProperties* context, _stringx& value) const override;

private:
    int m_kind;
    _stringx m_literal;
    bool m_dropUnresolved;
};

// The member part of an object expression; called only through its object.
class CMethodExpressionItem : public CExpressionItem {
public:
    CMethodExpressionItem(const _stringx& name, ExpressionItems arguments);

    HRESULT Evaluate(const CProperties* context, _stringx& value) const override;
    // Calls the member on the object and gives its result as text.
    HRESULT CallMember(SuiteObjectInstance& object, const CProperties* context, _stringx& value) const;

private:
    _stringx m_name;
    ExpressionItems m_arguments;
};

// [@Object(arguments).Member(arguments)]; the member is the right child.
class CObjectExpressionItem : public CExpressionItem {
public:
    CObjectExpressionItem(const _stringx& name, ExpressionItems arguments,
                          std::unique_ptr<CMethodExpressionItem> member);

    HRESULT Evaluate(const CProperties* context, _stringx& value) const override;

private:
    _stringx m_name;
    ExpressionItems m_arguments;
};
