#pragma once

// The installed-product kinds (MsiInstalled, MsiRelated, KrpInstalled,
// AppxInstalled) reach msi.dll and the proxy pipe of the parcels library, so
// they live in a library of their own that registers its makers when the
// engine starts.

void RegisterInstalledProductConditions();
