// The nesting of setup.xml: what each child element makes under the element
// that is open, and what each element hands on at its end tag.

#include <xmllite.h>

#include "SemicolonList.h"
#include "SetupXmlVocabulary.h"
#include "conditions/ConditionGroup.h"
#include "conditions/ConditionKind.h"
#include "kr/trace_log.h"
#include "parcels/EventAction.h"
#include "setupxml/SetupXmlReader.h"

#define NESTING_SOURCE TraceSource{L"SetupXmlReader", __LINE__}

namespace {

bool IsNamed(const _wstringx& localName, const _wstringx& namespaceUri, const _wstringx& name)
{
    return namespaceUri == Vocabulary().suiteNamespace && localName == name;
}

// Group elements take any namespace and any case.
int GroupKind(const _wstringx& localName)
{
    const _stringx name = localName.to_stringx();
    if (name == L"Any")
        return cgkAny;
    if (name == L"All")
        return cgkAll;
    if (name == L"Not")
        return cgkNot;
    return cgkNotSet;
}

// A decimal language id that fills the whole value.
bool ParseLanguageId(const _wstringx& text, LANGID* language)
{
    if (text.empty())
        return false;
    unsigned long value = 0;
    for (size_t i = 0; i < text.length(); ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
        value = value * 10 + static_cast<unsigned long>(text[i] - L'0');
        // A larger number would alias the string table of another language.
        if (value > 0xFFFF)
            return false;
    }
    *language = static_cast<LANGID>(value);
    return true;
}

} // namespace

