#pragma once

// What the setup.xml reader asks of the engine while it builds the suite
// model: properties and the start-up steps that take effect at once, the
// factories of the model objects, and the lists that take ownership of them.
// The engine implements it over its own model; tests record the calls.
//
// Objects handed back are borrowed: the model owns them for the whole run.
// A member that hands back none makes the reader skip the element with its
// content. The classes that are only declared here are made by the members
// once their own code exists; until then those members hand back none.
//
// Exceptions thrown by a member (a second run of the suite, a state that
// cannot be opened, a user interface that cannot start) pass through the
// reader to its caller.

#include <windows.h>

#include <memory>
#include <vector>

#include "kr/stringx.h"
#include "parcels/AbortCondition.h"
#include "parcels/EventAction.h"
#include "parcels/Parcel.h"
#include "parcels/Transaction.h"
#include "properties/Properties.h"
#include "properties/PropertySetter.h"
#include "suitemodel/InstallMode.h"

class CAction;
class CFeature;
class CFile;
class CFolder;
class CPackage;
class CResource;

// One attribute of an element as read: local name (prefix dropped) and value.
struct ElementAttribute {
    _stringx name;
    _stringx value;
};
// In document order, namespace declarations left out.
using ElementAttributes = std::vector<ElementAttribute>;

class ISuiteModelBuilder {
public:
    // Properties and the steps that take effect while the document is read.
    // A locked property changes only when overwriteLocked is true.
    virtual void SetProperty(const _stringx& name, const _stringx& value, bool overwriteLocked) = 0;
    // The suite id is known: opens or creates the suite's saved state.
    virtual void InitializeState() = 0;
    // Starts the user interface with a resource made by NewUIResource.
    virtual void InitializeUI(CResource& resource) = 0;

    // Parcels and transactions. CreateParcel makes the parcel with the handler
    // the element name selects and keeps it in the model's parcel list; none
    // for a name outside the parcel types.
    virtual CParcel* CreateParcel(const _stringx& typeName) = 0;
    virtual CTransaction& AddTransaction(std::unique_ptr<CTransaction> transaction) = 0;
    // Every transaction of the model, in document order.
    virtual std::vector<CTransaction*> Transactions() = 0;
    // The Transaction element being read; none outside one.
    virtual CTransaction* OpenTransaction() = 0;
    virtual void SetOpenTransaction(CTransaction* transaction) = 0;

    // The lists of setup-level objects that the reader makes itself.
    virtual CInstallMode& AddInstallMode(std::unique_ptr<CInstallMode> mode) = 0;
    // Queued setters, applied after the document is read.
    virtual CPropertySetter& AddPropertySetter(std::unique_ptr<CPropertySetter> setter) = 0;
    virtual CAbortCondition& AddAbortCondition(std::unique_ptr<CAbortCondition> condition) = 0;

    // The suite's own event actions; none for an event type the suite does not
    // keep (the parcel events).
    virtual IEventAction* AddEventAction(int eventType, const _stringx& actionId) = 0;

    // Objects the members make, fill with the element's attributes and keep.
    virtual CResource* NewUIResource(const ElementAttributes& attributes) = 0;
    // Appended to the resource list.
    virtual CResource* AddResource(const ElementAttributes& attributes) = 0;
    // The action the element name makes, appended to the action list, its
    // defaults settled after the attributes.
    virtual CAction* AddAction(const _stringx& elementName, const ElementAttributes& attributes) = 0;
    // A feature under parent, or at the top level when parent is none.
    virtual CFeature* AddFeature(CFeature* parent, const ElementAttributes& attributes) = 0;
    // The feature as the container of the next condition tree, which fills the
    // named slot ("visible" or "selection").
    virtual IConditionContainer* FeatureConditionTarget(CFeature& feature, const _stringx& slot) = 0;
    // Replaces the parcel's package.
    virtual CPackage* SetPackage(CParcel& parcel, const ElementAttributes& attributes) = 0;
    // Replaces the package's root folder.
    virtual CFolder* SetRootFolder(CPackage& package, const ElementAttributes& attributes) = 0;
    virtual CFolder* AddSubFolder(CFolder& parent, const ElementAttributes& attributes) = 0;
    virtual CFile* AddPackageFile(CPackage& package, const ElementAttributes& attributes) = 0;
    virtual CFile* AddFolderFile(CFolder& folder, const ElementAttributes& attributes) = 0;

    // Bags that child elements fill with (element name, text) pairs or with
    // attributes: the Add/Remove Programs registrar (made when the model has
    // none), the language manager, and its string table of one language.
    virtual CProperties* ArpInfo() = 0;
    virtual CProperties* LanguageManager() = 0;
    virtual CProperties* StringTable(LANGID language) = 0;

    // Windows-feature definitions, by item name (made with the definitions
    // when the model has none). False when the item cannot be kept.
    virtual bool AddWindowsFeatureItem(const _wstringx& item) = 0;
    virtual void AddWindowsFeatureDependencies(const _wstringx& item, const std::vector<_wstringx>& names) = 0;
    // The definition for the system an element name stands for, made empty
    // at the element's start; its feature list arrives at the element's end.
    virtual bool AddWindowsFeatureOSDefinition(const _wstringx& item, const _wstringx& osName) = 0;
    virtual void SetWindowsFeatureList(const _wstringx& item, const _wstringx& osName, const _wstringx& features) = 0;

protected:
    ~ISuiteModelBuilder() = default;
};

// The building steps the engine shares with the reader.

// Appends the parcel to the open transaction, or to a new implicit one of its own.
void AddParcelToTransaction(ISuiteModelBuilder& model, CParcel& parcel);
// After the document: a transaction runs inside a Windows Installer transaction
// when every parcel's handler supports it (an empty one does too).
void ResolveTransactionModes(ISuiteModelBuilder& model);
// An abort condition with an empty bag and no condition, kept by the model.
CAbortCondition& NewAbortCondition(ISuiteModelBuilder& model);
