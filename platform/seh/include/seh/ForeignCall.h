#pragma once

// Calls an entry of a foreign DLL whose calling convention is not known: on
// x86 the frame keeps the stack pointer in its own frame register and puts
// it back after the call, so an entry that pops its arguments (stdcall) and
// one that leaves them (cdecl) both return to a balanced stack. x64 has one
// convention. Arguments are pointer-sized words, in the entry's order.

#include <windows.h>

#include <cstddef>
#include <initializer_list>

// At most kForeignCallMaxArguments arguments; more are not passed.
constexpr size_t kForeignCallMaxArguments = 4;

ULONG_PTR CallForeignEntry(FARPROC entry, std::initializer_list<ULONG_PTR> arguments);

// Pointer arguments as words.
template <class T>
ULONG_PTR ForeignArgument(T* pointer) noexcept
{
    return reinterpret_cast<ULONG_PTR>(pointer);
}
