#include "DriverSelection.h"

// The class library's driver seam already holds the real Windows functions.
void SelectDriver() {}
