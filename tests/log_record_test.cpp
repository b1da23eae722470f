// The log record and the error box text as composed, and the bounded formatting under them.
// No platform calls: this file also builds natively under sanitizers (tests/native).
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "diagnostics/log_record.h"
#include "framework/bounded_text.h"

namespace {

const ov::LogTime kMarch4 = {2007, 3, 4, 9, 5, 3};
constexpr ov::HResult kInvalidArg = static_cast<ov::HResult>(0x80070057u);

}  // namespace

TEST(LogRecordFormat, OnePairGivesSixSegmentsEachFlushedAtItsLineEnd) {
    EXPECT_EQ(ov::FormatLogRecord(kMarch4, "C:\\src\\control\\OVCustInst", 57, kInvalidArg,
                                  "The parameter is incorrect.\r\n", {"bstrFileName: ", "Setup.ini"}),
              (std::vector<std::string>{"\n", "Time: (mm/dd/yy)   3/4/2007   9:5:3 \n", "File:    OVCustInst\n",
                                        "Line:    57\n", "HRESULT: 80070057\n",
                                        "Reason:  The parameter is incorrect.\r\nbstrFileName: Setup.ini\n"}));
}

TEST(LogRecordFormat, FixedLinesHaveNoLeadingZerosUpperCaseHexAndTheSourcesLastComponent) {
    const struct {
        ov::LogTime time;
        const char* source;
        int line;
        ov::HResult code;
        std::vector<std::string> lines;  // time, file, line and code
    } rows[] = {
        {{2010, 12, 31, 23, 59, 58}, "OVCIConfirm", 0, 0,
         {"12/31/2010   23:59:58 \n", "OVCIConfirm\n", "0\n", "0\n"}},
        {{2000, 1, 1, 0, 0, 0}, "src\\", -12, 0x1F, {"1/1/2000   0:0:0 \n", "\n", "-12\n", "1F\n"}},
        {kMarch4, "src/x.cpp", INT_MAX, static_cast<ov::HResult>(0x8004abcdu),
         {"3/4/2007   9:5:3 \n", "src/x.cpp\n", "2147483647\n", "8004ABCD\n"}},
        {kMarch4, nullptr, INT_MIN, -1, {"3/4/2007   9:5:3 \n", "\n", "-2147483648\n", "FFFFFFFF\n"}},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        const auto& row = rows[i];
        auto r = ov::FormatLogRecord(row.time, row.source, row.line, row.code, "", {});
        ASSERT_EQ(r.size(), 6u) << "row " << i;
        EXPECT_EQ((std::vector<std::string>{r[1], r[2], r[3], r[4]}),
                  (std::vector<std::string>{"Time: (mm/dd/yy)   " + row.lines[0], "File:    " + row.lines[1],
                                            "Line:    " + row.lines[2], "HRESULT: " + row.lines[3]}))
            << "row " << i;
    }
}

TEST(LogRecordFormat, PiecesFollowTheReasonInPairsAsTheyStand) {
    const struct {
        const char* reason;
        std::vector<const char*> pieces;
        std::string tail;
    } rows[] = {
        {"No.\r\n", {}, "Reason:  No.\r\n"},
        {"No.\r\n", {"a: ", "1", "b: ", "2"}, "Reason:  No.\r\na: 1\nb: 2\n"},
        {"", {"szINFPath: ", "C:\\a.inf"}, "Reason:  szINFPath: C:\\a.inf\n"},  // no reason: the label follows
        {nullptr, {}, "Reason:  "},
        {"", {"a:\n", "%s%n"}, "Reason:  a:\n%s%n\n"},  // line breaks and format characters
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        std::string all;
        for (const auto& s : ov::FormatLogRecord(kMarch4, "x", 1, 0, rows[i].reason, rows[i].pieces)) all += s;
        EXPECT_EQ(all.substr(all.find("Reason:")), rows[i].tail) << "row " << i;
    }
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
    const std::string header = "The following error was detected:\r\n\r\n\r\n";
    const std::string closing = "\r\n\r\nThe operation was not completed successfully";
    EXPECT_EQ(ov::FormatMessageBoxText("%s %d\n"), header + "%s %d\n" + closing);
    EXPECT_EQ(ov::FormatMessageBoxText(nullptr), header + closing);
    // A huge reason is cut at the buffer; one that just fits loses the closing sentence.
    const std::string huge(5000, 'x'), fits(2047 - header.size(), 'y');
    EXPECT_EQ(ov::FormatMessageBoxText(huge.c_str()), header + huge.substr(0, 2047 - header.size()));
    EXPECT_EQ(ov::FormatMessageBoxText(fits.c_str()), header + fits);
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
    EXPECT_TRUE(ov::CopyBounded(six, "ab") && ov::AppendBounded(six, "cde"));
    EXPECT_FALSE(ov::AppendBounded(six, "f"));
    EXPECT_STREQ(six, "abcde");
    // A buffer that holds no terminator is not appended to.
    std::memset(six, 'z', sizeof six);
    EXPECT_FALSE(ov::AppendBounded(six, ""));
    EXPECT_EQ(std::string(six, sizeof six), "zzzzzz");
}
