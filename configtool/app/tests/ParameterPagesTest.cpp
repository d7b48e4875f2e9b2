// The system settings page after a connected read: what it derives from the chip fields, the
// interface-variant layouts, the write-enable rule, protocol switching and discarding changes,
// driven as the operator would, headless and in virtual time.
#include <string>

#include "ParameterPages.h"
#include "ParameterPagesFixture.h"
#include "SensorLinkState.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kSysPage = 0;
constexpr int kExpertPage = 2;

// Output byte 0x10: SSI, falling edge, Gray code, 26 bits.
constexpr std::uint8_t kSsiOutput = 0x01 | 0x02 | 0x04 | (2 << 4);

void PutWord(sim::kelto::EepromImage &eeprom, std::uint16_t address, std::uint16_t value)
{
    eeprom[address] = static_cast<std::uint8_t>(value >> 8);
    eeprom[address + 1] = static_cast<std::uint8_t>(value);
}

sim::kelto::KeltoModel Model(std::uint8_t output, std::uint8_t ssiResolution = 1, const char *material = "604117")
{
    sim::kelto::KeltoModel model;
    model.output = output;
    model.ssiResolution = ssiResolution;
    model.materialNumber = material;
    return model;
}

} // namespace

TEST_F(ParameterPagesTest, AConnectedReadShowsTheSensorAndRemembersIt)
{
    Connect();
    EXPECT_EQ(Value(sys, TAB_SYS_VANTREL_RES), 1);
    EXPECT_EQ(Value(sys, TAB_SYS_EDGETIME), 255);
    EXPECT_TRUE(Dimmed(sys, TAB_SYS_EDGETIME));
    EXPECT_EQ(Value(sys, TAB_SYS_COMM_PROTOCOL), 0);
    EXPECT_TRUE(ControlVisible(sys, TAB_SYS_COMM_PROTOCOL));
    EXPECT_TRUE(ControlVisible(sys, TAB_SYS_BISS_LENGTH));
    EXPECT_FALSE(ControlVisible(sys, TAB_SYS_SSI_LENGTH));
    EXPECT_FALSE(WriteEnabled());

    const SysPageSettings expected{.resolution = 1, .edgeTime = 255, .frameType = 0};
    EXPECT_EQ(ReferenceSysSettings, expected);

    // The chip page as the factory set it up.
    EXPECT_EQ(Value(expert, TAB_EXPERT_SELRES), 16);
    EXPECT_EQ(Value(expert, TAB_EXPERT_SSIRES), 1);
    EXPECT_EQ(Value(expert, TAB_EXPERT_FCTR), 0x4304);
    EXPECT_EQ(Value(expert, TAB_EXPERT_ZPOS), 8);
    EXPECT_EQ(Value(expert, TAB_EXPERT_HYS), 2);
    EXPECT_EQ(Value(expert, TAB_EXPERT_PHASE), 2);
    EXPECT_EQ(Value(expert, TAB_EXPERT_GAIN), 5);
    EXPECT_EQ(Value(expert, TAB_EXPERT_AMPL), 1);
    EXPECT_DOUBLE_EQ(Number(expert, TAB_EXPERT_SINOFFS), 3.0 / 128);
    EXPECT_DOUBLE_EQ(Number(expert, TAB_EXPERT_COSOFFS), -2.0 / 128);
    EXPECT_EQ(Value(expert, TAB_EXPERT_LED_BLINK_TIME), 10);
    EXPECT_EQ(Value(expert, TAB_EXPERT_DORVEL_CRC), eeprom[0x3F]);
    EXPECT_EQ(Value(expert, TAB_EXPERT_DORVEL_CRC_ERROR), 0);
}

