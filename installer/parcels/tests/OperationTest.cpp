// Operations, logging parameters and reboot codes as the setup.xml reader
// fills them.

#include <gtest/gtest.h>

#include "parcels/Operation.h"
#include "parcels/ParcelLoggingParameters.h"
#include "parcels/RebootCodes.h"
#include "parcels/StateObject.h"

namespace {

TEST(Operation, NameGivesTheKind)
{
    const struct {
        const wchar_t* name;
        int kind;
    } cases[] = {
        {L"Install", 1}, {L"INSTALL", 1}, {L"modify", 2}, {L"Repair", 3}, {L"Remove", 4}, {L"Uninstall", 6}, {L"", 6},
    };
    for (const auto& c : cases) {
        COperation operation;
        operation.SetAttribute(L"Name", c.name);
        EXPECT_EQ(operation.GetKind(), c.kind) << c.name;
    }
    // A later Name replaces the kind, and one outside the four falls back to 6.
    COperation renamed;
    renamed.SetAttribute(L"name", L"Remove");
    renamed.SetAttribute(L"NAME", L"Patch");
    EXPECT_EQ(renamed.GetKind(), 6);
}

TEST(Operation, WithoutNameItIsOfNoKnownKind)
{
    COperation operation;
    EXPECT_EQ(operation.GetKind(), 6);
    EXPECT_EQ(operation.GetRebootRequest(), orrDetectExit);
    EXPECT_EQ(operation.GetExitBehavior(), oebDetectPrompt);
}

TEST(Operation, RebootRequestAndExitBehaviorNames)
{
    const struct {
        const wchar_t* attribute;
        const wchar_t* value;
        int rebootRequest;
        int exitBehavior;
    } cases[] = {
        {L"RebootRequest", L"alwaysreboot", 24, 0}, {L"RebootRequest", L"DetectReboot", 2, 0},
        {L"RebootRequest", L"DetectIgnore", 4, 0},  {L"RebootRequest", L"AlwaysPrompt", 8, 0},
        {L"RebootRequest", L"AlwaysSilent", 16, 0}, {L"RebootRequest", L"DetectDelay", 32, 0},
        {L"RebootRequest", L"Sometimes", 1, 0},     {L"ExitBehavior", L"DetectIgnore", 1, 2},
        {L"ExitBehavior", L"detectabort", 1, 1},    {L"ExitBehavior", L"Never", 1, 0},
    };
    for (const auto& c : cases) {
        COperation operation;
        operation.SetAttribute(c.attribute, c.value);
        EXPECT_EQ(operation.GetRebootRequest(), c.rebootRequest) << c.attribute << L"=" << c.value;
        EXPECT_EQ(operation.GetExitBehavior(), c.exitBehavior) << c.attribute << L"=" << c.value;
    }
    // An unknown name keeps the value set before.
    COperation kept;
    kept.SetAttribute(L"RebootRequest", L"AlwaysSilent");
    kept.SetAttribute(L"RebootRequest", L"Whenever");
    EXPECT_EQ(kept.GetRebootRequest(), 16);
}

TEST(Operation, TextsAndTheBag)
{
    COperation operation;
    operation.SetAttribute(L"target", L"setup.exe");
    operation.SetAttribute(L"CommandLine", L"/install");
    operation.SetAttribute(L"SILENT", L"/quiet");
    operation.SetAttribute(L"Foo", L"bar");
    EXPECT_STREQ(operation.GetTarget().c_str(), L"setup.exe");
    EXPECT_STREQ(operation.GetCommandLine().c_str(), L"/install");
    EXPECT_STREQ(operation.GetSilentCommandLine().c_str(), L"/quiet");
    EXPECT_STREQ(operation.GetAttribute(L"Foo").c_str(), L"bar");
    EXPECT_TRUE(operation.GetAttribute(L"target").empty());
}

TEST(WantedOperationKind, ByInstallMode)
{
    const int expected[] = {1, 6, 2, 4, 3, 1, 6, 6};
    for (int mode = 0; mode < 8; ++mode)
        EXPECT_EQ(WantedOperationKind(static_cast<EnumInstallMode>(mode)), expected[mode]) << mode;
}

TEST(ParcelLoggingParameters, EachFamilySeesItsOwnTexts)
{
    for (bool nonMsi : {true, false}) {
        CParcelLoggingParameters logging(nonMsi);
        logging.SetAttribute(L"commandline", L"/log [Log]");
        logging.SetAttribute(L"LogName", L"pkg.log");
        logging.SetAttribute(L"LogOptions", L"voicewarmup");
        logging.SetAttribute(L"Other", L"x");
        EXPECT_STREQ(logging.GetCommandLine().c_str(), nonMsi ? L"/log [Log]" : L"") << nonMsi;
        EXPECT_STREQ(logging.GetLogName().c_str(), nonMsi ? L"" : L"pkg.log") << nonMsi;
        EXPECT_STREQ(logging.GetLogOptions().c_str(), nonMsi ? L"" : L"voicewarmup") << nonMsi;
        EXPECT_STREQ(logging.GetAttribute(L"Other").c_str(), L"x");
    }
}

TEST(RebootCodes, PiecesThatAreWholeNumbersAreKept)
{
    const struct {
        const wchar_t* text;
        std::vector<DWORD> codes;
    } cases[] = {
        {L"3010, 1641", {3010, 1641}},
        {L"3010,,1641", {3010, 1641}},
        {L"3010 ,1641", {1641}},
        {L"x,3010", {3010}},
        {L"4294967296,4294967295", {4294967295u}},
        {L"-1,+5,0x10,12", {12}},
        {L"", {}},
        {L" , ", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseRebootCodes(c.text), c.codes) << c.text;
}

TEST(StateEntry, NumbersAndFlags)
{
    EXPECT_EQ(CStateEntry(L"Action", L"4").GetInt(), 4);
    EXPECT_EQ(CStateEntry(L"Action", L"0x1F").GetInt(), 31);
    EXPECT_EQ(CStateEntry(L"Action", L"").GetInt(), 0);
    EXPECT_EQ(CStateEntry(L"Action", L"two").GetInt(), 0);
    for (const wchar_t* yes : {L"Yes", L"y", L"1", L"TRUE"})
        EXPECT_TRUE(CStateEntry(L"Complete", yes).GetBool()) << yes;
    for (const wchar_t* no : {L"", L"no", L"0", L"2"})
        EXPECT_FALSE(CStateEntry(L"Complete", no).GetBool()) << no;
}

} // namespace
