/* ferrolink: BiSS master library, flat exported interface.
 * Every function returns a BISS_ErrorEnum code (0 = success). Results go into
 * caller memory; texts are narrow and zero-terminated; nothing is to be freed. */
#ifndef FERROLINK_H
#define FERROLINK_H

#ifdef __cplusplus
extern "C" {
#endif

#ifdef FERROLINK_BUILD
#define BISS_API __declspec(dllexport)
#else
#define BISS_API __declspec(dllimport)
#endif
#define BISS_CALL __stdcall

typedef unsigned long BISS_U32;

/* Error codes; BISS_GetLastError hands out their level and text. */
typedef enum BISS_ErrorEnum {
    eBISS_NO_ERROR = 0,
    eBISS_INVALID_HANDLE = 1,
    eBISS_DRIVER_MISSING = 2,
    eBISS_NO_CONNECTION = 3,
    eBISS_NO_INTERFACE = 4,
    eBISS_INVALID_PARAMETER = 5,
    eBISS_ADDRESS_RANGE = 6,
    eBISS_VALUE_RANGE = 7,
    eBISS_USB_CONNECTION = 8,
    eBISS_FILE_NOT_FOUND = 9,
    eBISS_FILE_FORMAT = 10,
    eBISS_VERIFY_FAILED = 11,
    eBISS_MASTER_COMM_FAILED = 12,
    eBISS_BISS_COMM_FAILED = 13,
    eBISS_REGISTER_REJECTED = 14,
    eBISS_FRAME_FAILED = 15,
    eBISS_REGCNT_EXCEEDED = 16,
    eBISS_FRAME_RATE_TOO_HIGH = 17,
    eBISS_USB_NOT_HIGH_SPEED = 18,
    eBISS_DATA_OVERFLOW = 19,
    eBISS_FILE_PERMISSION = 20,
    eBISS_EDS_NOT_USED = 21,
    eBISS_EDS_INVALID = 22,
    eBISS_EDS_CHECKSUM = 23,
    eBISS_REGISTER_COMM_FAILED = 24,
    eBISS_CHANNEL_COUNT_EXCEEDED = 25,
    /* BISS_Open when all 256 handles have been handed out. */
    eBISS_TOO_MANY_HANDLES = eBISS_INVALID_HANDLE
} BISS_ErrorEnum;

/* A text buffer for BISS_GetLastError must hold this many bytes. */
#define BISS_ERROR_TEXT_SIZE 95
#define BISS_MAX_HANDLES 256
#define BISS_MAX_CHANNELS 8

typedef enum BISS_InterfaceEnum {
    eBISS_IF_NONE = 0,
    eBISS_IF_LPT_1 = 1,
    eBISS_IF_LPT_2 = 2,
    eBISS_IF_LPT_3 = 3,
    eBISS_IF_FTDI = 4,
    eBISS_IF_DRAVIO_A = 5,
    eBISS_IF_DRAVIO_B = 6,
    eBISS_IF_PCIE = 7
} BISS_InterfaceEnum;

/* Communication parameters, for BISS_SetComParam / BISS_GetComParam. */
typedef enum BISS_ComParamEnum {
    eBISS_CP_MASTER_ID = 0,          /* read-only */
    eBISS_CP_MASTER_REVISION = 1,    /* read-only */
    eBISS_CP_PROTOCOL = 2,           /* 0 BiSS, 1 third kind, 2 SSI */
    eBISS_CP_CLKENI = 3,
    eBISS_CP_FREQ_SCD = 4,
    eBISS_CP_FREQ_REG = 5,
    eBISS_CP_FREQ_AGS = 6,
    eBISS_CP_CTRL_SLAVE = 7,
    eBISS_CP_CTRL_ADDRESS = 8,
    eBISS_CP_CTRL_WRITE = 9,
    eBISS_CP_CTRL_DATA = 10,
    eBISS_CP_SSI_WRITE = 11,
    eBISS_CP_SSI_WRITE_TIMEOUT = 12,
    eBISS_CP_CHANNEL_LIMIT = 13,     /* read-only */
    eBISS_CP_MAX_REGCNT = 14,        /* read-only */
    eBISS_CP_EN_MO = 15,
    eBISS_CP_FREQ_AGS_REG = 16,
    eBISS_CP_EDS_BANK = 17,
    eBISS_CP_DISABLE_TIMEOUT = 18,
    eBISS_CP_ENABLE_TTL = 19,
    eBISS_CP_CHANNEL_COUNT = 20,     /* read-only */
    eBISS_CP_COUNT = 21
} BISS_ComParamEnum;

/* Frame parameters of one data channel, for BISS_SetFrameParam / BISS_GetFrameParam.
 * Indices 4-6 carry no name; they are kept and saved with the configuration.
 * eBISS_FP_ID_COUNT has no place in the master's table: it takes the next free
 * index after the nine, so a call with it is refused as an unknown index. */
typedef enum BISS_FrameParamEnum {
    eBISS_FP_SCD_LENGTH = 0,
    eBISS_FP_CRC_POLY = 1,
    eBISS_FP_CRC_INVERT = 2,
    eBISS_FP_CONTENT_COUNT = 3,
    eBISS_FP_CRC_START = 7,
    eBISS_FP_EN_GRAY = 8,
    eBISS_FP_ID_COUNT = 9,
    eBISS_FP_COUNT = 9
} BISS_FrameParamEnum;

/* Parameters of one SCD content item, for BISS_SetScdContentParams /
 * BISS_GetScdContentParams. */
typedef struct BissScdContentParams {
    BISS_U32 ulFlag;      /* kept as 0 or 1 */
    BISS_U32 ulBitLength; /* data bits of the item */
    BISS_U32 ulValue3;    /* scale; reported as 2^ulBitLength while 0 */
    BISS_U32 ulValue4;    /* offset */
} BissScdContentParams;

/* Handles and library version. */
BISS_API int BISS_CALL BISS_Open(BISS_U32 *pulHandle);
BISS_API int BISS_CALL BISS_Close(BISS_U32 ulHandle);
BISS_API int BISS_CALL BISS_GetDLLVersion(BISS_U32 *pulVersion);
BISS_API int BISS_CALL BISS_GetLastError(BISS_U32 ulHandle, BISS_U32 *pulErrorCode,
                                         BISS_U32 *pulErrorLevel, char *pcErrorText);

/* Interface selection, master registers and the BiSS start-up. */
BISS_API int BISS_CALL BISS_SetInterface(BISS_U32 ulHandle, BISS_U32 ulInterface, const char *pcName);
BISS_API int BISS_CALL BISS_GetInterface(BISS_U32 ulHandle, BISS_U32 *pulInterface);
BISS_API int BISS_CALL BISS_GetInterfaceInfo(BISS_U32 ulHandle, BISS_U32 ulReserved, char *pcInfo);
BISS_API int BISS_CALL BISS_WriteMasterRegister(BISS_U32 ulHandle, BISS_U32 ulAddress, BISS_U32 ulValue);
BISS_API int BISS_CALL BISS_ReadMasterRegister(BISS_U32 ulHandle, BISS_U32 ulAddress, BISS_U32 *pulValue);
BISS_API int BISS_CALL BISS_WriteMasterParams(BISS_U32 ulHandle);
BISS_API int BISS_CALL BISS_InitBissComm(BISS_U32 ulHandle);

/* The FTDI adapter's free pins (bits 5-7 of its low pin byte) and its clock
 * divisor (high byte, low byte); kept while another interface is selected,
 * the clock used from the next selection of the adapter. */
BISS_API int BISS_CALL BISS_SetZeptorPins(BISS_U32 ulHandle, BISS_U32 ulDirection, BISS_U32 ulValue);
BISS_API int BISS_CALL BISS_GetZeptorPins(BISS_U32 ulHandle, BISS_U32 *pulDirection, BISS_U32 *pulValue);
BISS_API int BISS_CALL BISS_SetFtdiFreq(BISS_U32 ulHandle, BISS_U32 ulClockA, BISS_U32 ulClockB);

/* Communication and frame parameters, master register image. */
BISS_API int BISS_CALL BISS_SetComParam(BISS_U32 ulHandle, BISS_U32 ulParam, BISS_U32 ulValue);
BISS_API int BISS_CALL BISS_GetComParam(BISS_U32 ulHandle, BISS_U32 ulParam, BISS_U32 *pulValue);
BISS_API int BISS_CALL BISS_SetFrameParam(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulParam,
                                          BISS_U32 ulValue);
BISS_API int BISS_CALL BISS_GetFrameParam(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulParam,
                                          BISS_U32 *pulValue);
BISS_API int BISS_CALL BISS_GetMasterRegister(BISS_U32 ulHandle, BISS_U32 ulAddress, BISS_U32 *pulValue);

/* The master's configuration registers as a text listing, from the parameters. */
BISS_API int BISS_CALL BISS_SaveMasterConfig(BISS_U32 ulHandle, const char *pcFileName);

/* Register images as Intel HEX files (one byte value per element, at most 40000
 * bytes from address 0) and the CRC over caller bytes. */
BISS_API int BISS_CALL BISS_SaveRegister(BISS_U32 ulHandle, const char *pcFileName, BISS_U32 ulStartAddress,
                                         BISS_U32 ulNumberOfBytes, const BISS_U32 *pulData);
BISS_API int BISS_CALL BISS_LoadRegister(BISS_U32 ulHandle, const char *pcFileName, BISS_U32 ulStartAddress,
                                         BISS_U32 ulNumberOfBytes, BISS_U32 *pulData);
BISS_API int BISS_CALL BISS_CalculateCRC(BISS_U32 ulHandle, BISS_U32 ulPolynomial, const BISS_U32 *pulData,
                                         BISS_U32 ulNumberOfBytes, BISS_U32 *pulCrc);

/* SCD content items and labels of a data channel. Items are split from the
 * channel's data most significant first; values hold one element per item
 * (BISS_GetScdContent) or per stored frame (BISS_GetScdFrameContent). Text
 * results are copied whole: the caller sizes the buffers. */
BISS_API int BISS_CALL BISS_GetScdContent(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 *pulValues);
BISS_API int BISS_CALL BISS_GetScdFrameContent(BISS_U32 ulHandle, BISS_U32 ulNumberOfFrames, BISS_U32 ulChannel,
                                               BISS_U32 ulContentItem, BISS_U32 *pulValues);
BISS_API int BISS_CALL BISS_SetScdContentLabels(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulContentItem,
                                                const char *pcLabel, const char *pcUnit);
BISS_API int BISS_CALL BISS_GetScdContentLabels(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulContentItem,
                                                char *pcLabel, char *pcUnit);
BISS_API int BISS_CALL BISS_SetScdContentParams(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulContentItem,
                                                const BissScdContentParams *pParams);
BISS_API int BISS_CALL BISS_GetScdContentParams(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulContentItem,
                                                BissScdContentParams *pParams);
/* Channel labels; a null text leaves its label as it is. */
BISS_API int BISS_CALL BISS_SetSlaveLabel(BISS_U32 ulHandle, BISS_U32 ulChannel, const char *pcManufacturerLabel,
                                          const char *pcSlaveLabel, const char *pcCompleteLabel);
BISS_API int BISS_CALL BISS_GetSlaveLabel(BISS_U32 ulHandle, BISS_U32 ulChannel, char *pcManufacturerLabel,
                                          char *pcSlaveLabel, char *pcCompleteLabel);

/* The library's configuration as an XML document (bisscfg.dtd). */
BISS_API int BISS_CALL BISS_SaveDLLConfig(BISS_U32 ulHandle, const char *pcFileName);
BISS_API int BISS_CALL BISS_LoadDLLConfig(BISS_U32 ulHandle, const char *pcFileName);

/* Single-cycle data of every configured channel: one high and one low word per
 * channel, bit k of the CRC-good mask for channel slot k. With ulWithControl 1
 * the read also starts a one-byte register access over the control channel
 * (slave, address, direction and data from communication parameters 7-10);
 * later reads with 0 carry it on until the done flag (may be null) is 1, and a
 * read byte is then in communication parameter 10. */
BISS_API int BISS_CALL BISS_ReadSCD(BISS_U32 ulHandle, BISS_U32 *pulHigh, BISS_U32 *pulLow, BISS_U32 *pulCrcOk,
                                    BISS_U32 ulWithControl, BISS_U32 *pulControlDone);

/* Slave registers over the control channel, one byte value per element.
 * Mode 0: the library's own access; mode 1: the master chip's. The number of
 * bytes is in/out: asked for, then transferred. Addresses are 7 bits. */
BISS_API int BISS_CALL BISS_ReadSlaveRegister(BISS_U32 ulHandle, BISS_U32 ulMode, BISS_U32 ulSlave,
                                              BISS_U32 ulAddress, BISS_U32 *pulNumberOfBytes, BISS_U32 *pulData);
BISS_API int BISS_CALL BISS_WriteSlaveRegister(BISS_U32 ulHandle, BISS_U32 ulMode, BISS_U32 ulSlave,
                                               BISS_U32 ulAddress, BISS_U32 *pulNumberOfBytes,
                                               const BISS_U32 *pulData);

/* SCD frame streaming (USB adapter only): a run of frames at the master's
 * automatic frame rate, kept by the library. ReadSCDFrames hands out channel
 * 0's value of each frame and, when given, its frame number and status byte;
 * GetSCDFrame one kept frame (one element per configured channel);
 * GetSCDFrameEx one channel over all kept frames (the count must be the kept
 * one). BiSS commands: the USB adapter takes the command number from bits 0-1
 * of the first value and the slave selection from the second; the FTDI adapter
 * takes the selection (below 256) from the first and the command (below 4)
 * from the second. The older SendBissCommand passes the low 8 bits of each. */
BISS_API int BISS_CALL BISS_ReadSCDFrames(BISS_U32 ulHandle, BISS_U32 ulNumberOfFrames, BISS_U32 *pulHigh,
                                          BISS_U32 *pulLow, BISS_U32 *pulFrameNumbers, BISS_U32 *pulFrameStatus);
BISS_API int BISS_CALL BISS_GetSCDFrame(BISS_U32 ulHandle, BISS_U32 ulFrameIndex, BISS_U32 *pulHigh,
                                        BISS_U32 *pulLow, BISS_U32 *pulFrameNumber, BISS_U32 *pulFrameStatus);
BISS_API int BISS_CALL BISS_GetSCDFrameEx(BISS_U32 ulHandle, BISS_U32 ulNumberOfFrames, BISS_U32 ulChannel,
                                          BISS_U32 *pulHigh, BISS_U32 *pulLow, BISS_U32 *pulFrameNumbers,
                                          BISS_U32 *pulFrameStatus);
BISS_API int BISS_CALL BISS_SendCommand(BISS_U32 ulHandle, BISS_U32 ulFirst, BISS_U32 ulSecond);
BISS_API int BISS_CALL SendBissCommand(BISS_U32 ulHandle, BISS_U32 ulFirst, BISS_U32 ulSecond);

/* Electronic data sheet: an image of 256 bytes (four banks of 64, byte 63 of
 * each its checksum) and 97 parameters as bit fields of it; read from and
 * written to a slave's banks in mode 0. */
BISS_API int BISS_CALL BISS_SetEdsParam(BISS_U32 ulHandle, BISS_U32 ulParam, BISS_U32 ulValue);
BISS_API int BISS_CALL BISS_GetEdsParam(BISS_U32 ulHandle, BISS_U32 ulParam, BISS_U32 *pulValue);
BISS_API int BISS_CALL BISS_SetEdsRegister(BISS_U32 ulHandle, BISS_U32 ulIndex, BISS_U32 ulValue);
BISS_API int BISS_CALL BISS_GetEdsRegister(BISS_U32 ulHandle, BISS_U32 ulIndex, BISS_U32 *pulValue);
BISS_API int BISS_CALL BISS_ReadEdsParams(BISS_U32 ulHandle, BISS_U32 ulSlave);
BISS_API int BISS_CALL BISS_WriteEdsParams(BISS_U32 ulHandle, BISS_U32 ulSlave);
/* Older names: each wraps BISS_ exports and returns the older code set (0-12). */
BISS_API int BISS_CALL GetBissinterfaceLibraryVersion(BISS_U32 *pulVersion);
BISS_API int BISS_CALL OpenInterface(BISS_U32 ulInterface, const char *pcName, BISS_U32 ulUnused1,
                                     BISS_U32 ulUnused2, BISS_U32 *pulHandle);
BISS_API int BISS_CALL CloseInterface(BISS_U32 ulHandle);
BISS_API int BISS_CALL SetBissInterface(BISS_U32 ulHandle, BISS_U32 ulInterface, const char *pcName);
BISS_API int BISS_CALL GetBissInterface(BISS_U32 ulHandle, BISS_U32 *pulInterface);
BISS_API int BISS_CALL GetBissMasterVersion(BISS_U32 ulHandle, unsigned char *pucChipId, unsigned char *pucRevision);
BISS_API int BISS_CALL WriteMaster(BISS_U32 ulHandle, BISS_U32 ulAddress, BISS_U32 ulValue, BISS_U32 ulMask);
BISS_API int BISS_CALL ReadMaster(BISS_U32 ulHandle, BISS_U32 ulAddress, BISS_U32 *pulValue);
BISS_API int BISS_CALL SetMasterConfig(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulItem, BISS_U32 ulValue);
BISS_API int BISS_CALL GetMasterConfig(BISS_U32 ulHandle, BISS_U32 ulChannel, BISS_U32 ulItem, BISS_U32 *pulValue);
BISS_API int BISS_CALL GetMasterRegister(BISS_U32 ulHandle, BISS_U32 ulAddress, BISS_U32 *pulValue);
BISS_API int BISS_CALL WriteMasterConfig(BISS_U32 ulHandle, BISS_U32 ulUnused);
/* Returns the library's own code (not the older set) and records nothing. */
BISS_API int BISS_CALL ReadMasterConfig(BISS_U32 ulHandle);
BISS_API int BISS_CALL InitBissComm(BISS_U32 ulHandle);
/* Slave registers, one byte per element, at most 128; the access mode is frame
 * parameter 4 of the channel with the slave's number. */
BISS_API int BISS_CALL ReadSlaveRegister(BISS_U32 ulHandle, BISS_U32 ulUnused, BISS_U32 ulSlave, BISS_U32 ulAddress,
                                         BISS_U32 *pulNumberOfBytes, unsigned char *pucData);
BISS_API int BISS_CALL WriteSlaveRegister(BISS_U32 ulHandle, BISS_U32 ulUnused, BISS_U32 ulSlave, BISS_U32 ulAddress,
                                          BISS_U32 *pulNumberOfBytes, const unsigned char *pucData,
                                          BISS_U32 ulUnused2);
/* Single-cycle data of every configured channel, without control access. */
BISS_API int BISS_CALL ReadSens(BISS_U32 ulHandle, BISS_U32 *pulHigh, BISS_U32 *pulLow);

/* Slave auto-detection: each slave's identification is read over the control
 * channel and looked up in an identifier ("*idbiss*.xml") or profile
 * ("*profile*.xml") file, which configures the data channels, the last slave
 * on the line in channel 0; an empty file name configures channel 0 from the
 * first slave's EDS. pulChannelCount receives the number of configured
 * channels. With ulWriteMaster non-zero the master parameters are written
 * afterwards, whatever the detection gave. */
BISS_API int BISS_CALL BISS_AutoDetection(BISS_U32 ulHandle, const char *pcFileName, BISS_U32 *pulChannelCount,
                                          BISS_U32 ulWriteMaster);

#ifdef __cplusplus
}
#endif

#endif /* FERROLINK_H */
