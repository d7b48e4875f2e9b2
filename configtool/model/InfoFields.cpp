#include "InfoFields.h"

#include "RegisterImage.h"

namespace calvista {

std::string InfoFieldText(const InfoField &field)
{
    std::string text(field.length, '\0');
    for (std::size_t i = 0; i < field.length; ++i)
        text[i] = static_cast<char>(ImageByte(field.address + i));
    return text;
}

} // namespace calvista
