#pragma once

// Puts the certificate of a file into the local machine's TrustedPeople
// store, so that packages it signed are trusted.

#include <windows.h>

#include "kr/stringx.h"

// 0; 87 for an empty path, 2 for a missing file, 50 for a file that holds no
// single certificate (PKCS#7 and the like), else the system's error.
DWORD ImportTrustedPeopleCertificate(const _stringx& path);
