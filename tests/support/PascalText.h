// Pascal strings from literals, for toolbox and host calls: Pstr("Erase Now").
#pragma once

#include <string_view>

#include "toolbox/Toolbox.h"

struct Pstr {
    explicit Pstr(std::string_view text) { CopyCStringToPascal(text, bytes); }
    operator ConstStr255Param() const { return bytes; }
    Str255 bytes;
};
