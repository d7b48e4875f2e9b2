// The server's status codes as an automation client meets them without a
// device: order of calls, array checks, limits and the texts.
#include "ServerSupport.h"

#include <com/Bstr.h>

namespace {

const LONG kNotEnumerated = static_cast<LONG>(0xE000A001);
const LONG kTooManyInterfaces = static_cast<LONG>(0xE000A002);
const LONG kNoInterface = static_cast<LONG>(0xE000A003);
const LONG kWriterNotRunning = static_cast<LONG>(0xE000A00B);
const LONG kReaderNotRunning = static_cast<LONG>(0xE000A00C);
const LONG kInvalidArray = static_cast<LONG>(0xE000A00F);
const LONG kAlreadyCalledUnused = static_cast<LONG>(0xE000A011);
const LONG kFailed = static_cast<LONG>(0xE0001000);
const LONG kInputTooSmall = static_cast<LONG>(0xE0001001);
const LONG kNotBound = static_cast<LONG>(0xE0001009);
const LONG kNoSuchInstance = static_cast<LONG>(0xE0001104);
const LONG kNotOpen = static_cast<LONG>(0xE0001102);

// A private copy of the server, so the process-wide device list starts empty.
class ErrorTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.CopyIn(L"DravioCOM_x64.dll", L"DravioCOM_x64.dll"));
        ASSERT_TRUE(folder.CopyIn(L"DravioCOM_x64.tlb", L"DravioCOM_x64.tlb"));
        server = std::make_unique<ServerModule>(folder.Path() + L"\\DravioCOM_x64.dll");
        ASSERT_TRUE(server->Loaded());
        object = server->Create();
        ASSERT_TRUE(object);
        late = std::make_unique<Automation>(object.Get());
    }
    void TearDown() override
    {
        late.reset();
        object.Reset();
        server.reset();
    }

    Apartment apartment;
    TempFolder folder;
    std::unique_ptr<ServerModule> server;
    com::ComPtr<IDravioInterface> object;
    std::unique_ptr<Automation> late;
};

TEST_F(ErrorTableTest, OpenNeedsAnEnumerationAndAMalformedClassKeepsTheList)
{
    EXPECT_EQ(late->CallForLong(L"OpenDevice", {Long(0)}), kNotEnumerated);

    com::Bstr malformed(L"not a class");
    EXPECT_EQ(late->CallForLong(L"EnumerateDevices", {Text(malformed.Get())}), -1);
    EXPECT_EQ(late->CallForLong(L"OpenDevice", {Long(0)}), kNotEnumerated);

    // A class without devices: a list of none, and device 0 is not in it.
    com::Bstr empty(L"{01234567-0000-4000-8000-00000000ABCD}");
    EXPECT_EQ(late->CallForLong(L"EnumerateDevices", {Text(empty.Get())}), 0);
    EXPECT_EQ(late->CallForLong(L"EnumerateDevices", {Text(malformed.Get())}), -1);
    EXPECT_EQ(late->CallForLong(L"OpenDevice", {Long(0)}), kNoSuchInstance);
}

TEST_F(ErrorTableTest, ConfigurationTakesAtMostThirtyTwoInterfacesAndNeedsOne)
{
    for (LONG i = 0; i < 32; ++i) {
        ASSERT_EQ(late->CallForLong(L"AddInterface", {Long(i), Long(0), Long(4096)}), 0) << i;
    }
    EXPECT_EQ(late->CallForLong(L"AddInterface", {Long(32), Long(0), Long(4096)}), kTooManyInterfaces);
    EXPECT_EQ(late->Call(L"DeleteInterfaces", {}), S_OK);
    EXPECT_EQ(late->CallForLong(L"SetConfiguration", {Long(0)}), kNoInterface);
}

TEST_F(ErrorTableTest, ArraysAreCheckedBeforeTheDriverIsAsked)
{
    struct Case {
        const char *what;
        com::SafeArray array;
        LONG length;
        LONG status;
    };
    SAFEARRAYBOUND square[2] = {{4, 0}, {4, 0}};
    Case cases[] = {
        {"ten bytes for eighteen", ByteArray(10), 18, kInputTooSmall},
        {"a negative length", ByteArray(10), -1, kInvalidArray},
        {"4-byte elements", LongArray(18), 18, kInvalidArray},
        {"two dimensions", com::SafeArray::Adopt(SafeArrayCreate(VT_UI1, 2, square)), 4, kInvalidArray},
        {"enough bytes, but the device is closed", ByteArray(18), 18, kNotOpen},
    };
    for (Case &c : cases) {
        SAFEARRAY *array = c.array.Get();
        LONG length = c.length;
        EXPECT_EQ(late->CallForLong(L"GetDeviceDescriptor", {ArrayRef(&array, VT_UI1), LongRef(&length)}), c.status)
            << c.what;
        EXPECT_EQ(length, 0) << c.what;
    }
    LONG length = 5;
    EXPECT_EQ(late->CallForLong(L"GetDescriptor", {ArrayRef(nullptr, VT_UI1), LongRef(&length), Long(0), Long(1),
                                                   Long(0), Long(0)}),
              kInvalidArray);
}