// Every field the pages show goes back into the image unchanged, including values no ring item
// or numeric limit covers; a change and its undoing leave the sensor's bytes as they were.
TEST_F(ParameterPagesTest, ThePagesLoseNothingOfWhatTheSensorHolds)
{
    Connect([](Eeprom &image) {
        image[0x04] = 0x20;                        // PRC_BIT_NUM_REG beyond the numeric's 0-15
        image[0x11] = 0xFF;                        // every output-format bit, the reserved one too
        image[0x13] = 0xFF, image[0x14] = 0xFF;    // OFFSET 0xFFFFFFF0
        image[0x15] = 0xFF, image[0x16] = 0xF0;
        PutWord(image, 0x17, 0xFFFF);              // STARTSET_OFFSET
        image[0x27] = 0xFC;                        // reserved variant bits
        image[0x33] |= 0x04;                       // DORVEL_LOW_1
        image[0x37] = 0xF4;                        // CFGOSC 4 (no item), reserved bits
        image[0x38] = 0x50;                        // RATIO 16 (no item): bits 0-3 clear ...
        image[0x3B] = 0x01 | (20 << 2);            // ... bit 4 set; PHASE 20 (no item)
        image[0x3D] = 0xA5;                        // DORVEL_RESERVED_4
        SealDorvelBlock(image);
    });
    EnterExpertMode();
    for (int address = 0; address < 0x40; ++address)
        ASSERT_EQ(ImageByte(static_cast<std::uint16_t>(address)), eeprom[address]) << address;

    Choose(kSysPage, TAB_SYS_VANTREL_RES, 2);
    Choose(kSysPage, TAB_SYS_VANTREL_RES, 1);
    Choose(kExpertPage, TAB_EXPERT_HYS, 3);
    Choose(kExpertPage, TAB_EXPERT_HYS, 2);
    for (int address = 0; address < 0x40; ++address)
        EXPECT_EQ(ImageByte(static_cast<std::uint16_t>(address)), eeprom[address]) << address;

    // Once the operator picks a value there, the control's value is the field's.
    Choose(kExpertPage, TAB_EXPERT_PHASE, 33);
    EXPECT_EQ(ImageByte(0x3B) >> 2, 33);
    Choose(kExpertPage, TAB_EXPERT_PRC_BIT_NUM_REG, 12);
    EXPECT_EQ(ImageByte(0x04), 12);
    EXPECT_EQ(ImageByte(0x37), 0xF4);
}

TEST_F(ParameterPagesTest, ResolutionSetsTheChipResolutionAndTheSsiResolution)
{
    Connect();
    Choose(kSysPage, TAB_SYS_VANTREL_RES, 2);
    EXPECT_EQ(Value(expert, TAB_EXPERT_SELRES), 18);
    EXPECT_EQ(Value(expert, TAB_EXPERT_SSIRES), 2);
    EXPECT_EQ(Value(expert, TAB_EXPERT_FCTR), 0x4304);
    EXPECT_EQ(ImageByte(0x12), 2);
    EXPECT_EQ(ImageByte(0x30) & 0x1F, 18);
    EXPECT_TRUE(WriteEnabled());
    // The chip block is sealed again and the page shows its checksum.
    EXPECT_EQ(Value(expert, TAB_EXPERT_DORVEL_CRC), ImageByte(0x3F));
    EXPECT_NE(ImageByte(0x3F), eeprom[0x3F]);
    EXPECT_EQ(Value(expert, TAB_EXPERT_DORVEL_CRC_ERROR), 0);

    // With the edge time fixed the finest resolution brings its own edge time.
    Choose(kSysPage, TAB_SYS_VANTREL_RES, 0);
    EXPECT_EQ(Value(expert, TAB_EXPERT_SELRES), 5);
    EXPECT_EQ(Value(expert, TAB_EXPERT_SSIRES), 255);
    EXPECT_EQ(Value(expert, TAB_EXPERT_FCTR), 0x4702);
    EXPECT_EQ(ImageByte(0x34), 0x02);
    EXPECT_EQ(ImageByte(0x35) & 0x7F, 0x47);
}

