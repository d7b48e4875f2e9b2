#pragma once

// The class object of the marshalling code for one of the library's
// interfaces (the interface identifier serves as its class identifier).

#include <windows.h>

extern "C" HRESULT TessarelProxyStubClassObject(const IID* iid, void** out);
