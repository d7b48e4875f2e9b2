#include "exception_status.h"

#include <new>

#include "kr/bootstrap_exception.h"
#include "kr/com_exception.h"
#include "kr/win32_exception.h"

HRESULT StatusOfCurrentException() noexcept
{
    HRESULT status = E_UNEXPECTED;
    try {
        throw;
    } catch (const bootstrap_exception& failure) {
        status = failure.hresult();
    } catch (const com_exception& failure) {
        status = failure.hresult();
    } catch (const kr::win32_exception& failure) {
        status = HRESULT_FROM_WIN32(failure.code());
    } catch (const std::bad_alloc&) {
        status = E_OUTOFMEMORY;
    } catch (...) {
    }
    return FAILED(status) ? status : E_UNEXPECTED;
}
