// The rows of a CSV recording, wherever they come from: a file read whole or
// a live stream read line by line. One splitter and one set of rules for
// headers, units and values, so a row means the same in both.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace signals_detail {

struct CsvCell {
    std::string text;  // trimmed unless quoted; quotes removed, "" made "
    bool quoted = false;
};

// Splits one line (no line end) at its commas into cells, reusing the
// vector's strings. Returns why the line can't be split ("a quoted value has
// no closing quote", text after a closing quote, a ';' after one), or an
// empty string.
std::string SplitCsvRow(std::string_view line, std::vector<CsvCell>& cells);

// Blank lines and '#' comments carry no row.
bool IsCsvComment(std::string_view line);

// A strict number: the whole cell, finite. A leading '+' is taken.
bool ParseCsvNumber(std::string_view text, double& value);

// Whether any cell is a number (a header or units row has none).
bool AnyCsvNumber(const std::vector<CsvCell>& cells);

// Why a file whose header is one cell holding separator (';' or a tab) is refused.
std::string CsvSeparatorProblem(char separator);

// The separator, ';' or '\t', of a header that another separator made one
// cell; 0 when the header is no such cell.
char OtherCsvSeparator(const std::vector<CsvCell>& header);

// "Pressure (mmHg)" or "Pressure [mmHg]" into a title and units.
void SplitCsvTitle(const std::string& cell, std::string& title, std::string& units);

// Whether a column's title names a time: "t", "Time", "timestamp", "time_ms", ...
bool LooksLikeTimeTitle(const std::string& title);

// Seconds per unit of a time column from its units ("ms") or, without any,
// its title ("time_ms"); 0 when the unit is not a time unit.
double SecondsPerTimeUnit(const std::string& title, const std::string& units);

// A header row: titles and units from "Pressure (mmHg)" or "Pressure [mmHg]",
// and whether the first column is a time column. Problem() tells why the row
// can't be a header (a column without a title, a number).
struct CsvHeader {
    std::vector<std::string> titles, units;
    bool hasTime = false;

    static CsvHeader From(const std::vector<CsvCell>& cells);
    std::string Problem(const std::vector<CsvCell>& cells) const;
    size_t Columns() const { return titles.size(); }
    // Seconds per unit of the time column; 0 when its unit is not a time unit.
    double SecondsPerTimeUnit() const;
};

// "column 3 (Pressure): ..." when the cell is not a value of that column:
// not a number, empty, or (for a channel) too large for a 32-bit sample.
// Otherwise an empty string, and value holds it.
std::string CsvValueProblem(const CsvCell& cell, size_t column, const std::string& title, bool isTime, double& value);

// %.9g: what the writer writes and the messages show.
std::string FormatCsvNumber(double value);

}  // namespace signals_detail
