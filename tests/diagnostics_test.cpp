// The error report end to end: reason, message box and the record appended to the real
// OVCILog.txt; where the log goes by the registry; two processes appending at once; errno
// after a failed program start.
#include <gtest/gtest.h>

#include <process.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "diagnostics/OVCILog.h"
#include "support/dialog_responder.h"
#include "support/log_records.h"
#include "support/test_support.h"

using namespace ovtest;

namespace {

constexpr char kBoxTitle[] = "OVCustomInstall Error";
// A code for which the platform has no message text.
constexpr HRESULT kNoSystemText = static_cast<HRESULT>(0x8004ABCDu);

std::string BoxText(const std::string& reason) {
    return "The following error was detected:\r\n\r\n\r\n" + reason +
           "\r\n\r\nThe operation was not completed successfully";
}

// Whether a message box carries an icon (its icon control is there, empty, in any case).
bool ShowsAnIcon(HWND box) {
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[16] = {};
        GetClassNameA(c, cls, sizeof cls);
        if (_stricmp(cls, "Static") == 0 && (GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            SendMessageA(c, STM_GETICON, 0, 0) != 0)
            return true;
    }
    return false;
}

ParsedLog ParseOrFail(const std::string& text) {
    ParsedLog log = SplitLogRecords(text);
    EXPECT_EQ(log.error, "") << text;
    return log;
}

// One report with `count` pieces, expanded into a single variadic call as a caller's
// literal list would be.
template <size_t... I>
void ReportAll(ov::OVCILog& log, const char* source, const std::vector<std::string>& pieces,
               std::index_sequence<I...>) {
    log.ReportError(E_INVALIDARG, source, 1, 0, pieces[I].c_str()..., "END");
}

}  // namespace

TEST(DiagnosticsRecord, ArgumentErrorAppendsItsSevenLinesToTheFile) {
    InstallSandbox sandbox;
    DialogResponder responder;
    ov::OVCILog log;
    ASSERT_EQ(log.LogEnabled, 1);
    const std::string reason = SystemMessage(E_INVALIDARG);
    ASSERT_FALSE(reason.empty());

    SYSTEMTIME from = LocalNow();
    log.ReportError(E_INVALIDARG, "OVCustInst", 4711, 0, "bstrFileName: ", "Setup.ini", "END");
    SYSTEMTIME to = LocalNow();

    const std::string text = sandbox.LogText();
    ParsedLog parsed = ParseOrFail(text);
    ASSERT_EQ(parsed.records.size(), 1u);
    const ParsedRecord& r = parsed.records[0];
    EXPECT_TRUE(TimeWithin(r.time, from, to)) << r.timeLine;
    // Text mode: each line end is stored as CR LF, the reason's own CR LF as CR CR LF.
    EXPECT_EQ(text, "\r\n" + r.timeLine + "\r\n"
                    "File:    OVCustInst\r\n"
                    "Line:    4711\r\n"
                    "HRESULT: 80070057\r\n"
                    "Reason:  " + AsStored(reason) +
                    "bstrFileName: Setup.ini\r\n");
    EXPECT_TRUE(responder.Shown().empty());
}

TEST(DiagnosticsRecord, SourceIsLoggedByItsLastComponentAndLongLinesAreCut) {
    InstallSandbox sandbox;
    ov::OVCILog log;
    const std::string longSource(5000, 's');
    log.ReportError(E_INVALIDARG, "C:\\build\\src\\control\\OVCustInst.cpp", 1, 0, "END");
    log.ReportError(E_INVALIDARG, "OVCIConfirm", 2, 0, "END");
    log.ReportError(E_INVALIDARG, "diagnostics\\", 3, 0, "END");
    log.ReportError(E_INVALIDARG, longSource.c_str(), 4, 0, "END");

    ParsedLog parsed = ParseOrFail(sandbox.LogText());
    ASSERT_EQ(parsed.records.size(), 4u);
    EXPECT_EQ(parsed.records[0].file, "OVCustInst.cpp");
    EXPECT_EQ(parsed.records[1].file, "OVCIConfirm");
    EXPECT_EQ(parsed.records[2].file, "");
    // The line is composed in a 2048-character buffer: 2047 characters survive.
    EXPECT_EQ(parsed.records[3].file, std::string(2047 - 9, 's'));
    EXPECT_EQ(parsed.records[3].line, "4");
}

