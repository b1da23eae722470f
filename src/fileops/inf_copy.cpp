#include "inf_copy.h"

#include <cstring>

#include "../framework/bounded_text.h"

namespace ov {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// ASCII letters alike in either case, over n characters or to the end of the shorter text.
bool SameNoCase(const char* a, const char* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
        if (a[i] == '\0') return true;
    }
    return true;
}

bool EqualNoCase(const char* a, const char* b) { return SameNoCase(a, b, static_cast<std::size_t>(-1)); }

// The value of a key line: after the key's name exactly one character (meant to be "=") is
// skipped, whatever it is. Null when the line does not start with the key.
const char* KeyValue(const char* line, const char* key) {
    std::size_t n = std::strlen(key);
    if (!SameNoCase(line, key, n)) return nullptr;
    return line[n] == '\0' ? line + n : line + n + 1;
}

}  // namespace

bool InfCopyReader::SetDestination(const char* base, const char* value) {
    const InfDirectories& d = dirs_;
    // The first field the whole value equals decides; the scripting sub-directories lie
    // below the scripting directory.
    const char* const firstLevel[] = {d.appsPath, d.helpPath, d.scriptingPath};
    const char* const belowScripting[] = {d.backupPath, d.bitmapPath, d.developPath, d.filePath, d.productionPath};
    for (const char* name : firstLevel)
        if (EqualNoCase(value, name)) return JoinPath(current_.destDir, {base, name});
    for (const char* name : belowScripting)
        if (EqualNoCase(value, name)) return JoinPath(current_.destDir, {base, d.scriptingPath, name});
    return CopyBounded(current_.destDir, base);
}

InfStep InfCopyReader::Apply(const char* line, InfCopy* copy, const char** tooLongLabel) {
    if (line[0] == '[') {
        InfStep step = EndSection(copy);
        current_ = InfCopy{};
        inSection_ = true;
        // Up to the first "]", or the whole rest of the line; a line is shorter than a buffer.
        const char* name = line + 1;
        std::size_t n = std::strcspn(name, "]");
        std::memcpy(current_.fileName, name, n < kPathChars ? n : kPathChars);
        if (!CopyBounded(current_.sourceDir, dirs_.downloadPath)) {
            *tooLongLabel = "szSourceDir: ";
            *copy = current_;
            return InfStep::kTooLong;
        }
        return step;
    }
    // Keys before the first header have no section to act on.
    if (!inSection_) return InfStep::kNothing;

    struct Destination {
        const char* key;
        const char* base;
    };
    const Destination destinations[] = {
        {"OVSRVDest", dirs_.serverPath},
        {"OVPLWKSTNDest", dirs_.localPLORVANPath},
        {"OVNWXWKSTNDest", dirs_.localNWXORVANPath},
    };
    for (const Destination& dest : destinations) {
        const char* value = KeyValue(line, dest.key);
        if (!value) continue;
        if (SetDestination(dest.base, value)) return InfStep::kNothing;
        *tooLongLabel = "szDestDir: ";
        *copy = current_;
        return InfStep::kTooLong;
    }
    if (const char* value = KeyValue(line, "DestDir")) {
        bool fits = true;
        if (SameNoCase(value, "10", 2)) fits = CopyBounded(current_.sourceDir, dirs_.windowsDir);
        else if (SameNoCase(value, "11", 2)) fits = JoinPath(current_.sourceDir, {dirs_.windowsDir, "SYSTEM"});
        if (!fits) {
            *tooLongLabel = "szSourceDir: ";
            *copy = current_;
            return InfStep::kTooLong;
        }
    }
    return InfStep::kNothing;
}

InfStep InfCopyReader::Finish(InfCopy* copy) { return EndSection(copy); }

InfStep InfCopyReader::EndSection(InfCopy* copy) {
    // A section without a destination key, or a header "[]", copies nothing.
    if (current_.fileName[0] == '\0' || current_.destDir[0] == '\0') return InfStep::kNothing;
    *copy = current_;
    return InfStep::kCopy;
}

}  // namespace ov
