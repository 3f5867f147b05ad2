// CSV recordings: a header row of titles, an optional units row, then numbers.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "SignalsInternal.h"
#include "signals/InputFile.h"
#include "signals/InputText.h"
#include "signals/Signals.h"

namespace fs = std::filesystem;
using namespace signals_detail;

namespace {

struct Cell {
    std::string text;
    bool quoted = false;
};

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && std::isspace((unsigned char)text.front()))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace((unsigned char)text.back()))
        text.remove_suffix(1);
    return text;
}

std::string SeparatorProblem(char separator)
{
    return std::string("the values are separated by ") + (separator == ';' ? "';'" : "tabs") +
           "; this reader takes ',' with '.' as the decimal point (save the file as comma-separated)";
}

class CsvFile {
public:
    CsvFile(const fs::path& path, std::string text) : path_(path), text_(std::move(text))
    {
        if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0)
            position_ = 3;
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
            if (end == std::string::npos)
                end = text_.size();
            std::string_view line(text_.data() + position_, end - position_);
            position_ = end + 1;
            ++line_;
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            std::string_view trimmed = Trim(line);
            if (trimmed.empty() || trimmed.front() == '#')
                continue;
            Split(line, cells);
            lineNumber = line_;
            return true;
        }
        return false;
    }

