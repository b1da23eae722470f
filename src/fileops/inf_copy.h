// Reading a code download's INF the way the custom-file copy does: the line reader and the
// decision each line makes. Plain code: no platform calls.
#pragma once

#include <cstddef>

#include "../framework/bounded_text.h"

namespace ov {

// A line holds at most this many characters; the rest of a longer line is the next line.
inline constexpr std::size_t kInfLineMax = 258;

// Cuts a byte stream into lines: a line ends after a line feed (which is not kept) or after
// kInfLineMax characters; a carriage return just before a line feed is dropped. A line holds
// the bytes as read and is read up to its first null byte, as C text. `next` gives one byte
// at a time (0..255), or a negative value at the end.
template <class NextByte>
class InfLineReader {
public:
    explicit InfLineReader(NextByte next) : next_(next) {}

    // The next line into `line`; false at the end of the input, when no character is left.
    bool Read(char (&line)[kInfLineMax + 1]) {
        std::size_t n = 0;
        while (n < kInfLineMax) {
            int c = Get();
            if (c < 0) break;
            if (c == '\r') {
                int after = Get();
                if (after == '\n') c = '\n';
                else Unget(after);
            }
            if (c == '\n') {
                line[n] = '\0';
                return true;
            }
            line[n++] = static_cast<char>(c);
        }
        line[n] = '\0';
        return n > 0;
    }

private:
    int Get() {
        if (pending_ != kNone) {
            int c = pending_;
            pending_ = kNone;
            return c;
        }
        return next_();
    }
    void Unget(int c) { pending_ = c; }

    static constexpr int kNone = -2;
    NextByte next_;
    int pending_ = kNone;
};

// The directories a section's keys name, as narrow text; each already refreshed by Init.
struct InfDirectories {
    const char* serverPath;
    const char* localPLORVANPath;
    const char* localNWXORVANPath;
    const char* downloadPath;
    const char* windowsDir;
    const char* appsPath;
    const char* helpPath;
    const char* scriptingPath;
    const char* backupPath;
    const char* bitmapPath;
    const char* developPath;
    const char* filePath;
    const char* productionPath;
};

// One file to copy: the section's name from its source directory into its destination.
struct InfCopy {
    Path fileName;
    Path sourceDir;
    Path destDir;
};

// What a line (or the end of the file) asks for.
enum class InfStep {
    kNothing,  // read on
    kCopy,     // a section ended with a file and a destination: copy it
    kTooLong,  // a directory of the current section does not fit its buffer: refuse
};

// Takes the lines of an INF one by one and tells when a file is to be copied, and where from
// and to. Sections are file names; the keys "OVSRVDest", "OVPLWKSTNDest" and "OVNWXWKSTNDest"
// send the file to a product directory, "DestDir" 10 or 11 takes it from the Windows or its
// SYSTEM directory instead of the download directory.
class InfCopyReader {
public:
    explicit InfCopyReader(const InfDirectories& dirs) : dirs_(dirs) {}

    // One line. A header ends the section before it: kCopy then describes that section's
    // file in *copy. kTooLong leaves in *copy the section's name and in *tooLongLabel the
    // label of the directory that did not fit.
    InfStep Apply(const char* line, InfCopy* copy, const char** tooLongLabel);
    // After the last line: the last section, as a header would end it.
    InfStep Finish(InfCopy* copy);

private:
    InfStep EndSection(InfCopy* copy);
    bool SetDestination(const char* base, const char* value);

    const InfDirectories& dirs_;
    InfCopy current_{};
    bool inSection_ = false;
};

}  // namespace ov