TEST_F(ParameterPagesTest, ASelectableEdgeTimeIsTheOperatorsAndSetsTheChip)
{
    Connect(Model(0, 1, "604118"));
    EXPECT_FALSE(Dimmed(sys, TAB_SYS_EDGETIME));
    EXPECT_EQ(Value(sys, TAB_SYS_EDGETIME), 0);  // 0x4304
    Choose(kSysPage, TAB_SYS_VANTREL_RES, 4);
    EXPECT_EQ(Value(expert, TAB_EXPERT_SELRES), 28);
    EXPECT_EQ(Value(expert, TAB_EXPERT_FCTR), 0x4304);

    Choose(kSysPage, TAB_SYS_EDGETIME, 3);
    EXPECT_EQ(Value(expert, TAB_EXPERT_FCTR), 10);
    EXPECT_EQ(ImageByte(0x34), 10);
    EXPECT_EQ(ImageByte(0x35) & 0x7F, 0);
    EXPECT_EQ(Value(expert, TAB_EXPERT_DORVEL_CRC_ERROR), 0);
}

TEST_F(ParameterPagesTest, ResolutionAndEdgeTimeShownFromTheChip)
{
    struct Case {
        std::uint8_t selres, ssiRes;
        std::uint16_t fctr;
        const char *material;
        int resolution, edgeTime;
    };
    const Case cases[] = {
        {18, 2, 0x4304, "604117", 2, 255},
        {18, 1, 0x4304, "604117", 1, 255},  // no such pair: "1 µm/inc"
        {5, 255, 0x4702, "604117", 0, 255},
        {16, 1, 999, "604117", 1, 255},     // no such edge time: "- - -"
        {21, 5, 0x4102, "604118", 3, 1},
        {28, 10, 245, "604229", 4, 8},
    };
    for (const Case &c : cases) {
        Connect(Model(0, 1, c.material), [&](Eeprom &image) {
            image[0x12] = c.ssiRes;
            image[0x30] = static_cast<std::uint8_t>((image[0x30] & 0xE0) | c.selres);
            image[0x34] = static_cast<std::uint8_t>(c.fctr);
            image[0x35] = static_cast<std::uint8_t>((image[0x35] & 0x80) | (c.fctr >> 8));
            SealDorvelBlock(image);
        });
        EXPECT_EQ(Value(sys, TAB_SYS_VANTREL_RES), c.resolution) << int{c.selres} << "/" << int{c.ssiRes};
        EXPECT_EQ(Value(sys, TAB_SYS_EDGETIME), c.edgeTime) << c.fctr;
        EXPECT_EQ(ReferenceSysSettings.resolution, c.resolution);
        EXPECT_EQ(ReferenceSysSettings.edgeTime, c.edgeTime);
    }
}

TEST_F(ParameterPagesTest, ChangingASettingBackDimsTheWriteButtonOutsideExpertMode)
{
    struct Case {
        const char *name;
        std::uint8_t output, variant;
        int control, changed;
    };
    const Case cases[] = {
        {"resolution", 0, 0, TAB_SYS_VANTREL_RES, 3},
        {"start set", 0, 0, TAB_SYS_STARTSET, 1},
        {"frame type", 0, 0, TAB_SYS_FRAME_TYPE, 1},
        {"protocol", 0, 0, TAB_SYS_COMM_PROTOCOL, 1},
        {"protocol of an SSI encoder", kSsiOutput, 0, TAB_SYS_COMM_PROTOCOL, 0},
        {"SSI length", kSsiOutput, 0, TAB_SYS_SSI_LENGTH, 3},
        {"SSI coding", kSsiOutput, 0, TAB_SYS_SSI_CODING, 0},
        {"SSI edge", kSsiOutput, 0, TAB_SYS_SSI_VALUE, 0},
        {"VH request", 0, 2, TAB_SYS_QI_HW_RQ_EN, 1},
        {"Z signal", 0, 2, TAB_SYS_QI_Z_TYPE, 1},
    };
    for (const Case &c : cases) {
        for (const bool expertMode : {false, true}) {
            Connect(Model(c.output), [&](Eeprom &image) { image[0x27] = c.variant; });
            if (expertMode)
                EnterExpertMode();
            const int original = Value(sys, c.control);
            Choose(kSysPage, c.control, c.changed);
            EXPECT_TRUE(WriteEnabled()) << c.name;
            Choose(kSysPage, c.control, original);
            EXPECT_EQ(WriteEnabled(), expertMode) << c.name << (expertMode ? " in expert mode" : "");
            g_expertMode = 0;
        }
    }
}

