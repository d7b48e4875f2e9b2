#pragma once

// The machine's native processor architecture, as the Platform condition and
// the platform scripting object both read it.

enum PlatformArchitecture {
    paOther = 0,
    paAmd64 = 1,
    paIa64 = 2,
};

PlatformArchitecture NativePlatformArchitecture();
// "x64", "IA64" or "x86".
const wchar_t* PlatformArchitectureName(PlatformArchitecture architecture) noexcept;
