// Automation strings as narrow text in the ANSI code page, into fixed buffers.
#pragma once

#include <windows.h>
#include <cstddef>

#include "unique_any.h"

namespace ov {

// Converts s (up to its counted length) into buf, terminated. Returns false, leaving buf
// empty, when the converted text does not fit (in a multi-byte code page a character may take
// two bytes, so the count of UTF-16 units alone does not bound it), when s holds a NUL before
// its end, or when a character has no exact equivalent in the ANSI code page.
bool ToAnsi(BSTR s, char* buf, std::size_t cap);

template <std::size_t N>
bool ToAnsi(BSTR s, char (&buf)[N]) { return ToAnsi(s, buf, N); }

// Narrow text in the ANSI code page as a new BSTR; throws std::bad_alloc when it cannot be
// allocated, for the member's boundary to report.
BStr MakeBstr(const char* text);

}  // namespace ov
