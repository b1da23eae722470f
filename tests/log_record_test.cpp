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

std::string Join(const std::vector<std::string>& segments) {
    std::string all;
    for (const auto& s : segments) all += s;
    return all;
}

std::string Record(const char* reason, const std::vector<const char*>& pieces) {
    return Join(ov::FormatLogRecord(kMarch4, "OVCustInst", 1, kInvalidArg, reason, pieces));
}

}  // namespace

TEST(LogRecordFormat, TimeLineHasNoLeadingZerosAndTheFullYear) {
    auto r = ov::FormatLogRecord(kMarch4, "OVCustInst", 1, 0, "", {});
    ASSERT_GE(r.size(), 2u);
    EXPECT_EQ(r[1], "Time: (mm/dd/yy)   3/4/2007   9:5:3 \n");

    r = ov::FormatLogRecord({2010, 12, 31, 23, 59, 58}, "OVCustInst", 1, 0, "", {});
    EXPECT_EQ(r[1], "Time: (mm/dd/yy)   12/31/2010   23:59:58 \n");
    r = ov::FormatLogRecord({2000, 1, 1, 0, 0, 0}, "OVCustInst", 1, 0, "", {});
    EXPECT_EQ(r[1], "Time: (mm/dd/yy)   1/1/2000   0:0:0 \n");
}

TEST(LogRecordFormat, ArgumentErrorWithOnePairHasSevenLinesAndIsFlushedPerLineEnd) {
    auto r = ov::FormatLogRecord(kMarch4, "OVCustInst", 57, kInvalidArg, kReason, {"bstrFileName: ", "Setup.ini"});
    EXPECT_EQ(Join(r),
              "\n"
              "Time: (mm/dd/yy)   3/4/2007   9:5:3 \n"
              "File:    OVCustInst\n"
              "Line:    57\n"
              "HRESULT: 80070057\n"
              "Reason:  The parameter is incorrect.\r\n"
              "bstrFileName: Setup.ini\n");
    // The log flushes after each segment: the empty line stands alone, and nothing is left
    // unflushed behind the last line end.
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r.front(), "\n");
    for (const auto& s : r) EXPECT_EQ(s.back(), '\n') << s;
}

TEST(LogRecordFormat, SourceIsLoggedByWhatFollowsItsLastBackslash) {
    EXPECT_STREQ(ov::SourceBaseName("C:\\build\\src\\control\\OVCustInst.cpp"), "OVCustInst.cpp");
    EXPECT_STREQ(ov::SourceBaseName("OVCIConfirm"), "OVCIConfirm");
    EXPECT_STREQ(ov::SourceBaseName("\\OVCILog"), "OVCILog");
    EXPECT_STREQ(ov::SourceBaseName("src\\"), "");
    EXPECT_STREQ(ov::SourceBaseName("src/control/OVCustInst.cpp"), "src/control/OVCustInst.cpp");
    EXPECT_STREQ(ov::SourceBaseName(""), "");
    EXPECT_STREQ(ov::SourceBaseName(nullptr), "");

    auto r = ov::FormatLogRecord(kMarch4, "a\\b\\OVCILog", 1, 0, "", {});
    ASSERT_GE(r.size(), 3u);
    EXPECT_EQ(r[2], "File:    OVCILog\n");
}

TEST(LogRecordFormat, CodeIsUpperCaseHexWithoutPrefixOrLeadingZerosAndLineIsSignedDecimal) {
    struct Row {
        ov::HResult code;
        const char* line;
    } rows[] = {
        {kInvalidArg, "HRESULT: 80070057\n"},
        {static_cast<ov::HResult>(0x8004abcdu), "HRESULT: 8004ABCD\n"},
        {0, "HRESULT: 0\n"},
        {0x1F, "HRESULT: 1F\n"},
        {static_cast<ov::HResult>(0xFFFFFFFFu), "HRESULT: FFFFFFFF\n"},
    };
    for (const auto& row : rows) {
        auto r = ov::FormatLogRecord(kMarch4, "x", 1, row.code, "", {});
        ASSERT_GE(r.size(), 5u);
        EXPECT_EQ(r[4], row.line);
    }
    for (int line : {0, -12, INT_MAX, INT_MIN}) {
        auto r = ov::FormatLogRecord(kMarch4, "x", line, 0, "", {});
        EXPECT_EQ(r[3], "Line:    " + std::to_string(line) + "\n");
    }
}

