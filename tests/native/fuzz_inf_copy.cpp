// Arbitrary bytes as a download's INF, with directories of arbitrary length. Nothing may be
// read or written past a buffer (the sanitizers watch that); every line and every path that
// comes out must end inside its buffer.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fileops/inf_copy.h"

#define CHECK(ok) ((ok) ? void() : (std::fprintf(stderr, "violated: %s\n", #ok), std::abort()))

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::string dirs[13];
    for (std::string& d : dirs) d = in.ConsumeRandomLengthString(300).c_str();
    const ov::InfDirectories directories{dirs[0].c_str(), dirs[1].c_str(),  dirs[2].c_str(),  dirs[3].c_str(),
                                         dirs[4].c_str(), dirs[5].c_str(),  dirs[6].c_str(),  dirs[7].c_str(),
                                         dirs[8].c_str(), dirs[9].c_str(), dirs[10].c_str(), dirs[11].c_str(),
                                         dirs[12].c_str()};
    const std::string inf = in.ConsumeRemainingBytesAsString();
    std::size_t at = 0;
    ov::InfLineReader lines([&] { return at < inf.size() ? static_cast<unsigned char>(inf[at++]) : -1; });
    ov::InfCopyReader reader(directories);
    ov::InfCopy copy{};
    const char* label = "";
    auto check = [&](ov::InfStep step) {
        if (step == ov::InfStep::kNothing) return true;
        for (const char* s : {copy.fileName, copy.sourceDir, copy.destDir}) CHECK(strnlen(s, sizeof(ov::Path)) < sizeof(ov::Path));
        return step == ov::InfStep::kCopy;
    };
    char line[ov::kInfLineMax + 1];
    while (lines.Read(line)) {
        CHECK(std::strlen(line) <= ov::kInfLineMax);
        if (!check(reader.Apply(line, &copy, &label))) return 0;
    }
    check(reader.Finish(&copy));
    return 0;
}
