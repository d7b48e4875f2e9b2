#include "KeltoFactoryImage.h"

#include "KeltoCrc.h"

#include <algorithm>
#include <string_view>

namespace sim::kelto {

namespace {

// Interpolator settings that go with the output resolution.
struct ResolutionSetting {
    uint8_t ssiResolution;
    uint8_t selres;
    uint16_t fctr;
};
constexpr ResolutionSetting kResolutions[] = {
    {255, 5, 0x4702}, {1, 16, 0x4304}, {2, 18, 0x4304}, {5, 21, 0x4304}, {10, 28, 0x4304},
};

ResolutionSetting ResolutionFor(uint8_t ssiResolution)
{
    for (const auto &setting : kResolutions)
        if (setting.ssiResolution == ssiResolution)
            return setting;
    return kResolutions[1];
}

// Text fields hold one character per address, padded with spaces.
void PutText(EepromImage &image, uint16_t at, size_t length, std::string_view text)
{
    for (size_t i = 0; i < length; ++i)
        image[at + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

void PutWord(EepromImage &image, uint16_t at, uint16_t value)
{
    image[at] = static_cast<uint8_t>(value >> 8);
    image[at + 1] = static_cast<uint8_t>(value);
}

void BuildSystemBlock(EepromImage &image, const KeltoModel &model)
{
    std::fill(image.begin(), image.begin() + address::kDorvelBlock, uint8_t{0});
    for (size_t i = 0; i < model.workTime.size(); ++i)
        PutWord(image, static_cast<uint16_t>(address::kWorkTime + 2 * i), model.workTime[i]);
    image[address::kOutput] = model.output & 0x3F; // bits 6 and 7 are reserved
    image[address::kSsiResolution] = model.ssiResolution;
    image[address::kLedBlinkTime] = 10;
    image[address::kQiRecoveryTime] = 5;
    image[address::kQiPowerOnDelay] = 20;
}

void BuildDorvelBlock(EepromImage &image, const KeltoModel &model)
{
    const ResolutionSetting setting = ResolutionFor(model.ssiResolution);
    uint8_t *block = &image[address::kDorvelBlock];
    block[0x0] = setting.selres;                          // SELRES; M2S 0; ENCDS 0
    block[0x1] = 8 | (2u << 5);                           // ZPOS 90 degrees; HYS 0.0879 degrees
    block[0x2] = 1u << 5;                                 // ROT descending
    block[0x3] = 0x03;                                    // FERR, AERR
    block[0x4] = static_cast<uint8_t>(setting.fctr);      // FCTR, least significant byte first
    block[0x5] = static_cast<uint8_t>(setting.fctr >> 8); // FCTR bits 8-14; GRAY 0
    block[0x6] = 0x00;
    block[0x7] = 0x00;
    block[0x8] = 5u << 4;                                 // GAIN 8.000
    block[0x9] = 0x83;                                    // SINOFFS +3/128
    block[0xA] = 0x02;                                    // COSOFFS -2/128
    block[0xB] = 0x02 | (2u << 2);                        // REFOFFS VDDA free; PHASE 91.4 degrees
    block[0xC] = 0x01;                                    // AMPL 1, SELAMPL 0
    block[0xD] = 0x00;
    block[0xE] = 0x00;
    block[0xF] = DorvelBlockCrc(block);
}

void BuildPellinBlock(EepromImage &image)
{
    static constexpr uint8_t kPellin[31] = {
        0x1C, 0x80, 0x80, 0x40, 0x07, 0x00, 0x22, 0x6A, 0x0F, 0x00, 0x31, 0x84, 0x84, 0x10, 0x00, 0x00,
        0x05, 0x3C, 0x00, 0x00, 0x48, 0x02, 0x91, 0x00, 0x00, 0x00, 0x0A, 0x0A, 0x00, 0x00, 0x00,
    };
    uint8_t *block = &image[address::kPellinBlock];
    std::copy(std::begin(kPellin), std::end(kPellin), block);
    block[31] = PellinBlockCrc(block);
}

void BuildProductInformation(EepromImage &image, const KeltoModel &model)
{
    PutText(image, address::kMaterialNumber, 6, model.materialNumber);
    PutText(image, address::kFirmwareVersion, 13, model.FirmwareText());
    PutText(image, address::kParameterVersion, 4, model.parameterVersion);
    PutText(image, address::kPcbOrderingNumber, 8, "10482733");
    PutText(image, address::kPcbRunningNumber, 6, "004711");
    PutText(image, address::kPcbIctDate, 8, "20230314");
    PutText(image, address::kProductReserved1, 2, "");
    PutText(image, address::kIctMachineNumber, 9, "ICT-00017");
    PutText(image, address::kIctAdapterNumber, 3, "A03");
    PutText(image, address::kCalibrationDate, 8, "20230316");
    static constexpr std::string_view kSignals[8] = {"2.501", "2.497", "1.204", "1.198",
                                                     "2.503", "2.499", "1.187", "1.191"};
    for (size_t i = 0; i < 8; ++i)
        PutText(image, static_cast<uint16_t>(address::kSignalValues + 5 * i), 5, kSignals[i]);
    PutText(image, address::kHysteresisA, 4, "0.12");
    PutText(image, address::kHysteresisB, 4, "0.11");
    PutText(image, address::kCalibrationStatus, 1, "1");
    PutText(image, address::kCalibrationMachine, 8, "CAL-0042");
    PutText(image, address::kCalibrationSoftware, 4, "2.31");
    PutText(image, address::kProductionNumber, 8, "P2311876");
    PutText(image, address::kHeadOrderingNumber, 8, "10482710");
    PutText(image, address::kHeadMaterialNumber, 6, "604090");
    PutText(image, address::kFinalTestMachine, 9, "FT-000023");
    PutText(image, address::kFinalTestSoftware, 4, "3.04");
    PutText(image, address::kFinalRunningNumber, 8, model.runningNumber);
    PutText(image, address::kFinalTestResult, 1, "P");
    PutText(image, address::kFinalTestDate, 8, "20230320");
    PutText(image, address::kFinalTestFactory, 2, "K1");
    PutText(image, address::kParameteringOrder, 7, "4711001");
    PutText(image, address::kParameteringFactory, 4, model.parameterFactory);
    PutText(image, address::kParameteringDate, 6, model.parameterDate);
    PutText(image, address::kTypeCode, 40, model.typeCode);
    PutText(image, address::kDeliveryCode, 7, model.deliveryCode);
    PutText(image, address::kOperationTime, 6, "000000");
    PutText(image, address::kParameterMirrorValid, 1, model.mirrorValid ? "0" : "1");
    PutText(image, address::kProductReserved2, 12, "");
    PutText(image, address::kServiceInfo, address::kModificationIndicator - address::kServiceInfo, "");
    image[address::kModificationIndicator] = model.modificationIndicator;
}

} // namespace

EepromImage BuildFactoryImage(const KeltoModel &model)
{
    EepromImage image;
    image.fill(0xFF);
    BuildSystemBlock(image, model);
    BuildDorvelBlock(image, model);
    BuildPellinBlock(image);
    std::copy_n(image.begin(), kWorkingSetSize, image.begin() + address::kMirror);
    PutText(image, address::kIdentifier, 8, model.identifier);
    BuildProductInformation(image, model);
    return image;
}

} // namespace sim::kelto
