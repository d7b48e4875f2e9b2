// The Kelto encoder's memory as its mailbox reaches it: 2048 bytes of EEPROM
// and 128 bytes of RAM laid out like the start of the EEPROM. Multi-byte
// system fields are stored most significant byte first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim::kelto {

inline constexpr size_t kEepromSize = 2048;
inline constexpr size_t kRamSize = 128;
// Power-up copies the system and both chip blocks into RAM.
inline constexpr size_t kWorkingSetSize = 96;

namespace address {
// System block (0x00-0x2F).
inline constexpr uint16_t kPolesHigh = 0x00;
inline constexpr uint16_t kPolesLow = 0x01;
inline constexpr uint16_t kCodeStartHigh = 0x02;
inline constexpr uint16_t kCodeStartLow = 0x03;
inline constexpr uint16_t kCodeLength = 0x04;
inline constexpr uint16_t kWorkTime = 0x08;       // three 16-bit counters
inline constexpr uint16_t kCommand = 0x0E;        // trigger bits, see command::
inline constexpr uint16_t kOutput = 0x10;         // see output::
inline constexpr uint16_t kFormat = 0x11;         // bits 3-5: position format
inline constexpr uint16_t kSsiResolution = 0x12;  // micrometres per count, 255 = 0.976
inline constexpr uint16_t kOffset = 0x13;         // 32 bits, added to the position
inline constexpr uint16_t kStartsetOffset = 0x17; // 16 bits
inline constexpr uint16_t kLiveStatus = 0x1A;     // the live error byte
inline constexpr uint16_t kLiveLatch = 0x1B;      // error bits seen since the host cleared it
inline constexpr uint16_t kLedBlinkTime = 0x1C;
inline constexpr uint16_t kQiRecoveryTime = 0x1D;
inline constexpr uint16_t kQiPowerOnDelay = 0x1E;
inline constexpr uint16_t kStoredErrors = 0x24;   // error bits ever seen, kept in EEPROM too
inline constexpr uint16_t kStoredLatch = 0x25;    // bits newly stored since the host cleared it
inline constexpr uint16_t kInterfaceOptions = 0x26;
inline constexpr uint16_t kInterfaceVariant = 0x27;

// Interpolator chip blocks, each closed by its CRC-8.
inline constexpr uint16_t kDorvelBlock = 0x30;
inline constexpr uint16_t kDorvelCrc = 0x3F;
inline constexpr uint16_t kPellinBlock = 0x40;
inline constexpr uint16_t kPellinCrc = 0x5F;

// Factory copy of 0x00-0x5F.
inline constexpr uint16_t kMirror = 0x60;

inline constexpr uint16_t kIdentifier = 196; // 8 characters

// Product information (one character per address).
inline constexpr uint16_t kMaterialNumber = 208;          // 6
inline constexpr uint16_t kFirmwareVersion = 214;         // 13
inline constexpr uint16_t kParameterVersion = 227;        // 4
inline constexpr uint16_t kPcbOrderingNumber = 231;       // 8
inline constexpr uint16_t kPcbRunningNumber = 239;        // 6
inline constexpr uint16_t kPcbIctDate = 245;              // 8
inline constexpr uint16_t kProductReserved1 = 253;        // 2
inline constexpr uint16_t kIctMachineNumber = 255;        // 9
inline constexpr uint16_t kIctAdapterNumber = 264;        // 3
inline constexpr uint16_t kCalibrationDate = 267;         // 8
inline constexpr uint16_t kSignalValues = 275;            // 8 x 5: means and amplitudes of both chips
inline constexpr uint16_t kHysteresisA = 315;             // 4
inline constexpr uint16_t kHysteresisB = 319;             // 4
inline constexpr uint16_t kCalibrationStatus = 323;       // 1
inline constexpr uint16_t kCalibrationMachine = 324;      // 8
inline constexpr uint16_t kCalibrationSoftware = 332;     // 4
inline constexpr uint16_t kProductionNumber = 336;        // 8
inline constexpr uint16_t kHeadOrderingNumber = 344;      // 8
inline constexpr uint16_t kHeadMaterialNumber = 352;      // 6
inline constexpr uint16_t kFinalTestMachine = 358;        // 9
inline constexpr uint16_t kFinalTestSoftware = 367;       // 4
inline constexpr uint16_t kFinalRunningNumber = 371;      // 8
inline constexpr uint16_t kFinalTestResult = 379;         // 1
inline constexpr uint16_t kFinalTestDate = 380;           // 8
inline constexpr uint16_t kFinalTestFactory = 388;        // 2
inline constexpr uint16_t kParameteringOrder = 390;       // 7
inline constexpr uint16_t kParameteringFactory = 397;     // 4
inline constexpr uint16_t kParameteringDate = 401;        // 6
inline constexpr uint16_t kTypeCode = 407;                // 40
inline constexpr uint16_t kDeliveryCode = 447;            // 7
inline constexpr uint16_t kOperationTime = 454;           // 6
inline constexpr uint16_t kParameterMirrorValid = 460;    // bit 0 clear: the mirror is a valid factory copy
inline constexpr uint16_t kProductReserved2 = 461;        // 12

// Service information: three entries of date, name and notes.
inline constexpr uint16_t kServiceInfo = 473;             // 186
inline constexpr uint16_t kModificationIndicator = 659;   // bit 0 set or 0xFF: as delivered
} // namespace address

namespace command {
inline constexpr uint8_t kZeroSet = 0x02;
} // namespace command

namespace output {
inline constexpr uint8_t kSsi = 0x01;
inline constexpr uint8_t kFalling = 0x02;       // the value counts down as the position rises
inline constexpr uint8_t kGray = 0x04;
inline constexpr uint8_t kStandardFrame = 0x08; // no diagnosis bits in the frame
inline constexpr unsigned kSsiLengthShift = 4;  // 2 bits: 24, 25, 26, 32 bits
} // namespace output

// The error byte (live at 0x1A and register 0x48, stored at 0x24): every bit
// set means trouble.
namespace error {
inline constexpr uint8_t kNotReady = 0x01;
inline constexpr uint8_t kSsiOverclock = 0x04;
inline constexpr uint8_t kSignalLow = 0x08;
inline constexpr uint8_t kDriveInMk = 0x10;
inline constexpr uint8_t kNoMagnetBand = 0x20;
inline constexpr uint8_t kInconsistency = 0x40;
inline constexpr uint8_t kPellinError = 0x80;
// A low signal only warns: the position is still good.
inline constexpr uint8_t kWarnings = kSignalLow;
inline constexpr uint8_t kErrors = kNotReady | kSsiOverclock | kDriveInMk | kNoMagnetBand | kInconsistency | kPellinError;
} // namespace error

// Position formats (bits 3-5 of 0x11).
namespace format {
inline constexpr uint8_t kAbsolute = 0;
inline constexpr uint8_t kCalibration = 7; // pole number and the two signal values
} // namespace format

} // namespace sim::kelto