CSetupXmlReader::State CSetupXmlReader::StartChild(State parent, const Element& element)
{
    const SetupXmlVocabulary& v = Vocabulary();
    const _wstringx& name = element.localName;
    const _wstringx& ns = element.namespaceUri;
    auto is = [&](const _wstringx& vocabularyName) { return IsNamed(name, ns, vocabularyName); };

    switch (parent) {
    case State::Document:
        if (is(v.setup)) {
            ReadPropertyAttributes(element.xml);
            m_model->InitializeState();
            return State::Setup;
        }
        break;
    case State::Setup:
        return StartSetupChild(element);
    case State::SetupConfigurations:
        if (is(L"Config")) {
            CPropertySetter config;
            for (const ElementAttribute& attribute : ReadAttributes(element.xml))
                config.SetAttribute(attribute.name, attribute.value);
            m_model->SetProperty(config.Name(), config.Value(), true);
            return State::Config;
        }
        break;
    case State::Resources:
        if (is(v.uiResource)) {
            if (CResource* resource = m_model->NewUIResource(ReadAttributes(element.xml))) {
                m_model->InitializeUI(*resource);
                return State::Resource;
            }
        } else if (is(v.resource)) {
            if (m_model->AddResource(ReadAttributes(element.xml)))
                return State::Resource;
        }
        break;
    case State::Parcels:
        if (is(v.transaction)) {
            auto transaction = std::make_unique<CTransaction>(true);
            ReadAttributesInto(element.xml, *transaction);
            m_model->SetOpenTransaction(&m_model->AddTransaction(std::move(transaction)));
            return State::Transaction;
        }
        return StartParcel(element);
    case State::Transaction:
        return StartParcel(element);
    case State::Parcel:
        return StartParcelChild(*CurrentParcel(), element);
    case State::UIProperties:
        m_name = name;
        m_text.clear();
        return State::UIProperty;
    case State::Package:
        if (is(v.folder)) {
            if (CFolder* folder = m_model->SetRootFolder(*m_packages.back(), ReadAttributes(element.xml))) {
                m_folders.push_back(folder);
                return State::Folder;
            }
        } else if (is(v.file)) {
            if (m_model->AddPackageFile(*m_packages.back(), ReadAttributes(element.xml)))
                return State::File;
        }
        break;
    case State::Folder:
        if (is(v.folder)) {
            if (CFolder* folder = m_model->AddSubFolder(*m_folders.back(), ReadAttributes(element.xml))) {
                m_folders.push_back(folder);
                return State::Folder;
            }
        } else if (is(v.file)) {
            if (m_model->AddFolderFile(*m_folders.back(), ReadAttributes(element.xml)))
                return State::File;
        }
        break;
    case State::Operation:
        if (is(v.commandLine)) {
            m_text.clear();
            return State::CommandLine;
        }
        if (is(v.silent)) {
            m_text.clear();
            return State::Silent;
        }
        if (is(v.property))
            return StartPropertyElement(element);
        break;
    case State::Mode:
        if (is(v.install))
            return State::Install;
        if (is(v.maintenance))
            return State::Maintenance;
        if (is(v.remove))
            return State::Remove;
        break;
    case State::Install:
    case State::Maintenance:
    case State::Remove: {
        const EnumInstallMode mode = parent == State::Install       ? eimInstall
                                     : parent == State::Maintenance ? eimUIMaintSelection
                                                                    : eimRemove;
        m_conditionContainer = &m_model->AddInstallMode(std::make_unique<CInstallMode>(mode));
        if (is(v.when)) {
            m_conditions.push_back(nullptr);
            return State::ConditionList;
        }
        return State::Document;
    }
    case State::SelectionTree:
        if (is(v.selection))
            return StartFeature(element);
        break;
    case State::Selection:
    case State::FeatureVisible:
        if (is(v.selection))
            return StartFeature(element);
        if (is(v.when)) {
            CFeature* feature = m_features.empty() ? nullptr : m_features.back();
            if (!feature)
                break;
            return StartConditions(m_model->FeatureConditionTarget(
                *feature, parent == State::FeatureVisible ? _stringx(L"visible") : _stringx(L"selection")));
        }
        if (is(v.featureVisible))
            return State::FeatureVisible;
        break;
    case State::Detect:
    case State::Eligible:
        if (is(v.when))
            return StartConditions(CurrentParcel());
        break;
    case State::SetProperty:
    case State::Message:
    case State::EventAction:
        if (is(v.when))
            return StartConditions(m_conditionContainer);
        break;
    case State::ConditionList:
    case State::Condition:
        return StartConditionListChild(parent, element);
    case State::Password:
    case State::LanguageSelection:
    case State::DependsOn:
    case State::OSDefinition:
        m_text.clear();
        return State::Document;
    case State::ARPInfo:
    case State::Language:
        m_name = name;
        m_text.clear();
        return State::Property;
    case State::Languages:
        if (is(v.language) && m_languageTarget)
            return StartLanguage(element);
        break;
    case State::AbortConditions:
        if (is(v.message)) {
            CAbortCondition& abort = NewAbortCondition(*m_model);
            ReadAttributesInto(element.xml, abort);
            m_conditionContainer = &abort;
            return State::Message;
        }
        break;
    case State::Actions:
        m_model->AddAction(name.to_stringx(), ReadAttributes(element.xml));
        return State::Action;
    case State::Events:
        m_eventType = ParseEventType(name.to_stringx());
        return State::Event;
    case State::Event:
        return StartEventAction(element);
    case State::WindowsFeaturesDefinitions:
        m_text.clear();
        if (!m_model->AddWindowsFeatureItem(name))
            break;
        m_featureItem = name;
        m_hasFeatureItem = true;
        return State::FeatureItem;
    case State::FeatureItem:
        m_text.clear();
        if (!m_hasFeatureItem)
            break;
        if (is(v.dependsOn))
            return State::DependsOn;
        if (!m_model->AddWindowsFeatureOSDefinition(m_featureItem, name))
            break;
        ReadAttributes(element.xml);
        m_osDefinition = name;
        m_hasOSDefinition = true;
        return State::OSDefinition;
    default:
        // Config, Resource, File, CommandLine, Silent, Property, UIProperty,
        // EnableLogging, Action and a skipped element take no children.
        break;
    }
    return State::Document;
}

CSetupXmlReader::State CSetupXmlReader::StartSetupChild(const Element& element)
{
    const SetupXmlVocabulary& v = Vocabulary();
    auto is = [&](const _wstringx& vocabularyName) {
        return IsNamed(element.localName, element.namespaceUri, vocabularyName);
    };
    if (is(L"SetupConfigurations"))
        return State::SetupConfigurations;
    if (is(v.resources))
        return State::Resources;
    if (is(v.parcels)) {
        m_text.clear();
        ReadPropertyAttributes(element.xml);
        return State::Parcels;
    }
    if (is(v.mode))
        return State::Mode;
    if (is(v.selectionTree)) {
        // Marks the top level of the tree for the features under it.
        m_features.push_back(nullptr);
        return State::SelectionTree;
    }
    if (is(v.password)) {
        m_text.clear();
        return State::Password;
    }
    if (is(v.languageSelection)) {
        m_text.clear();
        m_languageTarget = m_model->LanguageManager();
        if (!m_languageTarget)
            return State::Document;
        ReadAttributesInto(element.xml, *m_languageTarget);
        return State::LanguageSelection;
    }
    if (is(v.setProperty)) {
        CPropertySetter& setter = m_model->AddPropertySetter(std::make_unique<CPropertySetter>());
        for (const ElementAttribute& attribute : ReadAttributes(element.xml))
            setter.SetAttribute(attribute.name, attribute.value);
        m_conditionContainer = &setter;
        return State::SetProperty;
    }
    if (is(v.arpInfo)) {
        CProperties* registrar = m_model->ArpInfo();
        if (!registrar)
            return State::Document;
        m_objects.push_back(registrar);
        ClearBuffers();
        return State::ARPInfo;
    }
    if (is(v.languages)) {
        m_languageTarget = m_model->LanguageManager();
        if (!m_languageTarget)
            return State::Document;
        ClearBuffers();
        return State::Languages;
    }
    if (is(v.abortConditions)) {
        ClearBuffers();
        return State::AbortConditions;
    }
    if (is(v.actions))
        return State::Actions;
    if (is(v.events))
        return State::Events;
    if (is(v.windowsFeaturesDefinitions))
        return State::WindowsFeaturesDefinitions;
    return State::Document;
}

