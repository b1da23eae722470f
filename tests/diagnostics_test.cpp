// The error report end to end: reason, message box and the record appended to the real
// OVCILog.txt; where the log goes by the registry; two processes appending at once; errno
// after a failed program start.
#include <gtest/gtest.h>

#include <process.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "diagnostics/OVCILog.h"
#include "diagnostics/error_codes.h"
#include "support/dialog_responder.h"
#include "support/log_records.h"
#include "support/test_support.h"

using namespace ovtest;

namespace {

// A code for which the platform has no message text.
constexpr HRESULT kNoSystemText = static_cast<HRESULT>(0x8004ABCDu);

std::string BoxText(const std::string& reason) {
    return "The following error was detected:\r\n\r\n\r\n" + reason +
           "\r\n\r\nThe operation was not completed successfully";
}

ParsedLog ParseOrFail(const std::string& text) {
    ParsedLog log = SplitLogRecords(text);
    EXPECT_EQ(log.error, "") << text;
    return log;
}

// Whole seconds of a local time, for comparing record times.
ULONGLONG Seconds(SYSTEMTIME t) {
    t.wMilliseconds = t.wDayOfWeek = 0;
    FILETIME ft{};
    SystemTimeToFileTime(&t, &ft);
    return ((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10000000u;
}

// The log with its varargs sink in reach, for the piece lists no typed report can make.
struct ExposedLog : ov::OVCILog {
    using ov::OVCILog::ReportError;
};

// One report with `count` pieces, expanded into a single variadic call as a caller's
// literal list would be.
constexpr size_t kPieces = 5000;
template <size_t... I>
void ReportAll(ExposedLog& log, const std::vector<std::string>& pieces, std::index_sequence<I...>) {
    log.ReportError(E_INVALIDARG, "OVCustInst", 11, 0, pieces[I].c_str()..., "END");
}

}  // namespace

TEST(DiagnosticsRecord, EveryReportShowsItsBoxIfAskedThenAppendsItsRecordInTextMode) {
    // A system text with an insert in it: the reason keeps "%1" as written.
    HRESULT withInsert = S_OK;
    for (DWORD e = 1; e < 2000 && withInsert == S_OK; ++e)
        if (SystemMessage(HRESULT_FROM_WIN32(e)).find("%1") != std::string::npos) withInsert = HRESULT_FROM_WIN32(e);
    ASSERT_NE(withInsert, S_OK) << "no system text with an insert";
    ASSERT_EQ(SystemMessage(kNoSystemText), "");
    InstallSandbox sandbox;
    const std::string earlier = "earlier text, its line not ended";
    WriteFileText(sandbox / "OVCILog.txt", earlier);
    ExposedLog log;
    ASSERT_EQ(log.LogEnabled, 1);
    const std::string invalid = "Reason:  " + AsStored(SystemMessage(E_INVALIDARG));
    ASSERT_NE(invalid, "Reason:  ");
    std::vector<size_t> recordsWhileShown;
    bool decorated = false;  // an icon, topmost, or an owner
    DialogResponder responder([&](HWND box, const ShownWindow&) {
        recordsWhileShown.push_back(ParseOrFail(sandbox.LogText()).records.size());
        decorated = decorated || GetWindow(box, GW_OWNER) != nullptr ||
                    (GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        // The icon control is there in any case; an icon is one that holds one.
        for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            decorated = decorated || ((GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
                                      SendMessageA(c, STM_GETICON, 0, 0) != 0);
        return IDOK;
    });

    SYSTEMTIME from, to;
    GetLocalTime(&from);
    log.ReportError(E_INVALIDARG, "C:\\build\\src\\OVCustInst.cpp", 1, 1, "bstrFileName: ", "Setup.ini", "END");
    log.ReportError(E_INVALIDARG, "OVCIConfirm", 2, 0, "a: ", "1", "b: ", "END");
    log.ReportError(E_INVALIDARG, "src\\", 3, 0, "c: ", "3", static_cast<const char*>(nullptr), "d: ", "4", "END");
    log.ReportError(E_INVALIDARG, "x", 4, 0, "e: ", "5", "END", "g: ", "7", "END");
    log.ReportError(E_INVALIDARG, "x", 5, 0, "end: ", "end", "END ", "x", "END");
    log.ReportError(kNoSystemText, "x", 6, 1, "szINFPath: ", "C:\\a.inf", "END");
    log.ReportError(S_OK, "x", 7, 0, "END");
    log.ReportError(withInsert, "x", 8, 0, "END");
    log.ReportError(ov::OV_E_NODATA, "x", 9, 1, "ORVAN_APP_NAME: ", "ORVAN", "END");
    log.ReportError(ov::OV_E_SEECOPY, "x", 10, 1, "END");
    // A huge piece list with long values is written whole.
    std::vector<std::string> pieces;
    std::string huge = invalid;
    for (size_t i = 0; i < kPieces; i += 2) {
        pieces.push_back("label" + std::to_string(i) + ": ");
        pieces.push_back(i % 1000 == 0 ? std::string(5000, 'v') : "value" + std::to_string(i));
        huge += pieces[i] + pieces[i + 1] + "\r\n";
    }
    ReportAll(log, pieces, std::make_index_sequence<kPieces>());
    GetLocalTime(&to);

    // The box, when asked for, comes first: its reason under the title, with only OK.
    const std::string reasons[] = {SystemMessage(E_INVALIDARG), "", "Could not find ORVAN data.\n",
                                   "Copy of SSE did not succeed.\n"};
    ASSERT_EQ(responder.Shown().size(), std::size(reasons));
    for (size_t i = 0; i < std::size(reasons); ++i) {
        EXPECT_EQ(responder.Shown()[i].title, "OVCustomInstall Error");
        EXPECT_EQ(responder.Shown()[i].text, BoxText(reasons[i])) << i;
        EXPECT_EQ(responder.Shown()[i].buttons, std::vector<std::string>{"OK"});
    }
    EXPECT_EQ(recordsWhileShown, (std::vector<size_t>{0, 5, 8, 9}));
    EXPECT_FALSE(decorated);

    // Text mode: each line end is stored as CR LF, a reason's own CR LF as CR CR LF. An odd
    // piece leaves its line open; the next record's leading line end closes it.
    const struct {
        std::string file, code, tail;
    } expected[] = {
        {"OVCustInst.cpp", "80070057", invalid + "bstrFileName: Setup.ini\r\n"},
        {"OVCIConfirm", "80070057", invalid + "a: 1\r\nb: "},
        {"", "80070057", invalid + "c: 3\r\n"},
        {"x", "80070057", invalid + "e: 5\r\n"},
        {"x", "80070057", invalid + "end: end\r\nEND x\r\n"},  // only the exact "END" ends the list
        {"x", "8004ABCD", "Reason:  szINFPath: C:\\a.inf\r\n"},
        {"x", "0", "Reason:  " + AsStored(SystemMessage(S_OK))},
        {"x", HexCode(withInsert), "Reason:  " + AsStored(SystemMessage(withInsert))},
        {"x", "80040201", "Reason:  Could not find ORVAN data.\r\nORVAN_APP_NAME: ORVAN\r\n"},
        {"x", "80040200", "Reason:  Copy of SSE did not succeed.\r\n"},
        {"OVCustInst", "80070057", huge},
    };
    ParsedLog parsed = ParseOrFail(sandbox.LogText());
    EXPECT_EQ(parsed.before, earlier);
    ASSERT_EQ(parsed.records.size(), std::size(expected));
    for (size_t i = 0; i < parsed.records.size(); ++i) {
        const ParsedRecord& r = parsed.records[i];
        EXPECT_TRUE(Seconds(from) <= Seconds(r.time) && Seconds(r.time) <= Seconds(to)) << i;
        EXPECT_EQ(r.file, expected[i].file) << i;
        EXPECT_EQ(r.line, std::to_string(i + 1)) << i;
        EXPECT_EQ(r.code, expected[i].code) << i;
        EXPECT_TRUE(r.tail == expected[i].tail) << i << ": " << r.tail.substr(0, 300);
    }
}

TEST(DiagnosticsLogSetup, LogFileIsInTheInstallPathIfItCanBeOpenedElseOnlyTheBoxIsShown) {
    InstallSandbox sandbox;
    const std::string longest = "C:\\" + std::string(245, 'd');  // with "\OVCILog.txt": 260
    const struct {
        bool present;
        std::string installPath, logPath;
    } rows[] = {
        {false, "", "\\OVCILog.txt"},  // the key without the value: the drive root
        {true, longest, longest + "\\OVCILog.txt"},
        {true, longest + "d", ""},
        {true, longest + std::string(11, 'd'), ""},  // the longest install path that is read
    };
    for (const auto& row : rows) {
        if (row.present) sandbox.InstallPathValue().Set(row.installPath);
        else sandbox.InstallPathValue().Remove();
        ExposedLog log;
        EXPECT_EQ(log.LogEnabled, row.logPath.empty() ? 0 : 1) << row.installPath.size();
        EXPECT_EQ(log.LogFilePath, row.logPath) << row.installPath.size();
    }

    // Without the key the log is off for the object's life, even when the key comes back.
    sandbox.RemoveOrvantaKey();
    DialogResponder responder;
    ExposedLog noKey;
    EXPECT_EQ(noKey.LogEnabled, 0);
    EXPECT_STREQ(noKey.LogFilePath, "");
    sandbox.InstallPathValue().Set(sandbox.Path());
    noKey.ReportError(E_INVALIDARG, "OVCustInst", 1, 1, "END");
    EXPECT_FALSE(PathExists(sandbox / "OVCILog.txt"));
    // A new object reads the registry again; a log file it cannot open loses the record silently.
    const std::string missing = sandbox / "no-such-dir";
    sandbox.InstallPathValue().Set(missing);
    ExposedLog unopenable;
    ASSERT_EQ(unopenable.LogEnabled, 1);
    unopenable.ReportError(E_INVALIDARG, "OVCustInst", 2, 1, "bstrFileName: ", "x", "END");
    EXPECT_FALSE(PathExists(missing));
    ASSERT_EQ(responder.Shown().size(), 2u);  // only the reports' own boxes
    for (const auto& box : responder.Shown()) EXPECT_EQ(box.text, BoxText(SystemMessage(E_INVALIDARG)));
}

TEST(DiagnosticsConcurrency, TwoProcessesAppendingAtOnceKeepEveryRecordWhole) {
    InstallSandbox sandbox;
    constexpr int kPerWriter = 300;
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string writer = exe;
    writer = writer.substr(0, writer.find_last_of('\\') + 1) + "ov_log_writer.exe";
    ASSERT_TRUE(PathExists(writer)) << writer;

    const std::string eventName = "OVLogWriterStart-" + std::to_string(GetCurrentProcessId());
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
    ASSERT_NE(go, nullptr);
    std::vector<PROCESS_INFORMATION> children;
    for (const char* tag : {"A", "B"}) {
        std::string cmd = "\"" + writer + "\" " + tag + " " + std::to_string(kPerWriter) + " " + eventName;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        children.push_back(pi);
    }
    SetEvent(go);
    for (auto& pi : children) {
        DWORD waited = WaitForSingleObject(pi.hProcess, 120000);
        if (waited != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
        DWORD code = 99;
        GetExitCodeProcess(pi.hProcess, &code);
        EXPECT_EQ(waited, WAIT_OBJECT_0);
        EXPECT_EQ(code, 0u);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(go);

    const std::string reason = "Reason:  " + AsStored(SystemMessage(E_INVALIDARG));
    ParsedLog parsed = ParseOrFail(sandbox.LogText());
    EXPECT_EQ(parsed.before, "");
    ASSERT_EQ(parsed.records.size(), 2u * kPerWriter);
    // Every record whole, and each writer's records in the order it wrote them.
    int next[2] = {0, 0};
    int switches = 0, previous = 0;
    for (size_t i = 0; i < parsed.records.size(); ++i) {
        const ParsedRecord& r = parsed.records[i];
        ASSERT_EQ(r.file, "log_writer") << "record " << i;
        ASSERT_EQ(r.code, "80070057") << "record " << i;
        int w = r.tail.find("Writer: B\r\n") != std::string::npos ? 1 : 0;
        if (i > 0 && w != previous) ++switches;
        previous = w;
        const std::string expected =
            reason + "Writer: " + (w ? "B" : "A") + "\r\nIndex: " + std::to_string(next[w]) + "\r\n";
        ASSERT_EQ(r.tail, expected) << "record " << i;
        ASSERT_EQ(r.line, std::to_string(next[w])) << "record " << i;
        ++next[w];
    }
    EXPECT_EQ(next[0], kPerWriter);
    EXPECT_EQ(next[1], kPerWriter);
    // How often the writers took turns: shows that they really appended at the same time.
    RecordProperty("writer_switches", switches);
}

TEST(DiagnosticsErrno, MapsEveryRowOfTheTableWithoutReporting) {
    InstallSandbox sandbox;
    ExposedLog log;
    const std::pair<int, HRESULT> rows[] = {
        {7, E_INVALIDARG}, {22, E_INVALIDARG}, {2, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)},
        {8, HRESULT_FROM_WIN32(ERROR_BAD_FORMAT)}, {12, HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY)},
        {0, E_FAIL}, {1, E_FAIL}, {3, E_FAIL}, {13, E_FAIL}, {32, E_FAIL}, {-1, E_FAIL}, {INT_MIN, E_FAIL},
        {33, S_OK}, {34, S_OK}, {1000, S_OK}, {INT_MAX, S_OK}};
    for (const auto& row : rows) {
        errno = row.first;
        EXPECT_EQ(log.ErrnoToHResult(), row.second) << "errno " << row.first;
    }

    // After a real failed start the runtime's own errno is read.
    errno = 0;
    intptr_t rc = _spawnl(_P_WAIT, "C:\\no-such-dir\\no-such-program.exe", "no-such-program.exe", nullptr);
    ASSERT_EQ(rc, -1);
    EXPECT_EQ(log.ErrnoToHResult(), static_cast<HRESULT>(0x80070003u));
    EXPECT_FALSE(PathExists(sandbox / "OVCILog.txt"));
}
