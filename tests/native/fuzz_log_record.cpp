// Arbitrary input through the record, box text and bounded formatting: nothing may be read or
// written past a buffer (the sanitizers watch that), and no text may be lost or cut short.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "diagnostics/log_record.h"
#include "framework/bounded_text.h"

#define CHECK(ok) ((ok) ? void() : (std::fprintf(stderr, "violated: %s\n", #ok), std::abort()))

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // Texts up to their first null character, as a C caller passes them.
    const std::size_t cap = in.ConsumeIntegralInRange<std::size_t>(0, 47);
    const ov::LogTime t{in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>(), in.ConsumeIntegral<int>(), 0, 0, 0};
    const std::string a = in.ConsumeRandomLengthString().c_str(), b = in.ConsumeRandomLengthString().c_str();
    std::vector<std::string> texts;
    while (in.remaining_bytes() && texts.size() < 64) texts.push_back(in.ConsumeRandomLengthString().c_str());
    std::vector<const char*> pieces;
    for (const auto& s : texts) pieces.push_back(s.c_str());

    // Every piece is written whole; only the last segment may stay open, when no pair closed it.
    const auto record = ov::FormatLogRecord(t, a.c_str(), static_cast<int>(cap), 0, b.c_str(), pieces);
    std::string written;
    for (std::size_t i = 0; i < record.size(); ++i) {
        written += record[i];
        CHECK(record[i].back() == '\n' || (i + 1 == record.size() && (texts.empty() || texts.size() % 2)));
    }
    // Each piece is there, escaped: no line of its own can start inside it.
    for (const auto& s : texts) CHECK(written.find(ov::EscapeControls(s.c_str())) != std::string::npos);
    for (std::size_t i = 6; i < record.size(); ++i) {
        const std::size_t lineEnd = record[i].find('\n');
        CHECK(record[i].find('\r') == std::string::npos &&
              (lineEnd == std::string::npos || lineEnd + 1 == record[i].size()));
    }
    CHECK(ov::FormatMessageBoxText(b.c_str()).size() <= 2047);

    // Exactly sized heap buffers: one byte too far is an AddressSanitizer report.
    const std::string full = a + "|" + b;
    std::unique_ptr<char[]> buf(new char[cap ? cap : 1]);
    CHECK(ov::FormatBounded(buf.get(), cap, "%s|%s", a.c_str(), b.c_str()) == (full.size() < cap));
    if (cap == 0) return 0;
    CHECK(buf.get() == full.substr(0, cap - 1));
    const bool copied = ov::CopyBounded(buf.get(), cap, a.c_str());
    CHECK(copied == (a.size() < cap) && buf.get() == (copied ? a : ""));
    const std::string before = buf.get();
    const bool appended = ov::AppendBounded(buf.get(), cap, b.c_str());
    CHECK(appended == (before.size() + b.size() < cap) && buf.get() == (appended ? before + b : before));
    return 0;
}
