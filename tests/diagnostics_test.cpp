// The error report end to end: reason, message box and the record appended to the real
// OVCILog.txt; where the log goes by the registry; two processes appending at once; errno
// after a failed program start.
#include <gtest/gtest.h>

#include <process.h>

#include <cerrno>
#include <string>
#include <vector>

#include "diagnostics/OVCILog.h"
#include "diagnostics/error_codes.h"
#include "support/dialog_responder.h"
#include "support/test_support.h"

using namespace ovtest;

namespace {

// The tests' one way to report: with one label/value pair, or none when label is null.
void Report(ov::OVCILog& log, HRESULT code, const char* module, int line, bool box, const char* label = nullptr,
            const char* value = nullptr) {
    if (label) log.ReportError(code, module, line, box ? 1 : 0, label, value, "END");
    else log.ReportError(code, module, line, box ? 1 : 0, "END");
}

std::string BoxText(const std::string& reason) {
    return "The following error was detected:\r\n\r\n\r\n" + reason + "\r\n\r\nThe operation was not completed successfully";
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

}  // namespace

TEST(DiagnosticsRecord, EachReportShowsItsBoxIfAskedThenAppendsItsRecordInTextMode) {
    // A system text with an insert in it: the reason keeps "%1" as written.
    HRESULT withInsert = S_OK;
    for (DWORD e = 1; e < 2000 && withInsert == S_OK; ++e)
        if (SystemMessage(HRESULT_FROM_WIN32(e)).find("%1") != std::string::npos) withInsert = HRESULT_FROM_WIN32(e);
    ASSERT_NE(withInsert, S_OK) << "no system text with an insert";
    const HRESULT noSystemText = static_cast<HRESULT>(0x8004ABCDu);
    ASSERT_EQ(SystemMessage(noSystemText), "");
    const std::string invalid = "Reason:  " + AsStored(SystemMessage(E_INVALIDARG));
    // Text mode: each line end is stored as CR LF, a reason's own CR LF as CR CR LF.
    const struct {
        HRESULT code;
        const char* module;
        bool box;
        const char *label, *value;
        std::string file, tail, boxReason;
    } rows[] = {
        {E_INVALIDARG, "C:\\build\\src\\OVCustInst.cpp", true, "bstrFileName: ", "Setup.ini", "OVCustInst.cpp",
         invalid + "bstrFileName: Setup.ini\r\n", SystemMessage(E_INVALIDARG)},
        {noSystemText, "x", true, "szINFPath: ", "C:\\a.inf", "x", "Reason:  szINFPath: C:\\a.inf\r\n", ""},
        {S_OK, "x", false, nullptr, nullptr, "x", "Reason:  " + AsStored(SystemMessage(S_OK)), ""},
        {withInsert, "x", false, nullptr, nullptr, "x", "Reason:  " + AsStored(SystemMessage(withInsert)), ""},
        {ov::OV_E_NODATA, "x", true, "ORVAN_APP_NAME: ", "ORVAN", "x",
         "Reason:  Could not find ORVAN data.\r\nORVAN_APP_NAME: ORVAN\r\n", "Could not find ORVAN data.\n"},
        {ov::OV_E_SEECOPY, "x", true, nullptr, nullptr, "x", "Reason:  Copy of SSE did not succeed.\r\n",
         "Copy of SSE did not succeed.\n"},
        {E_INVALIDARG, "x", false, "%s%n: ", "100%\n", "x", invalid + "%s%n: 100%\r\n\r\n", ""},  // written as they stand
    };
    InstallSandbox sandbox;
    const std::string earlier = "earlier text, its line not ended";
    WriteFileText(sandbox / "OVCILog.txt", earlier);
    ov::OVCILog log;
    ASSERT_EQ(log.LogEnabled, 1);
    std::vector<size_t> recordsWhileShown, expectedWhileShown;
    DialogResponder responder([&] { recordsWhileShown.push_back(ParseOrFail(sandbox.LogText()).records.size()); });

    SYSTEMTIME from, to;
    GetLocalTime(&from);
    for (size_t i = 0; i < std::size(rows); ++i) {
        Report(log, rows[i].code, rows[i].module, static_cast<int>(i + 1), rows[i].box, rows[i].label, rows[i].value);
        if (rows[i].box) expectedWhileShown.push_back(i);
    }
    GetLocalTime(&to);

    // The box, when asked for, comes before the record: its reason under the title, with only OK.
    EXPECT_EQ(recordsWhileShown, expectedWhileShown);
    ASSERT_EQ(responder.Shown().size(), expectedWhileShown.size());
    for (size_t i = 0; i < expectedWhileShown.size(); ++i) {
        const ShownWindow& box = responder.Shown()[i];
        EXPECT_EQ(box.title, "OVCustomInstall Error") << "row " << expectedWhileShown[i];
        EXPECT_EQ(box.text, BoxText(rows[expectedWhileShown[i]].boxReason)) << "row " << expectedWhileShown[i];
        EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"}) << "row " << expectedWhileShown[i];
    }
    ParsedLog parsed = ParseOrFail(sandbox.LogText());
    EXPECT_EQ(parsed.before, earlier);
    ASSERT_EQ(parsed.records.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const ParsedRecord& r = parsed.records[i];
        EXPECT_TRUE(Seconds(from) <= Seconds(r.time) && Seconds(r.time) <= Seconds(to)) << "row " << i;
        EXPECT_EQ(r.file, rows[i].file) << "row " << i;
        EXPECT_EQ(r.line, std::to_string(i + 1)) << "row " << i;
        EXPECT_EQ(r.code, HexCode(rows[i].code)) << "row " << i;
        EXPECT_EQ(r.tail, rows[i].tail) << "row " << i;
    }
}

TEST(DiagnosticsLogSetup, LogFileIsInTheInstallPathIfItFitsElseOnlyTheBoxIsShown) {
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
        ov::OVCILog log;
        EXPECT_EQ(log.LogEnabled, row.logPath.empty() ? 0 : 1) << row.installPath.size();
        EXPECT_EQ(log.LogFilePath, row.logPath) << row.installPath.size();
    }