CSetupXmlReader::State CSetupXmlReader::StartParcel(const Element& element)
{
    CParcel* parcel = m_model->CreateParcel(element.localName.to_stringx());
    if (!parcel) {
        TraceFormat(NESTING_SOURCE, L"Skipping element '%s': it names no parcel type", element.localName.c_str());
        return State::Document;
    }
    ReadAttributesInto(element.xml, *parcel);
    AddParcelToTransaction(*m_model, *parcel);
    m_parcels.push_back(parcel);
    m_objects.push_back(parcel);
    return State::Parcel;
}

CSetupXmlReader::State CSetupXmlReader::StartParcelChild(CParcel& parcel, const Element& element)
{
    const SetupXmlVocabulary& v = Vocabulary();
    auto is = [&](const _wstringx& vocabularyName) {
        return IsNamed(element.localName, element.namespaceUri, vocabularyName);
    };
    if (is(v.uiProperties))
        return State::UIProperties;
    if (is(v.package)) {
        CPackage* package = m_model->SetPackage(parcel, ReadAttributes(element.xml));
        if (!package)
            return State::Document;
        m_packages.push_back(package);
        return State::Package;
    }
    if (is(v.operation)) {
        auto made = std::make_unique<COperation>();
        ReadAttributesInto(element.xml, *made);
        COperation* operation = parcel.AddOperation(std::move(made));
        m_operations.push_back(operation);
        m_objects.push_back(operation);
        return State::Operation;
    }
    if (is(v.property))
        return StartPropertyElement(element);
    if (is(v.detect)) {
        parcel.SetConditionSlot(L"Detect");
        return State::Detect;
    }
    if (is(v.eligible)) {
        parcel.SetConditionSlot(L"Eligible");
        return State::Eligible;
    }
    if (is(v.enableLogging)) {
        ReadAttributesInto(element.xml, parcel.EnableLogging());
        return State::EnableLogging;
    }
    if (is(v.events))
        return State::Events;
    return State::Document;
}

CSetupXmlReader::State CSetupXmlReader::StartPropertyElement(const Element& element)
{
    m_name = element.localName;
    bool present = false;
    const _wstringx value = AttributeValue(element.xml, L"Name", &present);
    if (present)
        m_name = value;
    m_text.clear();
    return State::Property;
}

CSetupXmlReader::State CSetupXmlReader::StartConditions(IConditionContainer* container)
{
    if (!container) {
        TraceFormat(NESTING_SOURCE, L"Skipping a condition without an element to hold it");
        return State::Document;
    }
    m_conditionContainer = container;
    m_conditions.push_back(nullptr);
    return State::ConditionList;
}

CSetupXmlReader::State CSetupXmlReader::StartConditionListChild(State parent, const Element& element)
{
    CConditionGroup* group = m_conditions.empty() ? nullptr : m_conditions.back();
    const int groupKind = GroupKind(element.localName);
    if (parent == State::ConditionList && groupKind != cgkNotSet) {
        if (!group && !m_conditionContainer) {
            TraceFormat(NESTING_SOURCE, L"Skipping condition group '%s' without an element to hold it",
                        element.localName.c_str());
            return State::Document;
        }
        auto made = std::make_unique<CConditionGroup>();
        made->SetKind(groupKind);
        CConditionGroup* added = made.get();
        if (group)
            group->AddCondition(std::move(made));
        else
            m_conditionContainer->SetCondition(std::move(made));
        m_conditions.push_back(added);
        return State::ConditionList;
    }
    if (!group) {
        TraceFormat(NESTING_SOURCE, L"Skipping condition '%s' outside Any, All or Not", element.localName.c_str());
        return State::Document;
    }
    const bool foreign = !(element.namespaceUri == Vocabulary().suiteNamespace);
    const int kind = ParseConditionType(element.localName.to_stringx(), foreign);
    if (CCondition* condition = group->CreateCondition(kind)) {
        condition->SetExtension(element.namespaceUri.to_stringx(), element.localName.to_stringx());
        condition->Attributes().SetAttribute(L"ExtType", element.localName.to_stringx());
        ReadAttributesInto(element.xml, condition->Attributes());
    }
    return State::Condition;
}

