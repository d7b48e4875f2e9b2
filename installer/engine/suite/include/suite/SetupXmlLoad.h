#pragma once

// How the engine reads setup.xml into its model unless a test puts another
// loader in place.

#include "suite/EngineFaces.h"

SetupXmlLoader DefaultSetupXmlLoader();
