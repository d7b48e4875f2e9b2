// The setup.xml reader over real files and the real parser: small documents,
// each checked against the calls the reader made of a recording model.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "RecordingModel.h"
#include "conditions/ConditionGroup.h"
#include "kr/bootstrap_exception.h"
#include "setupxml/SetupXmlReader.h"
#include "support/ConditionTestSupport.h"

using namespace setupxml_testing;

namespace {

#define NS "korvanstilmer/2018/bootstrap"
#define SETUP "<Setup xmlns=\"" NS "\">"

// The transactions as the model holds them after loading: "T1 msi: P1 P2".
std::wstring DescribeTransactions(RecordingModel& model)
{
    std::wstring text;
    for (CTransaction* transaction : model.Transactions()) {
        text += model.NameOf(transaction) + (transaction->IsMsiTransaction() ? L" msi:" : L":");
        for (CParcel* parcel : transaction->Parcels())
            text += L" " + model.NameOf(parcel);
        text += L"\n";
    }
    return text;
}

std::wstring W(const _stringx& text)
{
    return std::wstring(text.c_str(), text.length());
}

struct ReaderCase {
    const char* name;
    const char* document;
    // The calls in order, then the transactions.
    const wchar_t* expected;
    std::function<void(RecordingModel&)> check;
};

class SetupXmlReaderTest : public ::testing::Test {
protected:
    SetupXmlReaderTest()
    {
        // Package types the factory cannot make yet: type and transaction support.
        model.testHandlers[L"Msi"] = {eptMsi, true};
        model.testHandlers[L"Msp"] = {eptMsp, true};
        model.testHandlers[L"Krp"] = {eptScript, false};
    }

    HRESULT Load(const char* document)
    {
        DocumentFile file(document);
        CSetupXmlReader reader;
        return reader.Load(file.Path().c_str(), model);
    }

    std::wstring Record() { return model.Calls() + DescribeTransactions(model); }

