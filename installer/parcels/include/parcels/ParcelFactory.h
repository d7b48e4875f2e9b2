#pragma once

// Makes the parcel of a parcel element of setup.xml with the handler its
// element name chooses (compared without regard to case).

#include <windows.h>

#include "kr/stringx.h"

class CParcel;

// S_OK with a parcel holding one reference; S_FALSE and none when no handler
// is made for the name; a failure when the parcel cannot be made.
HRESULT MakeParcelForElement(const _stringx& elementName, CParcel** parcel);
