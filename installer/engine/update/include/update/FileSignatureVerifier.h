#pragma once

// The platform's trust check of a downloaded file with its full user
// interface. Behind a replaceable function: its dialog would block a run
// without a user.

#include <windows.h>

#include "kr/stringx.h"

// WinVerifyTrust's result for the file: 0 when trusted.
using FileSignatureVerifier = LONG (*)(HWND window, const _stringx& path);

LONG VerifyFileSignature(HWND window, const _stringx& path);
// Puts a verifier in place of the platform's (null: the platform's again); returns the previous one.
FileSignatureVerifier SetFileSignatureVerifier(FileSignatureVerifier verifier) noexcept;
