#include "bounded_text.h"

#include <cstdio>
#include <cstring>

namespace ov {

bool FormatBoundedV(char* buf, std::size_t cap, const char* fmt, va_list args) {
    if (cap == 0) return false;
    int n = std::vsnprintf(buf, cap, fmt, args);
    if (n < 0) { buf[0] = '\0'; return false; }
    return static_cast<std::size_t>(n) < cap;
}

bool FormatBounded(char* buf, std::size_t cap, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    bool ok = FormatBoundedV(buf, cap, fmt, args);
    va_end(args);
    return ok;
}

bool CopyBounded(char* buf, std::size_t cap, const char* src) {
    if (cap == 0) return false;
    std::size_t n = std::strlen(src);
    if (n >= cap) { buf[0] = '\0'; return false; }
    std::memcpy(buf, src, n + 1);
    return true;
}

bool AppendBounded(char* buf, std::size_t cap, const char* src) {
    std::size_t have = strnlen(buf, cap);
    if (have >= cap) return false;
    std::size_t n = std::strlen(src);
    if (have + n >= cap) return false;
    std::memcpy(buf + have, src, n + 1);
    return true;
}

bool JoinPath(char* buf, std::size_t cap, std::initializer_list<const char*> parts) {
    if (cap == 0) return false;
    buf[0] = '\0';
    bool first = true;
    for (const char* part : parts) {
        if (!(first || AppendBounded(buf, cap, "\\")) || !AppendBounded(buf, cap, part)) {
            buf[0] = '\0';
            return false;
        }
        first = false;
    }
    return true;
}

}  // namespace ov