    RecordingModel model;
    ProbeConditions probes;
};

const ReaderCase kCases[] = {
    {"ParcelsGetImplicitOrSharedTransactions",
     SETUP "<Parcels><Exe/><Transaction><Exe/><Exe/></Transaction><Exe/><Transaction/><Exe/></Parcels></Setup>",
     L"InitializeState\n"
     L"CreateParcel Exe -> P1\nAddTransaction T1\n"
     L"AddTransaction T2 msi\nSetOpenTransaction T2\nCreateParcel Exe -> P2\nCreateParcel Exe -> P3\n"
     L"SetOpenTransaction none\n"
     L"CreateParcel Exe -> P4\nAddTransaction T3\n"
     L"AddTransaction T4 msi\nSetOpenTransaction T4\nSetOpenTransaction none\n"
     L"CreateParcel Exe -> P5\nAddTransaction T5\n"
     L"T1: P1\nT2: P2 P3\nT3: P4\nT4 msi:\nT5: P5\n", {}},
    {"TransactionModesFollowTheHandlers",
     SETUP "<Parcels><Transaction><Msi/><Msp/></Transaction><Transaction><Msi/><Krp/><Msi/></Transaction>"
           "<Msi/></Parcels></Setup>",
     L"InitializeState\nAddTransaction T1 msi\nSetOpenTransaction T1\nCreateParcel Msi -> P1\nCreateParcel Msp -> P2\n"
     L"SetOpenTransaction none\nAddTransaction T2 msi\nSetOpenTransaction T2\nCreateParcel Msi -> P3\n"
     L"CreateParcel Krp -> P4\nCreateParcel Msi -> P5\nSetOpenTransaction none\nCreateParcel Msi -> P6\n"
     L"AddTransaction T3\n"
     L"T1 msi: P1 P2\nT2: P3 P4 P5\nT3 msi: P6\n", {}},
    {"SetupAndParcelsAttributesBecomeProperties",
     "<?xml version=\"1.0\"?><Setup xmlns=\"" NS "\" xmlns:o=\"other\" SuiteId=\"S1\" o:Extra=\"x\">"
     "<Parcels Order=\"1\"/></Setup>",
     L"SetProperty SuiteId=S1\nSetProperty Extra=x\nInitializeState\nSetProperty Order=1\n", {}},
    {"ConfigSetsOverLockWhileSetPropertyIsQueued",
     SETUP "<SetupConfigurations><Config Name=\"A\" Value=\"B\" Other=\"c\"/></SetupConfigurations>"
           "<SetProperty Name=\"C\" Value=\"D\"/></Setup>",
     L"InitializeState\nSetProperty A=B overwrite\nAddPropertySetter\n",
     [](RecordingModel& model) {
         EXPECT_EQ(L"B", W(model.store.GetAttribute(L"A")));
         EXPECT_TRUE(model.store.GetAttribute(L"C").empty());
         ASSERT_EQ(1u, model.setters.size());
         EXPECT_EQ(L"C", W(model.setters[0]->Name()));
         EXPECT_EQ(L"D", W(model.setters[0]->Value()));
     }},
    {"TextJoinsAroundCommentsWithoutCData",
     SETUP "<Password>\n\t ab <!-- c --> cd <?pi x?>e<![CDATA[ ignored ]]>f\n</Password>"
           "<Password>   </Password><Password>a<X>b</X>c</Password></Setup>",
     L"InitializeState\nSetProperty Password=abcdef\nSetProperty Password=\nSetProperty Password=bc\n", {}},
    {"EmptyElementWithAttributesClosesAtOnce",
     SETUP "<Parcels><Exe><Operation Name=\"Install\" Target=\"a.exe\"/><Operation Name=\"Remove\">"
           "<CommandLine>/x</CommandLine><Silent> /q </Silent><Property Name=\"Mode\">m</Property>"
           "<Property>p</Property></Operation></Exe></Parcels></Setup>",
     L"InitializeState\nCreateParcel Exe -> P1\nAddTransaction T1\nT1: P1\n",
     [](RecordingModel& model) {
         const auto& operations = model.Parcel(0)->Operations();
         ASSERT_EQ(2u, operations.size());
         EXPECT_EQ(1, operations[0]->GetKind());
         EXPECT_EQ(L"a.exe", W(operations[0]->GetTarget()));
         EXPECT_EQ(4, operations[1]->GetKind());
         EXPECT_EQ(L"/x", W(operations[1]->GetCommandLine()));
         EXPECT_EQ(L"/q", W(operations[1]->GetSilentCommandLine()));
         EXPECT_EQ(L"m", W(operations[1]->GetAttribute(L"Mode")));
         EXPECT_EQ(L"p", W(operations[1]->GetAttribute(L"Property")));
     }},
    {"ParcelPropertiesAndUIPropertiesReachTheParcel",
     SETUP "<Parcels><Exe Id=\"e\"><Property>plain</Property><Property Name=\"Named\">n</Property>"
           "<UIProperties><Title>Hel<!-- -->lo</Title><o:Alt xmlns:o=\"other\">a</o:Alt></UIProperties>"
           "</Exe></Parcels></Setup>",
     L"InitializeState\nCreateParcel Exe -> P1\nAddTransaction T1\nT1: P1\n",
     [](RecordingModel& model) {
         CParcel* parcel = model.Parcel(0);
         EXPECT_EQ(L"e", W(parcel->GetId()));
         EXPECT_EQ(L"plain", W(parcel->GetAttribute(L"Property")));
         EXPECT_EQ(L"n", W(parcel->GetAttribute(L"Named")));
         EXPECT_EQ(L"Hello", W(parcel->GetAttribute(L"Title")));
         EXPECT_EQ(L"a", W(parcel->GetAttribute(L"Alt")));
     }},
    {"VocabularyNamesMatchExactlyInTheSuiteNamespace",
     SETUP "<parcels><Exe/></parcels><o:Parcels xmlns:o=\"other\"><Exe/></o:Parcels>"
           "<Password xmlns=\"other\">x</Password><PASSWORD>y</PASSWORD>"
           "<Parcels><exe/><o:EXE xmlns:o=\"other\"/></Parcels>"
           "<Actions><o:Run xmlns:o=\"other\" Id=\"r\"/><Nothing/></Actions>"
           "<Events><onbegin><o:Go xmlns:o=\"other\" Id=\"g\"/></onbegin><OnBegin><Go Id=\"h\"/></OnBegin></Events>"
           "<WindowsFeaturesDefinitions><o:Item xmlns:o=\"other\"><o:DependsOn>d</o:DependsOn></o:Item>"
           "</WindowsFeaturesDefinitions></Setup>",
     L"InitializeState\nCreateParcel exe -> P1\nAddTransaction T1\nCreateParcel EXE -> P2\nAddTransaction T2\n"
     L"AddAction Run Id=r -> A1\nAddAction Nothing -> A2\n"
     L"AddEventAction 13 g\nAddEventAction 0 h\n"
     L"AddWindowsFeatureItem Item\nAddWindowsFeatureOSDefinition Item DependsOn\n"
     L"SetWindowsFeatureList Item DependsOn d\n"
     L"T1: P1\nT2: P2\n", {}},
    {"DependsOnSplitsAtSemicolons",
     SETUP "<WindowsFeaturesDefinitions><IIS><DependsOn/><DependsOn>x<Y/>a;;b;</DependsOn><DependsOn>c</DependsOn>"
           "<Win10 Arch=\"x\">dropped<Q>f1;</Q>f2</Win10></IIS><Net/></WindowsFeaturesDefinitions></Setup>",
     L"InitializeState\nAddWindowsFeatureItem IIS\nAddWindowsFeatureDependencies IIS [a] [] [b]\n"
     L"AddWindowsFeatureDependencies IIS [c]\nAddWindowsFeatureOSDefinition IIS Win10\n"
     L"SetWindowsFeatureList IIS Win10 f1;f2\nAddWindowsFeatureItem Net\n", {}},
    {"LanguageNeedsAWholeDecimalId",
     SETUP "<LanguageSelection Default=\"1033\">dropped<X/>1033;1031</LanguageSelection>"
           "<Languages><Language lcid=\"1033x\"><IDS_A>bad</IDS_A></Language><Language lcid=\"\"><IDS_A>x</IDS_A>"
           "</Language><Language><IDS_A>y</IDS_A></Language><Language lcid=\"65536\"><IDS_A>z</IDS_A></Language>"
           "<Language lcid=\"1031\"><IDS_A>Hallo</IDS_A><IDS_B/></Language><Language lcid=\"0001036\">"
           "<IDS_A>Salut</IDS_A></Language></Languages></Setup>",
     L"InitializeState\nLanguageManager\nLanguages.Default=1033\nLanguages.Languages=1033;1031\n"
     L"LanguageManager\nStringTable 1031\nStrings1031.IDS_A=Hallo\nStrings1031.IDS_B=\nStringTable 1036\n"
     L"Strings1036.IDS_A=Salut\n", {}},
    {"ArpInfoChildrenGoToTheRegistrar",
     SETUP "<ARPInfo Ignored=\"1\"><DisplayName>Kit</DisplayName><Version>1.2</Version></ARPInfo></Setup>",
     L"InitializeState\nArpInfo\nARP.DisplayName=Kit\nARP.Version=1.2\n", {}},
    {"SetupInsideASkippedElementIsReadAgain",
     SETUP "<Unknown><Setup SuiteId=\"again\"><Password>p</Password></Setup></Unknown>"
           "<Password>q</Password></Setup>",
     L"InitializeState\nSetProperty SuiteId=again\nInitializeState\nSetProperty Password=p\n"
     L"SetProperty Password=q\n", {}},
    {"SetupReadAgainInsideAParcelLeavesTheParcelOpen",
     SETUP "<Parcels><Exe Id=\"a\"><X><Setup><Parcels><Exe Id=\"b\"><Operation Name=\"Install\"><X><Setup>"
           "<Password>p</Password></Setup></X><CommandLine>/b</CommandLine></Operation></Exe></Parcels></Setup></X>"
           "<Operation Name=\"Remove\"/><UIProperties><T>t</T></UIProperties></Exe></Parcels></Setup>",
     L"InitializeState\nCreateParcel Exe -> P1\nAddTransaction T1\nInitializeState\nCreateParcel Exe -> P2\n"
     L"AddTransaction T2\nInitializeState\nSetProperty Password=p\nT1: P1\nT2: P2\n",
     [](RecordingModel& model) {
         CParcel* outer = model.Parcel(0);
         ASSERT_EQ(1u, outer->Operations().size());
         EXPECT_EQ(4, outer->Operations()[0]->GetKind());
         EXPECT_EQ(L"t", W(outer->GetAttribute(L"T")));
         CParcel* inner = model.Parcel(1);
         ASSERT_EQ(1u, inner->Operations().size());
         EXPECT_EQ(L"/b", W(inner->Operations()[0]->GetCommandLine()));
     }},
    {"ResourcesAndPackages",
     SETUP "<Resources><UIResource Name=\"ui\"/><Resource Name=\"r\"/></Resources>"
           "<Parcels><Exe><Package Id=\"k\"><File Name=\"a\"/><Folder Name=\"root\"><Folder Name=\"sub\">"
           "<File Name=\"b\"/></Folder><File Name=\"c\"/></Folder></Package></Exe></Parcels></Setup>",
     L"InitializeState\nNewUIResource Name=ui -> R1\nInitializeUI R1\nAddResource Name=r -> R2\n"
     L"CreateParcel Exe -> P1\nAddTransaction T1\nSetPackage P1 Id=k -> K1\nAddPackageFile K1 Name=a -> E1\n"
     L"SetRootFolder K1 Name=root -> D1\nAddSubFolder D1 Name=sub -> D2\nAddFolderFile D2 Name=b -> E2\n"
     L"AddFolderFile D1 Name=c -> E3\nT1: P1\n", {}},
    {"InstallModesAbortConditionsAndEvents",
     SETUP "<Mode><Install><When><All><PropertyValue Property=\"A\"/></All></When></Install>"
           "<Maintenance><Other/></Maintenance><Remove><When/></Remove></Mode>"
           "<AbortConditions><Message Text=\"IDS_X\"><When><Not><Platform Value=\"6\"/></Not></When></Message>"
           "</AbortConditions>"
           "<Events><OnEnd><Run Id=\"d\" DisplayText=\"bye\"><When><Any><Locale/></Any></When></Run></OnEnd>"
           "</Events></Setup>",
     L"InitializeState\nAddInstallMode 0\nAddInstallMode 1\nAddInstallMode 3\nAddAbortCondition\n"
     L"AddEventAction 7 d\n",
     [](RecordingModel& model) {
         ASSERT_EQ(3u, model.installModes.size());
         EXPECT_NE(nullptr, model.installModes[0]->Condition());
         EXPECT_EQ(nullptr, model.installModes[1]->Condition());
         EXPECT_EQ(nullptr, model.installModes[2]->Condition());
         ASSERT_EQ(1u, model.aborts.size());
         EXPECT_EQ(L"IDS_X", W(model.aborts[0]->GetAttribute(L"Text")));
         auto* group = dynamic_cast<CConditionGroup*>(model.aborts[0]->Condition());
         ASSERT_NE(nullptr, group);
         EXPECT_EQ(cgkNot, group->Kind());
         ASSERT_EQ(1u, model.eventActions.size());
         EXPECT_EQ(L"bye", W(model.eventActions[0]->GetDisplayText()));
         EXPECT_NE(nullptr, model.eventActions[0]->condition_);
         EXPECT_EQ((std::vector<std::wstring>{L"PropertyValue " NS "|PropertyValue Property=A",
                                              L"Platform " NS "|Platform Value=6", L"Locale " NS "|Locale"}),
                   ProbeConditions::Made());
     }},
    {"FeaturesTakeTheirConditionSlots",
     SETUP "<SelectionTree><Selection Id=\"f1\"><When><Any><PropertyValue/></Any></When><Feature.Visible>"
           "<When><All><o:Custom xmlns:o=\"ext\" Value=\"v\"/></All></When><Selection Id=\"f2\"/></Feature.Visible>"
           "</Selection><Selection Id=\"f3\"/></SelectionTree></Setup>",
     L"InitializeState\nAddFeature none Id=f1 -> F1\nFeatureConditionTarget F1 selection\n"
     L"FeatureConditionTarget F1 visible\nAddFeature F1 Id=f2 -> F2\nAddFeature none Id=f3 -> F3\n",
     [](RecordingModel& model) {
         EXPECT_EQ((std::vector<std::wstring>{L"PropertyValue " NS "|PropertyValue", L"Custom ext|Custom Value=v"}),
                   ProbeConditions::Made());
         ASSERT_EQ(1u, model.featureConditions.size());
         auto* group = dynamic_cast<CConditionGroup*>(model.featureConditions.begin()->second->Condition());
         ASSERT_NE(nullptr, group);
         // The visible slot's tree came last into the one recording container.
         EXPECT_EQ(cgkAll, group->Kind());
     }},
    {"DetectAndEligibleConditionsReachTheParcel",
     SETUP "<Parcels><Exe><Detect><When><All><PropertyValue Property=\"D\"/></All></When></Detect>"
           "<Eligible><When><any><PropertyValue Property=\"E\"/></any></When></Eligible></Exe>"
           "<Exe/></Parcels></Setup>",
     L"InitializeState\nCreateParcel Exe -> P1\nAddTransaction T1\nCreateParcel Exe -> P2\nAddTransaction T2\n"
     L"T1: P1\nT2: P2\n",
     [](RecordingModel& model) {
         EXPECT_FALSE(model.Parcel(0)->Handler()->HasOwnDetection());
         EXPECT_TRUE(model.Parcel(1)->Handler()->HasOwnDetection());
         EXPECT_EQ((std::vector<std::wstring>{L"PropertyValue " NS "|PropertyValue Property=D",
                                              L"PropertyValue " NS "|PropertyValue Property=E"}),
                   ProbeConditions::Made());
     }},
    {"EnableLoggingTakesItsFamilyFromTheHandler",
     SETUP "<Parcels><Exe><EnableLogging CommandLine=\"/log\" LogName=\"a.log\"/></Exe>"
           "<Msi><EnableLogging CommandLine=\"/log\" LogName=\"b.log\"/></Msi></Parcels></Setup>",
     L"InitializeState\nCreateParcel Exe -> P1\nAddTransaction T1\nCreateParcel Msi -> P2\nAddTransaction T2\n"
     L"T1: P1\nT2 msi: P2\n",
     [](RecordingModel& model) {
         ASSERT_NE(nullptr, model.Parcel(0)->LoggingParameters());
         EXPECT_EQ(L"/log", W(model.Parcel(0)->LoggingParameters()->GetCommandLine()));
         EXPECT_TRUE(model.Parcel(0)->LoggingParameters()->GetLogName().empty());
         ASSERT_NE(nullptr, model.Parcel(1)->LoggingParameters());
         EXPECT_EQ(L"b.log", W(model.Parcel(1)->LoggingParameters()->GetLogName()));
         EXPECT_TRUE(model.Parcel(1)->LoggingParameters()->GetCommandLine().empty());
     }},
    // The settled cases: nothing is read into an object that is not there,
    // and the next sibling is read as usual.
    {"UnknownParcelTypeIsSkippedWithItsContent",
     SETUP "<Parcels><Msu Id=\"u\"><Operation Name=\"Install\"/><Detect><When><All><PropertyValue/></All></When>"
           "</Detect><Events><OnParcelConfiguring><Run Id=\"a\"/></OnParcelConfiguring></Events></Msu>"
           "<Exe Id=\"e\"/></Parcels></Setup>",
     L"InitializeState\nCreateParcel Msu -> none\nCreateParcel Exe -> P1\nAddTransaction T1\nT1: P1\n",
     [](RecordingModel& model) {
         EXPECT_TRUE(ProbeConditions::Made().empty());
         EXPECT_TRUE(model.Parcel(0)->Operations().empty());
     }},
    {"RefusedEventIsSkippedWithItsContent",
     SETUP "<Events><OnParcelConfigured><Run Id=\"c\"><When><All><PropertyValue/></All></When></Run>"
           "<Run Id=\"c2\"/></OnParcelConfigured><OnEnd><Run Id=\"d\"/></OnEnd></Events>"
           "<Parcels><Exe><Events><OnBegin><Run Id=\"b\"><When><All><Locale/></All></When></Run></OnBegin>"
           "</Events></Exe></Parcels></Setup>",
     L"InitializeState\nAddEventAction 9 c -> none\nAddEventAction 9 c2 -> none\nAddEventAction 7 d\n"
     L"CreateParcel Exe -> P1\nAddTransaction T1\nT1: P1\n",
     [](RecordingModel&) { EXPECT_TRUE(ProbeConditions::Made().empty()); }},
    {"LeafInsideALeafJoinsTheSameGroup",
     SETUP "<SetProperty Name=\"A\"><When><All><Locale Id=\"1\"><Platform Id=\"2\"/><Any/></Locale></All></When>"
           "</SetProperty></Setup>",
     L"InitializeState\nAddPropertySetter\n",
     [](RecordingModel&) {
         EXPECT_EQ((std::vector<std::wstring>{L"Locale " NS "|Locale Id=1", L"Platform " NS "|Platform Id=2"}),
                   ProbeConditions::Made());
     }},
    {"BareConditionUnderWhenIsSkipped",
     SETUP "<SetProperty Name=\"A\" Value=\"1\"><When><PropertyValue Property=\"x\"><All/></PropertyValue></When>"
           "</SetProperty><SetProperty Name=\"B\" Value=\"2\"><When><All><Locale/></All></When></SetProperty></Setup>",
     L"InitializeState\nAddPropertySetter\nAddPropertySetter\n",
     [](RecordingModel& model) {
         ASSERT_EQ(2u, model.setters.size());
         EXPECT_EQ(nullptr, model.setters[0]->Condition());
         EXPECT_NE(nullptr, model.setters[1]->Condition());
         EXPECT_EQ((std::vector<std::wstring>{L"Locale " NS "|Locale"}), ProbeConditions::Made());
     }},
    {"DtdStopsReadingBeforeAnyEntityIsExpanded",
     "<?xml version=\"1.0\"?><!DOCTYPE Setup [<!ENTITY e \"boom\">]>" SETUP "<Password>&e;</Password></Setup>", L"", {}},
    {"TruncatedDocumentKeepsWhatWasRead",
     SETUP "<Password>p</Password><Parcels><Exe Id=\"a\"><Operation Na", L"InitializeState\nSetProperty Password=p\n"
     L"CreateParcel Exe -> P1\nAddTransaction T1\nT1: P1\n", {}},
    {"DocumentCutInsideACommentEnds", SETUP "<Password>a</Password><Password>b <!-- c",
     L"InitializeState\nSetProperty Password=a\n", {}},
};

class SetupXmlReaderCases : public SetupXmlReaderTest, public ::testing::WithParamInterface<ReaderCase> {};

TEST_P(SetupXmlReaderCases, RecordsTheModelCalls)
{
    ASSERT_EQ(S_OK, Load(GetParam().document));
    EXPECT_EQ(GetParam().expected, Record());
    if (GetParam().check)
        GetParam().check(model);
}

INSTANTIATE_TEST_SUITE_P(Documents, SetupXmlReaderCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ReaderCase>& info) { return info.param.name; });

