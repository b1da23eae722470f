// Writing into fixed-size narrow buffers without ever passing their end.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <initializer_list>

namespace ov {

// The one narrow path buffer: 260 characters and the terminator, as the file functions take.
inline constexpr std::size_t kPathChars = 260;
using Path = char[kPathChars + 1];

// Formats into buf (capacity cap, terminator included). Returns false when the result had to
// be cut; the buffer then holds the cut text, always terminated.
bool FormatBounded(char* buf, std::size_t cap, const char* fmt, ...)
    __attribute__((format(printf, 3, 4)));
bool FormatBoundedV(char* buf, std::size_t cap, const char* fmt, va_list args);

// Copies src whole or refuses: on false buf is left empty.
bool CopyBounded(char* buf, std::size_t cap, const char* src);

// Appends src whole or refuses: on false buf is unchanged.
bool AppendBounded(char* buf, std::size_t cap, const char* src);

// Joins the parts with one backslash between each two, whole or not at all: on false buf is
// left empty.
bool JoinPath(char* buf, std::size_t cap, std::initializer_list<const char*> parts);

template <std::size_t N>
bool JoinPath(char (&buf)[N], std::initializer_list<const char*> parts) { return JoinPath(buf, N, parts); }
template <std::size_t N>
bool CopyBounded(char (&buf)[N], const char* src) { return CopyBounded(buf, N, src); }
template <std::size_t N>
bool AppendBounded(char (&buf)[N], const char* src) { return AppendBounded(buf, N, src); }

}  // namespace ov
