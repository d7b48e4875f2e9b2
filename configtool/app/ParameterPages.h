// The system settings page and the expert chip page: their controls against the field tables in
// both directions, the user-level settings derived from chip fields (resolution, minimum edge
// time, start set, zero shift, interface variant), and what the pages remember of the sensor.
// The page callbacks (Vantrel_RES_CB, EDGETIME_CB, CAT_SYS_VECTOR_CB, CAT_DORVEL_VECTOR_CB) are
// declared with the resource's constants.
#pragma once

#include <cstdint>

// The system page as last shown from the sensor. The write button is enabled only while the page
// differs from it, and discarding the operator's changes puts it back.
struct SysPageSettings {
    std::int32_t resolution = 0;  // VANTREL_RES
    std::int32_t edgeTime = 0;    // EDGETIME
    std::int32_t ssiLength = 0;   // SSI_LENGTH
    std::int32_t protocol = 0;    // COMM_PROTOCOL
    std::int32_t startset = 0;    // STARTSET
    std::int32_t ssiCoding = 0;   // SSI_CODING
    std::int32_t ssiEdge = 0;     // SSI_VALUE
    std::int32_t frameType = 0;   // FRAME_TYPE
    std::int32_t qiHwRqEn = 0;    // QI_HW_RQ_EN
    std::int32_t qiZType = 0;     // QI_Z_TYPE

    bool operator==(const SysPageSettings &) const = default;
};

// Refreshed by Visualize only.
extern SysPageSettings ReferenceSysSettings;

// The zero shift is taken in start-set rows of 11.25 degrees (enhanced start set shown).
extern std::uint8_t g_rotaryStartset;

// Page controls -> field values. A control that could not show its field's value (no ring item,
// beyond the numeric's limits) leaves that field as it is until the operator picks a value there.
void CollectSysParameterFields();
void CollectDorvelParameterFields();

// Field values -> page controls; the system page then keeps what it shows in ReferenceSysSettings,
// the chip page rebuilds the amplitude list and shows the chip block's stored CRC.
void SetSysParameterFields();
void SetDorvelParameterFields();

// The amplitude values AMPL offers for the current SELAMPL, keeping AMPL's value.
void FillAmplitudeList();

// The user-level settings from the fields the pages show.
void SetResolutionParameter();
void SetEdgetimeParameter();
void SetStartsetType();
void SetZeroShift();
void SetSpecInterfaceParams();

// Every parameter display from the fields; after each read, write and factory restore.
void Visualize();

// The system page back to ReferenceSysSettings, the image repacked and the write button dimmed.
void DiscardParameterMods();

// The SCD frame length and clock divider of the sensor link from the reference SSI length.
void SetSSIParamsFromBitlength();

// Start-up: nothing is remembered from an earlier run.
void ResetParameterPages();