TEST_F(SetupXmlReaderTest, MembersThatMakeNothingSkipTheirElements)
{
    model.unbuiltGiveNone = true;
    ASSERT_EQ(S_OK, Load(SETUP "<Resources><UIResource/><Resource/></Resources>"
                               "<LanguageSelection>1033</LanguageSelection><Languages><Language lcid=\"1033\">"
                               "<A>x</A></Language></Languages><ARPInfo><DisplayName>n</DisplayName></ARPInfo>"
                               "<SelectionTree><Selection><When><All><Locale/></All></When></Selection>"
                               "</SelectionTree><WindowsFeaturesDefinitions><I><DependsOn>a</DependsOn><W>f</W></I>"
                               "</WindowsFeaturesDefinitions><Parcels><Exe><Package><Folder><File/></Folder>"
                               "</Package></Exe></Parcels><Password>p</Password></Setup>"));
    EXPECT_EQ(L"InitializeState\nNewUIResource -> none\nAddResource -> none\nLanguageManager\nLanguageManager\n"
              L"ArpInfo\nAddFeature none -> none\nAddWindowsFeatureItem I\nCreateParcel Exe -> P1\n"
              L"AddTransaction T1\nSetPackage P1 -> none\nSetProperty Password=p\nT1: P1\n",
              Record());
    EXPECT_TRUE(ProbeConditions::Made().empty());
}

