// CSV rows as a live stream brings them: in pieces that cut lines anywhere,
// with a header that may come again, units, a time column that gives the
// interval, and lines that must be skipped without ending the stream.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signals/LiveCsv.h"

namespace {

using Clock = LiveCsvParser::Clock;
using namespace std::chrono_literals;

// What the parser told, in order.
struct RecordingSink : LiveSink {
    std::vector<ChannelSettings> channels;
    double interval = 0;
    int begins = 0;
    std::vector<std::vector<float>> samples;  // per channel
    std::vector<std::string> notes;
    std::vector<std::string> ends;

    void Begin(const std::vector<ChannelSettings>& given, double sampleInterval) override
    {
        ++begins;
        channels = given;
        interval = sampleInterval;
        samples.assign(given.size(), {});
    }
    void Rows(std::span<const float* const> given, size_t frames, Clock::time_point) override
    {
        ASSERT_EQ(given.size(), samples.size());
        for (size_t c = 0; c < given.size(); ++c) samples[c].insert(samples[c].end(), given[c], given[c] + frames);
    }
    void Note(const std::string& text) override { notes.push_back(text); }
    void End(const std::string& error) override { ends.push_back(error); }
};

struct Parsed {
    RecordingSink sink;
    std::unique_ptr<LiveCsvParser> parser;
    Clock::time_point now = Clock::now();