TEST(LogRecordFormat, PiecesPairUpOnLinesAndAnOddLastPieceHasNoLineEnd) {
    const std::string head = "Reason:  The parameter is incorrect.\r\n";
    EXPECT_EQ(Record(kReason, {}).substr(Record(kReason, {}).find("Reason:")), head);
    std::string four = Record(kReason, {"a: ", "1", "b: ", "2"});
    EXPECT_EQ(four.substr(four.find("Reason:")), head + "a: 1\nb: 2\n");

    auto odd = ov::FormatLogRecord(kMarch4, "x", 1, kInvalidArg, kReason, {"a: ", "1", "b: "});
    std::string all = Join(odd);
    EXPECT_EQ(all.substr(all.find("Reason:")), head + "a: 1\nb: ");
    EXPECT_EQ(odd.back(), "b: ");

    // Without a reason the first label follows the reason label directly.
    std::string empty = Record("", {"szINFPath: ", "C:\\a.inf"});
    EXPECT_EQ(empty.substr(empty.find("Reason:")), "Reason:  szINFPath: C:\\a.inf\n");
    EXPECT_EQ(Record(nullptr, {}), Record("", {}));
    // Pieces are written as they stand, line breaks and all.
    std::string raw = Record("", {"a:\n", "%s%n"});
    EXPECT_EQ(raw.substr(raw.find("Reason:")), "Reason:  a:\n%s%n\n");
}

TEST(LogRecordFormat, LinesAreCutAt2047CharactersButPiecesStayWhole) {
    const std::string longText(5000, 'r');
    const std::string longSource(5000, 's');
    const std::string longPiece(5000, 'p');
    auto r = ov::FormatLogRecord(kMarch4, longSource.c_str(), 1, 0, longText.c_str(),
                                 {"label: ", longPiece.c_str(), longPiece.c_str(), "v"});
    ASSERT_EQ(r.size(), 7u);
    EXPECT_EQ(r[2], "File:    " + std::string(2047 - 9, 's') + "\n");
    EXPECT_EQ(r[5], "Reason:  " + std::string(2047 - 9, 'r') + "label: " + longPiece + "\n");
    EXPECT_EQ(r[6], longPiece + "v\n");
}

TEST(MessageBoxText, SurroundsTheReasonWithTheFixedSentences) {
    EXPECT_EQ(ov::FormatMessageBoxText("Could not find ORVAN data.\n"),
              "The following error was detected:\r\n\r\n\r\nCould not find ORVAN data.\n"
              "\r\n\r\nThe operation was not completed successfully");
    EXPECT_EQ(ov::FormatMessageBoxText(""),
              "The following error was detected:\r\n\r\n\r\n\r\n\r\nThe operation was not completed successfully");
    EXPECT_EQ(ov::FormatMessageBoxText(nullptr), ov::FormatMessageBoxText(""));
    // A reason is shown as it stands, format characters included.
    EXPECT_NE(ov::FormatMessageBoxText("%s %d").find("\r\n\r\n\r\n%s %d\r\n\r\n"), std::string::npos);
}

TEST(MessageBoxText, HugeReasonIsCutAtTheBufferNotPastIt) {
    const std::string header = "The following error was detected:\r\n\r\n\r\n";
    std::string text = ov::FormatMessageBoxText(std::string(5000, 'x').c_str());
    EXPECT_EQ(text, header + std::string(2047 - header.size(), 'x'));

    // A reason that just fits the first buffer loses the closing sentence to the second.
    std::string fits(2047 - header.size(), 'y');
    text = ov::FormatMessageBoxText(fits.c_str());
    EXPECT_EQ(text, header + fits);
}

