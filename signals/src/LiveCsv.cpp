// A live CSV stream: lines, the header, the first rows that give the interval
// and the display ranges, then samples; lines that don't fit are counted.
#include "signals/LiveCsv.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include "CsvRows.h"
#include "signals/InputText.h"
#include "signals/Signals.h"

using namespace signals_detail;

namespace {

// A units row is short words: the recorder keeps 15 bytes of units, and a
// line of long text after a line of titles is more likely the header itself.
constexpr size_t kMaxUnitBytes = 15;

bool LooksLikeUnits(const std::vector<CsvCell>& cells, size_t columns)
{
    if (cells.size() != columns) return false;
    for (const CsvCell& cell : cells)
        if (cell.text.size() > kMaxUnitBytes) return false;
    return true;
}

std::string QuotedTitles(const std::vector<std::string>& titles)
{
    std::string text;
    for (const std::string& title : titles) text += (text.empty() ? "" : ", ") + QuoteInput(title, 20);
    return text;
}

std::string Plural(uint64_t count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

struct LiveCsvParser::State {
    enum class Phase { waitingForHeader, headerSeen, firstRows, sampling, failed };

    LiveSink& sink;
    LiveSourceOptions options;
    Phase phase = Phase::waitingForHeader;
    std::string failure;

    // Lines
    std::string partial;        // a line begun in an earlier piece
    uint64_t partialBytes = 0;  // its whole length, also past kMaxLineBytes
    uint64_t lineNumber = 0;
    std::vector<CsvCell> cells;

    // The header: before sampling, the latest candidate; then the one in use.
    CsvHeader header;
    std::vector<std::string> headerTitles;  // as the header row gave them, to know it again
    std::vector<std::string> headerRowUnits;
    bool unitsSeen = false;
    uint64_t headerLine = 0;
    bool lastLineWasHeader = false;
    bool afterRestart = false;             // the header came again; its units row may follow
    std::optional<CsvHeader> otherHeader;  // titles seen while sampling, different from the header
    uint64_t otherHeaderLine = 0;

    // Rows held for the sink: per channel, and the time column's values before sampling.
    std::vector<std::vector<float>> columns;
    std::vector<const float*> pointers;
    std::vector<double> firstTimes;
    std::vector<double> rowValues;
    Clock::time_point firstRowsDue = Clock::time_point::max();

    // Time column while sampling
    double intervalInTimeUnits = 0;  // 0: the interval did not come from the time column
    std::optional<double> previousTime;

    // What the user is told once, then counted
    uint64_t skipped = 0, irregularTimes = 0, restarts = 0;
    uint64_t firstSkippedLine = 0;

    State(LiveSink& sink, const LiveSourceOptions& options) : sink(sink), options(options) {}

    size_t Channels() const { return header.Columns() - (header.hasTime ? 1 : 0); }

    // ---- Lines ----

    void Feed(std::string_view bytes, bool endOfMessage)
    {
        while (!bytes.empty() && phase != Phase::failed) {
            const void* found = std::memchr(bytes.data(), '\n', bytes.size());
            if (!found) {
                Keep(bytes);
                break;
            }
            size_t end = size_t(static_cast<const char*>(found) - bytes.data());
            if (partialBytes == 0) {
                Line(bytes.substr(0, end), end);
            } else {
                Keep(bytes.substr(0, end));
                EndPartial();
            }
            bytes.remove_prefix(end + 1);
        }
        if (endOfMessage && partialBytes > 0 && phase != Phase::failed) EndPartial();
    }

    void Keep(std::string_view piece)
    {
        if (partial.size() < kMaxLineBytes) partial.append(piece.substr(0, kMaxLineBytes - partial.size()));
        partialBytes += piece.size();
    }

    void EndPartial()
    {
        Line(partial, partialBytes);
        partial.clear();
        partialBytes = 0;
    }

    void Line(std::string_view line, uint64_t length)
    {
        ++lineNumber;
        if (length > kMaxLineBytes) {
            Skip(line.substr(0, kInputExcerptBytes), "a line of " + std::to_string(length) +
                                                         " bytes; lines longer than " + std::to_string(kMaxLineBytes) +
                                                         " bytes are not read");
            return;
        }
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (IsCsvComment(line)) return;
        const bool wasHeader = std::exchange(lastLineWasHeader, false);
        if (std::string problem = SplitCsvRow(line, cells); !problem.empty()) {
            Skip(line, problem);
            return;
        }
        // The common case first: a row of the header's values.
        if (phase == Phase::firstRows || phase == Phase::sampling) {
            std::string problem;
            if (cells.size() == header.Columns() && ReadRow(problem)) {
                AddRow();
                return;
            }
            if (!AnyCsvNumber(cells))
                TitlesWhileSampling(line);
            else
                RowThatDoesNotFit(line, problem);
            return;
        }
        if (!AnyCsvNumber(cells))
            TitlesBeforeSampling(line, wasHeader);
        else
            RowBeforeSampling(line);
    }

    // Reads the cells as a row of the header; false with the reason when they aren't one.
    bool ReadRow(std::string& problem)
    {
        rowValues.resize(cells.size());
        for (size_t c = 0; c < cells.size(); ++c) {
            problem = CsvValueProblem(cells[c], c, header.titles[c], c == 0 && header.hasTime, rowValues[c]);
            if (!problem.empty()) return false;
        }
        return true;
    }

    // ---- Before sampling: the header ----

    void TitlesBeforeSampling(std::string_view line, bool followsHeader)
    {
        if (phase == Phase::headerSeen && followsHeader && !unitsSeen && LooksLikeUnits(cells, header.Columns())) {
            for (size_t c = 0; c < cells.size(); ++c) header.units[c] = cells[c].text;
            unitsSeen = true;
            return;
        }
        if (char separator = OtherCsvSeparator(cells)) {
            Fail("line " + std::to_string(lineNumber) + ": " + CsvSeparatorProblem(separator));
            return;
        }
        CsvHeader candidate = CsvHeader::From(cells);
        if (std::string problem = candidate.Problem(cells); !problem.empty()) {
            Skip(line, problem);
            return;
        }
        header = std::move(candidate);
        headerTitles = header.titles;
        headerRowUnits = header.units;
        unitsSeen = false;
        headerLine = lineNumber;
        lastLineWasHeader = true;
        phase = Phase::headerSeen;
    }

    void RowBeforeSampling(std::string_view line)
    {
        if (phase == Phase::waitingForHeader) {
            Skip(line, "a row before the header row of channel titles");
            return;
        }
        if (cells.size() != header.Columns()) {
            Skip(line, ColumnCountProblem());
            return;
        }
        std::string problem;
        if (!ReadRow(problem)) {
            Skip(line, problem);
            return;
        }
        if (!AcceptHeader()) return;
        AddRow();
    }

    std::string ColumnCountProblem() const
    {
        return std::to_string(cells.size()) + " values, expected " + std::to_string(header.Columns()) +
               " (one for each column of the header)";
    }

    // The first row fits the header: its channels are the recording's.
    bool AcceptHeader()
    {
        const std::string at = "line " + std::to_string(headerLine) + ": ";
        if (header.hasTime && header.Columns() == 1) {
            Fail(at + "no channels: only a time column");
            return false;
        }
        if (Channels() > size_t(SampleSource::kMaxChannels)) {
            Fail(at + std::to_string(Channels()) + " channels; at most " + std::to_string(SampleSource::kMaxChannels) +
                 " can be recorded");
            return false;
        }
        if (!options.sampleInterval && !header.hasTime) {
            Fail(at + "no time column (a first column titled \"Time (s)\"); give the sample interval with " +
                 options.intervalHint);
            return false;
        }
        if (!options.sampleInterval && header.SecondsPerTimeUnit() == 0) {
            Fail(at + "the time column's unit " + QuoteInput(header.units[0]) + " is not s, ms, us, min or h");
            return false;
        }
        columns.assign(Channels(), {});
        phase = Phase::firstRows;
        return true;
    }

    // ---- Rows ----

    void AddRow()
    {
        const size_t first = header.hasTime ? 1 : 0;
        for (size_t c = first; c < rowValues.size(); ++c) columns[c - first].push_back(float(rowValues[c]));
        otherHeader.reset();
        afterRestart = false;
        if (!header.hasTime) return;
        const double time = rowValues[0];
        if (phase == Phase::firstRows) {
            firstTimes.push_back(time);
        } else if (intervalInTimeUnits > 0 && previousTime) {
            CheckStep(time - *previousTime, time);
        }
        previousTime = time;
    }

    // A step of the time column far from the interval: rows lost, a pause,
    // a clock set back. The samples stay one interval apart.
    void CheckStep(double step, double time)
    {
        if (std::fabs(step - intervalInTimeUnits) <= 0.5 * intervalInTimeUnits) return;
        if (++irregularTimes == 1)
            sink.Note("line " + std::to_string(lineNumber) + ": the time column goes from " +
                      FormatCsvNumber(time - step) + " to " + FormatCsvNumber(time) + " where rows are " +
                      FormatCsvNumber(intervalInTimeUnits) +
                      " apart (rows lost, or a pause?); the samples are recorded one interval apart all the same");
    }

    void RowThatDoesNotFit(std::string_view line, const std::string& valueProblem)
    {
        if (cells.size() != header.Columns()) {
            // Titles with other channels and then rows that fit them: the
            // source now sends something else than the recording holds.
            if (otherHeader && cells.size() == otherHeader->Columns()) {
                Fail("line " + std::to_string(otherHeaderLine) + ": a new header with other channels (" +
                     QuotedTitles(otherHeader->titles) + " after " + QuotedTitles(headerTitles) +
                     "); sampling ended there");
                return;
            }
            Skip(line, ColumnCountProblem());
            return;
        }
        Skip(line, valueProblem);
    }

    void TitlesWhileSampling(std::string_view line)
    {
        CsvHeader titles = CsvHeader::From(cells);
        if (titles.titles == headerTitles && titles.units == headerRowUnits) {
            Restarted();
            return;
        }
        if (afterRestart && LooksLikeUnits(cells, header.Columns())) {
            afterRestart = false;  // the units row that follows the header
            return;
        }
        Skip(line, "a row of titles, not of numbers");
        if (titles.Problem(cells).empty()) {
            otherHeader = std::move(titles);
            otherHeaderLine = lineNumber;
        }
    }

    void Restarted()
    {
        if (++restarts == 1)
            sink.Note("line " + std::to_string(lineNumber) +
                      ": the header again (the source started over); sampling goes on");
        previousTime.reset();
        afterRestart = true;
        otherHeader.reset();
    }

    // ---- Sampling begins ----

    void BeginSampling()
    {
        const size_t rows = columns.empty() ? 0 : columns[0].size();
        double interval = 0;
        if (options.sampleInterval) {
            interval = *options.sampleInterval;
        } else {
            if (rows < 2) {
                Stop("one row can't give the sample interval; give it with " + options.intervalHint);
                return;
            }
            intervalInTimeUnits = TypicalStep();
            interval = intervalInTimeUnits * header.SecondsPerTimeUnit();
            if (auto problem = SampleIntervalProblem(interval); problem || !(intervalInTimeUnits > 0)) {
                Stop("the first rows' times give no sample interval (" + (problem ? *problem : "they do not increase") +
                     "); give it with " + options.intervalHint);
                intervalInTimeUnits = 0;
                return;
            }
        }
        std::vector<ChannelSettings> channels;
        const size_t first = header.hasTime ? 1 : 0;
        for (size_t c = 0; c < Channels(); ++c) {
            ChannelSettings settings;
            settings.title = header.titles[c + first];
            settings.units = header.units[c + first];
            float low = INFINITY, high = -INFINITY;
            for (float value : columns[c]) {
                low = std::min(low, value);
                high = std::max(high, value);
            }
            channels.push_back(FitDisplayRange(settings, low, high));
        }
        phase = Phase::sampling;
        sink.Begin(channels, interval);
        if (intervalInTimeUnits > 0)
            for (size_t r = 1; r < firstTimes.size(); ++r) CheckStep(firstTimes[r] - firstTimes[r - 1], firstTimes[r]);
        firstTimes.clear();
    }

    // The first rows' step: the mean of the steps near their median, so
    // that a gap among them does not count and jitter averages out.
    double TypicalStep() const
    {
        std::vector<double> steps;
        for (size_t r = 1; r < firstTimes.size(); ++r) steps.push_back(firstTimes[r] - firstTimes[r - 1]);
        std::vector<double> sorted = steps;
        std::nth_element(sorted.begin(), sorted.begin() + ptrdiff_t(sorted.size() / 2), sorted.end());
        const double median = sorted[sorted.size() / 2];
        double sum = 0;
        size_t count = 0;
        for (double step : steps) {
            if (std::fabs(step - median) <= 0.25 * std::fabs(median)) {
                sum += step;
                ++count;
            }
        }
        return count ? sum / double(count) : median;
    }

    void Flush(Clock::time_point arrival)
    {
        if (phase != Phase::sampling && phase != Phase::failed) return;
        if (columns.empty() || columns[0].empty()) return;
        pointers.clear();
        for (const std::vector<float>& column : columns) pointers.push_back(column.data());
        sink.Rows(pointers, columns[0].size(), arrival);
        for (std::vector<float>& column : columns) column.clear();
    }

    // ---- What the user is told ----

    void Skip(std::string_view line, const std::string& why)
    {
        if (++skipped > 1) return;
        firstSkippedLine = lineNumber;
        sink.Note("line " + std::to_string(lineNumber) + " skipped, " + QuoteInput(line) + ": " + why +
                  "; other lines that can't be read are skipped and counted");
    }

    // The stream ends at a line it can't go past. The rows before it are
    // kept: those held as the first rows begin sampling first.
    void Fail(const std::string& why)
    {
        if (phase == Phase::failed) return;
        if (phase == Phase::firstRows) BeginSampling();
        if (phase == Phase::failed)
            failure = why;
        else
            Stop(why);
    }

    void Stop(const std::string& why)
    {
        failure = why;
        if (phase != Phase::sampling) columns.clear();
        phase = Phase::failed;
    }

    void Finish(const std::string& error, Clock::time_point now)
    {
        if (partialBytes > 0 && phase != Phase::failed) EndPartial();
        if (phase == Phase::firstRows) BeginSampling();
        Flush(now);
        if (skipped > 1)
            sink.Note(Plural(skipped, "line", "lines") + " skipped in all (the first at line " +
                      std::to_string(firstSkippedLine) + ")");
        if (irregularTimes > 1)
            sink.Note(Plural(irregularTimes, "row", "rows") + " in all where the time column is not one interval on");
        if (restarts > 1) sink.Note("the source started over " + Plural(restarts, "time", "times") + " in all");
        std::string reason = failure;
        if (reason.empty() && error.empty()) {
            if (phase == Phase::waitingForHeader)
                reason = "no header row of channel titles came";
            else if (phase == Phase::headerSeen)
                reason = "no data rows after the header (line " + std::to_string(headerLine) + ")";
        }
        sink.End(reason.empty() ? error : reason);
    }
};

LiveCsvParser::LiveCsvParser(LiveSink& sink, const LiveSourceOptions& options)
    : state_(std::make_unique<State>(sink, options))
{}

LiveCsvParser::~LiveCsvParser() = default;

void LiveCsvParser::Feed(std::string_view bytes, Clock::time_point arrival, bool endOfMessage)
{
    State& s = *state_;
    const auto before = s.phase;
    s.Feed(bytes, endOfMessage);
    if (before != State::Phase::firstRows && s.phase == State::Phase::firstRows)
        s.firstRowsDue = arrival + kFirstRowsWait;
    if (s.phase == State::Phase::firstRows && (s.columns[0].size() >= kFirstRows || arrival >= s.firstRowsDue))
        s.BeginSampling();
    s.Flush(arrival);
}

LiveCsvParser::Clock::time_point LiveCsvParser::Deadline() const
{
    return state_->phase == State::Phase::firstRows ? state_->firstRowsDue : Clock::time_point::max();
}

void LiveCsvParser::Tick(Clock::time_point now)
{
    State& s = *state_;
    if (s.phase == State::Phase::firstRows && now >= s.firstRowsDue) {
        s.BeginSampling();
        s.Flush(now);
    }
}

bool LiveCsvParser::Failed() const { return state_->phase == State::Phase::failed; }

void LiveCsvParser::Finish(const std::string& error, Clock::time_point now) { state_->Finish(error, now); }
