// CSV recordings: a header row of titles, an optional units row, then numbers.
#include <cmath>
#include <fstream>

#include "CsvRows.h"
#include "SignalsInternal.h"
#include "signals/InputFile.h"
#include "signals/InputText.h"
#include "signals/Signals.h"

namespace fs = std::filesystem;
using namespace signals_detail;

namespace {

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
    bool NextRow(std::vector<CsvCell>& cells, size_t& lineNumber)
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
            if (IsCsvComment(line))
                continue;
            if (std::string problem = SplitCsvRow(line, cells); !problem.empty())
                FailAt(line_, problem);
            lineNumber = line_;
            return true;
        }
        return false;
    }

private:
    fs::path path_;
    std::string text_;
    size_t position_ = 0;
    size_t line_ = 0;
};

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

    std::vector<CsvCell> cells;
    size_t line = 0;
    if (!csv.NextRow(cells, line))
        Fail(path, "empty: expected a header row of channel titles");
    size_t headerLine = line;
    size_t columns = cells.size();
    if (char separator = OtherCsvSeparator(cells))
        csv.FailAt(headerLine, CsvSeparatorProblem(separator));
    CsvHeader header = CsvHeader::From(cells);
    if (std::string problem = header.Problem(cells); !problem.empty())
        csv.FailAt(headerLine, problem);
    const std::vector<std::string>& titles = header.titles;
    std::vector<std::string>& units = header.units;

    bool hasTime = header.hasTime;
    if (hasTime && columns == 1)
        Fail(path, "no channels: only a time column");

    std::vector<double> time;                        // the time column, when there is one
    std::vector<std::vector<float>> values(columns);  // the channels; the time column's stays empty
    bool haveRow = csv.NextRow(cells, line);
    // A units row: the second row when none of its cells is a number.
    if (haveRow && !AnyCsvNumber(cells)) {
        if (cells.size() != columns)
            csv.FailAt(line, "the units row has " + std::to_string(cells.size()) + " values, the header " +
                                 std::to_string(columns));
        for (size_t c = 0; c < columns; ++c)
            units[c] = cells[c].text;
        haveRow = csv.NextRow(cells, line);
    }

    double secondsPerTimeUnit = header.SecondsPerTimeUnit();
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
            const bool isTime = c == 0 && hasTime;
            if (std::string problem = CsvValueProblem(cells[c], c, titles[c], isTime, value); !problem.empty())
                csv.FailAt(line, problem);
            if (isTime && !time.empty() && !(value > previousTime))
                csv.FailAt(line, "time " + QuoteInput(cells[0].text) + " does not increase");
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
            csv.FailAt(timeLines[worst], "the time column is not evenly spaced: a step of " + FormatCsvNumber(gap) +
                                             " where the mean step is " + FormatCsvNumber(step));
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
            row = FormatCsvNumber(double(i) * set.sampleInterval);
            for (const SignalChannel& channel : set.channels) {
                row += ',';
                row += FormatCsvNumber(channel.samples[i]);
            }
            row += '\n';
            out << row;
        }
        out.close();
        if (!out)
            Fail(path, "cannot be written (disk full?)");
    });
}
