// Interface selection through the exports, on a machine without adapters.
#include <gtest/gtest.h>

#include <string>

#include "HandleFixtures.h"

namespace {

class InterfaceExportTest : public ferrolink_test::OpenHandleTest {
protected:
    BISS_U32 Type()
    {
        BISS_U32 type = 99;
        EXPECT_EQ(0, BISS(BISS_GetInterface)(handle_, &type));
        return type;
    }
};

TEST_F(InterfaceExportTest, ANewMasterHasNoInterfaceAndAnEmptyDescription)
{
    EXPECT_EQ(0u, Type());
    char info[64] = "junk";
    EXPECT_EQ(0, BISS(BISS_GetInterfaceInfo)(handle_, 0, info));
    EXPECT_STREQ("", info);
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetInterfaceInfo)(handle_, 1, info));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetInterfaceInfo)(handle_, 0, nullptr));
}

TEST_F(InterfaceExportTest, RefusedAndUnavailableTypesLeaveNoInterface)
{
    EXPECT_EQ(eBISS_NO_INTERFACE, BISS(BISS_SetInterface)(0, 8, "")) << "above 7 before the handle test";
    EXPECT_EQ(eBISS_NO_INTERFACE, BISS(BISS_SetInterface)(handle_, 8, ""));
    EXPECT_EQ(eBISS_NO_INTERFACE, BISS(BISS_SetInterface)(handle_, eBISS_IF_PCIE, ""));
    EXPECT_EQ(0u, Type());
    // Neither ftd2xx.dll nor dlportio.dll is on this machine.
    EXPECT_EQ(eBISS_DRIVER_MISSING, BISS(BISS_SetInterface)(handle_, eBISS_IF_FTDI, ""));
    EXPECT_EQ(eBISS_DRIVER_MISSING, BISS(BISS_SetInterface)(handle_, eBISS_IF_LPT_1, "0x378"));
    EXPECT_EQ(0u, Type());
    // No USB adapter is plugged in.
    EXPECT_EQ(eBISS_NO_CONNECTION, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, ""));
    EXPECT_EQ(0u, Type());
    EXPECT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_NONE, ""));
    EXPECT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_NONE, nullptr));
}

TEST_F(InterfaceExportTest, AdapterPinsAndClockAreKeptWithoutTheAdapterLibrary)
{
    EXPECT_EQ(eBISS_DRIVER_MISSING, BISS(BISS_SetInterface)(handle_, eBISS_IF_FTDI, "Box"));
    EXPECT_EQ(0, BISS(BISS_SetFtdiFreq)(handle_, 1, 2));
    EXPECT_EQ(0, BISS(BISS_SetZeptorPins)(handle_, 0xFF, 0x5F));
    BISS_U32 direction = 9, value = 9;
    EXPECT_EQ(0, BISS(BISS_GetZeptorPins)(handle_, &direction, &value));
    EXPECT_EQ(0xE0u, direction) << "only the free pins are taken";
    EXPECT_EQ(0x40u, value);
    EXPECT_EQ(nullptr, GetModuleHandleA("ftd2xx.dll")) << "probed, never bound";
    EXPECT_EQ(nullptr, GetModuleHandleA("dlportio.dll"));
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_SetZeptorPins)(0, 0, 0));
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_GetZeptorPins)(257, &direction, &value));
    EXPECT_EQ(0u, direction);
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_SetFtdiFreq)(0, 1, 2));
}

TEST_F(InterfaceExportTest, RegisterAccessWithoutAnInterfaceIsRefusedAndRecorded)
{
    BISS_U32 value = 7;
    EXPECT_EQ(eBISS_NO_INTERFACE, BISS(BISS_ReadMasterRegister)(handle_, 0xF0, &value));
    EXPECT_EQ(0u, value);
    EXPECT_EQ(eBISS_NO_INTERFACE, BISS(BISS_WriteMasterRegister)(handle_, 0xF4, 0x80));
    EXPECT_EQ(eBISS_NO_INTERFACE, BISS(BISS_InitBissComm)(handle_));
    EXPECT_EQ(eBISS_NO_INTERFACE, BISS(BISS_WriteMasterParams)(handle_));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_SCD_LENGTH, 24));
    EXPECT_EQ(eBISS_CHANNEL_COUNT_EXCEEDED, BISS(BISS_WriteMasterParams)(handle_))
        << "no chip identified: every configured channel is one too many";
    BISS_U32 code = 0, level = 0;
    char text[BISS_ERROR_TEXT_SIZE];
    BISS(BISS_GetLastError)(handle_, &code, &level, text);
    EXPECT_EQ(25u, code);
}

} // namespace