TEST(ErrorCodes, OwnCodesHaveFixedReasonsAndOthersNone) {
    EXPECT_STREQ(ov::OwnReasonText(static_cast<ov::HResult>(0x80040201u)), "Could not find ORVAN data.\n");
    EXPECT_STREQ(ov::OwnReasonText(static_cast<ov::HResult>(0x80040200u)), "Copy of SSE did not succeed.\n");
    EXPECT_EQ(ov::OwnReasonText(kInvalidArg), nullptr);
    EXPECT_EQ(ov::OwnReasonText(0), nullptr);
    EXPECT_EQ(ov::OwnReasonText(static_cast<ov::HResult>(0x80040202u)), nullptr);
}

TEST(ErrorCodes, Win32CodesGoIntoFacility7AndOthersStandAsTheyAre) {
    EXPECT_EQ(ov::Win32ToHResult(2), static_cast<ov::HResult>(0x80070002u));
    EXPECT_EQ(ov::Win32ToHResult(234), static_cast<ov::HResult>(0x800700EAu));
    EXPECT_EQ(ov::Win32ToHResult(0x12345), static_cast<ov::HResult>(0x80072345u));
    EXPECT_EQ(ov::Win32ToHResult(0), 0);
    EXPECT_EQ(ov::Win32ToHResult(-5), -5);
    EXPECT_EQ(ov::Win32ToHResult(static_cast<ov::HResult>(0x80070005u)), static_cast<ov::HResult>(0x80070005u));
}

TEST(ErrorCodes, ErrnoAfterAFailedStartFollowsTheTable) {
    struct Row {
        int err;
        ov::HResult expected;
    } rows[] = {
        {7, kInvalidArg},
        {22, kInvalidArg},
        {2, static_cast<ov::HResult>(0x80070003u)},
        {8, static_cast<ov::HResult>(0x8007000Bu)},
        {12, static_cast<ov::HResult>(0x80070008u)},
        {0, ov::kE_FAIL},
        {1, ov::kE_FAIL},
        {3, ov::kE_FAIL},
        {13, ov::kE_FAIL},
        {32, ov::kE_FAIL},
        {-1, ov::kE_FAIL},
        {INT_MIN, ov::kE_FAIL},
        {33, ov::kS_OK},
        {34, ov::kS_OK},
        {INT_MAX, ov::kS_OK},
    };
    for (const auto& row : rows) EXPECT_EQ(ov::MapErrno(row.err), row.expected) << "errno " << row.err;
}

TEST(BoundedText, FormatCutsAtTheCapacityAndAlwaysTerminates) {
    char buf[8];
    std::memset(buf, '#', sizeof buf);
    EXPECT_TRUE(ov::FormatBounded(buf, 6, "%s", "abcde"));
    EXPECT_STREQ(buf, "abcde");
    EXPECT_FALSE(ov::FormatBounded(buf, 6, "%s%d", "abcde", 7));
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(buf[6], '#');
    EXPECT_FALSE(ov::FormatBounded(buf, 1, "%s", "a"));
    EXPECT_STREQ(buf, "");
    std::memset(buf, '#', sizeof buf);
    EXPECT_FALSE(ov::FormatBounded(buf, 0, "%s", "a"));
    EXPECT_EQ(buf[0], '#');
}

TEST(BoundedText, CopyAndAppendTakeTheTextWholeOrNotAtAll) {
    char buf[6];
    EXPECT_TRUE(ov::CopyBounded(buf, "abcde"));
    EXPECT_STREQ(buf, "abcde");
    EXPECT_FALSE(ov::CopyBounded(buf, "abcdef"));
    EXPECT_STREQ(buf, "");

    EXPECT_TRUE(ov::CopyBounded(buf, "ab"));
    EXPECT_TRUE(ov::AppendBounded(buf, "cde"));
    EXPECT_STREQ(buf, "abcde");
    EXPECT_FALSE(ov::AppendBounded(buf, "f"));
    EXPECT_STREQ(buf, "abcde");
    EXPECT_TRUE(ov::AppendBounded(buf, ""));

    // A buffer that holds no terminator is not appended to.
    std::memset(buf, 'z', sizeof buf);
    EXPECT_FALSE(ov::AppendBounded(buf, ""));
    EXPECT_EQ(std::string(buf, sizeof buf), "zzzzzz");
}
