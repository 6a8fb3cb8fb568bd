// Utf8: the one UTF-8 decoder of the text drawers (TextRenderer, Font).
#pragma once

#include <cstddef>
#include <string_view>

namespace velmora {

// Decodes the UTF-8 character at `text[at]` and moves `at` past it. A byte
// that does not start a well-formed sequence (a stray continuation byte, a
// sequence cut short, an overlong form, a surrogate, a code point beyond
// U+10FFFF) decodes alone, as `replacement`.
inline char32_t nextCodePoint(std::string_view text, std::size_t& at, char32_t replacement) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        ++at;
        return lead;
    }
    std::size_t length = 0;
    char32_t code = 0;
    char32_t least = 0; // the smallest code point of this length: no overlong forms
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        least = 0x10000;
    }
    if (length == 0 || text.size() - at < length) {
        ++at;
        return replacement;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0u) != 0x80u) {
            ++at;
            return replacement;
        }
        code = (code << 6) | (next & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        ++at;
        return replacement;
    }
    at += length;
    return code;
}

} // namespace velmora
