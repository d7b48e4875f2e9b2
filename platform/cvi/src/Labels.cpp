#include "Labels.h"

namespace cvi {

std::string PlainLabel(std::string_view label)
{
    std::string plain;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label.compare(i, 2, "__") == 0) {
            ++i;
            continue;
        }
        plain += label[i];
    }
    return plain;
}

std::string AccessKeyLabel(std::string_view label)
{
    std::string text;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label.compare(i, 2, "__") == 0) {
            text += '&';
            ++i;
        } else if (label[i] == '&') {
            text += "&&";
        } else {
            text += label[i];
        }
    }
    return text;
}

} // namespace cvi
