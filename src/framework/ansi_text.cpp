#include "ansi_text.h"

#include <oleauto.h>

#include <cwchar>
#include <new>

namespace ov {

bool ToAnsi(BSTR s, char* buf, std::size_t cap) {
    if (cap == 0) return false;
    buf[0] = '\0';
    UINT n = SysStringLen(s);
    if (n == 0) return true;
    // A NUL before the end would have the text acted on only up to it.
    if (std::wmemchr(s, L'\0', n)) return false;
    int room = static_cast<int>(cap - 1);
    // Without WC_NO_BEST_FIT_CHARS the platform maps what the code page lacks to a look-alike
    // (a fullwidth backslash to "\"), which would let a path part through a caller's check.
    // UTF-8 holds every character and takes neither the flag nor the question.
    const bool utf8 = GetACP() == CP_UTF8;
    BOOL lossy = FALSE;
    int got = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, s, static_cast<int>(n), buf, room, nullptr,
                                  utf8 ? nullptr : &lossy);
    if (got <= 0 || lossy) {
        buf[0] = '\0';
        return false;
    }
    buf[got] = '\0';
    return true;
}

BStr MakeBstr(const char* text) {
    BStr b = BStr::FromAnsi(text);
    if (!b) throw std::bad_alloc();
    return b;
}

}  // namespace ov