TEST(DiagnosticsRecord, PieceListEndsAtEndOrNullAndAnOddPieceRunsIntoTheNextRecord) {
    InstallSandbox sandbox;
    const std::string earlier = "earlier text, its line not ended";
    WriteFileText(sandbox / "OVCILog.txt", earlier);
    ov::OVCILog log;
    const std::string reason = "Reason:  " + AsStored(SystemMessage(E_INVALIDARG));

    log.ReportError(E_INVALIDARG, "OVCustInst", 1, 0, "END");
    log.ReportError(E_INVALIDARG, "OVCustInst", 2, 0, "a: ", "1", "b: ", "END");
    log.ReportError(E_INVALIDARG, "OVCustInst", 3, 0, "c: ", "3", static_cast<const char*>(nullptr), "d: ", "4", "END");
    log.ReportError(E_INVALIDARG, "OVCustInst", 4, 0, "e: ", "5", "f: ", "6", "END", "g: ", "7", "END");
    log.ReportError(E_INVALIDARG, "OVCustInst", 5, 0, "end: ", "end", "END ", "x", "END");

    const std::string text = sandbox.LogText();
    ParsedLog parsed = ParseOrFail(text);
    // Earlier content is kept; the first record's leading line end closes its open line.
    EXPECT_EQ(parsed.before, earlier);
    ASSERT_EQ(parsed.records.size(), 5u);
    for (size_t i = 0; i < parsed.records.size(); ++i) EXPECT_EQ(parsed.records[i].line, std::to_string(i + 1));
    EXPECT_EQ(parsed.records[0].tail, reason);
    // The third piece has no line end: the next record's empty line is only its line end.
    EXPECT_EQ(parsed.records[1].tail, reason + "a: 1\r\nb: ");
    EXPECT_NE(text.find("b: \r\nTime: "), std::string::npos);
    EXPECT_EQ(parsed.records[2].tail, reason + "c: 3\r\n");
    EXPECT_EQ(parsed.records[3].tail, reason + "e: 5\r\nf: 6\r\n");
    // Only the exact piece "END" ends the list.
    EXPECT_EQ(parsed.records[4].tail, reason + "end: end\r\nEND x\r\n");
}

TEST(DiagnosticsRecord, OwnCodesShowAndLogTheirFixedReasons) {
    InstallSandbox sandbox;
    DialogResponder responder;
    ov::OVCILog log;
    log.ReportError(static_cast<HRESULT>(0x80040201u), "OVCustInst", 10, 1, "ORVAN_APP_NAME: ", "ORVAN", "END");
    log.ReportError(static_cast<HRESULT>(0x80040200u), "OVCustInst", 11, 1, "END");

    ASSERT_EQ(responder.Shown().size(), 2u);
    EXPECT_EQ(responder.Shown()[0].text, BoxText("Could not find ORVAN data.\n"));
    EXPECT_EQ(responder.Shown()[1].text, BoxText("Copy of SSE did not succeed.\n"));

    ParsedLog parsed = ParseOrFail(sandbox.LogText());
    ASSERT_EQ(parsed.records.size(), 2u);
    EXPECT_EQ(parsed.records[0].code, "80040201");
    EXPECT_EQ(parsed.records[0].tail, "Reason:  Could not find ORVAN data.\r\nORVAN_APP_NAME: ORVAN\r\n");
    EXPECT_EQ(parsed.records[1].code, "80040200");
    EXPECT_EQ(parsed.records[1].tail, "Reason:  Copy of SSE did not succeed.\r\n");
}

TEST(DiagnosticsRecord, CodeWithoutSystemTextHasAnEmptyReasonInBoxAndRecord) {
    ASSERT_EQ(SystemMessage(kNoSystemText), "");
    InstallSandbox sandbox;
    DialogResponder responder;
    ov::OVCILog log;
    log.ReportError(kNoSystemText, "OVCustInst", 12, 1, "szINFPath: ", "C:\\a.inf", "END");

    ASSERT_EQ(responder.Shown().size(), 1u);
    EXPECT_EQ(responder.Shown()[0].text, BoxText(""));
    ParsedLog parsed = ParseOrFail(sandbox.LogText());
    ASSERT_EQ(parsed.records.size(), 1u);
    EXPECT_EQ(parsed.records[0].code, "8004ABCD");
    EXPECT_EQ(parsed.records[0].tail, "Reason:  szINFPath: C:\\a.inf\r\n");
}

