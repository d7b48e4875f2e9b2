#include "parcels/SehException.h"

#include <cstring>

CSehException::CSehException(unsigned int code, const EXCEPTION_POINTERS* pointers) noexcept : m_code(code)
{
    if (!pointers)
        return;
    if (pointers->ExceptionRecord) {
        std::memcpy(&m_capture.record, pointers->ExceptionRecord, sizeof(EXCEPTION_RECORD));
        m_capture.record.ExceptionRecord = nullptr;
    }
    if (pointers->ContextRecord)
        std::memcpy(&m_capture.context, pointers->ContextRecord, sizeof(CONTEXT));
}

CSehException::CSehException(const CSehException& other) noexcept = default;

CSehException& CSehException::operator=(const CSehException& other) noexcept = default;

CSehException::~CSehException() = default;

void CSehException::Translate(unsigned int code, EXCEPTION_POINTERS* pointers)
{
    throw CSehException(code, pointers);
}