private:
    void Split(std::string_view line, std::vector<Cell>& cells) const
    {
        cells.clear();
        size_t i = 0;
        while (true) {
            Cell cell;
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
                ++i;
            if (i < line.size() && line[i] == '"') {
                cell.quoted = true;
                ++i;
                while (true) {
                    if (i >= line.size())
                        FailAt(line_, "a quoted value has no closing quote");
                    if (line[i] == '"') {
                        if (i + 1 < line.size() && line[i + 1] == '"') {
                            cell.text += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    cell.text += line[i++];
                }
                while (i < line.size() && line[i] != ',') {
                    if (line[i] == ';')
                        FailAt(line_, SeparatorProblem(';'));
                    if (!std::isspace((unsigned char)line[i]))
                        FailAt(line_, "text after a closing quote");
                    ++i;
                }
            } else {
                size_t comma = line.find(',', i);
                if (comma == std::string_view::npos)
                    comma = line.size();
                cell.text = std::string(Trim(line.substr(i, comma - i)));
                i = comma;
            }
            cells.push_back(std::move(cell));
            if (i >= line.size())
                break;
            ++i;  // the comma
        }
    }

    fs::path path_;
    std::string text_;
    size_t position_ = 0;
    size_t line_ = 0;
};

// A strict number: the whole cell, finite. std::from_chars takes no '+'.
bool ParseNumber(std::string_view text, double& value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

// "Pressure (mmHg)" or "Pressure [mmHg]" into a title and units.
void SplitTitle(const std::string& cell, std::string& title, std::string& units)
{
    std::string_view text = Trim(cell);
    if (text.size() >= 3 && (text.back() == ')' || text.back() == ']')) {
        char open = text.back() == ')' ? '(' : '[';
        size_t start = text.rfind(open);
        if (start != std::string_view::npos && start > 0) {
            title = std::string(Trim(text.substr(0, start)));
            units = std::string(Trim(text.substr(start + 1, text.size() - start - 2)));
            if (!title.empty())
                return;
        }
    }
    title = std::string(text);
    units.clear();
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = char(std::tolower((unsigned char)c));
    return text;
}

bool LooksLikeTime(const std::string& title)
{
    std::string t = Lower(title);
    return t == "t" || t == "time" || t == "seconds" || t == "sec" || t == "secs" || t == "time_s" ||
           t == "time_ms" || t == "times" || t.rfind("time ", 0) == 0 || t.rfind("time_", 0) == 0 ||
           t.rfind("time[", 0) == 0;
}

// Seconds per unit of a time column; 0 when the unit is not a time unit.
double SecondsPer(const std::string& title, const std::string& units)
{
    std::string u = Lower(units);
    if (u.empty()) {
        std::string t = Lower(title);
        if (t.size() > 3 && t.compare(t.size() - 3, 3, "_ms") == 0)
            return 1e-3;
        if (t.size() > 3 && t.compare(t.size() - 3, 3, "_us") == 0)
            return 1e-6;
        return 1.0;
    }
    if (u == "s" || u == "sec" || u == "secs" || u == "seconds")
        return 1.0;
    if (u == "ms" || u == "msec")
        return 1e-3;
    if (u == "us" || u == "\xC2\xB5s" || u == "\xCE\xBCs")
        return 1e-6;
    if (u == "min")
        return 60.0;
    if (u == "h")
        return 3600.0;
    return 0;
}

std::string Format(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

}  // namespace

SignalSet ReadCsv(const fs::path& path, const CsvOptions& options)
{
    InputFile file(path, kRecordingFile);
    if (!file)
        Fail(path, file.Problem());
    std::string text;
    if (!file.ReadAll(text))
        Fail(path, "cannot be read");
    return ReadCsvText(std::move(text), path.string(), options);
}

SignalSet ReadCsvText(std::string text, const std::string& name, const CsvOptions& options)
{
    const fs::path path(name);
    CsvFile csv(path, std::move(text));

    std::vector<Cell> cells;
    size_t line = 0;
    if (!csv.NextRow(cells, line))
        Fail(path, "empty: expected a header row of channel titles");
    std::vector<Cell> header = cells;
    size_t headerLine = line;
    size_t columns = header.size();
    // A spreadsheet's export with another separator is one column of titles.
    for (char separator : {';', '\t'})
        if (columns == 1 && !header[0].quoted && header[0].text.find(separator) != std::string::npos)
            csv.FailAt(headerLine, SeparatorProblem(separator));

    std::vector<std::string> titles(columns), units(columns);
    for (size_t c = 0; c < columns; ++c) {
        SplitTitle(header[c].text, titles[c], units[c]);
        if (titles[c].empty())
            csv.FailAt(headerLine, "column " + std::to_string(c + 1) + " has no title");
        double ignored;
        if (!header[c].quoted && ParseNumber(header[c].text, ignored))
            csv.FailAt(headerLine, "expected a header row of channel titles, found the number " +
                                       QuoteInput(header[c].text) + " in column " + std::to_string(c + 1));
    }

    bool hasTime = LooksLikeTime(titles[0]);
    if (hasTime && columns == 1)
        Fail(path, "no channels: only a time column");

    std::vector<double> time;                        // the time column, when there is one
    std::vector<std::vector<float>> values(columns);  // the channels; the time column's stays empty
    bool haveRow = csv.NextRow(cells, line);
    // A units row: the second row when none of its cells is a number.
    if (haveRow) {
        bool anyNumber = false;
        for (const Cell& cell : cells) {
            double ignored;
            anyNumber = anyNumber || ParseNumber(cell.text, ignored);
        }
        if (!anyNumber) {
            if (cells.size() != columns)
                csv.FailAt(line, "the units row has " + std::to_string(cells.size()) + " values, the header " +
                                     std::to_string(columns));
            for (size_t c = 0; c < columns; ++c)
                units[c] = cells[c].text;
            haveRow = csv.NextRow(cells, line);
        }
    }

    double secondsPerTimeUnit = hasTime ? SecondsPer(titles[0], units[0]) : 1.0;
    if (hasTime && secondsPerTimeUnit == 0 && !options.sampleInterval)
        csv.FailAt(headerLine, "the time column's unit " + QuoteInput(units[0]) + " is not s, ms, us, min or h");

    std::vector<size_t> timeLines;  // for messages about the time column
    double previousTime = 0;
    for (; haveRow; haveRow = csv.NextRow(cells, line)) {
        if (cells.size() != columns)
            csv.FailAt(line, std::to_string(cells.size()) + " values, expected " + std::to_string(columns) +
                                 " (one for each column of the header)");
        for (size_t c = 0; c < columns; ++c) {
            double value;
            if (!ParseNumber(cells[c].text, value)) {
                std::string what = cells[c].text.empty() ? std::string("an empty value")
                                                         : QuoteInput(cells[c].text) + " is not a number";
                csv.FailAt(line, "column " + std::to_string(c + 1) + " (" + ShowInput(titles[c]) + "): " + what);
            }
            if (c > 0 || !hasTime) {
                if (std::fabs(value) > 3.4e38)
                    csv.FailAt(line, "column " + std::to_string(c + 1) + " (" + ShowInput(titles[c]) + "): " +
                                         QuoteInput(cells[c].text) + " is too large for a 32-bit sample");
            } else if (!time.empty() && !(value > previousTime)) {
                csv.FailAt(line, "time " + QuoteInput(cells[0].text) + " does not increase");
            }
            if (c == 0 && hasTime) {
                previousTime = value;
                timeLines.push_back(line);
                time.push_back(value);
            } else {
                values[c].push_back(float(value));
            }
        }
    }
    size_t rows = hasTime ? time.size() : values[0].size();
    if (rows == 0)
        Fail(path, "no data rows after the header");

    SignalSet set;
    if (options.sampleInterval) {
        RequireSampleInterval(path, *options.sampleInterval, "the sample interval");
        set.sampleInterval = *options.sampleInterval;
    } else if (!hasTime) {
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
            if (std::fabs(time[r] - time[r - 1] - step) > std::fabs(time[worst] - time[worst - 1] - step))
                worst = r;
        double gap = time[worst] - time[worst - 1];
        if (std::fabs(gap - step) > 0.01 * step)
            csv.FailAt(timeLines[worst], "the time column is not evenly spaced: a step of " + Format(gap) +
                                             " where the mean step is " + Format(step));
        set.sampleInterval = step * secondsPerTimeUnit;
        RequireSampleInterval(path, set.sampleInterval, "the time column's sample interval");
    }

    for (size_t c = hasTime ? 1 : 0; c < columns; ++c) {
        SignalChannel channel;
        channel.info.title = titles[c];
        channel.info.units = units[c];
        channel.samples = std::move(values[c]);
        FitDisplayRange(channel);
        set.channels.push_back(std::move(channel));
    }
    if (set.channels.size() > size_t(SampleSource::kMaxChannels))
        Fail(path, std::to_string(set.channels.size()) + " channels; at most " +
                       std::to_string(SampleSource::kMaxChannels) + " can be recorded");
    return set;
}

void WriteCsv(const fs::path& path, const SignalSet& set)
{
    RequireWritable(path, set);
    auto quoted = [](const std::string& text) {
        std::string out = "\"";
        for (char c : text)
            out += c == '"' ? std::string("\"\"") : std::string(1, c);
        return out + "\"";
    };
    WriteAtomically(path, [&](const fs::path& temporary) {
        std::ofstream out(temporary, std::ios::binary);
        if (!out)
            Fail(path, "cannot be created");
        out << "Time";
        for (const SignalChannel& channel : set.channels)
            out << ',' << quoted(channel.info.title);
        out << "\ns";
        for (const SignalChannel& channel : set.channels)
            out << ',' << quoted(channel.info.units);
        out << '\n';
        std::string row;
        for (size_t i = 0; i < set.SampleCount(); ++i) {
            row = Format(double(i) * set.sampleInterval);
            for (const SignalChannel& channel : set.channels) {
                row += ',';
                row += Format(channel.samples[i]);
            }
            row += '\n';
            out << row;
        }
        out.close();
        if (!out)
            Fail(path, "cannot be written (disk full?)");
    });
}