TEST(DiagnosticsRecord, SuccessCodeAndTextsWithInsertsAreLookedUpAsTheyStand) {
    // A system text with an insert in it: the reason keeps "%1" as written.
    HRESULT withInsert = S_OK;
    for (DWORD e = 1; e < 2000 && withInsert == S_OK; ++e)
        if (SystemMessage(HRESULT_FROM_WIN32(e)).find("%1") != std::string::npos) withInsert = HRESULT_FROM_WIN32(e);
    ASSERT_NE(withInsert, S_OK) << "no system text with an insert";
    const std::string success = SystemMessage(S_OK);
    ASSERT_FALSE(success.empty());

    InstallSandbox sandbox;
    ov::OVCILog log;
    log.ReportError(S_OK, "OVCustInst", 1, 0, "END");
    log.ReportError(withInsert, "OVCustInst", 2, 0, "END");

    ParsedLog parsed = ParseOrFail(sandbox.LogText());
    ASSERT_EQ(parsed.records.size(), 2u);
    EXPECT_EQ(parsed.records[0].code, "0");
    EXPECT_EQ(parsed.records[0].tail, "Reason:  " + AsStored(success));
    EXPECT_EQ(parsed.records[1].tail, "Reason:  " + AsStored(SystemMessage(withInsert)));
}

TEST(DiagnosticsRecord, HugePieceListAndLongValuesAreWrittenWhole) {
    InstallSandbox sandbox;
    ov::OVCILog log;
    constexpr size_t kPieces = 5000;
    std::vector<std::string> pieces;
    std::string expected = "Reason:  " + AsStored(SystemMessage(E_INVALIDARG));
    for (size_t i = 0; i < kPieces; i += 2) {
        pieces.push_back("label" + std::to_string(i) + ": ");
        pieces.push_back(i % 1000 == 0 ? std::string(5000, 'v') : "value" + std::to_string(i));
        expected += pieces[i] + pieces[i + 1] + "\r\n";
    }
    ReportAll(log, "OVCustInst", pieces, std::make_index_sequence<kPieces>());

    ParsedLog parsed = ParseOrFail(sandbox.LogText());
    ASSERT_EQ(parsed.records.size(), 1u);
    EXPECT_EQ(parsed.records[0].tail.size(), expected.size());
    EXPECT_TRUE(parsed.records[0].tail == expected);
}

