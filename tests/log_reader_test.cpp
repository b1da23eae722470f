// The log reader on records laid out by the server's own record function. No platform calls but
// in the last test (Windows only), which runs ovlog.exe on a log the registered control wrote.
#include <gtest/gtest.h>

#include "diagnostics/log_record.h"
#include "logreader/log_reader.h"
#include "logreader/log_report.h"

namespace {

// The record as the text-mode stream stores it: each '\n' as CR LF.
std::string Stored(ov::LogTime t, const char* module, int line, std::uint32_t code, const char* reason,
                   const std::vector<const char*>& pieces) {
    std::string text;
    for (const std::string& s : ov::FormatLogRecord(t, module, line, static_cast<ov::HResult>(code), reason, pieces))
        for (char c : s) text += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return text;
}

std::vector<std::string> Lines(const std::vector<ovlog::Record>& records) {  // "module|line|code|reason|label=value"
    std::vector<std::string> out;
    for (const auto& r : records) {
        out.push_back(r.module + "|" + std::to_string(r.line) + "|" + ovlog::FormatCode(r.code) + "|" + r.reason);
        for (const auto& p : r.pairs) out.back() += "|" + p.label + "=" + p.value;
    }
    return out;
}

const std::string kCopy = Stored({2026, 12, 5, 15, 43, 48}, "C:\\src\\OVCustInst", 225, 0x80070002,
                                 "File not found.\r\n", {"szSourceDir: ", "C:\\", "szDestDir: ", "D:"}),
    kOwn = Stored({2026, 12, 6, 8, 0, 9}, "OVCILog", 81, 0x80040201, ov::kNoDataReason, {"Warning: ", "no key"}),
    kOdd = Stored({2026, 12, 7, 0, 0, 0}, "OVCustInst", -3, 0x80070057, "Bad input.\r\n", {"sz: ", "C:\\x: y", "E: "}),
    kBare = Stored({2027, 1, 1, 23, 59, 59}, "M", 0, 0x800401F0, "", {"a: ", "b"}),
    kBareOdd = Stored({2027, 1, 2, 1, 2, 3}, "M", 5, 0x800401F0, "", {"E: "}),
    kTwoLines = Stored({2027, 1, 3, 1, 2, 3}, "OVCILog", 6, 0x80004005, "First line.\r\nSecond line.\r\n", {});
const std::string copy = "OVCustInst|225|80070002|File not found.|szSourceDir=C:\\|szDestDir=D:",
                  own = "OVCILog|81|80040201|Could not find ORVAN data.|Warning=no key",
                  odd = "OVCustInst|-3|80070057|Bad input.|sz=C:\\x: y|E=";

}  // namespace

TEST(LogReader, ReadsEveryRecordWholeAndCountsTheStretchesBetweenThemThatAreNot) {
    const std::string cut = kCopy.substr(0, kCopy.find("Line:"));
    const std::string leadingZero = std::string(kCopy).replace(kCopy.find("12/5"), 4, "12/05");
    const struct { const char* name; std::string text; std::vector<std::string> records;
                   std::size_t skipped, maxLine = ovlog::kMaxLineBytes; } rows[] = {
        {"system reason (CR CR LF)", kCopy, {copy}, 0},
        {"odd pieces ended by the next record, and last; own reason", kOdd + kOwn + kOdd, {odd, own, odd}, 0},
        {"empty reasons; back to back", kBare + kBareOdd + kCopy, {"M|0|800401F0||a=b", "M|5|800401F0||E=", copy}, 0},
        {"reason of two lines, no pairs", kTwoLines + kOwn, {"OVCILog|6|80004005|First line.\nSecond line.", own}, 0},
        {"record cut after its File: line", cut + kOwn, {own}, 1},
        {"garbage between records", kCopy + std::string("\x01\xfe\0junk\r\n", 9) + kOwn, {copy, own}, 1},
        {"garbage, then a bad time line: one stretch", kOwn + "junk" + leadingZero + kOdd, {own, odd}, 1},
        {"cut inside its time line at the end", kOwn + cut.substr(0, 20), {own}, 1},
        {"an empty line between records", kOwn + "\r\n" + kOwn, {own, own}, 1},
        {"binary only", std::string("\x7f" "ELF\0\x02\n\n\xff", 9), {}, 1},
        {"an overlong line ends its record", kOwn + "a: " + std::string(60, 'x') + "\r\n" + kOdd, {own, odd}, 1, 50},
    };
    for (const auto& row : rows) {
        const auto log = ovlog::ParseLog(row.text, "WS", row.maxLine);
        EXPECT_EQ(Lines(log.records), row.records) << row.name;
        EXPECT_EQ(log.skipped, row.skipped) << row.name;
    }
}

