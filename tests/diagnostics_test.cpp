// The error report end to end: reason, message box and the record appended to the real OVCILog.txt
// (where it goes for each install path: registry_test.cpp); two processes appending at once; errno.
#include <gtest/gtest.h>

#include <process.h>

#include <cerrno>

#include "diagnostics/OVCILog.h"
#include "diagnostics/error_codes.h"
#include "support/test_support.h"

using namespace ovtest;

namespace {

// The tests' one way to report: with one label/value pair, or none when label is null.
void Report(ov::OVCILog& log, HRESULT code, const char* module, int line, bool box, const char* label = nullptr,
            const char* value = nullptr) {
    const ov::Box shown = box ? ov::Box::Shown : ov::Box::Hidden;
    if (label) log.Report(code, ov::Place{module, line}, shown, label, value);
    else log.Report(code, ov::Place{module, line}, shown);
}

std::string BoxText(const std::string& reason) {
    return "The following error was detected:\r\n\r\n\r\n" + reason +
           "\r\n\r\nThe operation was not completed successfully";
}

// Whole seconds of a local time, for comparing record times.
ULONGLONG Seconds(SYSTEMTIME t) {
    FILETIME ft{};
    t.wMilliseconds = t.wDayOfWeek = 0;
    SystemTimeToFileTime(&t, &ft);
    return ((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10000000u;
}

}  // namespace

TEST(DiagnosticsRecord, EachReportShowsItsBoxIfAskedThenAppendsItsRecordInTextMode) {
    // A system text with an insert in it: the reason keeps "%1" as written.
    HRESULT withInsert = S_OK, noText = static_cast<HRESULT>(0x8004ABCDu);
    for (DWORD e = 1; e < 2000 && withInsert == S_OK; ++e)
        if (SystemMessage(HRESULT_FROM_WIN32(e)).find("%1") != std::string::npos) withInsert = HRESULT_FROM_WIN32(e);
    ASSERT_TRUE(withInsert != S_OK && SystemMessage(noText).empty());
    const std::string invalid = SystemMessage(E_INVALIDARG);
    // Text mode: each line end is stored as CR LF, a reason's own CR LF as CR CR LF.
    const struct {
        HRESULT code;
        const char *module, *label, *value;
        std::string file, reason, pieces;
        bool box;
    } rows[] = {
        {E_INVALIDARG, "C:\\build\\src\\OVCustInst.cpp", "bstrFileName: ", "Setup.ini", "OVCustInst.cpp", invalid,
         "bstrFileName: Setup.ini\r\n", true},
        {noText, "x", "szINFPath: ", "C:\\a.inf", "x", "", "szINFPath: C:\\a.inf\r\n", true},
        {S_OK, "x", nullptr, nullptr, "x", SystemMessage(S_OK), "", false},
        {withInsert, "x", nullptr, nullptr, "x", SystemMessage(withInsert), "", false},
        {ov::OV_E_NODATA, "x", "ORVAN_APP_NAME: ", "ORVAN", "x", "Could not find ORVAN data.\n",
         "ORVAN_APP_NAME: ORVAN\r\n", true},
        {E_INVALIDARG, "x", "%s%n: ", "100%\n", "x", invalid, "%s%n: 100%\\n\r\n", false},  // no format, a line end escaped
    };
    InstallSandbox sandbox;
    WriteFileText(sandbox / "OVCILog.txt", "earlier text, its line not ended");
    ov::OVCILog log;
    ASSERT_EQ(log.LogEnabled, 1);
    std::vector<size_t> recordsWhileShown, boxRows;
    DialogResponder responder([&](HWND, const ShownWindow&) {
        recordsWhileShown.push_back(SplitLogRecords(sandbox.LogText()).records.size());
        return IDOK;
    });
    SYSTEMTIME from, to;
    GetLocalTime(&from);
    for (size_t i = 0; i < std::size(rows); ++i) {
        Report(log, rows[i].code, rows[i].module, static_cast<int>(i + 1), rows[i].box, rows[i].label, rows[i].value);
        if (rows[i].box) boxRows.push_back(i);
    }
    GetLocalTime(&to);

    // The box, when asked for, comes before the record: its reason under the title, with only OK.
    EXPECT_EQ(recordsWhileShown, boxRows);
    ASSERT_EQ(responder.Shown().size(), boxRows.size());
    for (size_t i = 0; i < boxRows.size(); ++i)
        EXPECT_EQ(responder.Shown()[i].title + "|" + responder.Shown()[i].text + "|" +
                      std::to_string(responder.Shown()[i].buttons.size()) + responder.Shown()[i].buttons.at(0),
                  "OVCustomInstall Error|" + BoxText(rows[boxRows[i]].reason) + "|1OK") << "row " << boxRows[i];
    const ParsedLog parsed = SplitLogRecords(sandbox.LogText());
    EXPECT_EQ(parsed.before + parsed.error, "earlier text, its line not ended");
    ASSERT_EQ(parsed.records.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        const ParsedRecord& r = parsed.records[i];
        EXPECT_TRUE(Seconds(from) <= Seconds(r.time) && Seconds(r.time) <= Seconds(to)) << "row " << i;
        EXPECT_EQ(r.file + "|" + r.line + "|" + r.code + "|" + r.tail,
                  rows[i].file + "|" + std::to_string(i + 1) + "|" + HexCode(rows[i].code) + "|Reason:  " +
                      AsStored(rows[i].reason) + rows[i].pieces) << "row " << i;
    }
}

TEST(DiagnosticsLogSetup, WithoutTheKeyOrAnOpenableFileOnlyTheBoxIsShown) {
    InstallSandbox sandbox;
    // Without the key the log is off for the object's life, even when the key comes back.
    sandbox.RemoveOrvantaKey();
    DialogResponder responder;
    ov::OVCILog noKey;
    sandbox.InstallPathValue().Set(sandbox.Path());
    Report(noKey, E_INVALIDARG, "OVCustInst", 1, true);
    EXPECT_FALSE(PathExists(sandbox / "OVCILog.txt"));
    // A new object reads the registry again; a log file it cannot open loses the record silently.
    sandbox.InstallPathValue().Set(sandbox / "no-such-dir");
    ov::OVCILog unopenable;
    ASSERT_EQ(unopenable.LogEnabled, 1);
    Report(unopenable, E_INVALIDARG, "OVCustInst", 2, true, "bstrFileName: ", "x");
    EXPECT_FALSE(PathExists(sandbox / "no-such-dir"));
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
    const std::string eventName = "OVLogWriterStart-" + std::to_string(GetCurrentProcessId());
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
    const std::string count = std::to_string(kPerWriter);
    auto start = [&](const char* tag) {
        return reinterpret_cast<HANDLE>(
            _spawnl(_P_NOWAIT, writer.c_str(), writer.c_str(), tag, count.c_str(), eventName.c_str(), nullptr));
    };
    HANDLE children[] = {start("A"), start("B")};
    ASSERT_TRUE(go && children[0] != INVALID_HANDLE_VALUE && children[1] != INVALID_HANDLE_VALUE) << writer;
    SetEvent(go);
    for (HANDLE child : children) {
        DWORD code = 99;
        if (WaitForSingleObject(child, 120000) != WAIT_OBJECT_0) TerminateProcess(child, 99);
        GetExitCodeProcess(child, &code);
        EXPECT_EQ(code, 0u);
        CloseHandle(child);
    }
    CloseHandle(go);

    // Every record whole, and each writer's records in the order it wrote them.
    const std::string reason = "Reason:  " + AsStored(SystemMessage(E_INVALIDARG));
    const ParsedLog parsed = SplitLogRecords(sandbox.LogText());
    EXPECT_EQ(parsed.before + parsed.error, "");
    ASSERT_EQ(parsed.records.size(), 2u * kPerWriter);
    int next[2] = {0, 0};
    for (size_t i = 0; i < parsed.records.size(); ++i) {
        const ParsedRecord& r = parsed.records[i];
        const int w = r.tail.find("Writer: B\r\n") != std::string::npos ? 1 : 0;
        ASSERT_EQ(r.file + "|" + r.line + "|" + r.code + "|" + r.tail,
                  "log_writer|" + std::to_string(next[w]) + "|80070057|" + reason + "Writer: " + "AB"[w] +
                      "\r\nIndex: " + std::to_string(next[w]) + "\r\n") << "record " << i;
        ++next[w];
    }
}

TEST(DiagnosticsErrno, AfterAFailedStartTheRuntimesOwnErrnoIsMappedWithoutReporting) {
    InstallSandbox sandbox;
    ov::OVCILog log;
    errno = 0;
    ASSERT_EQ(_spawnl(_P_WAIT, "C:\\no-such-dir\\no-such-program.exe", "no-such-program.exe", nullptr), -1);
    EXPECT_EQ(log.ErrnoToHResult(), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(PathExists(sandbox / "OVCILog.txt"));
}