TEST(DiagnosticsBox, ShowsTheReasonUnderItsTitleWithOnlyOkAndLogsAfterItCloses) {
    InstallSandbox sandbox;
    ov::OVCILog log;
    std::string logWhileShown = "not looked at";
    HWND owner = reinterpret_cast<HWND>(1);
    bool icon = true, topmost = true;
    DialogResponder responder([&](HWND box, const ShownWindow&) {
        logWhileShown = sandbox.LogText();
        owner = GetWindow(box, GW_OWNER);
        icon = ShowsAnIcon(box);
        topmost = (GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        return IDOK;
    });
    log.ReportError(E_INVALIDARG, "OVCustInst", 1, 1, "bstrDirPath: ", "C:\\x", "END");

    ASSERT_EQ(responder.Shown().size(), 1u);
    const ShownWindow& box = responder.Shown()[0];
    EXPECT_EQ(box.title, kBoxTitle);
    EXPECT_EQ(box.text, BoxText(SystemMessage(E_INVALIDARG)));
    EXPECT_EQ(box.buttons, std::vector<std::string>{"OK"});
    EXPECT_FALSE(icon);
    EXPECT_FALSE(topmost);
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(logWhileShown, "");
    ParsedLog parsed = ParseOrFail(sandbox.LogText());
    ASSERT_EQ(parsed.records.size(), 1u);
    EXPECT_EQ(parsed.records[0].tail, "Reason:  " + AsStored(SystemMessage(E_INVALIDARG)) + "bstrDirPath: C:\\x\r\n");

    // Not asked for: no box, the record all the same.
    log.ReportError(E_INVALIDARG, "OVCustInst", 2, 0, "END");
    EXPECT_EQ(responder.Shown().size(), 1u);
    EXPECT_EQ(ParseOrFail(sandbox.LogText()).records.size(), 2u);
}

TEST(DiagnosticsLogSetup, MissingKeyDisablesTheLogForTheObjectsLifeButNotTheBox) {
    InstallSandbox sandbox;
    sandbox.RemoveOrvantaKey();
    HKEY probe;
    ASSERT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvanta", 0, KEY_QUERY_VALUE, &probe), ERROR_SUCCESS);
    DialogResponder responder;
    ov::OVCILog log;
    EXPECT_EQ(log.LogEnabled, 0);
    EXPECT_STREQ(log.LogFilePath, "");

    // The key coming back later does not switch this object's log on.
    sandbox.InstallPathValue().Set(sandbox.Path());
    log.ReportError(E_INVALIDARG, "OVCustInst", 1, 1, "END");
    EXPECT_EQ(responder.Shown().size(), 1u);
    EXPECT_FALSE(PathExists(sandbox / "OVCILog.txt"));

    // A new object reads the registry again.
    ov::OVCILog fresh;
    EXPECT_EQ(fresh.LogEnabled, 1);
    fresh.ReportError(E_INVALIDARG, "OVCustInst", 2, 0, "END");
    EXPECT_EQ(ParseOrFail(sandbox.LogText()).records.size(), 1u);
}

TEST(DiagnosticsLogSetup, KeyWithoutTheValuePutsTheLogInTheDriveRoot) {
    InstallSandbox sandbox;
    sandbox.InstallPathValue().Remove();
    ov::OVCILog log;
    EXPECT_EQ(log.LogEnabled, 1);
    EXPECT_STREQ(log.LogFilePath, "\\OVCILog.txt");
}

TEST(DiagnosticsLogSetup, LogPathLongerThan260CharactersDisablesTheLog) {
    InstallSandbox sandbox;
    const std::string longest = "C:\\" + std::string(245, 'd');  // with "\OVCILog.txt": 260
    sandbox.InstallPathValue().Set(longest);
    {
        ov::OVCILog log;
        EXPECT_EQ(log.LogEnabled, 1);
        EXPECT_EQ(std::string(log.LogFilePath), longest + "\\OVCILog.txt");
        EXPECT_EQ(std::strlen(log.LogFilePath), 260u);
    }
    for (size_t extra : {1u, 11u}) {  // 261, and the longest install path that is read
        sandbox.InstallPathValue().Set(longest + std::string(extra, 'd'));
        ov::OVCILog log;
        EXPECT_EQ(log.LogEnabled, 0) << extra;
    }
}

TEST(DiagnosticsLogSetup, UnopenableLogFileDropsTheRecordSilentlyAfterTheBox) {
    InstallSandbox sandbox;
    const std::string missing = sandbox / "no-such-dir";
    sandbox.InstallPathValue().Set(missing);
    DialogResponder responder;
    ov::OVCILog log;
    ASSERT_EQ(log.LogEnabled, 1);
    log.ReportError(E_INVALIDARG, "OVCustInst", 1, 1, "bstrFileName: ", "x", "END");
    // Only the report's own box: nothing complains about the log.
    ASSERT_EQ(responder.Shown().size(), 1u);
    EXPECT_EQ(responder.Shown()[0].text, BoxText(SystemMessage(E_INVALIDARG)));
    EXPECT_FALSE(PathExists(missing));
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
    ov::OVCILog log;
    struct Row {
        int err;
        HRESULT expected;
    } rows[] = {
        {7, E_INVALIDARG},
        {22, E_INVALIDARG},
        {2, static_cast<HRESULT>(0x80070003u)},
        {8, static_cast<HRESULT>(0x8007000Bu)},
        {12, static_cast<HRESULT>(0x80070008u)},
        {0, E_FAIL},
        {1, E_FAIL},
        {13, E_FAIL},
        {32, E_FAIL},
        {-1, E_FAIL},
        {33, S_OK},
        {34, S_OK},
        {1000, S_OK},
    };
    for (const auto& row : rows) {
        errno = row.err;
        EXPECT_EQ(log.ErrnoToHResult(), row.expected) << "errno " << row.err;
    }

    // After a real failed start the runtime's own errno is read.
    errno = 0;
    intptr_t rc = _spawnl(_P_WAIT, "C:\\no-such-dir\\no-such-program.exe", "no-such-program.exe", nullptr);
    ASSERT_EQ(rc, -1);
    EXPECT_EQ(log.ErrnoToHResult(), static_cast<HRESULT>(0x80070003u));
    EXPECT_FALSE(PathExists(sandbox / "OVCILog.txt"));
}
