// CSV recordings: a header row of titles, an optional units row, then numbers.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>

#include "CsvRows.h"
#include "SignalsInternal.h"
#include "signals/InputFile.h"
#include "signals/InputText.h"
#include "signals/Signals.h"

namespace fs = std::filesystem;
using namespace signals_detail;

namespace {

using Cell = CsvCell;

class CsvFile {
public:
    CsvFile(const fs::path& path, std::string text) : path_(path), text_(std::move(text))
    {
        if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) position_ = 3;
    }

    [[noreturn]] void FailAt(size_t line, const std::string& what) const
    {
        Fail(path_.string() + ":" + std::to_string(line), what);
    }

    // The next row that is neither blank nor a '#' comment; false at the end.
    bool NextRow(std::vector<Cell>& cells, size_t& lineNumber)
    {
        while (position_ < text_.size()) {
            size_t end = text_.find('\n', position_);
            if (end == std::string::npos) end = text_.size();
            std::string_view line(text_.data() + position_, end - position_);
            position_ = end + 1;
            ++line_;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (IsCsvComment(line)) continue;
            Split(line, cells);
            lineNumber = line_;
            return true;
        }
        return false;
    }

private:
    void Split(std::string_view line, std::vector<Cell>& cells) const
    {
        if (std::string problem = SplitCsvRow(line, cells); !problem.empty()) FailAt(line_, problem);
    }

    fs::path path_;
    std::string text_;
    size_t position_ = 0;
    size_t line_ = 0;
};

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day)
{
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t yearOfEra = year - era * 400;
    int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// An ISO 8601 date-time as days and seconds of the day (UTC when it carries
// an offset): "2024-03-01T12:00:00.250", "2024-03-01 12:00:00Z", "...+02:00".
// Two parts, so that a step of a microsecond survives beside a date.
struct DateTime {
    int64_t days = 0;
    double seconds = 0;
};

std::optional<DateTime> ParseDateTime(std::string_view text)
{
    auto digits = [&](size_t at, size_t count, int& value) {
        if (at + count > text.size()) return false;
        value = 0;
        for (size_t i = at; i < at + count; ++i) {
            if (!std::isdigit((unsigned char)text[i])) return false;
            value = value * 10 + (text[i] - '0');
        }
        return true;
    };
    int year, month, day, hour, minute, second = 0;
    if (!digits(0, 4, year) || text.size() < 16 || text[4] != '-' || !digits(5, 2, month) || text[7] != '-' ||
        !digits(8, 2, day) || (text[10] != 'T' && text[10] != ' ') || !digits(11, 2, hour) || text[13] != ':' ||
        !digits(14, 2, minute))
        return std::nullopt;
    size_t at = 16;
    double fraction = 0;
    if (at < text.size() && text[at] == ':') {
        if (!digits(at + 1, 2, second)) return std::nullopt;
        at += 3;
        if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
            double scale = 0.1;
            size_t start = ++at;
            for (; at < text.size() && std::isdigit((unsigned char)text[at]); ++at, scale /= 10)
                fraction += (text[at] - '0') * scale;
            if (at == start) return std::nullopt;
        }
    }
    double offset = 0;
    if (at < text.size() && text[at] == 'Z') {
        ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        int offsetHours, offsetMinutes = 0;
        if (!digits(at + 1, 2, offsetHours)) return std::nullopt;
        size_t minutesAt = at + 3 + (at + 3 < text.size() && text[at + 3] == ':');
        if (minutesAt < text.size() && !digits(minutesAt, 2, offsetMinutes)) return std::nullopt;
        offset = (text[at] == '-' ? -1 : 1) * (offsetHours * 3600.0 + offsetMinutes * 60.0);
        at = minutesAt < text.size() ? minutesAt + 2 : at + 3;
    }
    if (at != text.size() || month < 1 || month > 12 || day < 1 || day > 31 || hour > 24 || minute > 59 || second > 60)
        return std::nullopt;
    return DateTime{DaysFromCivil(year, month, day), hour * 3600.0 + minute * 60.0 + second + fraction - offset};
}