TEST(LogReader, FiltersKeepTheRecordsThatMeetEveryConditionGiven) {
    const auto records = ovlog::ParseLog(kCopy + kOwn + kOdd + kBare, "WS").records;
    ovlog::Stamp at, day;
    ASSERT_TRUE(ovlog::ParseStamp("2026-12-06 08:00:09", &at) && ovlog::ParseStamp("2026-12-7", &day));
    const struct { const char* name; ovlog::Filter filter; std::string kept; /* each record: +/- */ } rows[] = {
        {"none", {}, "++++"},
        {"since a time, which counts", {true, at, {}, {}}, "-+++"},
        {"since a day", {true, day, {}, {}}, "--++"},
        {"either HRESULT", {false, {}, {0x80070057, 0x800401F0}, {}}, "--++"},
        {"either module, in any case", {false, {}, {}, {"ovcilog", "m"}}, "-+-+"},
        {"all three", {true, at, {0x80070002, 0x800401F0}, {"OVCustInst", "M"}}, "---+"},
    };
    for (const auto& row : rows) {
        std::string kept;
        for (std::size_t i = 0; i < records.size(); ++i) kept += row.filter.Accepts(records[i]) ? "+" : "-";
        EXPECT_EQ(kept, row.kept) << row.name;
    }
}

TEST(LogReader, TableCsvAndJsonOfOneRecordAndTheSummaryOfSeveral) {
    const std::string text = Stored({2026, 1, 2, 3, 4, 5}, "OVCILog", 9, 5, "", {"sz: ", "a,\"b\"\xe9\xc3\xa9"});
    const auto one = ovlog::ParseLog(text, "WS-1").records;
    EXPECT_EQ(ovlog::FormatTable(one),
              "Time                 Workstation  Module   Line  HRESULT  Reason  Details\n"
              "2026-01-02 03:04:05  WS-1         OVCILog     9  5                sz: a,\"b\"\xe9\xc3\xa9\n");
    EXPECT_EQ(ovlog::FormatCsv(one),
              "time,workstation,module,line,hresult,reason,label1,value1\n"
              "2026-01-02 03:04:05,WS-1,OVCILog,9,5,,sz,\"a,\"\"b\"\"\xe9\xc3\xa9\"\n");
    EXPECT_EQ(ovlog::FormatJson(one),
              "[\n{\"time\":\"2026-01-02 03:04:05\",\"workstation\":\"WS-1\",\"module\":\"OVCILog\",\"line\":9,"
              "\"hresult\":\"5\",\"reason\":\"\",\"pairs\":[{\"label\":\"sz\","
              "\"value\":\"a,\\\"b\\\"\\u00E9\xc3\xa9\"}]}\n]\n");
    ovlog::Summary summary;
    for (const auto& log : {ovlog::ParseLog(kCopy + kOwn + kCopy + "junk", "WS-1"), ovlog::ParseLog(kOdd, "WS-2")}) {
        for (const auto& r : log.records) summary.Add(r);
        summary.AddSkipped(log.records.front().workstation, log.skipped);
    }
    EXPECT_EQ(summary.Format(),
              "Records: 4   Skipped fragments: 1\n\nHRESULT   Records  Reason\n80070002        2  File not found.\n"
              "80040201        1  Could not find ORVAN data.\n80070057        1  Bad input.\n\n"
              "Workstation  Records  Skipped\nWS-1               3        1\nWS-2               1        0\n");
}