TEST_F(ParameterPagesTest, ChangesElsewhereKeepTheWriteButtonEnabled)
{
    Connect();
    Choose(kSysPage, TAB_SYS_VANTREL_RES, 3);
    Choose(kSysPage, TAB_SYS_STARTSET, 1);
    Choose(kSysPage, TAB_SYS_VANTREL_RES, 1);
    EXPECT_TRUE(WriteEnabled());
    Choose(kSysPage, TAB_SYS_STARTSET, 0);
    EXPECT_FALSE(WriteEnabled());
}

TEST_F(ParameterPagesTest, AChangeClearsTheParameterFileShown)
{
    Connect();
    SetCtrlVal(sys, TAB_SYS_SELECTED_FILE, "C:\\params\\line3.vantrelcfg");
    g_paramFileShown = 1;
    Choose(kSysPage, TAB_SYS_STARTSET, 1);
    EXPECT_EQ(Text(sys, TAB_SYS_SELECTED_FILE), "");
    EXPECT_EQ(g_paramFileShown, 0);
}

TEST_F(ParameterPagesTest, SwitchingToBissZeroesTheSsiSettingsAndBackRestoresTheSensors)
{
    Connect(Model(kSsiOutput));
    EXPECT_EQ(Value(sys, TAB_SYS_COMM_PROTOCOL), 1);
    EXPECT_EQ(Value(sys, TAB_SYS_SSI_LENGTH), 2);
    EXPECT_TRUE(ControlVisible(sys, TAB_SYS_SSI_LENGTH));

    Choose(kSysPage, TAB_SYS_COMM_PROTOCOL, 0);
    for (int control : {TAB_SYS_SSI_LENGTH, TAB_SYS_SSI_CODING, TAB_SYS_SSI_VALUE}) {
        EXPECT_EQ(Value(sys, control), 0) << control;
        EXPECT_TRUE(Dimmed(sys, control)) << control;
    }
    EXPECT_FALSE(ControlVisible(sys, TAB_SYS_SSI_LENGTH));
    EXPECT_TRUE(ControlVisible(sys, TAB_SYS_BISS_LENGTH));
    EXPECT_EQ(ImageByte(0x10), 0x00);

    Choose(kSysPage, TAB_SYS_COMM_PROTOCOL, 1);
    EXPECT_EQ(Value(sys, TAB_SYS_SSI_LENGTH), 2);
    EXPECT_EQ(Value(sys, TAB_SYS_SSI_CODING), 1);
    EXPECT_EQ(Value(sys, TAB_SYS_SSI_VALUE), 1);
    for (int control : {TAB_SYS_SSI_LENGTH, TAB_SYS_SSI_CODING, TAB_SYS_SSI_VALUE})
        EXPECT_FALSE(Dimmed(sys, control)) << control;
    EXPECT_TRUE(ControlVisible(sys, TAB_SYS_SSI_LENGTH));
    EXPECT_FALSE(ControlVisible(sys, TAB_SYS_BISS_LENGTH));
    EXPECT_EQ(ImageByte(0x10), kSsiOutput);
    EXPECT_FALSE(WriteEnabled());
}

TEST_F(ParameterPagesTest, DiscardingPutsTheSensorsSettingsBack)
{
    Connect(Model(kSsiOutput));
    Choose(kSysPage, TAB_SYS_VANTREL_RES, 3);
    Choose(kSysPage, TAB_SYS_SSI_LENGTH, 0);
    Choose(kSysPage, TAB_SYS_STARTSET, 1);
    Choose(kSysPage, TAB_SYS_COMM_PROTOCOL, 0);
    ASSERT_TRUE(WriteEnabled());

    DiscardParameterMods();
    EXPECT_FALSE(WriteEnabled());
    EXPECT_EQ(Value(sys, TAB_SYS_VANTREL_RES), 1);
    EXPECT_EQ(Value(sys, TAB_SYS_COMM_PROTOCOL), 1);
    EXPECT_EQ(Value(sys, TAB_SYS_SSI_LENGTH), 2);
    EXPECT_EQ(Value(sys, TAB_SYS_STARTSET), 0);
    EXPECT_TRUE(ControlVisible(sys, TAB_SYS_SSI_LENGTH));
    EXPECT_FALSE(Dimmed(sys, TAB_SYS_SSI_CODING));
    EXPECT_EQ(Value(expert, TAB_EXPERT_SELRES), 16);
    for (int address = 0; address < 0x40; ++address)
        EXPECT_EQ(ImageByte(static_cast<std::uint16_t>(address)), eeprom[address]) << address;
}