TEST_F(SetupXmlReaderTest, SkippedElementsAreLogged)
{
    testing_support::TraceCapture trace;
    ASSERT_EQ(S_OK, Load(SETUP "<Parcels><Msu/></Parcels><Events><OnParcelConfigured><Run Id=\"c\"/>"
                               "</OnParcelConfigured></Events><SetProperty><When><Locale/></When></SetProperty>"
                               "</Setup>"));
    const std::wstring log = trace.Messages();
    EXPECT_NE(std::wstring::npos, log.find(L"Skipping element 'Msu': it names no parcel type")) << log;
    EXPECT_NE(std::wstring::npos, log.find(L"Skipping event action 'c'")) << log;
    EXPECT_NE(std::wstring::npos, log.find(L"Skipping condition 'Locale' outside Any, All or Not")) << log;
}

TEST_F(SetupXmlReaderTest, NestingPastTheBoundEndsReading)
{
    std::string deep = SETUP "<Password>p</Password><SetProperty Name=\"A\"><When>";
    for (size_t i = 0; i < CSetupXmlReader::kMaxDepth; ++i)
        deep += "<Any>";
    for (size_t i = 0; i < CSetupXmlReader::kMaxDepth; ++i)
        deep += "</Any>";
    deep += "</When></SetProperty><Password>after</Password></Setup>";
    ASSERT_EQ(S_OK, Load(deep.c_str()));
    EXPECT_EQ(L"InitializeState\nSetProperty Password=p\nAddPropertySetter\n", Record());

    // Just inside the bound the same document is read to its end.
    RecordingModel inside;
    std::string shallow = SETUP "<SetProperty Name=\"A\"><When>";
    const size_t fits = CSetupXmlReader::kMaxDepth - 3;
    for (size_t i = 0; i < fits; ++i)
        shallow += "<Any>";
    for (size_t i = 0; i < fits; ++i)
        shallow += "</Any>";
    shallow += "</When></SetProperty><Password>after</Password></Setup>";
    DocumentFile file(shallow);
    CSetupXmlReader reader;
    ASSERT_EQ(S_OK, reader.Load(file.Path().c_str(), inside));
    EXPECT_EQ(L"InitializeState\nAddPropertySetter\nSetProperty Password=after\n", inside.Calls());
}

