// Arbitrary input through the record, box text and bounded formatting. Nothing may be read or
// written past a buffer (the sanitizers watch that), and every text must come out as the
// layout rules say, recomputed here the long way.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "diagnostics/log_record.h"
#include "framework/bounded_text.h"

namespace {

constexpr std::size_t kLine = 2047;  // characters a 2048-character buffer holds

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "violated: %s\n", what);
        std::abort();
    }
}

// Reads fixed-size numbers and zero-terminated texts off the front of the input.
class Input {
public:
    Input(const std::uint8_t* p, std::size_t n) : p_(p), n_(n) {}
    bool Empty() const { return n_ == 0; }
    template <class T>
    T Number() {
        T v{};
        std::size_t k = n_ < sizeof v ? n_ : sizeof v;
        std::memcpy(&v, p_, k);
        p_ += k;
        n_ -= k;
        return v;
    }
    std::string Text() {
        std::size_t k = 0;
        while (k < n_ && p_[k] != 0) ++k;
        std::string s(reinterpret_cast<const char*>(p_), k);
        std::size_t used = k < n_ ? k + 1 : k;
        p_ += used;
        n_ -= used;
        return s;
    }

private:
    const std::uint8_t* p_;
    std::size_t n_;
};

std::string Cut(const std::string& s) { return s.size() > kLine ? s.substr(0, kLine) : s; }

std::string Printed(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Printed(const char* fmt, ...) {
    va_list a;
    va_start(a, fmt);
    va_list b;
    va_copy(b, a);
    int n = std::vsnprintf(nullptr, 0, fmt, a);
    va_end(a);
    std::string s(static_cast<std::size_t>(n > 0 ? n : 0) + 1, '\0');
    std::vsnprintf(&s[0], s.size(), fmt, b);
    va_end(b);
    s.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return s;
}

void CheckRecord(Input& in) {
    ov::LogTime t{};
    t.year = in.Number<int>();
    t.month = in.Number<int>();
    t.day = in.Number<int>();
    t.hour = in.Number<int>();
    t.minute = in.Number<int>();
    t.second = in.Number<int>();
    int line = in.Number<int>();
    ov::HResult code = in.Number<ov::HResult>();
    std::string source = in.Text();
    std::string reason = in.Text();
    std::vector<std::string> texts;
    while (!in.Empty() && texts.size() < 64) texts.push_back(in.Text());
    std::vector<const char*> pieces;
    for (const auto& s : texts) pieces.push_back(s.c_str());

    std::vector<std::string> record = ov::FormatLogRecord(t, source.c_str(), line, code, reason.c_str(), pieces);
    Check(record.size() >= 6, "a record has at least six segments");
    Check(record[0] == "\n", "a record begins with an empty line");
    std::size_t slash = source.rfind('\\');
    std::string base = slash == std::string::npos ? source : source.substr(slash + 1);
    Check(record[1] == Cut(Printed("Time: (mm/dd/yy)   %i/%i/%i   %i:%i:%i ", t.month, t.day, t.year, t.hour,
                                   t.minute, t.second)) + "\n",
          "time line");
    Check(record[2] == Cut("File:    " + base) + "\n", "file line");
    Check(record[3] == Cut(Printed("Line:    %d", line)) + "\n", "line line");
    Check(record[4] == Printed("HRESULT: %X", static_cast<unsigned>(code)) + "\n", "HRESULT line");

    std::string tail = Cut("Reason:  " + reason);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        tail += texts[i];
        if (i % 2 == 1) tail += "\n";
    }
    std::string written;
    for (std::size_t i = 5; i < record.size(); ++i) written += record[i];
    Check(written == tail, "reason and pieces");
    // Each line end is followed by a flush: only the last segment may be left open, and only
    // when the pieces do not pair up.
    for (std::size_t i = 1; i + 1 < record.size(); ++i) Check(record[i].back() == '\n', "segment ends a line");
    if (texts.size() >= 2 && texts.size() % 2 == 0) Check(record.back().back() == '\n', "last pair ends its line");

    const std::string header = "The following error was detected:\r\n\r\n\r\n";
    std::string box = ov::FormatMessageBoxText(reason.c_str());
    Check(box == Cut(Cut(header + reason) + "\r\n\r\nThe operation was not completed successfully"), "box text");
}

// Exactly sized heap buffers: one byte too far is an AddressSanitizer report.
void CheckBounded(Input& in) {
    std::size_t cap = in.Number<std::uint8_t>() % 48;
    std::string a = in.Text();
    std::string b = in.Text();

    std::unique_ptr<char[]> buf(new char[cap ? cap : 1]);
    std::string full = a + "|" + b;
    bool fits = ov::FormatBounded(buf.get(), cap, "%s|%s", a.c_str(), b.c_str());
    if (cap == 0) {
        Check(!fits, "nothing fits in no room");
    } else {
        Check(fits == (full.size() < cap), "format says whether it fit");
        Check(std::string(buf.get()) == full.substr(0, cap - 1), "format keeps the front");
    }

    if (cap == 0) return;
    std::unique_ptr<char[]> copy(new char[cap]);
    bool copied = ov::CopyBounded(copy.get(), cap, a.c_str());
    Check(copied == (a.size() < cap), "copy says whether it fit");
    Check(std::string(copy.get()) == (copied ? a : std::string()), "copy is whole or empty");
    std::string before = copy.get();
    bool appended = ov::AppendBounded(copy.get(), cap, b.c_str());
    Check(appended == (before.size() + b.size() < cap), "append says whether it fit");
    Check(std::string(copy.get()) == (appended ? before + b : before), "append is whole or nothing");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    Input in(data + 1, size - 1);
    if (data[0] & 1) CheckBounded(in);
    else CheckRecord(in);
    return 0;
}
