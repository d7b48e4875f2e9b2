#include "seh/ForeignCall.h"

#if defined(__i386__)

extern "C" ULONG_PTR foreign_call_restoring_stack(FARPROC entry, const ULONG_PTR* arguments, size_t count);

// foreign_call_restoring_stack(entry, arguments, count): pushes the arguments
// last first, calls, and takes esp back from ebp, which both conventions keep.
asm(R"(
    .text
    .p2align 4
    .globl _foreign_call_restoring_stack
    .def _foreign_call_restoring_stack; .scl 2; .type 32; .endef
_foreign_call_restoring_stack:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
1:
    testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:
    call *8(%ebp)
    leal -4(%ebp), %esp
    popl %esi
    popl %ebp
    ret
)");

ULONG_PTR CallForeignEntry(FARPROC entry, std::initializer_list<ULONG_PTR> arguments)
{
    const size_t count = arguments.size() < kForeignCallMaxArguments ? arguments.size() : kForeignCallMaxArguments;
    return foreign_call_restoring_stack(entry, arguments.begin(), count);
}

#elif defined(__x86_64__)

ULONG_PTR CallForeignEntry(FARPROC entry, std::initializer_list<ULONG_PTR> arguments)
{
    // The four register arguments; words the entry does not take are ignored by it.
    ULONG_PTR words[kForeignCallMaxArguments] = {};
    size_t i = 0;
    for (const ULONG_PTR word : arguments) {
        if (i == kForeignCallMaxArguments)
            break;
        words[i++] = word;
    }
    using FourWords = ULONG_PTR (*)(ULONG_PTR, ULONG_PTR, ULONG_PTR, ULONG_PTR);
    return reinterpret_cast<FourWords>(reinterpret_cast<void*>(entry))(words[0], words[1], words[2], words[3]);
}

#else
#error "the foreign call knows the conventions of x86 and x64 only"
#endif
