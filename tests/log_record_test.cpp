// The log record and the error box text as composed, and the bounded formatting under them.
// No platform calls: this file also builds natively under sanitizers (tests/native).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "diagnostics/log_record.h"
#include "framework/bounded_text.h"

TEST(LogRecordFormat, OnePairGivesSixSegmentsEachFlushedAtItsLineEnd) {
    EXPECT_EQ(ov::FormatLogRecord({2007, 3, 4, 9, 5, 3}, "C:\\src\\control\\OVCustInst", -57, 0x1F,
                                  "The parameter is incorrect.\r\n", {"bstrFileName: ", "Setup.ini"}),
              (std::vector<std::string>{"\n", "Time: (mm/dd/yy)   3/4/2007   9:5:3 \n", "File:    OVCustInst\n",
                                        "Line:    -57\n", "HRESULT: 1F\n",
                                        "Reason:  The parameter is incorrect.\r\nbstrFileName: Setup.ini\n"}));
}

TEST(LogRecordFormat, LinesAreCutAt2047CharactersButPiecesStayWhole) {
    const std::string longText(5000, 'r'), longSource(5000, 's'), longPiece(5000, 'p');
    EXPECT_EQ(ov::FormatLogRecord({2007, 3, 4, 9, 5, 3}, longSource.c_str(), 1, 0, longText.c_str(),
                                  {"label: ", longPiece.c_str(), longPiece.c_str(), "v"}),
              (std::vector<std::string>{"\n", "Time: (mm/dd/yy)   3/4/2007   9:5:3 \n",
                                        "File:    " + std::string(2047 - 9, 's') + "\n", "Line:    1\n", "HRESULT: 0\n",
                                        "Reason:  " + std::string(2047 - 9, 'r') + "label: " + longPiece + "\n",
                                        longPiece + "v\n"}));
}

TEST(LogRecordFormat, ControlCharactersInPiecesAreWrittenAsEscapesSoNoPieceStartsALine) {
    const struct {
        const char *piece, *written;
    } rows[] = {
        {"C:\\Orvan\\Pellar\\a b.txt", "C:\\Orvan\\Pellar\\a b.txt"},  // paths stay as they are
        {"x\r\nTime: (mm/dd/yy)", "x\\r\\nTime: (mm/dd/yy)"},
        {"tab\there\x1b[1m\x7f", "tab\\x09here\\x1B[1m\\x7F"},
        {"\x82\xa0\x83\x5c", "\x82\xa0\x83\x5c"},  // double-byte characters are no controls
    };
    for (const auto& row : rows) EXPECT_EQ(ov::EscapeControls(row.piece), row.written) << row.piece;
}

TEST(MessageBoxText, SurroundsTheReasonWithTheFixedSentencesAndIsCutAtTheBuffer) {
    const std::string header = "The following error was detected:\r\n\r\n\r\n";
    const std::string closing = "\r\n\r\nThe operation was not completed successfully";
    EXPECT_EQ(ov::FormatMessageBoxText(nullptr), header + closing);
    // A huge reason is cut at the buffer; one that just fits loses the closing sentence.
    const std::string huge(5000, 'x'), fits(2047 - header.size(), 'y');
    EXPECT_EQ(ov::FormatMessageBoxText(huge.c_str()), header + huge.substr(0, 2047 - header.size()));
    EXPECT_EQ(ov::FormatMessageBoxText(fits.c_str()), header + fits);
}

// (Fitting, cutting, copying and appending whole or not at all: the fuzz target, tests/native.)
TEST(BoundedText, NothingIsWrittenPastTheCapacityNorAppendedToAnUnterminatedBuffer) {
    char buf[8] = {'#', '#', '#', '#', '#', '#', '#', '#'};
    EXPECT_FALSE(ov::FormatBounded(buf, 0, "%s", "a"));
    EXPECT_FALSE(ov::FormatBounded(buf, 6, "%s%d", "abcde", 7));  // cut and terminated
    EXPECT_EQ(std::string(buf, sizeof buf), std::string("abcde\0##", 8));
    char six[6] = {'z', 'z', 'z', 'z', 'z', 'z'};
    EXPECT_FALSE(ov::AppendBounded(six, ""));
    EXPECT_EQ(std::string(six, sizeof six), "zzzzzz");
}
