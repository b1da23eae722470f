#include "ansi_text.h"

#include <oleauto.h>

#include <new>

namespace ov {

bool ToAnsi(BSTR s, char* buf, std::size_t cap) {
    if (cap == 0) return false;
    buf[0] = '\0';
    UINT n = SysStringLen(s);
    if (n == 0) return true;
    int room = static_cast<int>(cap - 1);
    int got = WideCharToMultiByte(CP_ACP, 0, s, static_cast<int>(n), buf, room, nullptr, nullptr);
    if (got <= 0) {
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
