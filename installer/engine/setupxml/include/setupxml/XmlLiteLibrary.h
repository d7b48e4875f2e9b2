#pragma once

// The XmlLite reader, bound at run time from the system folder: the
// cross-compiler has no import library for it, and a DLL of that name beside
// the launcher must not be the one that parses setup.xml.

#include <windows.h>
#include <xmllite.h>

// S_OK with a new reader; the failure of loading the DLL, finding its entry or
// creating the reader otherwise.
HRESULT CreateSystemXmlReader(IXmlReader** reader);
