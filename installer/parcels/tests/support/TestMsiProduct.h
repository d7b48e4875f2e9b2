#pragma once

// The product that the test packages built with wixl install: ParcelOld 1.2.3
// (features Main and Extra) and ParcelNew 1.3.0 with the same product code.

#include <string>

namespace parcel_testing {

inline constexpr wchar_t kTestMsiProduct[] = L"{7B2E4D52-3C8A-4B1F-8D2E-4C6B8F0A2301}";

// The folder the packages are built into, beside the test program.
std::wstring TestMsiFolder();
// The installed version, empty when the product is not installed.
std::wstring InstalledTestMsiVersion();
// Uninstalls the product silently when it is there.
void RemoveTestMsiProduct();

} // namespace parcel_testing
