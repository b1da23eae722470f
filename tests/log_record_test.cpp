// The log record and the error box text as composed, and the bounded formatting and code
// mappings under them. No platform calls: this file also builds natively (tests/native).
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "diagnostics/error_codes.h"
#include "diagnostics/log_record.h"
#include "framework/bounded_text.h"

namespace {

const ov::LogTime kMarch4 = {2007, 3, 4, 9, 5, 3};
constexpr ov::HResult kInvalidArg = static_cast<ov::HResult>(0x80070057u);
constexpr char kReason[] = "The parameter is incorrect.\r\n";
const std::string kHeader = "The following error was detected:\r\n\r\n\r\n";

// The record from its reason line on.
std::string Tail(const char* reason, const std::vector<const char*>& pieces) {
    std::string all;
    for (const auto& s : ov::FormatLogRecord(kMarch4, "x", 1, kInvalidArg, reason, pieces)) all += s;
    return all.substr(all.find("Reason:"));
}

}  // namespace

TEST(LogRecordFormat, ArgumentErrorWithOnePairHasSevenLinesAndIsFlushedPerLineEnd) {
    auto r = ov::FormatLogRecord(kMarch4, "C:\\src\\control\\OVCustInst", 57, kInvalidArg, kReason,
                                 {"bstrFileName: ", "Setup.ini"});
    // One segment per line end, each flushed: the empty line stands alone, nothing is left over.
    EXPECT_EQ(r, (std::vector<std::string>{"\n",
                                           "Time: (mm/dd/yy)   3/4/2007   9:5:3 \n",
                                           "File:    OVCustInst\n",
                                           "Line:    57\n",
                                           "HRESULT: 80070057\n",
                                           "Reason:  The parameter is incorrect.\r\nbstrFileName: Setup.ini\n"}));
}

TEST(LogRecordFormat, FixedLinesHaveNoLeadingZerosAndUpperCaseHex) {
    struct Row {
        ov::LogTime time;
        int line;
        ov::HResult code;
        const char *timeLine, *codeLine;
    } rows[] = {
        {{2010, 12, 31, 23, 59, 58}, 0, 0, "12/31/2010   23:59:58 \n", "HRESULT: 0\n"},
        {{2000, 1, 1, 0, 0, 0}, -12, 0x1F, "1/1/2000   0:0:0 \n", "HRESULT: 1F\n"},
        {kMarch4, INT_MAX, static_cast<ov::HResult>(0x8004abcdu), "3/4/2007   9:5:3 \n", "HRESULT: 8004ABCD\n"},
        {kMarch4, INT_MIN, static_cast<ov::HResult>(0xFFFFFFFFu), "3/4/2007   9:5:3 \n", "HRESULT: FFFFFFFF\n"},
    };
    for (const auto& row : rows) {
        auto r = ov::FormatLogRecord(row.time, "x", row.line, row.code, "", {});
        ASSERT_EQ(r.size(), 6u);
        EXPECT_EQ(r[1], std::string("Time: (mm/dd/yy)   ") + row.timeLine);
        EXPECT_EQ(r[3], "Line:    " + std::to_string(row.line) + "\n");
        EXPECT_EQ(r[4], row.codeLine);
    }
}

TEST(LogRecordFormat, SourceIsLoggedByWhatFollowsItsLastBackslash) {
    const char* const rows[][2] = {{"OVCIConfirm", "OVCIConfirm"}, {"\\OVCILog", "OVCILog"}, {"src\\", ""},
                                   {"src/control/x.cpp", "src/control/x.cpp"}, {"", ""}};
    for (const auto& row : rows) EXPECT_STREQ(ov::SourceBaseName(row[0]), row[1]) << row[0];
    EXPECT_STREQ(ov::SourceBaseName(nullptr), "");
}

TEST(LogRecordFormat, PiecesPairUpOnLinesAndAnOddLastPieceHasNoLineEnd) {
    const std::string head = "Reason:  The parameter is incorrect.\r\n";
    EXPECT_EQ(Tail(kReason, {}), head);
    EXPECT_EQ(Tail(kReason, {"a: ", "1", "b: ", "2"}), head + "a: 1\nb: 2\n");
    EXPECT_EQ(Tail(kReason, {"a: ", "1", "b: "}), head + "a: 1\nb: ");
    EXPECT_EQ(ov::FormatLogRecord(kMarch4, "x", 1, 0, kReason, {"a: ", "1", "b: "}).back(), "b: ");
    // Without a reason the first label follows the reason label directly.
    EXPECT_EQ(Tail("", {"szINFPath: ", "C:\\a.inf"}), "Reason:  szINFPath: C:\\a.inf\n");
    EXPECT_EQ(Tail(nullptr, {}), "Reason:  ");
    // Pieces are written as they stand, line breaks and format characters included.
    EXPECT_EQ(Tail("", {"a:\n", "%s%n"}), "Reason:  a:\n%s%n\n");
}