// pandas and numpy write a missing value as an empty cell or as NaN.
bool IsMissing(std::string_view text)
{
    return text.empty() || text == "nan" || text == "NaN" || text == "NAN" || text == "NA" || text == "N/A";
}

}  // namespace

SignalSet ReadCsv(const fs::path& path, const CsvOptions& options)
{
    InputFile file(path, kRecordingFile);
    if (!file) Fail(path, file.Problem());
    std::string text;
    if (!file.ReadAll(text)) Fail(path, "cannot be read");
    return ReadCsvText(std::move(text), path.string(), options);
}

namespace {

// The first row, when every cell of it is a number, a date-time or missing:
// then it is data, and the channels get numbered titles.
bool IsDataRow(const std::vector<Cell>& cells)
{
    bool anyValue = false;
    for (const Cell& cell : cells) {
        double ignored;
        if (cell.quoted && !cell.text.empty()) return false;
        if (ParseCsvNumber(cell.text, ignored) || ParseDateTime(cell.text))
            anyValue = true;
        else if (!IsMissing(cell.text))
            return false;
    }
    return anyValue;
}

// The column options.timeColumn names (a title or a number), counted from 0.
size_t NamedColumn(const fs::path& path, const std::string& wanted, const std::vector<std::string>& titles)
{
    for (size_t c = 0; c < titles.size(); ++c)
        if (Lowercase(titles[c]) == Lowercase(wanted)) return c;
    size_t number = 0;
    auto [end, ec] = std::from_chars(wanted.data(), wanted.data() + wanted.size(), number);
    if (ec == std::errc() && end == wanted.data() + wanted.size() && number >= 1 && number <= titles.size())
        return number - 1;
    std::string known;
    for (size_t c = 0; c < titles.size(); ++c) known += (c ? ", " : "") + QuoteInput(titles[c]);
    Fail(path, "--time-column " + QuoteInput(wanted) + ": no such column (the columns are " + known + ")");
}

// Missing cells of one channel: each holds the value before it; those before
// the first value take the first value.
struct HeldCells {
    size_t count = 0;
    size_t firstLine = 0;
    size_t leading = 0;  // missing before the channel's first value
};

}  // namespace