TEST_F(SetupXmlReaderTest, InvalidConditionLeavesLoadToItsCaller)
{
    ProbeConditions::FailingName() = L"Locale";
    DocumentFile file(SETUP "<SetProperty Name=\"A\"><When><All><Locale/></All></When></SetProperty>"
                            "<Password>after</Password></Setup>");
    CSetupXmlReader reader;
    EXPECT_THROW(reader.Load(file.Path().c_str(), model), invalid_condition_exception);
    EXPECT_EQ(L"InitializeState\nAddPropertySetter\n", model.Calls());

    // The reader starts afresh on its next load.
    ProbeConditions::FailingName().clear();
    RecordingModel next;
    ASSERT_EQ(S_OK, reader.Load(file.Path().c_str(), next));
    EXPECT_EQ(L"InitializeState\nAddPropertySetter\nSetProperty Password=after\n", next.Calls());
}

TEST_F(SetupXmlReaderTest, AFileThatCannotBeOpenedIsAFailure)
{
    CSetupXmlReader reader;
    const HRESULT hr = reader.Load(L"C:\\no such folder\\setup.xml", model);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_TRUE(model.calls.empty());
}

TEST_F(SetupXmlReaderTest, AParserThatCannotBeMadeIsAFailure)
{
    DocumentFile file(SETUP "<Password>p</Password></Setup>");
    CSetupXmlReader reader([](IXmlReader** parser) {
        *parser = nullptr;
        return E_OUTOFMEMORY;
    });
    EXPECT_EQ(E_OUTOFMEMORY, reader.Load(file.Path().c_str(), model));
    EXPECT_TRUE(model.calls.empty());
}

} // namespace
