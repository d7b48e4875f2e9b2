#pragma once

// Reads name and value arguments such as -name, /name:value, name=value or
// name="quoted value". Malformed text raises command_line_exception.

#include "kr/stringx.h"

namespace kr {

class argument_scanner {
public:
    // With several_arguments the text holds blank-separated arguments (a
    // command line); without it the text must be exactly one argument.
    argument_scanner(const _stringx& text, bool several_arguments);

    // Takes the next argument. False and nothing assigned when the text is
    // empty or ends in a bare switch; otherwise whether text is left after it.
    bool next(_stringx& name, _stringx& value);

    // Kinds of split_name_value.
    static constexpr int no_argument = 0;
    static constexpr int value_follows = 1;
    static constexpr int no_value = 2;

    // Splits off the name; the text becomes what follows its separator.
    int split_name_value(_stringx& text, _stringx& name) const;
    // Splits off the value; the text becomes what follows its terminator.
    bool take_value(_stringx& text, _stringx& value) const;

    const _stringx& remaining() const noexcept { return text_; }

private:
    _stringx text_;
    bool several_arguments_;
};

} // namespace kr