SignalSet ReadCsvText(std::string text, const std::string& name, const CsvOptions& options)
{
    const fs::path path(name);
    CsvFile csv(path, std::move(text));
    SignalSet set;

    std::vector<Cell> cells;
    size_t line = 0;
    if (!csv.NextRow(cells, line)) Fail(path, "empty: expected a header row of channel titles");
    const size_t columns = cells.size();
    const size_t headerLine = line;
    // A spreadsheet's export with another separator is one column of titles.
    for (char separator : {';', '\t'})
        if (columns == 1 && !cells[0].quoted && cells[0].text.find(separator) != std::string::npos)
            csv.FailAt(headerLine, CsvSeparatorProblem(separator));

    std::vector<std::string> titles(columns), units(columns);
    const bool hasHeader = !IsDataRow(cells);
    bool haveRow = true;
    if (hasHeader) {
        for (size_t c = 0; c < columns; ++c) {
            SplitCsvTitle(cells[c].text, titles[c], units[c]);
            // pandas writes its row index as a first column without a title.
            if (titles[c].empty() && !(c == 0 && columns > 1))
                csv.FailAt(headerLine, "column " + std::to_string(c + 1) + " has no title");
            double ignored;
            if (!cells[c].quoted && ParseCsvNumber(cells[c].text, ignored))
                csv.FailAt(headerLine, "expected a header row of channel titles, found the number " +
                                           QuoteInput(cells[c].text) + " in column " + std::to_string(c + 1));
        }
        haveRow = csv.NextRow(cells, line);
        // A units row: the second row when none of its cells is a number or a date-time.
        bool anyValue = false;
        for (const Cell& cell : cells) {
            double ignored;
            anyValue = anyValue || ParseCsvNumber(cell.text, ignored) || ParseDateTime(cell.text);
        }
        if (haveRow && !anyValue) {
            if (cells.size() != columns)
                csv.FailAt(line, "the units row has " + std::to_string(cells.size()) + " values, the header " +
                                     std::to_string(columns));
            for (size_t c = 0; c < columns; ++c)
                if (!cells[c].text.empty()) units[c] = cells[c].text;
            haveRow = csv.NextRow(cells, line);
        }
    } else {
        for (size_t c = 0; c < columns; ++c) titles[c] = "Channel " + std::to_string(c + 1);
        set.notes.push_back(EscapeInput(path.string()) +
                            ": no header row; the columns are titled Channel 1 to Channel " + std::to_string(columns));
    }
    if (!haveRow) Fail(path, "no data rows after the header");

    // The first data row shows which columns hold date-times.
    std::vector<bool> dates(columns);
    if (cells.size() == columns)
        for (size_t c = 0; c < columns; ++c) dates[c] = ParseDateTime(cells[c].text).has_value();

    // The time column, and a row index that is neither time nor channel.
    const bool untitledFirst = hasHeader && titles[0].empty();
    std::optional<size_t> timeColumn;
    std::optional<size_t> indexColumn;
    if (options.timeColumn) {
        timeColumn = NamedColumn(path, *options.timeColumn, titles);
    } else if (!options.noTimeColumn) {
        size_t first = untitledFirst && !dates[0] ? 1 : 0;
        if (first < columns && (dates[first] || (hasHeader && LooksLikeTimeTitle(titles[first])))) timeColumn = first;
    }
    if (untitledFirst && timeColumn != size_t(0)) {
        indexColumn = 0;
        set.notes.push_back(EscapeInput(path.string()) +
                            ": column 1 has no title: it is taken as a row index (as pandas writes "
                            "one) and not as a channel");
    }
    if (timeColumn && columns - (indexColumn ? 1 : 0) == 1) Fail(path, "no channels: only a time column");
    if (timeColumn && titles[*timeColumn].empty()) titles[*timeColumn] = "Time";

    const bool timeIsDate = timeColumn && dates[*timeColumn];
    double secondsPerTimeUnit =
        timeColumn && !timeIsDate ? SecondsPerTimeUnit(titles[*timeColumn], units[*timeColumn]) : 1.0;
    if (timeColumn && secondsPerTimeUnit == 0 && !options.sampleInterval)
        csv.FailAt(headerLine,
                   "the time column's unit " + QuoteInput(units[*timeColumn]) + " is not s, ms, us, min or h");

    std::vector<double> time;                         // the time column, when there is one
    std::optional<int64_t> firstDay;                  // date-times count from the first one's day
    std::vector<std::vector<float>> values(columns);  // the channels; the time and index columns' stay empty
    std::vector<HeldCells> held(columns);
    std::vector<size_t> timeLines;  // for messages about the time column
    for (; haveRow; haveRow = csv.NextRow(cells, line)) {
        if (cells.size() != columns)
            csv.FailAt(line, std::to_string(cells.size()) + " values, expected " + std::to_string(columns) +
                                 " (one for each column of the header)");
        for (size_t c = 0; c < columns; ++c) {
            if (c == indexColumn) continue;
            const std::string& cell = cells[c].text;
            auto where = [&] { return "column " + std::to_string(c + 1) + " (" + ShowInput(titles[c]) + "): "; };
            if (c == timeColumn) {
                double value;
                if (timeIsDate) {
                    std::optional<DateTime> date = ParseDateTime(cell);
                    if (!date)
                        csv.FailAt(line, where() + QuoteInput(cell) + " is not a date-time like the first row's");
                    if (!firstDay) firstDay = date->days;
                    value = double(date->days - *firstDay) * 86400 + date->seconds;
                } else if (!ParseCsvNumber(cell, value)) {
                    csv.FailAt(line, where() + (cell.empty() ? std::string("an empty time")
                                                             : QuoteInput(cell) + " is not a number"));
                }
                if (!time.empty() && !(value > time.back()))
                    csv.FailAt(line, "time " + QuoteInput(cell) + " does not increase");
                timeLines.push_back(line);
                time.push_back(value);
                continue;
            }
            double value;
            if (IsMissing(cell)) {
                HeldCells& h = held[c];
                if (h.count++ == 0) h.firstLine = line;
                if (values[c].empty() || h.leading == values[c].size()) ++h.leading;
                values[c].push_back(values[c].empty() ? 0.0f : values[c].back());
                continue;
            }
            if (!ParseCsvNumber(cell, value)) csv.FailAt(line, where() + QuoteInput(cell) + " is not a number");
            if (std::fabs(value) > 3.4e38)
                csv.FailAt(line, where() + QuoteInput(cell) + " is too large for a 32-bit sample");
            if (held[c].leading == values[c].size()) std::fill(values[c].begin(), values[c].end(), float(value));
            values[c].push_back(float(value));
        }
    }
    size_t rows = timeLines.empty() ? 0 : time.size();
    for (size_t c = 0; c < columns && rows == 0; ++c) rows = values[c].size();

    if (options.sampleInterval) {
        RequireSampleInterval(path, *options.sampleInterval, "the sample interval");
        set.sampleInterval = *options.sampleInterval;
    } else if (!timeColumn) {
        Fail(path, "no time column (a first column titled \"Time (s)\"); give the sample interval with " +
                       options.intervalHint);
    } else if (rows < 2) {
        Fail(path, "one row can't give the sample interval; give it with " + options.intervalHint);
    } else {
        double step = (time.back() - time.front()) / double(rows - 1);
        // Times written with few digits jitter; anything beyond a percent is
        // a gap or a second recording, which we can't play at one interval.
        size_t worst = 1;
        for (size_t r = 2; r < rows; ++r)
            if (std::fabs(time[r] - time[r - 1] - step) > std::fabs(time[worst] - time[worst - 1] - step)) worst = r;
        double gap = time[worst] - time[worst - 1];
        if (std::fabs(gap - step) > 0.01 * step)
            csv.FailAt(timeLines[worst], "the time column is not evenly spaced: a step of " + FormatCsvNumber(gap) +
                                             " where the mean step is " + FormatCsvNumber(step));
        set.sampleInterval = step * secondsPerTimeUnit;
        RequireSampleInterval(path, set.sampleInterval, "the time column's sample interval");
    }

    size_t heldCount = 0;
    std::string heldWhere;
    for (size_t c = 0; c < columns; ++c) {
        if (c == timeColumn || c == indexColumn) continue;
        if (held[c].leading == values[c].size())
            Fail(path, "column " + std::to_string(c + 1) + " (" + ShowInput(titles[c]) + ") has no values");
        if (held[c].count > 0 && heldCount == 0)
            heldWhere = "line " + std::to_string(held[c].firstLine) + ", column " + std::to_string(c + 1);
        heldCount += held[c].count;
        SignalChannel channel;
        channel.info.title = titles[c];
        channel.info.units = units[c];
        channel.samples = std::move(values[c]);
        FitDisplayRange(channel);
        set.channels.push_back(std::move(channel));
    }
    if (heldCount > 0)
        set.notes.push_back(EscapeInput(path.string()) + ": " + std::to_string(heldCount) +
                            (heldCount == 1 ? " empty cell takes" : " empty cells take") +
                            " its channel's previous value (before a channel's first value, that value); the "
                            "first at " +
                            heldWhere);
    return set;
}

void WriteCsv(const fs::path& path, const SignalSet& set)
{
    RequireWritable(path, set);
    auto quoted = [](const std::string& text) {
        std::string out = "\"";
        for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
        return out + "\"";
    };
    WriteAtomically(path, [&](const fs::path& temporary) {
        std::ofstream out(temporary, std::ios::binary);
        if (!out) Fail(path, "cannot be created");
        out << "Time";
        for (const SignalChannel& channel : set.channels) out << ',' << quoted(channel.info.title);
        out << "\ns";
        for (const SignalChannel& channel : set.channels) out << ',' << quoted(channel.info.units);
        out << '\n';
        std::string row;
        for (size_t i = 0; i < set.SampleCount(); ++i) {
            row = FormatCsvNumber(double(i) * set.sampleInterval);
            for (const SignalChannel& channel : set.channels) {
                row += ',';
                row += FormatCsvNumber(channel.samples[i]);
            }
            row += '\n';
            out << row;
        }
        out.close();
        if (!out) Fail(path, "cannot be written (disk full?)");
    });
}