CSetupXmlReader::State CSetupXmlReader::StartFeature(const Element& element)
{
    CFeature* parent = m_features.empty() ? nullptr : m_features.back();
    CFeature* feature = m_model->AddFeature(parent, ReadAttributes(element.xml));
    if (!feature)
        return State::Document;
    m_features.push_back(feature);
    return State::Selection;
}

CSetupXmlReader::State CSetupXmlReader::StartLanguage(const Element& element)
{
    bool present = false;
    const _wstringx lcid = AttributeValue(element.xml, L"lcid", &present);
    LANGID language = 0;
    if (!ParseLanguageId(lcid, &language))
        return State::Document;
    CProperties* table = m_model->StringTable(language);
    if (!table)
        return State::Document;
    m_objects.push_back(table);
    ClearBuffers();
    return State::Language;
}

CSetupXmlReader::State CSetupXmlReader::StartEventAction(const Element& element)
{
    bool present = false;
    const _stringx id = AttributeValue(element.xml, L"Id", &present).to_stringx();
    CParcel* parcel = CurrentParcel();
    IEventAction* action = parcel ? parcel->AddEventAction(m_eventType, id) : m_model->AddEventAction(m_eventType, id);
    if (!action) {
        TraceFormat(NESTING_SOURCE, L"Skipping event action '%s': its container keeps no events of type %d",
                    id.c_str(), m_eventType);
        return State::Document;
    }
    ReadAttributesInto(element.xml, *action);
    m_conditionContainer = action;
    return State::EventAction;
}

void CSetupXmlReader::EndElement(State state)
{
    switch (state) {
    case State::Transaction:
        m_model->SetOpenTransaction(nullptr);
        break;
    case State::Parcel:
        m_parcels.pop_back();
        m_objects.pop_back();
        break;
    case State::ARPInfo:
    case State::Language:
        m_objects.pop_back();
        break;
    case State::UIProperty:
        CurrentParcel()->SetAttribute(m_name.to_stringx(), m_text.to_stringx());
        break;
    case State::Property:
        m_objects.back()->SetAttribute(m_name.to_stringx(), m_text.to_stringx());
        break;
    case State::Package:
        m_packages.pop_back();
        break;
    case State::Folder:
        m_folders.pop_back();
        break;
    case State::Operation:
        m_operations.pop_back();
        m_conditionContainer = nullptr;
        m_objects.pop_back();
        break;
    case State::CommandLine:
        m_operations.back()->SetAttribute(L"CommandLine", m_text.to_stringx());
        break;
    case State::Silent:
        m_operations.back()->SetAttribute(L"Silent", m_text.to_stringx());
        break;
    case State::ConditionList:
        if (CConditionGroup* group = m_conditions.back())
            group->Validate();
        m_conditions.pop_back();
        break;
    case State::Mode:
    case State::Message:
    case State::Event:
        m_conditionContainer = nullptr;
        break;
    case State::SelectionTree:
        m_conditionContainer = nullptr;
        m_features.pop_back();
        break;
    case State::Selection:
        m_features.pop_back();
        break;
    case State::Password:
        m_model->SetProperty(L"Password", m_text.to_stringx(), false);
        break;
    case State::LanguageSelection:
        // A Languages element in a Setup nested inside may have taken the target.
        if (m_languageTarget)
            m_languageTarget->SetAttribute(L"Languages", m_text.to_stringx());
        m_languageTarget = nullptr;
        break;
    case State::Languages:
        m_languageTarget = nullptr;
        break;
    case State::Events:
        m_eventType = kNoEventType;
        break;
    case State::FeatureItem:
        m_hasFeatureItem = false;
        m_featureItem.clear();
        break;
    case State::DependsOn:
        if (m_hasFeatureItem && !m_text.empty())
            m_model->AddWindowsFeatureDependencies(m_featureItem, SplitSemicolonList(m_text));
        break;
    case State::OSDefinition:
        if (m_hasFeatureItem && m_hasOSDefinition)
            m_model->SetWindowsFeatureList(m_featureItem, m_osDefinition, m_text);
        m_hasOSDefinition = false;
        m_osDefinition.clear();
        break;
    default:
        break;
    }
}