TEST_F(ParameterPagesTest, AFrameTypeWithoutTheChoiceIsCollectedAsZero)
{
    sim::kelto::KeltoModel model = Model(0x08);  // diagnosis frame bit set
    model.firmwareNumber = 142000;               // no frame-type choice
    Connect(model);
    Choose(kSysPage, TAB_SYS_VANTREL_RES, 2);
    EXPECT_EQ(ImageByte(0x10) & 0x08, 0);

    Connect(Model(0x08));
    EXPECT_EQ(Value(sys, TAB_SYS_FRAME_TYPE), 1);
    Choose(kSysPage, TAB_SYS_FRAME_TYPE, 0);
    EXPECT_EQ(ImageByte(0x10) & 0x08, 0);
    Choose(kSysPage, TAB_SYS_FRAME_TYPE, 1);
    EXPECT_EQ(ImageByte(0x10) & 0x08, 0x08);
}

TEST_F(ParameterPagesTest, StartSetOffsetShowsItsRowOfTheZeroShift)
{
    struct Case {
        bool enhanced;
        std::uint16_t offset;
        std::uint8_t ssiResolution;
        double degrees;
    };
    const Case cases[] = {
        {true, 150, 10, 90.0},   // row 8 comes before row 9, which holds 150 too
        {true, 375, 5, 67.5},    // row 6 of resolution index 3
        {true, 1500, 1, 90.0},
        {true, 151, 10, 0.0},    // in no row
        {false, 150, 10, 0.0},
    };
    for (const Case &c : cases) {
        Connect(Model(0, c.ssiResolution), [&](Eeprom &image) {
            if (c.enhanced)
                image[0x11] |= 0x80;
            PutWord(image, 0x17, c.offset);
        });
        EXPECT_EQ(Value(sys, TAB_SYS_STARTSET), c.enhanced ? 1 : 0);
        EXPECT_DOUBLE_EQ(Number(position, TAB_POS_ZERO_SHIFT_DEG), c.degrees) << c.offset;
        EXPECT_EQ(Dimmed(position, TAB_POS_ZERO_SHIFT_DEG), !c.enhanced) << c.offset;
        EXPECT_FALSE(Dimmed(position, TAB_POS_ZERO_SHIFT));
        EXPECT_EQ(g_rotaryStartset, c.enhanced ? 1 : 0);
    }
}

TEST_F(ParameterPagesTest, ThePendingChangeKeepsTheStartSetDisplay)
{
    Connect(Model(0, 10), [](Eeprom &image) {
        image[0x11] |= 0x80;
        PutWord(image, 0x17, 150);
    });
    Choose(kSysPage, TAB_SYS_STARTSET, 0);
    SetCtrlVal(position, TAB_POS_ZERO_SHIFT_DEG, 45.0);
    SetStartsetType();
    EXPECT_DOUBLE_EQ(Number(position, TAB_POS_ZERO_SHIFT_DEG), 45.0);
    EXPECT_EQ(g_rotaryStartset, 1);
}

TEST_F(ParameterPagesTest, ZeroShiftRoundsDownToTheResolutionsStep)
{
    struct Case {
        std::uint8_t ssiResolution;
        int shift, rounded;
    };
    const Case cases[] = {{10, 10007, 10000}, {5, 10007, 10005}, {2, 10007, 10006}, {1, 10007, 10007}, {255, 9, 9}};
    for (const Case &c : cases) {
        Connect(Model(0, c.ssiResolution));
        SetCtrlVal(position, TAB_POS_ZERO_SHIFT, c.shift);
        SetZeroShift();
        EXPECT_EQ(Value(position, TAB_POS_ZERO_SHIFT), c.rounded) << int{c.ssiResolution};
    }

    Connect(Model(0, 1), [](Eeprom &image) { image[0x11] |= 0x80; });
    SetCtrlVal(position, TAB_POS_ZERO_SHIFT_DEG, 100.0);
    SetZeroShift();
    EXPECT_DOUBLE_EQ(Number(position, TAB_POS_ZERO_SHIFT_DEG), 90.0);
    SetCtrlVal(position, TAB_POS_ZERO_SHIFT_DEG, 112.5);
    SetZeroShift();
    EXPECT_DOUBLE_EQ(Number(position, TAB_POS_ZERO_SHIFT_DEG), 112.5);
}