    explicit Parsed(LiveSourceOptions options = {}) : parser(std::make_unique<LiveCsvParser>(sink, options)) {}
    Parsed& Feed(const std::string& bytes, bool endOfMessage = false)
    {
        parser->Feed(bytes, now, endOfMessage);
        return *this;
    }
    // Every byte a piece of its own: lines cut at every place.
    Parsed& Trickle(const std::string& bytes)
    {
        for (char byte : bytes) parser->Feed(std::string_view(&byte, 1), now);
        return *this;
    }
    Parsed& Finish(const std::string& error = {})
    {
        parser->Finish(error, now);
        return *this;
    }
};

std::string Rows(int from, int to, double step = 0.01)
{
    std::string text;
    for (int i = from; i < to; ++i)
        text += std::to_string(i * step) + "," + std::to_string(i) + "," + std::to_string(-i) + "\n";
    return text;
}

TEST(LiveCsv, LinesCutAnywhereGiveTheSameRowsAsWholeOnes)
{
    const std::string text = "# from the board\r\nTime (ms),Volume [mL],P\r\nms,mL,mmHg\r\n" + Rows(0, 30, 10);
    Parsed whole, trickled;
    whole.Feed(text).Finish();
    trickled.Trickle(text).Finish();
    for (Parsed* parsed : {&whole, &trickled}) {
        RecordingSink& sink = parsed->sink;
        EXPECT_EQ(sink.begins, 1);
        ASSERT_EQ(sink.channels.size(), 2u);
        EXPECT_EQ(sink.channels[0].title, "Volume");
        EXPECT_EQ(sink.channels[0].units, "mL");
        EXPECT_EQ(sink.channels[1].units, "mmHg");  // from the units row
        EXPECT_DOUBLE_EQ(sink.interval, 0.01);      // 10 ms
        ASSERT_EQ(sink.samples[0].size(), 30u);
        EXPECT_EQ(sink.samples[0][29], 29.0f);
        EXPECT_EQ(sink.samples[1][29], -29.0f);
        EXPECT_EQ(sink.notes, std::vector<std::string>{});
        EXPECT_EQ(sink.ends, std::vector<std::string>{""});
    }
}

TEST(LiveCsv, SamplingBeginsAfterTheFirstRowsOrTheirWait)
{
    // Eight rows begin it at once; fewer wait for the deadline.
    Parsed eight;
    eight.Feed("Time (s),A,B\n" + Rows(0, 8));
    EXPECT_EQ(eight.sink.begins, 1);
    EXPECT_EQ(eight.parser->Deadline(), Clock::time_point::max());

    Parsed three;
    three.Feed("Time (s),A,B\n" + Rows(0, 3));
    EXPECT_EQ(three.sink.begins, 0);
    ASSERT_EQ(three.parser->Deadline(), three.now + LiveCsvParser::kFirstRowsWait);
    three.parser->Tick(three.now + 50ms);
    EXPECT_EQ(three.sink.begins, 0);
    three.parser->Tick(three.parser->Deadline());
    EXPECT_EQ(three.sink.begins, 1);
    EXPECT_EQ(three.sink.samples[0].size(), 3u);
    // The first rows' range, with room: the display range holds 0..2.
    EXPECT_LE(three.sink.channels[0].displayLow, 0);
    EXPECT_GE(three.sink.channels[0].displayHigh, 2);
}

TEST(LiveCsv, TheIntervalComesFromTheTypicalStepOrTheRate)
{
    // One step among the first rows is a gap: the others give the interval,
    // and the gap is told once.
    Parsed gap;
    gap.Feed("t,A\n0,1\n0.01,2\n0.02,3\n0.10,4\n0.11,5\n0.12,6\n0.13,7\n0.14,8\n").Finish();
    EXPECT_NEAR(gap.sink.interval, 0.01, 1e-12);
    ASSERT_EQ(gap.sink.notes.size(), 1u);
    EXPECT_NE(gap.sink.notes[0].find("rows lost, or a pause?"), std::string::npos) << gap.sink.notes[0];

    LiveSourceOptions rate;
    rate.sampleInterval = 0.001;
    Parsed given(rate);
    given.Feed("A,B\n1,2\n3,4\n").Finish();
    EXPECT_DOUBLE_EQ(given.sink.interval, 0.001);
    EXPECT_EQ(given.sink.samples[1], (std::vector<float>{2, 4}));

    Parsed none;
    none.Feed("A,B\n1,2\n3,4\n").Finish();
    EXPECT_EQ(none.sink.begins, 0);
    ASSERT_EQ(none.sink.ends.size(), 1u);
    EXPECT_NE(none.sink.ends[0].find("give the sample interval with --rate HZ"), std::string::npos);

    Parsed backwards;
    backwards.Feed("t,A\n5,1\n4,2\n3,3\n").Finish();
    EXPECT_EQ(backwards.sink.begins, 0);
    EXPECT_NE(backwards.sink.ends.at(0).find("the first rows' times give no sample interval"), std::string::npos)
        << backwards.sink.ends[0];
}

TEST(LiveCsv, BadLinesAreSkippedWithOneNoteAndCountedAtTheEnd)
{
    Parsed parsed;
    parsed.Feed("Time (s),A,B\n" + Rows(0, 10) + "0.1,1\n0.11,x,2\n\"open,1,2\n" + Rows(10, 20));
    parsed.Feed(std::string(LiveCsvParser::kMaxLineBytes + 10, '7') + "\n" + Rows(20, 25)).Finish();
    EXPECT_EQ(parsed.sink.samples[0].size(), 25u);
    ASSERT_EQ(parsed.sink.notes.size(), 2u);
    EXPECT_NE(parsed.sink.notes[0].find("line 12 skipped, \"0.1,1\": 2 values, expected 3"), std::string::npos)
        << parsed.sink.notes[0];
    EXPECT_EQ(parsed.sink.notes[1], "4 lines skipped in all (the first at line 12)");
    EXPECT_EQ(parsed.sink.ends, std::vector<std::string>{""});
}

TEST(LiveCsv, AResetSendsTheHeaderAgainAndSamplingGoesOn)
{
    LiveSourceOptions options;
    options.sampleInterval = 0.01;
    Parsed reset(options);
    reset.Feed("A,B\nV,V\n1,2\n3,4\n5,6\n7,8\n9,10\n11,12\n13,14\n15,16\n");
    reset.Feed("17,1");  // cut by the reset
    reset.Feed("A,B\nV,V\n20,21\n").Feed("A,B\nV,V\n22,23\n").Feed("A,B\nV,V\n24,25\n").Finish();
    ASSERT_EQ(reset.sink.begins, 1);
    EXPECT_EQ(reset.sink.samples[0], (std::vector<float>{1, 3, 5, 7, 9, 11, 13, 15, 20, 22, 24}));
    // The header the reset cut is lost with the line it joined, and so is
    // the units row after it; the whole headers that follow are known again.
    ASSERT_EQ(reset.sink.notes.size(), 4u) << reset.sink.notes[0];
    EXPECT_NE(reset.sink.notes[0].find("\"17,1A,B\""), std::string::npos) << reset.sink.notes[0];
    EXPECT_NE(reset.sink.notes[1].find("the header again"), std::string::npos) << reset.sink.notes[1];
    EXPECT_EQ(reset.sink.notes[2], "2 lines skipped in all (the first at line 11)");
    EXPECT_EQ(reset.sink.notes[3], "the source started over 2 times in all");
    EXPECT_EQ(reset.sink.ends, std::vector<std::string>{""});
}

TEST(LiveCsv, AHeaderWithOtherChannelsEndsTheStreamAndKeepsWhatCame)
{
    LiveSourceOptions options;
    options.sampleInterval = 0.01;
    Parsed parsed(options);
    parsed.Feed("A,B\n1,2\n3,4\n5,6\n7,8\n9,10\n11,12\n13,14\n15,16\nX,Y,Z\n1,2,3\n17,18\n").Finish();
    EXPECT_EQ(parsed.sink.samples[0].size(), 8u);
    ASSERT_EQ(parsed.sink.ends.size(), 1u);
    EXPECT_NE(
        parsed.sink.ends[0].find("line 10: a new header with other channels (\"X\", \"Y\", \"Z\" after \"A\", \"B\")"),
        std::string::npos)
        << parsed.sink.ends[0];
}

TEST(LiveCsv, DatagramsEndTheirLastLine)
{
    LiveSourceOptions options;
    options.sampleInterval = 0.01;
    Parsed parsed(options);
    parsed.Feed("A,B", true).Feed("1,2\n3,4", true).Feed("5,6", true).Finish("the port closed");
    ASSERT_EQ(parsed.sink.samples.size(), 2u);
    EXPECT_EQ(parsed.sink.samples[0], (std::vector<float>{1, 3, 5}));
    // A source that failed says so at the end.
    EXPECT_EQ(parsed.sink.ends, std::vector<std::string>{"the port closed"});
}

}  // namespace
