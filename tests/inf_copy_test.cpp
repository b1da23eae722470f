// How the custom-file copy reads a download's INF: the lines it sees and the copies they
// ask for. No platform calls: this file also builds natively (tests/native).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileops/inf_copy.h"

namespace {

// Lines and copies of an INF as text: "file|source|destination" per copy, "TOO LONG label"
// for a refusal (which ends the reading).
struct Read {
    std::vector<std::string> lines, copies;
};

Read ReadInf(const std::string& text, const ov::InfDirectories& dirs) {
    std::size_t at = 0;
    ov::InfLineReader lines([&] { return at < text.size() ? static_cast<unsigned char>(text[at++]) : -1; });
    ov::InfCopyReader reader(dirs);
    Read out;
    ov::InfCopy copy{};
    const char* label = "";
    auto note = [&](ov::InfStep step) {
        if (step == ov::InfStep::kCopy)
            out.copies.push_back(std::string(copy.fileName) + "|" + copy.sourceDir + "|" + copy.destDir);
        if (step == ov::InfStep::kTooLong) out.copies.push_back(std::string("TOO LONG ") + label + copy.fileName);
        return step != ov::InfStep::kTooLong;
    };
    char line[ov::kInfLineMax + 1];
    while (lines.Read(line)) {
        out.lines.push_back(line);
        if (!note(reader.Apply(line, &copy, &label))) return out;
    }
    note(reader.Finish(&copy));
    return out;
}

const ov::InfDirectories kDirs{"S", "P", "N", "D", "W", "Apps", "Help", "Scripts", "Backup", "Bitmap", "Develop",
                               "File", "Prod"};

}  // namespace

TEST(InfLines, CutAtLineFeedsAndAfter258Characters) {
    const std::string x300(300, 'x');
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } rows[] = {
        {"a\r\nb", {"a", "b"}},                       // the last line needs no line feed
        {"a\rb\r\r\n", {"a\rb\r"}},                  // only a CR right before LF goes
        {"\n\n", {"", ""}},
        {"", {}},
        {x300 + "\n", {x300.substr(0, 258), x300.substr(258)}},
        {std::string("a\0b\nc", 5), {"a", "c"}},     // a line is C text: it ends at a NUL byte
        {"x\r", {"x\r"}},
    };
    for (const auto& row : rows) EXPECT_EQ(ReadInf(row.text, kDirs).lines, row.lines) << "input: " << row.text;
}

TEST(InfCopies, SectionsAreFilesAndKeysPickSourceAndDestination) {
    const struct {
        const char* inf;
        std::vector<std::string> copies;
    } rows[] = {
        {"[a]\nOVSRVDest=Apps", {"a|D|S\\Apps"}},
        {"[a]\novsrvdest=APPS\n", {"a|D|S\\Apps"}},           // keys and values in any case
        {"[a]\nOVSRVDest=Prod\n", {"a|D|S\\Scripts\\Prod"}},  // below the scripting directory
        {"[a]\nOVSRVDest=Other\n", {"a|D|S"}},                // names no directory: the base
        {"[a]\nOVSRVDest = Apps\n", {"a|D|S"}},               // the value is "= Apps"
        {"[a]\nOVSRVDest\n", {"a|D|S"}},
        {"[a]\nDestDir=11\nOVPLWKSTNDest=Apps\n", {"a|W\\SYSTEM|P\\Apps"}},
        {"[a]\nDestDir=10\nOVNWXWKSTNDest=help\n", {"a|W|N\\Help"}},
        {"[a]\nDestDir=12\nOVSRVDest=Apps\n", {"a|D|S\\Apps"}},
        {"[a]\nOVSRVDest=Apps\nOVPLWKSTNDest=File\n", {"a|D|P\\Scripts\\File"}},  // the last one decides
        {"OVSRVDest=Apps\n[a]\n", {}},                                             // before any header
        {"[]\nOVSRVDest=Apps\n", {}},
        {"[a b] comment\nOVSRVDest=Apps\n[c d\nOVSRVDest=Help\n", {"a b|D|S\\Apps", "c d|D|S\\Help"}},
        {"[a]\nOVSRVDest=Apps\n[b]\n; none\n[c]\nDestDir=11\nOVSRVDest=Bitmap\r\n",
         {"a|D|S\\Apps", "c|W\\SYSTEM|S\\Scripts\\Bitmap"}},
    };
    for (const auto& row : rows) EXPECT_EQ(ReadInf(row.inf, kDirs).copies, row.copies) << "INF: " << row.inf;
}
