#pragma once

// Reads setup.xml into the suite model as the document arrives: a state
// machine keyed on the element nesting creates and fills the model objects
// at their start tags and hands collected text to them at their end tags.

#include <windows.h>

#include <vector>

#include "kr/stringx.h"
#include "suitemodel/SuiteModelBuilder.h"

struct IXmlReader;
class CConditionGroup;

class CSetupXmlReader {
public:
    // Deeper documents end reading as a read error does, so no model tree can
    // grow deep enough to exhaust the stack when it is walked or destroyed.
    static constexpr size_t kMaxDepth = 256;

    // Makes the XML parser; tests replace the system's.
    using ParserFactory = HRESULT (*)(IXmlReader** parser);

    explicit CSetupXmlReader(ParserFactory parserFactory = nullptr) noexcept : m_parserFactory(parserFactory) {}
    CSetupXmlReader(const CSetupXmlReader&) = delete;
    CSetupXmlReader& operator=(const CSetupXmlReader&) = delete;

    // S_OK once the document was read, to its end or up to the first point
    // the parser cannot pass (what was read before stays in the model); the
    // failure when the file cannot be opened or no parser can be made.
    // Exceptions of the model and of condition validation pass to the caller.
    HRESULT Load(const _stringx& path, ISuiteModelBuilder& model);

private:
    enum class State {
        Document,
        Setup,
        SetupConfigurations,
        Config,
        Resources,
        Resource,
        Parcels,
        Transaction,
        Parcel,
        UIProperties,
        UIProperty,
        Package,
        Folder,
        File,
        Operation,
        CommandLine,
        Silent,
        Property,
        Detect,
        Eligible,
        EnableLogging,
        Mode,
        Install,
        Maintenance,
        Remove,
        SelectionTree,
        Selection,
        FeatureVisible,
        ConditionList,
        Condition,
        Password,
        LanguageSelection,
        SetProperty,
        ARPInfo,
        Languages,
        Language,
        AbortConditions,
        Message,
        Actions,
        Action,
        Events,
        Event,
        EventAction,
        WindowsFeaturesDefinitions,
        FeatureItem,
        DependsOn,
        OSDefinition,
    };

    // The element whose start tag the parser stands on.
    struct Element {
        IXmlReader& xml;
        _wstringx localName;
        _wstringx namespaceUri;
    };

    void Reset();
    HRESULT ReadDocument(IXmlReader& xml);
    // False when the element would nest deeper than the bound.
    bool OnStartElement(const Element& element);
    void OnEndElement();
    void CollectText(IXmlReader& xml);

    // The child's state, after the effect of the row it matches.
    State StartChild(State parent, const Element& element);
    State StartSetupChild(const Element& element);
    State StartParcelChild(CParcel& parcel, const Element& element);
    State StartPropertyElement(const Element& element);
    State StartConditionListChild(State parent, const Element& element);
    State StartParcel(const Element& element);
    State StartEventAction(const Element& element);
    State StartLanguage(const Element& element);
    State StartConditions(IConditionContainer* container);
    State StartFeature(const Element& element);
    void EndElement(State state);

    ElementAttributes ReadAttributes(IXmlReader& xml) const;
    void ReadAttributesInto(IXmlReader& xml, CProperties& target) const;
    void ReadPropertyAttributes(IXmlReader& xml);
    _wstringx AttributeValue(IXmlReader& xml, const wchar_t* name, bool* present) const;
    void ClearBuffers();

    CParcel* CurrentParcel() const noexcept { return m_parcels.empty() ? nullptr : m_parcels.back(); }

    ParserFactory m_parserFactory;
    ISuiteModelBuilder* m_model = nullptr;
    std::vector<State> m_states;

    // Stacks where one current object would do for a well-formed suite: a
    // Setup element read again inside a skipped one must not lose them.
    std::vector<CParcel*> m_parcels;
    std::vector<COperation*> m_operations;
    std::vector<CPackage*> m_packages;
    std::vector<CFolder*> m_folders;
    // Null entries mark the level directly under a When element.
    std::vector<CConditionGroup*> m_conditions;
    // A null entry marks the top level of a selection tree.
    std::vector<CFeature*> m_features;
    // The bags that Property-like children fill.
    std::vector<CProperties*> m_objects;
    CProperties* m_languageTarget = nullptr;
    IConditionContainer* m_conditionContainer = nullptr;
    int m_eventType = kNoEventType;
    _wstringx m_featureItem;
    _wstringx m_osDefinition;
    bool m_hasFeatureItem = false;
    bool m_hasOSDefinition = false;
    _wstringx m_name;
    _wstringx m_text;
};