TEST(LogRecordFormat, LinesAreCutAt2047CharactersButPiecesStayWhole) {
    const std::string longText(5000, 'r'), longSource(5000, 's'), longPiece(5000, 'p');
    auto r = ov::FormatLogRecord(kMarch4, longSource.c_str(), 1, 0, longText.c_str(),
                                 {"label: ", longPiece.c_str(), longPiece.c_str(), "v"});
    ASSERT_EQ(r.size(), 7u);
    EXPECT_EQ(r[2], "File:    " + std::string(2047 - 9, 's') + "\n");
    EXPECT_EQ(r[5], "Reason:  " + std::string(2047 - 9, 'r') + "label: " + longPiece + "\n");
    EXPECT_EQ(r[6], longPiece + "v\n");
}

TEST(MessageBoxText, SurroundsTheReasonWithTheFixedSentencesAndIsCutAtTheBuffer) {
    const std::string closing = "\r\n\r\nThe operation was not completed successfully";
    EXPECT_EQ(ov::FormatMessageBoxText("No data.\n"), kHeader + "No data.\n" + closing);
    EXPECT_EQ(ov::FormatMessageBoxText(""), kHeader + closing);
    EXPECT_EQ(ov::FormatMessageBoxText(nullptr), kHeader + closing);
    EXPECT_EQ(ov::FormatMessageBoxText("%s %d"), kHeader + "%s %d" + closing);
    // A huge reason is cut at the buffer; one that just fits loses the closing sentence.
    const std::string huge(5000, 'x');
    EXPECT_EQ(ov::FormatMessageBoxText(huge.c_str()), kHeader + huge.substr(0, 2047 - kHeader.size()));
    const std::string fits(2047 - kHeader.size(), 'y');
    EXPECT_EQ(ov::FormatMessageBoxText(fits.c_str()), kHeader + fits);
}

TEST(ErrorCodes, OwnCodesHaveFixedReasonsAndWin32CodesGoIntoFacility7) {
    EXPECT_STREQ(ov::OwnReasonText(ov::OV_E_NODATA), "Could not find ORVAN data.\n");
    EXPECT_STREQ(ov::OwnReasonText(ov::OV_E_SEECOPY), "Copy of SSE did not succeed.\n");
    for (ov::HResult other : {kInvalidArg, 0, static_cast<ov::HResult>(0x80040202u)})
        EXPECT_EQ(ov::OwnReasonText(other), nullptr) << other;
    const ov::HResult rows[][2] = {{2, static_cast<ov::HResult>(0x80070002u)},
                                   {234, static_cast<ov::HResult>(0x800700EAu)},
                                   {0x12345, static_cast<ov::HResult>(0x80072345u)},
                                   {0, 0}, {-5, -5}, {kInvalidArg, kInvalidArg}};
    for (const auto& row : rows) EXPECT_EQ(ov::Win32ToHResult(row[0]), row[1]) << row[0];
}

TEST(BoundedText, FormatCopyAndAppendNeverPassTheCapacity) {
    char buf[8];
    std::memset(buf, '#', sizeof buf);
    EXPECT_TRUE(ov::FormatBounded(buf, 6, "%s", "abcde"));
    EXPECT_FALSE(ov::FormatBounded(buf, 6, "%s%d", "abcde", 7));  // cut, terminated, not past
    EXPECT_EQ(std::string(buf, sizeof buf), std::string("abcde\0##", 8));
    EXPECT_FALSE(ov::FormatBounded(buf, 1, "%s", "a"));
    EXPECT_STREQ(buf, "");
    std::memset(buf, '#', sizeof buf);
    EXPECT_FALSE(ov::FormatBounded(buf, 0, "%s", "a"));
    EXPECT_EQ(buf[0], '#');

    // Copy and append take the text whole or not at all.
    char six[6];
    EXPECT_TRUE(ov::CopyBounded(six, "abcde"));
    EXPECT_FALSE(ov::CopyBounded(six, "abcdef"));
    EXPECT_STREQ(six, "");
    EXPECT_TRUE(ov::CopyBounded(six, "ab"));
    EXPECT_TRUE(ov::AppendBounded(six, "cde"));
    EXPECT_FALSE(ov::AppendBounded(six, "f"));
    EXPECT_STREQ(six, "abcde");
    EXPECT_TRUE(ov::AppendBounded(six, ""));
    // A buffer that holds no terminator is not appended to.
    std::memset(six, 'z', sizeof six);
    EXPECT_FALSE(ov::AppendBounded(six, ""));
    EXPECT_EQ(std::string(six, sizeof six), "zzzzzz");
}
