#include "setupxml/SetupXmlReader.h"

#include <shlwapi.h>
#include <xmllite.h>

#include <com/ComPtr.h>

#include "setupxml/XmlLiteLibrary.h"
#include "kr/trace_log.h"

#define READER_SOURCE TraceSource{L"SetupXmlReader", __LINE__}

namespace {

// Text is trimmed of these at both ends before it is collected.
constexpr wchar_t kTrimmed[] = L"\n\t ";

struct NodePosition {
    XmlNodeType type = XmlNodeType_None;
    UINT line = 0;
    UINT column = 0;

    bool operator==(const NodePosition&) const = default;
};

} // namespace

HRESULT CSetupXmlReader::Load(const _stringx& path, ISuiteModelBuilder& model)
{
    Reset();
    // The model is forgotten on every road out, exceptions included.
    struct ModelScope {
        CSetupXmlReader& reader;
        ~ModelScope() { reader.Reset(); }
    } scope{*this};
    m_model = &model;

    com::ComPtr<IStream> stream;
    HRESULT hr = SHCreateStreamOnFileW(path.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE, stream.Put());
    if (FAILED(hr)) {
        TraceFormat(READER_SOURCE, L"Cannot open setup description %s, error 0x%08x", path.c_str(), hr);
        return hr;
    }
    com::ComPtr<IXmlReader> xml;
    hr = m_parserFactory ? m_parserFactory(xml.Put()) : CreateSystemXmlReader(xml.Put());
    if (SUCCEEDED(hr))
        hr = xml->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
    // The reader bounds the depth itself, by the same count on every system.
    if (SUCCEEDED(hr))
        hr = xml->SetProperty(XmlReaderProperty_MaxElementDepth, 0);
    if (SUCCEEDED(hr))
        hr = xml->SetInput(stream.Get());
    if (FAILED(hr)) {
        TraceFormat(READER_SOURCE, L"Cannot create the XML reader, error 0x%08x", hr);
        return hr;
    }

    ReadDocument(*xml.Get());
    ResolveTransactionModes(model);
    return S_OK;
}

void CSetupXmlReader::Reset()
{
    m_model = nullptr;
    m_states.assign(1, State::Document);
    m_parcels.clear();
    m_operations.clear();
    m_packages.clear();
    m_folders.clear();
    m_conditions.clear();
    m_features.clear();
    m_objects.clear();
    m_languageTarget = nullptr;
    m_conditionContainer = nullptr;
    m_eventType = kNoEventType;
    m_hasFeatureItem = false;
    m_hasOSDefinition = false;
    m_featureItem.clear();
    m_osDefinition.clear();
    m_name.clear();
    m_text.clear();
}

HRESULT CSetupXmlReader::ReadDocument(IXmlReader& xml)
{
    XmlNodeType type = XmlNodeType_None;
    HRESULT hr = S_OK;
    NodePosition last{};
    // Any result but S_OK ends reading: the end of the document, or a point
    // the parser cannot pass (a DTD among them); what was read stays.
    while ((hr = xml.Read(&type)) == S_OK) {
        // Each node takes at least one character of the document. A parser
        // that hands out the same node again is stuck (some parsers do at
        // the end of a document cut inside a comment): that is a read error.
        NodePosition position{type};
        xml.GetLineNumber(&position.line);
        xml.GetLinePosition(&position.column);
        if (position == last) {
            TraceFormat(READER_SOURCE, L"The XML reader stopped advancing at line %u, column %u; reading stops",
                        position.line, position.column);
            return E_FAIL;
        }
        last = position;
        switch (type) {
        case XmlNodeType_Element: {
            // Asked before the attributes are read: on an attribute the
            // parser no longer knows the element was empty.
            const bool empty = xml.IsEmptyElement() != FALSE;
            const wchar_t* localName = nullptr;
            const wchar_t* namespaceUri = nullptr;
            if (xml.GetLocalName(&localName, nullptr) != S_OK || xml.GetNamespaceUri(&namespaceUri, nullptr) != S_OK)
                return E_FAIL;
            const Element element{xml, _wstringx(localName ? localName : L""),
                                  _wstringx(namespaceUri ? namespaceUri : L"")};
            if (!OnStartElement(element)) {
                TraceFormat(READER_SOURCE, L"Setup description nests deeper than %u elements, reading stops",
                            static_cast<unsigned>(kMaxDepth));
                return E_FAIL;
            }
            if (empty)
                OnEndElement();
            break;
        }
        case XmlNodeType_EndElement:
            OnEndElement();
            break;
        case XmlNodeType_Text:
            CollectText(xml);
            break;
        default:
            // CDATA, whitespace, comments and processing instructions are not content.
            break;
        }
    }
    return hr;
}

bool CSetupXmlReader::OnStartElement(const Element& element)
{
    // The bottom entry is the document itself.
    if (m_states.size() > kMaxDepth)
        return false;
    const State child = StartChild(m_states.back(), element);
    m_states.push_back(child);
    return true;
}

void CSetupXmlReader::OnEndElement()
{
    // A stray end tag never pops the document's own entry.
    if (m_states.size() <= 1)
        return;
    const State state = m_states.back();
    EndElement(state);
    m_states.pop_back();
}

void CSetupXmlReader::CollectText(IXmlReader& xml)
{
    const wchar_t* value = nullptr;
    UINT length = 0;
    if (xml.GetValue(&value, &length) != S_OK || !value)
        return;
    _wstringx text(value, length);
    text.trim(kTrimmed);
    m_text += text;
}

ElementAttributes CSetupXmlReader::ReadAttributes(IXmlReader& xml) const
{
    ElementAttributes attributes;
    while (xml.MoveToNextAttribute() == S_OK) {
        const wchar_t* prefix = nullptr;
        const wchar_t* localName = nullptr;
        const wchar_t* value = nullptr;
        UINT prefixLength = 0;
        UINT nameLength = 0;
        UINT valueLength = 0;
        if (xml.GetPrefix(&prefix, &prefixLength) != S_OK || xml.GetLocalName(&localName, &nameLength) != S_OK ||
            xml.GetValue(&value, &valueLength) != S_OK)
            break;
        const _wstringx prefixText(prefix ? prefix : L"", prefix ? prefixLength : 0);
        const _wstringx nameText(localName ? localName : L"", localName ? nameLength : 0);
        // Namespace declarations are not attributes of the element.
        if (prefixText == L"xmlns" || nameText == L"xmlns")
            continue;
        attributes.push_back({nameText.to_stringx(), _stringx(value ? value : L"", value ? valueLength : 0)});
    }
    return attributes;
}

void CSetupXmlReader::ReadAttributesInto(IXmlReader& xml, CProperties& target) const
{
    for (const ElementAttribute& attribute : ReadAttributes(xml))
        target.SetAttribute(attribute.name, attribute.value);
}

void CSetupXmlReader::ReadPropertyAttributes(IXmlReader& xml)
{
    for (const ElementAttribute& attribute : ReadAttributes(xml))
        m_model->SetProperty(attribute.name, attribute.value, false);
}

_wstringx CSetupXmlReader::AttributeValue(IXmlReader& xml, const wchar_t* name, bool* present) const
{
    *present = false;
    _wstringx value;
    if (xml.MoveToAttributeByName(name, nullptr) == S_OK) {
        const wchar_t* text = nullptr;
        UINT length = 0;
        if (xml.GetValue(&text, &length) == S_OK && text) {
            value.assign(text, length);
            *present = true;
        }
    }
    xml.MoveToElement();
    return value;
}

void CSetupXmlReader::ClearBuffers()
{
    m_name.clear();
    m_text.clear();
}