TEST_F(ParameterPagesTest, InterfaceVariantsLayTheSystemPageOut)
{
    struct Case {
        std::uint8_t variantByte;  // bit 0 SARVIK, bit 1 QUAD_ADV
        bool protocolShown;
        int fixedProtocol;  // 0: COMM_PROTOCOL_SPEC hidden
        int ssiLeft;
        bool quadratureShown;
        std::uint8_t sarvik, absoluteQuadrature;
    };
    const Case cases[] = {
        {0x00, true, 0, 154, false, 0, 0},
        {0x01, false, 2, 154, false, 1, 0},
        {0x02, false, 3, 134, true, 0, 1},
        {0x03, false, 2, 154, false, 1, 0},  // Sarvik wins
    };
    for (const Case &c : cases) {
        Connect([&](Eeprom &image) { image[0x27] = c.variantByte; });
        SCOPED_TRACE(testing::Message() << "variant byte " << int{c.variantByte});
        EXPECT_EQ(ControlVisible(sys, TAB_SYS_COMM_PROTOCOL), c.protocolShown);
        EXPECT_EQ(ControlVisible(sys, TAB_SYS_COMM_PROTOCOL_SPEC), c.fixedProtocol != 0);
        if (c.fixedProtocol != 0) {
            EXPECT_EQ(Value(sys, TAB_SYS_COMM_PROTOCOL_SPEC), c.fixedProtocol);
        }
        for (int control :
             {TAB_SYS_SSI_CODING, TAB_SYS_SSI_VALUE, TAB_SYS_SSI_LENGTH, TAB_SYS_BISS_LENGTH, TAB_SYS_FRAME_TYPE}) {
            int left = 0;
            GetCtrlAttribute(sys, control, ATTR_LEFT, &left);
            EXPECT_EQ(left, c.ssiLeft) << control;
        }
        EXPECT_EQ(ControlVisible(sys, TAB_SYS_QI_HW_RQ_EN), c.quadratureShown);
        EXPECT_EQ(ControlVisible(sys, TAB_SYS_QI_Z_TYPE), c.quadratureShown);
        if (c.quadratureShown) {
            int left = 0, top = 0;
            GetCtrlAttribute(sys, TAB_SYS_QI_HW_RQ_EN, ATTR_LEFT, &left);
            GetCtrlAttribute(sys, TAB_SYS_QI_HW_RQ_EN, ATTR_TOP, &top);
            EXPECT_EQ(left, 187);
            EXPECT_EQ(top, 163);
            GetCtrlAttribute(sys, TAB_SYS_QI_Z_TYPE, ATTR_TOP, &top);
            EXPECT_EQ(top, 291);
        }
        EXPECT_EQ(g_sarvikInterface, c.sarvik);
        EXPECT_EQ(g_absoluteQuadrature, c.absoluteQuadrature);
        // A variant fixes the frame type.
        EXPECT_EQ(Dimmed(sys, TAB_SYS_FRAME_TYPE), c.variantByte != 0);
    }
}

TEST_F(ParameterPagesTest, SsiFrameFollowsTheSensorsBitLength)
{
    struct Case {
        int length;
        std::uint16_t frameLength, divider;
    };
    for (const Case &c : {Case{0, 24, 15}, Case{1, 25, 15}, Case{2, 26, 15}, Case{3, 32, 9}}) {
        Connect(Model(static_cast<std::uint8_t>(0x01 | (c.length << 4))));
        EXPECT_EQ(g_link.frameLength, c.frameLength) << c.length;
        EXPECT_EQ(g_link.scdClockDivider, c.divider) << c.length;
    }
}
