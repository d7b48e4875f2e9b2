#include "update/UpdateParser.h"

#include <shlwapi.h>

#include <com/ComPtr.h>

#include "kr/trace_log.h"
#include "setupxml/XmlLiteLibrary.h"
#include "update/UpdateEntity.h"
#include "update/UpdateHandler.h"

#define PARSER_SOURCE TraceSource{L"UpdateParser", __LINE__}

namespace {

// Calls f(name, value) for each attribute of the element the reader is on;
// namespace declarations are not attributes.
template <class F>
void ForEachAttribute(IXmlReader& xml, F&& f)
{
    while (xml.MoveToNextAttribute() == S_OK) {
        const wchar_t* prefix = nullptr;
        const wchar_t* name = nullptr;
        const wchar_t* value = nullptr;
        UINT valueLength = 0;
        if (xml.GetPrefix(&prefix, nullptr) != S_OK || xml.GetLocalName(&name, nullptr) != S_OK ||
            xml.GetValue(&value, &valueLength) != S_OK)
            break;
        const _wstringx prefixText(prefix ? prefix : L"");
        const _wstringx nameText(name ? name : L"");
        if (prefixText == L"xmlns" || nameText == L"xmlns")
            continue;
        f(nameText.to_stringx(), _stringx(value ? value : L"", value ? valueLength : 0));
    }
    xml.MoveToElement();
}

} // namespace

HRESULT CUpdateParser::Parse(const _stringx& path, CUpdateHandler& handler)
{
    m_states.assign(1, State::Document);
    m_handler = &handler;
    m_entity = nullptr;
    struct Forget {
        CUpdateParser& parser;
        ~Forget()
        {
            parser.m_handler = nullptr;
            parser.m_entity = nullptr;
            parser.m_states.clear();
        }
    } forget{*this};

    com::ComPtr<IStream> stream;
    HRESULT hr = SHCreateStreamOnFileW(path.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE, stream.Put());
    if (FAILED(hr)) {
        TraceFormat(PARSER_SOURCE, L"Cannot open update description %s, error 0x%08x", path.c_str(), hr);
        return hr;
    }
    com::ComPtr<IXmlReader> xml;
    hr = CreateSystemXmlReader(xml.Put());
    if (SUCCEEDED(hr))
        hr = xml->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    if (SUCCEEDED(hr))
        hr = xml->SetInput(stream.Get());
    if (FAILED(hr)) {
        TraceFormat(PARSER_SOURCE, L"Cannot create the XML reader, error 0x%08x", hr);
        return hr;
    }

    XmlNodeType type = XmlNodeType_None;
    while ((hr = xml->Read(&type)) == S_OK) {
        if (type == XmlNodeType_Element) {
            // Asked before the attributes are read.
            const bool empty = xml->IsEmptyElement() != FALSE;
            const wchar_t* localName = nullptr;
            const wchar_t* namespaceUri = nullptr;
            if (xml->GetLocalName(&localName, nullptr) != S_OK || xml->GetNamespaceUri(&namespaceUri, nullptr) != S_OK)
                return E_FAIL;
            m_states.push_back(StartChild(m_states.back(), *xml.Get(), localName ? localName : L"",
                                          namespaceUri ? namespaceUri : L""));
            if (empty && m_states.size() > 1)
                m_states.pop_back();
        } else if (type == XmlNodeType_EndElement && m_states.size() > 1) {
            m_states.pop_back();
        }
    }
    if (FAILED(hr)) {
        TraceFormat(PARSER_SOURCE, L"Update description %s cannot be read, error 0x%08x", path.c_str(), hr);
        return hr;
    }
    return S_OK;
}

CUpdateParser::State CUpdateParser::StartChild(State parent, IXmlReader& xml, const wchar_t* localName,
                                               const wchar_t* namespaceUri)
{
    if (_wstringx(namespaceUri) != kNamespace)
        return State::Ignored;
    const _wstringx name(localName);
    if (parent == State::Document && name == L"Metadata") {
        ForEachAttribute(xml, [this](const _stringx& n, const _stringx& v) { m_handler->SetAttribute(n, v); });
        return State::Metadata;
    }
    if (parent == State::Metadata && name == L"Update") {
        m_entity = &m_handler->AddEntity();
        ForEachAttribute(xml, [this](const _stringx& n, const _stringx& v) { m_entity->SetAttribute(n, v); });
        return State::Update;
    }
    if (parent == State::Update && m_entity && (name == L"Replace" || name == L"Keep")) {
        _stringx id;
        _stringx version;
        ForEachAttribute(xml, [&](const _stringx& n, const _stringx& v) {
            if (n == L"Id")
                id = v;
            else if (n == L"Version")
                version = v;
        });
        if (name == L"Replace") {
            m_entity->AddReplace(id, version);
            return State::Replace;
        }
        m_entity->AddKeep(id, version);
        return State::Keep;
    }
    return State::Ignored;
}
