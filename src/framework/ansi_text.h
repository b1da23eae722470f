// Automation strings as narrow text in the ANSI code page, into fixed buffers.
#pragma once

#include <windows.h>
#include <cstddef>

namespace ov {

// Converts s (up to its counted length) into buf, terminated. Returns false, leaving buf
// empty, when the converted text does not fit: in a multi-byte code page a character may
// take two bytes, so the count of UTF-16 units alone does not bound it.
bool ToAnsi(BSTR s, char* buf, std::size_t cap);

template <std::size_t N>
bool ToAnsi(BSTR s, char (&buf)[N]) { return ToAnsi(s, buf, N); }

}  // namespace ov
