// Arbitrary input through the record, box text and bounded formatting. Nothing may be read or
// written past a buffer (the sanitizers watch that), and what comes out keeps its invariants.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "diagnostics/log_record.h"
#include "framework/bounded_text.h"

#define CHECK(ok) ((ok) ? void() : (std::fprintf(stderr, "violated: %s\n", #ok), std::abort()))

namespace {

// Text up to its first null character, as a C caller passes it.
std::string Text(FuzzedDataProvider& in) { return in.ConsumeRandomLengthString().c_str(); }

void CheckRecord(FuzzedDataProvider& in) {
    ov::LogTime t{};
    for (int* field : {&t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second}) *field = in.ConsumeIntegral<int>();
    const int line = in.ConsumeIntegral<int>();
    const ov::HResult code = in.ConsumeIntegral<ov::HResult>();
    const std::string source = Text(in), reason = Text(in);
    std::vector<std::string> texts;
    while (in.remaining_bytes() && texts.size() < 64) texts.push_back(Text(in));
    std::vector<const char*> pieces;
    for (const auto& s : texts) pieces.push_back(s.c_str());

    const auto record = ov::FormatLogRecord(t, source.c_str(), line, code, reason.c_str(), pieces);
    CHECK(record.size() >= 6 && record[0] == "\n" && record[3] == "Line:    " + std::to_string(line) + "\n");
    // Every piece is written whole; only the last segment may stay open,
    // when no pair closed it.
    std::string written;
    for (std::size_t i = 0; i < record.size(); ++i) {
        written += record[i];
        CHECK(record[i].back() == '\n' || (i + 1 == record.size() && (texts.empty() || texts.size() % 2)));
    }
    for (const auto& s : texts) CHECK(written.find(s) != std::string::npos);
    const std::string box = ov::FormatMessageBoxText(reason.c_str());
    CHECK(box.size() <= 2047 && box.rfind("The following error was detected:\r\n\r\n\r\n", 0) == 0);
}

// Exactly sized heap buffers: one byte too far is an AddressSanitizer report.
void CheckBounded(FuzzedDataProvider& in) {
    const std::size_t cap = in.ConsumeIntegralInRange<std::size_t>(0, 47);
    const std::string a = Text(in), b = Text(in), full = a + "|" + b;
    std::unique_ptr<char[]> buf(new char[cap ? cap : 1]);
    CHECK(ov::FormatBounded(buf.get(), cap, "%s|%s", a.c_str(), b.c_str()) == (full.size() < cap));
    if (cap == 0) return;
    CHECK(buf.get() == full.substr(0, cap - 1));
    const bool copied = ov::CopyBounded(buf.get(), cap, a.c_str());
    CHECK(copied == (a.size() < cap) && buf.get() == (copied ? a : ""));
    const std::string before = buf.get();
    const bool appended = ov::AppendBounded(buf.get(), cap, b.c_str());
    CHECK(appended == (before.size() + b.size() < cap) && buf.get() == (appended ? before + b : before));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool()) CheckBounded(in);
    else CheckRecord(in);
    return 0;
}