// One record with a 1 MB cell among ordinary ones: what each format prints grows with the records and
// the input, never with their product (every row padded to the widest, every CSV row to the most pairs).
TEST(LogReader, OneHugeRecordNeitherWidensNorLengthensTheOthers) {
    const std::string mb(1000000, 'x'), head = "\r\nTime: (mm/dd/yy)   1/1/2027   0:0:0 \r\nFile:    M\r\nLine:    1\r\n";
    std::vector<const char*> pairs(200000, "a: ");
    for (std::size_t i = 1; i < pairs.size(); i += 2) pairs[i] = "b";
    const struct { const char* name; std::string text; } rows[] = {
        {"a 1 MB reason", head + "HRESULT: 5\r\nReason:  " + mb + "\r\n"},
        {"a 1 MB value", Stored({2027, 1, 1, 0, 0, 0}, "M", 1, 5, "", {"sz: ", mb.c_str()})},
        {"100,000 pairs", Stored({2027, 1, 1, 0, 0, 0}, "M", 1, 5, "", pairs)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string text = row.text;
        for (int i = 0; i < 50; ++i) text += kCopy;
        const auto records = ovlog::ParseLog(text, "WS").records;
        ASSERT_EQ(records.size(), 51u);
        const std::string table = ovlog::FormatTable(records);
        const std::size_t rowMost = 6 * (ovlog::kMaxCellBytes + 2) + ovlog::kMaxLastCellBytes + 1;
        EXPECT_LE(table.size(), 52 * rowMost);
        EXPECT_NE(table.find("...\n"), std::string::npos) << "the long cell is cut visibly";
        EXPECT_NE(table.find("szSourceDir: C:\\; szDestDir: D:\n"), std::string::npos) << "the others are whole";
        EXPECT_LE(ovlog::FormatCsv(records).size(), 5 * text.size());  // a pair "a: b" takes 25 bytes in either
        EXPECT_LE(ovlog::FormatJson(records).size(), 5 * text.size());
    }
}

// A spreadsheet runs a cell that begins with = + - @, a tab or a CR as a formula; a page can put such names
// into the log. Each text column of CSV is written so that it shows as text.
TEST(LogReader, CsvCellsThatWouldRunAsFormulasBeginWithASingleQuote) {
    const struct { const char *text, *cell; } rows[] = {
        {"=HYPERLINK(\"x\",\"y\")", "\"'=HYPERLINK(\"\"x\"\",\"\"y\"\")\""}, {"+1", "\"'+1\""}, {"-2+3", "\"'-2+3\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""}, {"\t=1", "\"'\t=1\""}, {"\r=1", "\"'\r=1\""},
        {"a=b", "a=b"}, {" =1", " =1"}, {"a,b", "\"a,b\""}, {"-", "-"} /* no workstation */, {"--", "\"'--\""},
    };
    for (const auto& row : rows) {
        ovlog::Record r{row.text, {2027, 1, 2, 3, 4, 5}, row.text, -7, 5, row.text, {{row.text, row.text}}};
        const std::string c = row.cell, csv = ovlog::FormatCsv({r});
        EXPECT_EQ(csv.substr(csv.find('\n') + 1), "2027-01-02 03:04:05," + c + "," + c + ",-7,5," + c + "," + c + "," + c +
                                                      "\n") << row.text;
    }
}

#ifdef _WIN32
#include "support/test_support.h"

namespace {

struct Outcome {
    int code;
    std::string out;
};
Outcome Ovlog(const std::string& arguments) {  // the program beside the server module; its standard output
    const std::string dll = ovtest::DllPath(), exe = dll.substr(0, dll.rfind('\\')) + "\\ovlog.exe";
    FILE* pipe = _popen(("\"\"" + exe + "\" " + arguments + "\"").c_str(), "rb");
    std::string out;
    char buf[65536];
    for (std::size_t n; pipe && (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
    return {pipe ? _pclose(pipe) : -1, out};
}

}  // namespace

// A failed copy through the control, then its record as CSV; a page may choose the name that is logged.
TEST(LogReader, ProgramPrintsTheRecordOfAFailedCopyThroughTheControlAsCsv) {
    const struct { const char *name, *nameCell, *pathCell; /* %s: the folder */ } rows[] = {
        {"none.txt", "none.txt", "%s\\none.txt"},
        {"=HYPERLINK(\"x\",\"y\")", "\"'=HYPERLINK(\"\"x\"\",\"\"y\"\")\"", "\"%s\\=HYPERLINK(\"\"x\"\",\"\"y\"\")\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ovtest::InstallSandbox sandbox;
        ovtest::DialogResponder responder;
        const ov::BStr name = ov::BStr::FromAnsi(row.name), dir = ov::BStr::FromAnsi(sandbox.Path().c_str());
        ASSERT_TRUE(FAILED(ovtest::CreateControl()->CopyFile(name.Get(), dir.Get(), dir.Get())));
        const auto log = ovtest::SplitLogRecords(sandbox.LogText());  // the test's own reading
        ASSERT_EQ(log.records.size(), 1u) << sandbox.LogText();
        const auto& r = log.records[0];
        const std::string time = ovlog::FormatStamp({r.time.wYear, r.time.wMonth, r.time.wDay, r.time.wHour,
                                                     r.time.wMinute, r.time.wSecond});
        std::string reason = ovtest::SystemMessage(std::stoul(r.code, nullptr, 16));
        reason.erase(reason.find_last_not_of("\r\n") + 1);
        std::string path = row.pathCell;
        path.replace(path.find("%s"), 2, sandbox.Path());
        const Outcome run = Ovlog("--format csv \"" + (sandbox / "OVCILog.txt") + "\"");
        EXPECT_EQ(run.code, 0);
        EXPECT_EQ(run.out, "time,workstation,module,line,hresult,reason,label1,value1,label2,value2,label3,value3\r\n" +
                               time + ",-," + r.file + "," + r.line + "," + r.code + "," + reason + ",szFileName," +
                               row.nameCell + ",szSourceDir," + path + ",szDestDir," + path + "\r\n");
    }
}

// A gathered folder with one log holding a 1 MB line among ordinary records: the program ends with
// output of about the input's size, the long cell cut in the table.
TEST(LogReader, ProgramPrintsAFolderWithAHugeRecordInBoundedOutput) {
    ovtest::InstallSandbox sandbox;
    std::string text = "\r\nTime: (mm/dd/yy)   1/1/2027   0:0:0 \r\nFile:    M\r\nLine:    1\r\nHRESULT: 5\r\nReason:  " +
                       std::string(1000000, 'x') + "\r\n";
    for (int i = 0; i < 300; ++i) text += kCopy;
    ovtest::WriteFileText(sandbox / "WS-0001.txt", text);
    ovtest::WriteFileText(sandbox / "WS-0002.txt", kOwn);
    for (const char* format : {"table", "csv", "json"}) {
        const Outcome run = Ovlog(std::string("--format ") + format + " \"" + sandbox.Path() + "\"");
        EXPECT_EQ(run.code, 0) << format;
        EXPECT_LE(run.out.size(), 2 * text.size()) << format;
        EXPECT_NE(run.out.find("Could not find ORVAN data."), std::string::npos) << format;
    }
}
#endif
