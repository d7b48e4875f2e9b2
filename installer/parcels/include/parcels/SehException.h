#pragma once

// A structured exception raised by foreign code (an extension, a script
// engine) carried out as a C++ exception, with the code and a copy of the
// exception's record and context.

#include <windows.h>

#include <utility>

#include "seh/SehGuard.h"

class CSehException {
public:
    CSehException(unsigned int code, const EXCEPTION_POINTERS* pointers) noexcept;
    CSehException(const CSehException& other) noexcept;
    CSehException& operator=(const CSehException& other) noexcept;
    virtual ~CSehException();

    unsigned int Code() const noexcept { return m_code; }
    // Point into this object: valid while it lives.
    EXCEPTION_POINTERS Pointers() noexcept { return {&m_capture.record, &m_capture.context}; }
    const EXCEPTION_RECORD& Record() const noexcept { return m_capture.record; }
    const CONTEXT& Context() const noexcept { return m_capture.context; }
    // Where the exception was raised.
    const void* Address() const noexcept { return m_capture.record.ExceptionAddress; }

    // Throws the exception that code and pointers describe.
    [[noreturn]] static void Translate(unsigned int code, EXCEPTION_POINTERS* pointers);

    // Runs call; a structured exception that ends it leaves as a CSehException.
    template <class Call>
    static DWORD RunTranslated(Call&& call)
    {
        SehCapture capture;
        const SehOutcome outcome = RunSehGuarded(std::forward<Call>(call), &capture);
        if (outcome.raised) {
            EXCEPTION_POINTERS pointers = {&capture.record, &capture.context};
            Translate(outcome.result, &pointers);
        }
        return outcome.result;
    }

private:
    unsigned int m_code = 0;
    SehCapture m_capture;
};