    // Without the key the log is off for the object's life, even when the key comes back.
    sandbox.RemoveOrvantaKey();
    DialogResponder responder;
    ov::OVCILog noKey;
    EXPECT_EQ(noKey.LogEnabled, 0);
    sandbox.InstallPathValue().Set(sandbox.Path());
    Report(noKey, E_INVALIDARG, "OVCustInst", 1, true);
    EXPECT_FALSE(PathExists(sandbox / "OVCILog.txt"));
    // A new object reads the registry again; a log file it cannot open loses the record silently.
    const std::string missing = sandbox / "no-such-dir";
    sandbox.InstallPathValue().Set(missing);
    ov::OVCILog unopenable;
    ASSERT_EQ(unopenable.LogEnabled, 1);
    Report(unopenable, E_INVALIDARG, "OVCustInst", 2, true, "bstrFileName: ", "x");
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
    std::vector<HANDLE> children;
    for (const char* tag : {"A", "B"}) {
        children.push_back(StartProcess("\"" + writer + "\" " + tag + " " + std::to_string(kPerWriter) + " " + eventName));
        ASSERT_NE(children.back(), nullptr);
    }
    SetEvent(go);
    for (HANDLE child : children) {
        DWORD waited = WaitForSingleObject(child, 120000), code = 99;
        if (waited != WAIT_OBJECT_0) TerminateProcess(child, 99);
        GetExitCodeProcess(child, &code);
        EXPECT_EQ(code, 0u);
        CloseHandle(child);
    }
    CloseHandle(go);

    const std::string reason = "Reason:  " + AsStored(SystemMessage(E_INVALIDARG));
    ParsedLog parsed = ParseOrFail(sandbox.LogText());
    EXPECT_EQ(parsed.before, "");
    ASSERT_EQ(parsed.records.size(), 2u * kPerWriter);
    // Every record whole, and each writer's records in the order it wrote them.
    int next[2] = {0, 0}, switches = 0, previous = 0;
    for (size_t i = 0; i < parsed.records.size(); ++i) {
        const ParsedRecord& r = parsed.records[i];
        ASSERT_EQ(r.file + " " + r.code, "log_writer 80070057") << "record " << i;
        const int w = r.tail.find("Writer: B\r\n") != std::string::npos ? 1 : 0;
        switches += i > 0 && w != previous;
        previous = w;
        ASSERT_EQ(r.tail, reason + "Writer: " + "AB"[w] + "\r\nIndex: " + std::to_string(next[w]) + "\r\n") << "record " << i;
        ASSERT_EQ(r.line, std::to_string(next[w]++)) << "record " << i;
    }
    EXPECT_EQ(next[0], kPerWriter);
    // How often the writers took turns: shows that they really appended at the same time.
    RecordProperty("writer_switches", switches);
}

TEST(DiagnosticsErrno, MapsTheRuntimesErrnoWithoutReporting) {
    InstallSandbox sandbox;
    ov::OVCILog log;
    const std::pair<int, HRESULT> rows[] = {
        {22, E_INVALIDARG}, {2, HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)}, {8, HRESULT_FROM_WIN32(ERROR_BAD_FORMAT)},
        {12, HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY)}, {0, E_FAIL}, {32, E_FAIL}, {-1, E_FAIL}, {33, S_OK}};
    for (const auto& row : rows) {
        errno = row.first;
        EXPECT_EQ(log.ErrnoToHResult(), row.second) << "errno " << row.first;
    }
    // After a real failed start the runtime's own errno is read.
    errno = 0;
    ASSERT_EQ(_spawnl(_P_WAIT, "C:\\no-such-dir\\no-such-program.exe", "no-such-program.exe", nullptr), -1);
    EXPECT_EQ(log.ErrnoToHResult(), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(PathExists(sandbox / "OVCILog.txt"));
}
