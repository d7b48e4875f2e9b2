// The sensor link as a whole: everything the tool's other modules call to reach the encoder.
#pragma once

#include "BlockTransfer.h"
#include "LinkServices.h"
#include "LinkVersions.h"
#include "LiveRead.h"
#include "MasterSetup.h"
#include "SensorLinkState.h"
#include "SensorMailbox.h"
