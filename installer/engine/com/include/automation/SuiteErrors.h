#pragma once

// The launcher's own status codes (FACILITY_ITF, from code 0x701) and the
// string ids whose texts, from the suite's string tables, describe them.

#include <windows.h>

constexpr HRESULT SUITE_E_STATEINFOINIT = static_cast<HRESULT>(0x80040701);
constexpr HRESULT SUITE_E_NORUNNINGUI = static_cast<HRESULT>(0x80040702);
constexpr HRESULT SUITE_E_TXNOPROXY = static_cast<HRESULT>(0x80040703);
constexpr HRESULT SUITE_E_TXFAILED = static_cast<HRESULT>(0x80040704);
constexpr HRESULT SUITE_E_MD5CHECKFAILED = static_cast<HRESULT>(0x80040705);
constexpr HRESULT SUITE_E_NOSETUPXML = static_cast<HRESULT>(0x80040706);
constexpr HRESULT SUITE_E_RESEXTRACT = static_cast<HRESULT>(0x80040707);
constexpr HRESULT SUITE_E_RESCOPY = static_cast<HRESULT>(0x80040708);
constexpr HRESULT SUITE_E_STAGEEXTRACT = static_cast<HRESULT>(0x80040709);
constexpr HRESULT SUITE_E_PASSWORDINVALID = static_cast<HRESULT>(0x8004070A);
constexpr HRESULT SUITE_E_INVALIDCMDLINE = static_cast<HRESULT>(0x8004070B);
constexpr HRESULT SUITE_E_FAILEDLAUNCHTEMP = static_cast<HRESULT>(0x8004070C);
constexpr HRESULT SUITE_E_INVALIDSTAGEPATH = static_cast<HRESULT>(0x8004070D);
constexpr HRESULT SUITE_E_STAGEDOWNLOADFAIL = static_cast<HRESULT>(0x8004070E);
// An install-mode condition failed or a condition is invalid; no string id.
constexpr HRESULT SUITE_E_INSTALLMODECONDITION = static_cast<HRESULT>(0x8004070F);
constexpr HRESULT SUITE_E_ABORTCONDITION = static_cast<HRESULT>(0x80040710);

// The string id that describes a code, or null for a code without one.
const wchar_t* SuiteErrorStringId(HRESULT hr) noexcept;
