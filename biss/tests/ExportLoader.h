// Loads ferrolink.dll as a caller would and resolves its exports by plain name.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "ferrolink.h"

namespace ferrolink_test {

HMODULE FerrolinkModule();

template <class Function>
Function *Resolve(const char *name)
{
    FARPROC proc = GetProcAddress(FerrolinkModule(), name);
    if (proc == nullptr)
        throw std::runtime_error(std::string("ferrolink.dll does not export ") + name);
    return reinterpret_cast<Function *>(reinterpret_cast<void *>(proc));
}

} // namespace ferrolink_test

// BISS(BISS_Open)(&handle): the export of that name, typed by its prototype.
#define BISS(name) (::ferrolink_test::Resolve<decltype(::name)>(#name))
