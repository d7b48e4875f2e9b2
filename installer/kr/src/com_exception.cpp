#include "kr/com_exception.h"

#include <oleauto.h>

namespace {

// Releases the error object at the end of the constructor.
class error_info_ref {
public:
    error_info_ref() { GetErrorInfo(0, &info_); }
    ~error_info_ref()
    {
        if (info_)
            info_->Release();
    }
    error_info_ref(const error_info_ref&) = delete;
    error_info_ref& operator=(const error_info_ref&) = delete;
    IErrorInfo* get() const noexcept { return info_; }

private:
    IErrorInfo* info_ = nullptr;
};

_wstringx take_bstr(BSTR value)
{
    _wstringx text(value, value ? SysStringLen(value) : 0);
    SysFreeString(value);
    return text;
}

_wstringx system_message(HRESULT hr)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
        static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    _wstringx text;
    if (length != 0)
        text.assign(buffer, length);
    if (buffer)
        LocalFree(buffer);
    if (text.empty())
        text = L"Unknown error";
    return text;
}

} // namespace

com_exception::com_exception(HRESULT hr) : hr_(hr)
{
    const error_info_ref info;
    if (!info.get()) {
        description_ = system_message(hr);
        return;
    }
    BSTR text = nullptr;
    if (SUCCEEDED(info.get()->GetDescription(&text)))
        description_ = take_bstr(text);
    info.get()->GetGUID(&interface_id_);
    text = nullptr;
    if (SUCCEEDED(info.get()->GetSource(&text)))
        source_ = take_bstr(text);
    if (source_.empty() || FAILED(CLSIDFromProgID(source_.c_str(), &source_clsid_)))
        source_clsid_ = CLSID_NULL;
}

com_exception::com_exception(const com_exception& other)
    : std::exception(other),
      hr_(other.hr_),
      interface_id_(other.interface_id_),
      source_clsid_(other.source_clsid_),
      description_(other.description_),
      source_(other.source_)
{
}

com_exception& com_exception::operator=(const com_exception& other)
{
    if (this != &other) {
        hr_ = other.hr_;
        interface_id_ = other.interface_id_;
        source_clsid_ = other.source_clsid_;
        description_ = other.description_;
        source_ = other.source_;
    }
    return *this;
}

const char* com_exception::what() const noexcept
{
    try {
        return description_.c_narrow();
    } catch (...) {
        return "";
    }
}
