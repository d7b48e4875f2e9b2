#pragma once

// A condition element in an XML namespace of its own: its test is code the
// suite ships as a resource, reached through an extension handler made at
// validation.

#include <memory>

#include <com/ComPtr.h>
#include <com/Object.h>

#include "conditions/Condition.h"
#include "conditions/ExtensionHandler.h"

class CExtensionCondition : public CCondition {
public:
    CExtensionCondition() = default;
    ~CExtensionCondition() override;

    // The element's namespace URI and local name, as read.
    void SetExtension(const _stringx& namespaceUri, const _stringx& name) override;
    // A fresh handler runs the extension's validator.
    HRESULT Validate() override;
    HRESULT Evaluate(bool* result) override;

    const _stringx& ExtensionNamespace() const noexcept { return m_namespace; }
    const _wstringx& ExtensionName() const noexcept { return m_name; }

private:
    _stringx m_namespace;
    _wstringx m_name;
    com::ComPtr<com::Object<CExtensionHandler>> m_handler;
};

// An empty extension condition, the maker of kind 5.
std::unique_ptr<CCondition> MakeExtensionCondition();
