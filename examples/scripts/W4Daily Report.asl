; W4Daily Report: collects the day's totals into a report.
CALL "Library\Text Tools.asl"
REPORT "Daily totals"
END
