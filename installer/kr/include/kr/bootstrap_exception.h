#pragma once

// Failures that end a whole step of the suite engine, each with its HRESULT.

#include <windows.h>

#include <exception>

#include "kr/stringx.h"

struct IParcel2;

class bootstrap_exception : public std::exception {
public:
    explicit bootstrap_exception(HRESULT hr) noexcept : hr_(hr) {}

    HRESULT hresult() const noexcept { return hr_; }
    const char* what() const noexcept override { return "Unknown exception"; }

private:
    HRESULT hr_;
};

// Staging of one file failed; the path is the file being staged.
class staged_file_exception : public bootstrap_exception {
public:
    staged_file_exception(HRESULT hr, const _stringx& path) : bootstrap_exception(hr), path_(path) {}

    const _stringx& path() const noexcept { return path_; }

private:
    _stringx path_;
};

class ui_resource_exception : public bootstrap_exception {
public:
    using bootstrap_exception::bootstrap_exception;
};

class parcel_event_failure_exception : public bootstrap_exception {
public:
    using bootstrap_exception::bootstrap_exception;
};

// The parcel is held without a reference: it must outlive the exception.
class parcel_install_failure_exception : public bootstrap_exception {
public:
    parcel_install_failure_exception(HRESULT hr, IParcel2* parcel) noexcept
        : bootstrap_exception(hr), parcel_(parcel) {}

    IParcel2* parcel() const noexcept { return parcel_; }

private:
    IParcel2* parcel_;
};

// A child condition of a group failed its validation.
class invalid_condition_exception : public bootstrap_exception {
public:
    invalid_condition_exception(HRESULT hr, const _stringx& conversion, const _stringx& comparison,
                                const _stringx& type_name)
        : bootstrap_exception(hr), conversion_(conversion), comparison_(comparison), type_name_(type_name) {}

    const _stringx& conversion() const noexcept { return conversion_; }
    const _stringx& comparison() const noexcept { return comparison_; }
    const _stringx& type_name() const noexcept { return type_name_; }

private:
    _stringx conversion_;
    _stringx comparison_;
    _stringx type_name_;
};
