#include "seh/SehGuard.h"

// The trampoline seh_guard_call(call, context, capture) registers a frame
// handler for its own frame, keeps capture in that frame, calls call(context)
// and returns its result with a zero flag word. When an exception reaches the
// frame, the handler copies the exception into capture (when given), unwinds
// the frames inside it and resumes the trampoline at seh_guard_landing with
// the code and a flag word of 1. Non-volatile registers come back through the
// unwind (x64) or from the trampoline's own saves (x86).

#include <cstring>

extern "C" {
unsigned long long seh_guard_call(SehGuardedCall call, void* context, SehCapture* capture);
void seh_guard_landing();
}

namespace {

void Capture(SehCapture* capture, const EXCEPTION_RECORD* record, const CONTEXT* context)
{
    if (!capture)
        return;
    std::memcpy(&capture->record, record, sizeof(EXCEPTION_RECORD));
    capture->record.ExceptionRecord = nullptr; // a chained record lives on a stack that is about to go
    if (context)
        std::memcpy(&capture->context, context, sizeof(CONTEXT));
}

} // namespace

#if defined(__x86_64__)

// x64: a language handler in the function's unwind data, as __except uses.
asm(R"(
    .text
    .p2align 4
    .globl seh_guard_call
    .def seh_guard_call; .scl 2; .type 32; .endef
    .seh_proc seh_guard_call
// The frame: 32 bytes of home space for the call, then capture at 32.
seh_guard_call:
    pushq %rbp
    .seh_pushreg %rbp
    subq $48, %rsp
    .seh_stackalloc 48
    .seh_endprologue
    .seh_handler seh_guard_handler, @except
    movq %r8, 32(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    movl %eax, %eax
    .globl seh_guard_landing
seh_guard_landing:
    addq $48, %rsp
    popq %rbp
    ret
    .seh_endproc
)");

extern "C" EXCEPTION_DISPOSITION seh_guard_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                                   DISPATCHER_CONTEXT* dispatcher)
{
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    Capture(*reinterpret_cast<SehCapture**>(static_cast<BYTE*>(frame) + 32), record, context);
    // Resumes at the landing with rsp at the frame and rax = flag word 1 : code.
    const ULONG_PTR result = (1ULL << 32) | record->ExceptionCode;
    RtlUnwindEx(frame, reinterpret_cast<void*>(&seh_guard_landing), record, reinterpret_cast<void*>(result), context,
                dispatcher->HistoryTable);
    return ExceptionContinueSearch;
}

#elif defined(__i386__)

// x86: a registration record on the stack, linked at fs:[0], extended by the
// frame pointer to resume with and the capture. The layout: next, handler,
// ebp, capture.
asm(R"(
    .text
    .p2align 4
    .globl _seh_guard_call
    .def _seh_guard_call; .scl 2; .type 32; .endef
_seh_guard_call:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl 16(%ebp)
    pushl %ebp
    pushl $_seh_guard_handler
    pushl %fs:0
    movl %esp, %fs:0
    pushl 12(%ebp)
    call *8(%ebp)
    addl $4, %esp
    xorl %edx, %edx
    .globl _seh_guard_landing
_seh_guard_landing:
    movl (%esp), %ecx
    movl %ecx, %fs:0
    addl $16, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

    # Unwinds the registrations inside ours (RtlUnwind may not keep ebx, esi
    # and edi, so nothing is kept in them), then resumes at the landing.
    .globl _seh_guard_unwind_and_resume
_seh_guard_unwind_and_resume:
    movl 4(%esp), %ecx
    movl 8(%esp), %edx
    pushl %ecx
    pushl (%edx)
    pushl $0
    pushl %edx
    pushl $0
    pushl %ecx
    call _RtlUnwind@16
    popl %eax
    popl %ecx
    movl 8(%ecx), %ebp
    movl %ecx, %esp
    movl $1, %edx
    jmp _seh_guard_landing
)");

extern "C" {
[[noreturn]] void seh_guard_unwind_and_resume(void* frame, EXCEPTION_RECORD* record);

EXCEPTION_DISPOSITION __cdecl seh_guard_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context, void*)
{
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    Capture(*reinterpret_cast<SehCapture**>(static_cast<BYTE*>(frame) + 12), record, context);
    seh_guard_unwind_and_resume(frame, record);
}
}

#else
#error "the guard knows the frames of x86 and x64 only"
#endif

SehOutcome RunSehGuarded(SehGuardedCall call, void* context, SehCapture* capture)
{
    const unsigned long long both = seh_guard_call(call, context, capture);
    return SehOutcome{static_cast<DWORD>(both), (both >> 32) != 0};
}