TEST_F(ErrorTableTest, ReadingAndWritingNeedARunningWorker)
{
    com::SafeArray data = ByteArray(64);
    SAFEARRAY *array = data.Get();
    LONG length = 99;
    EXPECT_EQ(late->CallForLong(L"ReadData", {ArrayRef(&array, VT_UI1), LongRef(&length)}), kReaderNotRunning);
    EXPECT_EQ(length, 0);

    com::SafeArray statuses = LongArray(8);
    SAFEARRAY *statusArray = statuses.Get();
    LONG tag = 0;
    LONG count = 99;
    EXPECT_EQ(late->CallForLong(L"GetIsoWriteStatus", {LongRef(&tag), ArrayRef(&statusArray, VT_I4), LongRef(&count)}),
              kWriterNotRunning);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(late->CallForLong(L"GetWriteStatus", {LongRef(&tag)}), kWriterNotRunning);
    EXPECT_EQ(late->CallForLong(L"WriteData", {ArrayRef(&array, VT_UI1), Long(1)}), kWriterNotRunning);

    // A failed start still sets the started size: the read then asks the worker, which is not running.
    EXPECT_EQ(late->CallForLong(L"StartReading", {Long(64), Long(4), Long(0)}), kNotBound);
    EXPECT_EQ(late->CallForLong(L"ReadData", {ArrayRef(&array, VT_UI1), LongRef(&length)}), kReaderNotRunning);
    EXPECT_EQ(late->CallForLong(L"Bind", {Long(0x81)}), kNotOpen);
    EXPECT_EQ(late->CallForLong(L"GetMaxPacketSize", {}), 0);
}

TEST_F(ErrorTableTest, GettersOfAClosedObjectGiveTheirDefaults)
{
    EXPECT_EQ(late->CallForLong(L"GetPipeFlag", {}), 1);
    EXPECT_EQ(late->CallForLong(L"GetDeviceParameter1", {}), 0);
    EXPECT_EQ(late->CallForLong(L"GetDeviceParameter2", {}), 0);
    EXPECT_EQ(late->CallForLong(L"GetDriverFlagBit4", {}), 0);
    EXPECT_EQ(late->CallForLong(L"IsHighSpeed", {}), 0);
    EXPECT_EQ(late->CallForLong(L"GetDeviceInfoWord1", {}), 0);
    EXPECT_EQ(late->CallForText(L"GetDevicePathName", {}), L"");

    LONG api = 1, version = 1, build = 1, flags = 1;
    EXPECT_EQ(late->CallForLong(L"GetDriverInfo", {LongRef(&api), LongRef(&version), LongRef(&build), LongRef(&flags)}),
              kNotOpen);
    EXPECT_EQ(api + version + build + flags, 0);
    BYTE configuration = 7;
    EXPECT_EQ(late->CallForLong(L"GetConfiguration", {ByteRef(&configuration)}), kNotOpen);
    EXPECT_EQ(configuration, 0);
    LONG first = 1, second = 1;
    EXPECT_EQ(late->CallForLong(L"GetBandwidthInfo", {LongRef(&first), LongRef(&second)}), kNotOpen);
    EXPECT_EQ(first + second, 0);
    EXPECT_EQ(late->Call(L"CloseDevice", {}), S_OK);
}

TEST_F(ErrorTableTest, ErrorTextsComeFromTheServerTableThenTheLibrarys)
{
    const struct {
        LONG code;
        const wchar_t *text;
    } cases[] = {
        {static_cast<LONG>(0xE000A005), L"Error code 0xE000A005: DravioCOM: No data received."},
        {kAlreadyCalledUnused, L"Error code 0xE000A011: DravioCOM: Function already called."},
        {static_cast<LONG>(0xE000A00E), L"Error code 0xE000A00E: DravioCOM: Status array too small."},
        {kNotOpen, L"Error code 0xE0001102: Device not open."},
        {0, L"Error code 0x00000000: No error."},
        {static_cast<LONG>(0xE000A012), L"Error code 0xE000A012: Windows system error code."},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(late->CallForText(L"GetErrorText", {Long(c.code)}), c.text);
    }
}

TEST_F(ErrorTableTest, NotificationClassesMustBeGuids)
{
    com::Bstr malformed(L"{not-a-guid}");
    EXPECT_EQ(late->CallForLong(L"EnablePnPNotification", {Text(malformed.Get())}), kFailed);
    EXPECT_EQ(late->CallForLong(L"DisablePnPNotification", {Text(malformed.Get())}), kFailed);
    com::Bstr never(L"{01234567-0000-4000-8000-00000000ABCE}");
    EXPECT_EQ(late->CallForLong(L"DisablePnPNotification", {Text(never.Get())}), 0);
}

} // namespace
