#include <edflib.h>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <unistd.h>

#include "signals/DemoSignals.h"
#include "signals/Signals.h"
#include "signals/StoredSignals.h"

namespace fs = std::filesystem;

namespace {

class SignalFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("signals_test_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Path(const std::string& name) const { return dir_ / name; }

    fs::path WriteText(const std::string& name, const std::string& text) const
    {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }

    // The message of the SignalFileError that reading path throws.
    static std::string ReadError(const fs::path& path, const CsvOptions& options = {})
    {
        try {
            ReadSignals(path, options);
        } catch (const SignalFileError& error) {
            return error.what();
        }
        return "(no error)";
    }

    fs::path dir_;
};

SignalSet ShortDemo(double seconds = 2.0, double rate = 1000)
{
    DemoOptions options;
    options.duration = seconds;
    options.sampleRate = rate;
    return MakeDemoSignals(options);
}

void ExpectSameSignals(const SignalSet& expected, const SignalSet& actual, bool relativeStep)
{
    ASSERT_EQ(expected.channels.size(), actual.channels.size());
    ASSERT_EQ(expected.SampleCount(), actual.SampleCount());
    EXPECT_NEAR(expected.sampleInterval, actual.sampleInterval, expected.sampleInterval * 1e-9);
    for (size_t c = 0; c < expected.channels.size(); ++c) {
        const SignalChannel& want = expected.channels[c];
        const SignalChannel& got = actual.channels[c];
        EXPECT_EQ(want.info.title, got.info.title);
        EXPECT_EQ(want.info.units, got.info.units);
        // EDF stores integers over the channel's range, a little wider than the
        // data's; edflib truncates, so a value may land a whole step low.
        auto [low, high] = std::minmax_element(want.samples.begin(), want.samples.end());
        double tolerance = relativeStep ? 1.05 * (*high - *low) / 65535.0 + std::fabs(*high) * 2.4e-7 : 0.0;
        for (size_t i = 0; i < want.samples.size(); ++i)
            ASSERT_NEAR(want.samples[i], got.samples[i], tolerance) << want.info.title << " sample " << i;
    }
}

TEST_F(SignalFiles, WavAndCsvKeepEverySampleExactly)
{
    SignalSet demo = ShortDemo();
    for (const char* name : {"demo.wav", "demo.csv"}) {
        SCOPED_TRACE(name);
        WriteSignals(Path(name), demo);
        SignalSet back = ReadSignals(Path(name));
        ExpectSameSignals(demo, back, false);
        EXPECT_TRUE(back.notes.empty());
    }
}

TEST_F(SignalFiles, WavFromElsewhereGetsNumberedChannelsAndANote)
{
    // Three channels of 16-bit PCM at 8 kHz, no comment of ours.
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 3;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(Path("pcm.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    const short frames[] = {0, 16384, -32768, 8192, -16384, 32767};
    ASSERT_EQ(sf_writef_short(file, frames, 2), 2);
    sf_close(file);

    SignalSet set = ReadSignals(Path("pcm.wav"));
    ASSERT_EQ(set.channels.size(), 3u);
    EXPECT_EQ(set.channels[2].info.title, "Channel 3");
    EXPECT_EQ(set.channels[2].info.units, "");
    EXPECT_DOUBLE_EQ(set.sampleInterval, 1.0 / 8000);
    EXPECT_EQ(set.channels[1].samples, (std::vector<float>{0.5f, -0.5f}));
    EXPECT_EQ(set.channels[2].samples[0], -1.0f);
    ASSERT_EQ(set.notes.size(), 1u);
    EXPECT_NE(set.notes[0].find("no titles"), std::string::npos);
}

TEST_F(SignalFiles, EdfAndBdfKeepSamplesWithinOneStepOfTheirResolution)
{
    SignalSet demo = ShortDemo();
    WriteEdf(Path("demo.edf"), demo, false);
    ExpectSameSignals(demo, ReadEdf(Path("demo.edf")), true);

    SignalSet bdf = ReadEdf([&] {
        WriteEdf(Path("demo.bdf"), demo, true);
        return Path("demo.bdf");
    }());
    ASSERT_EQ(bdf.SampleCount(), demo.SampleCount());
    // 24 bits: 256 times finer than EDF, within a step and the floats' precision.
    for (size_t c = 0; c < demo.channels.size(); ++c) {
        const std::vector<float>& want = demo.channels[c].samples;
        auto [low, high] = std::minmax_element(want.begin(), want.end());
        double step = (*high - *low) / 16777215.0;
        for (size_t i = 0; i < want.size(); ++i)
            ASSERT_NEAR(want[i], bdf.channels[c].samples[i], 1.05 * step + std::fabs(want[i]) * 2.4e-7)
                << c << " " << i;
    }
}

TEST_F(SignalFiles, EdfWriterNeedsNoPaddingForCountsThatAreNotWholeSeconds)
{
    // 1001 samples at 250 Hz: records of 143 samples. 2003 at 2000 Hz: no
    // divisor up to a second gives a record of at least 1 ms, so the last
    // second is padded with the last value.
    SignalSet odd = ShortDemo(1001.0 / 250, 250);
    WriteEdf(Path("odd.edf"), odd, false);
    SignalSet back = ReadEdf(Path("odd.edf"));
    EXPECT_EQ(back.SampleCount(), 1001u);
    EXPECT_NEAR(back.sampleInterval, 1.0 / 250, 1e-12);

    SignalSet prime = ShortDemo(2003.0 / 2000, 2000);  // 2003 is prime
    WriteEdf(Path("prime.edf"), prime, false);
    SignalSet padded = ReadEdf(Path("prime.edf"));
    ASSERT_EQ(padded.SampleCount(), 4000u);
    EXPECT_FLOAT_EQ(padded.channels[2].samples[3999], padded.channels[2].samples[2002]);
}

TEST_F(SignalFiles, EdfSignalsAtLowerRatesAreHeldAtTheFastestRate)
{
    fs::path path = Path("mixed.edf");
    int handle = edfopen_file_writeonly(path.c_str(), EDFLIB_FILETYPE_EDFPLUS, 2);
    ASSERT_GE(handle, 0);
    const int rates[2] = {4, 2};
    for (int s = 0; s < 2; ++s) {
        edf_set_samplefrequency(handle, s, rates[s]);
        edf_set_physical_maximum(handle, s, 100);
        edf_set_physical_minimum(handle, s, -100);
        edf_set_digital_maximum(handle, s, 32767);
        edf_set_digital_minimum(handle, s, -32768);
        edf_set_label(handle, s, s == 0 ? "Fast" : "Slow");
        edf_set_physical_dimension(handle, s, "uV");
    }
    for (int second = 0; second < 2; ++second) {
        double fast[4] = {1, 2, 3, 4}, slow[2] = {10.0 * second + 10, 10.0 * second + 20};
        ASSERT_EQ(edfwrite_physical_samples(handle, fast), 0);
        ASSERT_EQ(edfwrite_physical_samples(handle, slow), 0);
    }
    ASSERT_EQ(edfclose_file(handle), 0);

    SignalSet set = ReadEdf(path);
    ASSERT_EQ(set.channels.size(), 2u);
    EXPECT_EQ(set.channels[1].info.title, "Slow");
    EXPECT_EQ(set.channels[1].info.units, "uV");
    EXPECT_DOUBLE_EQ(set.sampleInterval, 0.25);
    std::vector<float> held;
    for (float v : set.channels[1].samples) held.push_back(std::round(v));
    EXPECT_EQ(held, (std::vector<float>{10, 10, 20, 20, 20, 20, 30, 30}));
    ASSERT_EQ(set.notes.size(), 1u);
    EXPECT_NE(set.notes[0].find("held"), std::string::npos);
}

TEST_F(SignalFiles, CsvTakesTitlesUnitsAndTheIntervalFromTheFile)
{
    fs::path withRow = WriteText("units_row.csv", "\xEF\xBB\xBFTime (ms), \"Left, arm\",Right\r\n"
                                                  "ms,mV,mV\r\n"
                                                  "\r\n"
                                                  "0,1,+2\r\n2,1.5,-2.5e-1\r\n4,-3,4\r\n");
    SignalSet set = ReadCsv(withRow);
    ASSERT_EQ(set.channels.size(), 2u);
    EXPECT_EQ(set.channels[0].info.title, "Left, arm");
    EXPECT_EQ(set.channels[0].info.units, "mV");
    EXPECT_DOUBLE_EQ(set.sampleInterval, 0.002);
    EXPECT_EQ(set.channels[1].samples, (std::vector<float>{2, -0.25f, 4}));

    fs::path inTitles = WriteText("in_titles.csv", "Pressure (mmHg),Flow [L/min]\n# calm\n1,2\n3,4\n");
    CsvOptions every10ms;
    every10ms.sampleInterval = 0.01;
    set = ReadCsv(inTitles, every10ms);
    EXPECT_EQ(set.channels[0].info.title, "Pressure");
    EXPECT_EQ(set.channels[0].info.units, "mmHg");
    EXPECT_EQ(set.channels[1].info.units, "L/min");
    EXPECT_EQ(set.SampleCount(), 2u);
    EXPECT_DOUBLE_EQ(set.sampleInterval, 0.01);
    EXPECT_EQ(set.FindChannel("flow"), 2);
    EXPECT_EQ(set.FindChannel("1"), 1);
    EXPECT_EQ(set.FindChannel("3"), 0);
}

TEST_F(SignalFiles, CsvAsOtherToolsWriteIt)
{
    // pandas' default: the row index as an untitled first column.
    SignalSet set = ReadCsv(WriteText("pandas.csv", ",time,A,B\n0,0.0,1,2\n1,0.5,3,4\n2,1.0,5,6\n"));
    ASSERT_EQ(set.channels.size(), 2u);
    EXPECT_EQ(set.channels[0].info.title, "A");
    EXPECT_EQ(set.channels[1].samples, (std::vector<float>{2, 4, 6}));
    EXPECT_DOUBLE_EQ(set.sampleInterval, 0.5);
    ASSERT_EQ(set.notes.size(), 1u);
    EXPECT_NE(set.notes[0].find("column 1 has no title: it is taken as a row index"), std::string::npos);

    // A date-time index is the time: ISO 8601 with 'T' or a space, a zone or none, across midnight.
    set = ReadCsv(WriteText("dates.csv", ",A,B\n2024-02-29T23:59:59.998,1,2\n2024-02-29 23:59:59.999,3,4\n"
                                         "2024-03-01T00:00:00.000Z,5,6\n"));
    ASSERT_EQ(set.channels.size(), 2u);
    EXPECT_NEAR(set.sampleInterval, 0.001, 1e-9);
    EXPECT_TRUE(set.notes.empty());
    set = ReadCsv(WriteText("zones.csv", "timestamp,A,B\n2024-01-01T10:00:00+02:00,1,2\n2024-01-01T08:00:02Z,1,2\n"));
    EXPECT_DOUBLE_EQ(set.sampleInterval, 2);

    // Time columns named as other programs name them, with units from the name.
    for (const char* title : {"t", "Timestamp", "seconds", "timer", "time_ms"}) {
        set = ReadCsv(WriteText("named.csv", std::string(title) + ",A,B\n0,1,2\n2,3,4\n"));
        EXPECT_EQ(set.channels.size(), 2u) << title;
        EXPECT_DOUBLE_EQ(set.sampleInterval, std::string(title) == "time_ms" ? 0.002 : 2) << title;
    }

    // No header row: numbered titles, the interval from the user.
    CsvOptions every10ms;
    every10ms.sampleInterval = 0.01;
    set = ReadCsv(WriteText("bare.csv", "1,2,3\n4,5,6\n"), every10ms);
    ASSERT_EQ(set.channels.size(), 3u);
    EXPECT_EQ(set.channels[2].info.title, "Channel 3");
    EXPECT_EQ(set.channels[0].samples, (std::vector<float>{1, 4}));

    // The time column chosen by the user, by title or number, or none at all.
    CsvOptions byTitle;
    byTitle.timeColumn = "clock2";
    set = ReadCsv(WriteText("chosen.csv", "A,clock2,B\n1,0,2\n3,0.25,4\n"), byTitle);
    ASSERT_EQ(set.channels.size(), 2u);
    EXPECT_EQ(set.channels[1].info.title, "B");
    EXPECT_DOUBLE_EQ(set.sampleInterval, 0.25);
    CsvOptions byNumber;
    byNumber.timeColumn = "2";
    EXPECT_DOUBLE_EQ(ReadCsv(Path("chosen.csv"), byNumber).sampleInterval, 0.25);
    CsvOptions none = every10ms;
    none.noTimeColumn = true;
    set = ReadCsv(WriteText("t_is_data.csv", "t,A\n5,1\n6,2\n"), none);
    EXPECT_EQ(set.channels.size(), 2u);
    EXPECT_EQ(set.channels[0].samples, (std::vector<float>{5, 6}));
    byTitle.timeColumn = "Clock";
    EXPECT_EQ(ReadError(Path("chosen.csv"), byTitle),
              Path("chosen.csv").string() + ": --time-column \"Clock\": no such column (the columns are \"A\", "
                                            "\"clock2\", \"B\")");

    // Empty and NaN cells hold the previous value; leading ones the first value.
    set = ReadCsv(WriteText("holes.csv", "t,A,B\n0,,1\n1,,NaN\n2,7,3\n3,8,\n"));
    EXPECT_EQ(set.channels[0].samples, (std::vector<float>{7, 7, 7, 8}));
    EXPECT_EQ(set.channels[1].samples, (std::vector<float>{1, 1, 3, 3}));
    ASSERT_EQ(set.notes.size(), 1u);
    EXPECT_NE(set.notes[0].find(": 4 empty cells take its channel's previous value"), std::string::npos)
        << set.notes[0];
    EXPECT_NE(set.notes[0].find("the first at line 2, column 2"), std::string::npos) << set.notes[0];

    // As many channels as the file has: choosing among them is the program's.
    std::string wide = "t";
    std::string row = "0";
    for (int c = 1; c <= 40; ++c) {
        wide += ",S" + std::to_string(c);
        row += "," + std::to_string(c);
    }
    set = ReadCsv(WriteText("wide.csv", wide + "\n" + row + "\n" + "1" + row.substr(1) + "\n"));
    EXPECT_EQ(set.channels.size(), 40u);
    EXPECT_EQ(set.channels[39].samples, (std::vector<float>{40, 40}));
}

TEST_F(SignalFiles, AFileWithoutAKnownExtensionIsReadByItsContent)
{
    SignalSet demo = ShortDemo(0.05);
    WriteWav(Path("sound.wav"), demo);
    WriteEdf(Path("rec.edf"), demo, false);
    WriteEdf(Path("rec.bdf"), demo, true);
    WriteCsv(Path("rec.csv"), demo);
    for (const char* name : {"sound.wav", "rec.edf", "rec.bdf", "rec.csv"}) {
        fs::copy_file(Path(name), Path("renamed.dat"), fs::copy_options::overwrite_existing);
        SignalSet set = ReadSignals(Path("renamed.dat"));
        EXPECT_EQ(set.channels.size(), demo.channels.size()) << name;
        EXPECT_EQ(set.SampleCount(), ReadSignals(Path(name)).SampleCount()) << name;
    }
    EXPECT_EQ(SignalFormatOfContent(std::string("\x89PNG\r\n\x1a\n", 8)), std::nullopt);
    EXPECT_EQ(ReadError(WriteText("empty.dat", "")), Path("empty.dat").string() + ": empty: no recording in it");
    // The name wins: a CSV named .wav is read as a sound file, and refused as one.
    EXPECT_NE(ReadError(WriteText("text.wav", "t,A\n0,1\n")).find("not a sound file"), std::string::npos);
}

TEST_F(SignalFiles, CsvErrorsNameTheFileLineAndColumn)
{
    std::string p = dir_.string() + "/";
    EXPECT_EQ(ReadError(WriteText("bad.csv", "t,A,B\n0,1,2\n0.1,1,2x\n")),
              p + "bad.csv:3: column 3 (B): \"2x\" is not a number");
    EXPECT_EQ(ReadError(WriteText("empty_cell.csv", "t,A\n0,\n1,\n")),
              p + "empty_cell.csv: column 2 (A) has no values");
    EXPECT_EQ(ReadError(WriteText("empty_time.csv", "t,A\n0,1\n,2\n")),
              p + "empty_time.csv:3: column 1 (t): an empty time");
    EXPECT_EQ(ReadError(WriteText("ragged.csv", "t,A,B\n0,1,2\n0.1,1\n")),
              p + "ragged.csv:3: 2 values, expected 3 (one for each column of the header)");
    EXPECT_EQ(ReadError(WriteText("nodata.csv", "Time,A\ns,V\n")), p + "nodata.csv: no data rows after the header");
    EXPECT_EQ(ReadError(WriteText("blank.csv", "\n\n")),
              p + "blank.csv: empty: expected a header row of channel titles");
    EXPECT_EQ(ReadError(WriteText("mixedheader.csv", "A,0\n1,2\n")),
              p + "mixedheader.csv:1: expected a header row of channel titles, found the number \"0\" in column 2");
    EXPECT_EQ(ReadError(WriteText("onlytime.csv", "time\n0\n")), p + "onlytime.csv: no channels: only a time column");
    EXPECT_EQ(ReadError(WriteText("notime.csv", "A,B\n1,2\n")),
              p + "notime.csv: no time column (a first column titled \"Time (s)\"); give the sample interval with "
                  "--interval S");
    // Exports that separate values by ';' (decimal commas) or tabs read as one column.
    const std::string bySemicolons = "the values are separated by ';'; this reader takes ',' with '.' as the decimal "
                                     "point (save the file as comma-separated)";
    EXPECT_EQ(ReadError(WriteText("semi.csv", "Time (s);A;B\n0;1,5;2\n")), p + "semi.csv:1: " + bySemicolons);
    EXPECT_EQ(ReadError(WriteText("semi_quoted.csv", "\"Time\";\"A\"\n0;1\n")),
              p + "semi_quoted.csv:1: " + bySemicolons);
    EXPECT_EQ(ReadError(WriteText("tabs.csv", "Time\tA\n0\t1\n")),
              p + "tabs.csv:1: the values are separated by tabs; this reader takes ',' with '.' as the decimal point "
                  "(save the file as comma-separated)");
    EXPECT_EQ(ReadError(WriteText("back.csv", "t,A\n0,1\n1,1\n1,1\n")), p + "back.csv:4: time \"1\" does not increase");
    EXPECT_EQ(ReadError(WriteText("gap.csv", "t,A\n0,1\n1,1\n2,1\n3,1\n4,1\n6,1\n7,1\n")),
              p + "gap.csv:7: the time column is not evenly spaced: a step of 2 where the mean step is 1.16666667");
    EXPECT_EQ(ReadError(WriteText("quote.csv", "t,\"A\n0,1\n")),
              p + "quote.csv:1: a quoted value has no closing quote");
    EXPECT_EQ(ReadError(WriteText("hours.csv", "Time (fortnights),A\n0,1\n1,1\n")),
              p + "hours.csv:1: the time column's unit \"fortnights\" is not s, ms, us, min or h");
}

TEST_F(SignalFiles, UnreadableFilesGiveOneLineNamingTheFile)
{
    std::string p = dir_.string() + "/";
    EXPECT_EQ(ReadError(Path("missing.wav")), p + "missing.wav: no such file");
    EXPECT_EQ(ReadError(Path("missing.edf")), p + "missing.edf: no such file");
    fs::create_directory(Path("folder.csv"));
    EXPECT_EQ(ReadError(Path("folder.csv")), p + "folder.csv: is a directory, not a recording file");
    EXPECT_EQ(
        ReadError(WriteText("data.xyz", std::string("\x01\x02", 2))),
        p + "data.xyz: unknown kind of recording: neither its name (.wav, .csv, .edf or .bdf) nor its first bytes "
            "say what it is");

    std::string wav = ReadError(WriteText("noise.wav", std::string(200, '\x5a')));
    EXPECT_EQ(wav.rfind(p + "noise.wav: not a sound file libsndfile can read", 0), 0u) << wav;
    EXPECT_EQ(wav.find('\n'), std::string::npos);

    EXPECT_EQ(ReadError(WriteText("noise.edf", std::string(300, '0'))),
              p + "noise.edf: not a valid EDF/BDF file (its header has format errors): its version \"00000000\" "
                  "is neither EDF's \"0\" nor BDF's");

    // A real EDF cut short in its data gives the records it holds whole, with a note.
    SignalSet demo = ShortDemo();
    WriteEdf(Path("whole.edf"), demo, false);
    fs::copy_file(Path("whole.edf"), Path("cut.edf"));
    fs::resize_file(Path("cut.edf"), fs::file_size(Path("whole.edf")) - 1000);
    SignalSet whole = ReadEdf(Path("whole.edf")), cut = ReadEdf(Path("cut.edf"));
    ASSERT_EQ(cut.notes.size(), 1u);
    EXPECT_EQ(cut.notes[0], p + "cut.edf: the file ends early: its header gives 2 data records, the file holds 1");
    ASSERT_EQ(cut.SampleCount(), 1000u);
    for (size_t c = 0; c < whole.channels.size(); ++c)
        EXPECT_TRUE(std::equal(cut.channels[c].samples.begin(), cut.channels[c].samples.end(),
                               whole.channels[c].samples.begin()));
}

TEST_F(SignalFiles, WritersLeaveNothingBehindWhenTheyFail)
{
    SignalSet demo = ShortDemo(0.1);
    demo.sampleInterval = 1.0 / 999.5;
    EXPECT_THROW(WriteWav(Path("fraction.wav"), demo), SignalFileError);
    EXPECT_THROW(WriteEdf(Path("fraction.edf"), demo, false), SignalFileError);
    demo.channels[1].samples.pop_back();
    EXPECT_THROW(WriteCsv(Path("ragged.csv"), demo), SignalFileError);
    EXPECT_TRUE(fs::is_empty(dir_));
}

TEST(DemoSignals, AreReproducibleFromTheSeedAndFitTheirDisplayRanges)
{
    SignalSet a = ShortDemo(3), b = ShortDemo(3);
    DemoOptions otherSeed;
    otherSeed.duration = 3;
    otherSeed.seed = 7;
    SignalSet c = MakeDemoSignals(otherSeed);
    ASSERT_EQ(a.channels.size(), size_t(kDemoChannelCount));
    EXPECT_EQ(a.SampleCount(), 3000u);
    for (int ch = 0; ch < kDemoChannelCount; ++ch) {
        EXPECT_EQ(a.channels[ch].samples, b.channels[ch].samples) << ch;
        const ChannelSettings& info = a.channels[ch].info;
        for (float v : a.channels[ch].samples) {
            ASSERT_GT(v, info.displayLow) << info.title;
            ASSERT_LT(v, info.displayHigh) << info.title;
        }
    }
    // The sines are the same for every seed; heart and noise are not.
    EXPECT_EQ(a.channels[2].samples, c.channels[2].samples);
    EXPECT_NE(a.channels[0].samples, c.channels[0].samples);
    EXPECT_NE(a.channels[4].samples, c.channels[4].samples);
    // Sines and noise fit the plot's default range of ±0.9765625 V.
    for (int ch = 2; ch < kDemoChannelCount; ++ch)
        for (float v : a.channels[ch].samples) ASSERT_LE(std::fabs(v), 0.9765625f);
}

TEST(DemoSignals, TheHeartTracesOneCounterClockwiseLoopABeat)
{
    SignalSet set = ShortDemo(10);
    const std::vector<float>& volume = set.channels[0].samples;
    const std::vector<float>& pressure = set.channels[1].samples;
    // Beats start where pressure begins to rise at the largest volume; find
    // them as the samples where volume stops growing and the loop turns up.
    std::vector<size_t> starts;
    for (size_t i = 1; i + 1 < volume.size(); ++i)
        if (volume[i] > volume[i - 1] && volume[i + 1] == volume[i]) starts.push_back(i);
    ASSERT_GE(starts.size(), 11u);  // about 12 beats of 0.8 s in 10 s
    ASSERT_LE(starts.size(), 13u);
    for (size_t b = 0; b + 1 < starts.size(); ++b) {
        double area = 0;  // shoelace, volume across, pressure up
        for (size_t i = starts[b]; i < starts[b + 1]; ++i)
            area += double(volume[i]) * pressure[i + 1] - double(volume[i + 1]) * pressure[i];
        area /= 2;
        // Stroke work: about 70 mL times about 90 mmHg.
        EXPECT_GT(area, 4000) << "beat " << b;
        EXPECT_LT(area, 9000) << "beat " << b;
        // The loop closes: the next beat starts where this one ended.
        EXPECT_NEAR(volume[starts[b + 1]], volume[starts[b + 1] - 1], 0.5);
    }
}

}  // namespace

namespace {

TEST(DisplayRange, HoldsTheDataOnAOneTwoFiveStepWithoutCrossingZeroNeedlessly)
{
    struct Case {
        float low, high;
        double wantLow, wantHigh;
        int16_t decimals;
    };
    for (const Case& c : {Case{3.6f, 125.0f, 0, 140, 0}, Case{49.9f, 125.1f, 40, 130, 0}, Case{-0.8f, 0.8f, -1, 1, 1},
                          Case{-0.004f, -0.001f, -0.0045, -0.0005, 4}, Case{1e5f, 3e5f, 50000, 350000, 0}}) {
        ChannelSettings info = FitDisplayRange(ChannelSettings{}, c.low, c.high);
        EXPECT_NEAR(info.displayLow, c.wantLow, 1e-9 * (c.wantHigh - c.wantLow)) << c.low << ".." << c.high;
        EXPECT_NEAR(info.displayHigh, c.wantHigh, 1e-9 * (c.wantHigh - c.wantLow)) << c.low << ".." << c.high;
        EXPECT_EQ(info.decimals, c.decimals) << c.low << ".." << c.high;
    }
    // A constant channel still gets a range around its value.
    ChannelSettings flat = FitDisplayRange(ChannelSettings{}, 5, 5);
    EXPECT_LT(flat.displayLow, 5);
    EXPECT_GT(flat.displayHigh, 5);
}

TEST(DisplayRange, AnyValueGivesAFiniteRange)
{
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const float most = std::numeric_limits<float>::max(), least = std::numeric_limits<float>::denorm_min();
    for (auto [low, high] : {std::pair{nan, nan},
                             {-inf, inf},
                             {nan, 1.0f},
                             {0.0f, inf},
                             {-most, most},
                             {most, most},
                             {least, least},
                             {-least, least}}) {
        ChannelSettings info = FitDisplayRange(ChannelSettings{}, low, high);
        EXPECT_TRUE(std::isfinite(info.displayLow) && std::isfinite(info.displayHigh)) << low << ".." << high;
        EXPECT_LT(info.displayLow, info.displayHigh) << low << ".." << high;
        EXPECT_GE(info.decimals, 0);
        EXPECT_LE(info.decimals, 6);
    }
    // A channel's NaNs are not part of its range.
    SignalChannel channel{ChannelSettings{}, {nan, 2.0f, nan, 4.0f}};
    FitDisplayRange(channel);
    EXPECT_LE(channel.info.displayLow, 2.0);
    EXPECT_GE(channel.info.displayHigh, 4.0);
    EXPECT_GT(channel.info.displayLow, 0.0);
}

}  // namespace

namespace {

// Rewrites a header field (offset, width) with its text moved right by two
// spaces, as some writers pad on the left ("  1     ").
void PadOnTheLeft(const fs::path& path, size_t offset, size_t width)
{
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string field(width, ' ');
    file.seekg(std::streamoff(offset));
    file.read(field.data(), std::streamsize(width));
    std::string text = field.substr(0, field.find_last_not_of(' ') + 1);
    ASSERT_LE(text.size() + 2, width) << text;
    std::string padded = ("  " + text).append(width - text.size() - 2, ' ');
    file.seekp(std::streamoff(offset));
    file.write(padded.data(), std::streamsize(width));
}

SignalSet ManySignals(size_t count)
{
    SignalSet set;
    set.sampleInterval = 0.01;
    for (size_t c = 0; c < count; ++c) {
        SignalChannel channel;
        channel.info.title = "S" + std::to_string(c + 1);
        channel.info.units = "uV";
        for (int i = 0; i < 300; ++i) channel.samples.push_back(float((i * int(c + 3)) % 200 - 100));
        set.channels.push_back(std::move(channel));
    }
    return set;
}

}  // namespace

TEST_F(SignalFiles, EdfAndBdfHeadersPaddedOnTheLeftReadAsTheSameFile)
{
    for (bool bdf : {false, true}) {
        SignalSet set = ManySignals(3);
        fs::path plain = Path(bdf ? "plain.bdf" : "plain.edf"), padded = Path(bdf ? "padded.bdf" : "padded.edf");
        WriteEdf(plain, set, bdf);
        fs::copy_file(plain, padded);
        PadOnTheLeft(padded, 236, 8);  // the number of data records
        PadOnTheLeft(padded, 244, 8);  // their duration
        PadOnTheLeft(padded, 252, 4);  // the number of signals
        const size_t ns = 4;           // three signals and the annotations
        for (size_t s = 0; s < 3; ++s) {
            PadOnTheLeft(padded, 256 + 104 * ns + 8 * s, 8);            // physical minimum
            if (!bdf) PadOnTheLeft(padded, 256 + 120 * ns + 8 * s, 8);  // digital minimum (BDF's fills its field)
            PadOnTheLeft(padded, 256 + 216 * ns + 8 * s, 8);            // samples per record
        }
        SignalSet expected = ReadEdf(plain), back = ReadEdf(padded);
        ASSERT_EQ(back.channels.size(), 3u) << bdf;
        EXPECT_EQ(back.SampleCount(), 300u);
        EXPECT_DOUBLE_EQ(back.sampleInterval, 0.01);
        for (size_t c = 0; c < 3; ++c) {
            EXPECT_EQ(back.channels[c].info.title, "S" + std::to_string(c + 1));
            EXPECT_EQ(back.channels[c].samples, expected.channels[c].samples);
            EXPECT_NEAR(back.channels[c].samples[7], set.channels[c].samples[7], 0.01);
        }
    }
}

TEST_F(SignalFiles, EdfOfManySignalsListsThemAllAndTheCallerChoosesWhichToRead)
{
    SignalSet set = ManySignals(40);
    WriteEdf(Path("many.edf"), set, false);
    StoredSignals stored = OpenEdf(Path("many.edf"));
    ASSERT_EQ(stored.channels.size(), 40u);
    EXPECT_EQ(stored.channels[39].title, "S40");
    StoredSignals chosen = ChooseChannels(stored, {39, 0, 33});
    ASSERT_EQ(chosen.channels.size(), 3u);
    EXPECT_EQ(chosen.channels[0].title, "S40");
    EXPECT_EQ(chosen.channels[2].title, "S34");
    SignalSet read = ReadAll(chosen);
    for (size_t c = 0; c < 3; ++c) {
        const std::vector<float>& original = set.channels[std::vector<size_t>{39, 0, 33}[c]].samples;
        ASSERT_EQ(read.channels[c].samples.size(), original.size());
        for (size_t i = 0; i < original.size(); ++i) EXPECT_NEAR(read.channels[c].samples[i], original[i], 0.01) << i;
    }
}

TEST_F(SignalFiles, AMappedFileCutShortByAnotherProgramGivesAnErrorNotACrash)
{
    SignalSet demo = ShortDemo();
    WriteWav(Path("mapped.wav"), demo);
    WriteEdf(Path("mapped.edf"), demo, false);
    for (const char* name : {"mapped.wav", "mapped.edf"}) {
        StoredSignals stored = OpenSignals(Path(name));
        std::vector<float> samples(100);
        stored.samples->Read(1, 1500, samples.size(), samples.data());
        EXPECT_NEAR(samples[0], demo.channels[1].samples[1500], 0.01) << name;
        fs::resize_file(Path(name), 1000);
        try {
            stored.samples->Read(1, 1500, samples.size(), samples.data());
            ADD_FAILURE() << name << ": read past the new end without an error";
        } catch (const SignalFileError& error) {
            EXPECT_EQ(std::string(error.what()),
                      Path(name).string() + ": the file was cut short while it was being read (another program "
                                            "truncated it)");
        }
    }
}

TEST_F(SignalFiles, MappedWavSamplesAreWhatLibsndfileReads)
{
    // Every encoding the reader converts itself, against libsndfile's own
    // conversion of the same file, at the extremes and in between.
    const int formats[] = {SF_FORMAT_PCM_U8, SF_FORMAT_PCM_16, SF_FORMAT_PCM_24,
                           SF_FORMAT_PCM_32, SF_FORMAT_FLOAT,  SF_FORMAT_DOUBLE};
    std::vector<double> written;
    for (int i = 0; i < 3000; ++i)
        written.push_back(i < 3 ? (i == 0 ? -1.0 : i == 1 ? 0.0 : 0.99999) : std::sin(i * 0.01) * 0.9);
    for (int format : formats) {
        for (int container : {SF_FORMAT_WAV, SF_FORMAT_WAVEX}) {
            fs::path path = Path("encoded.wav");
            SF_INFO info{};
            info.samplerate = 1000;
            info.channels = 3;
            info.format = container | format;
            SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info);
            ASSERT_NE(out, nullptr) << format;
            ASSERT_EQ(sf_writef_double(out, written.data(), sf_count_t(written.size() / 3)), 1000);
            sf_close(out);

            SF_INFO readInfo{};
            SNDFILE* in = sf_open(path.c_str(), SFM_READ, &readInfo);
            ASSERT_NE(in, nullptr);
            std::vector<float> expected(written.size());
            ASSERT_EQ(sf_readf_float(in, expected.data(), 1000), 1000);
            sf_close(in);

            StoredSignals stored = OpenWav(path);
            ASSERT_EQ(stored.SampleCount(), 1000u);
            for (size_t c = 0; c < 3; ++c) {
                std::vector<float> got(1000);
                stored.samples->Read(c, 0, 1000, got.data());
                for (size_t i = 0; i < 1000; ++i)
                    ASSERT_EQ(got[i], expected[i * 3 + c])
                        << "format " << std::hex << format << " channel " << c << " frame " << std::dec << i;
            }
        }
    }
}
