// Auto-detection of the slaves on the line: slave by slave along the control
// channel, each looked up in an identification file, or the first slave's
// electronic data sheet for channel 0.
#pragma once

#include <cstdint>

#include <wx/string.h>

#include "BissMaster.h"

namespace ferrolink {

class SlaveDetection {
public:
    explicit SlaveDetection(BissMasterClass &master) : master_(master) {}

    // Both run on descriptions the caller has reset.
    int FromFile(const wxString &fileName, BISS_U32 *configuredChannels);
    int FromEds(BISS_U32 *configuredChannels);

private:
    // One identification register of the current slave; answered is false when
    // neither access got an answer. Only a lost USB connection is a code.
    int ReadIdentification(uint8_t address, bool firstOfSlave, uint8_t *value, bool *answered);
    // Channel set-up and protocol the library's own access needs on the master.
    void PrepareSoftwareAccess(bool firstOfSlave);
    void WriteSetupRegister(uint32_t address, uint32_t value);
    // 0, or 9, 10 or 20 for a file that is missing, of no known kind or unreadable.
    int LookUpSlave(const wxString &fileName, bool profileFile, const BissMasterClass::IdentificationBytes &id);
    // The items the reader left by section position become detected channels.
    void TakeFileItems();
    // The detected description becomes the user's; the count goes to the caller.
    int Conclude(int result, BISS_U32 *configuredChannels);

    BissMasterClass &master_;
    MasterChipInfo chip_;
    uint32_t slave_ = 0;
    uint32_t channel_ = 0;
    uint32_t channelLimit_ = 0;
    bool masterAssisted_ = false;
    // 0 after an answer to the library's own access, 1 to the master's.
    uint32_t accessKind_ = 0;
};

} // namespace ferrolink
