// The seed corpus of the fuzzers in fuzz/: good inputs of each reader and of
// the script parser, written here so that they follow the writers, and
// checked to be what the program takes, so that fuzzing starts from inputs
// that reach deep into each reader.
#include "ProgramFixture.h"

namespace {

struct Seed {
    std::string name;
    std::string bytes;
};

std::string Le(uint32_t value, int bytes)
{
    std::string text;
    for (int i = 0; i < bytes; ++i) text += char(value >> (8 * i));
    return text;
}

// A 16-bit PCM WAV of a second's ramp at 50 Hz with a LIST/INFO chunk, as
// recorders other than ours write them.
std::string PcmWavWithInfo()
{
    std::string format = Le(1, 2) + Le(2, 2) + Le(50, 4) + Le(200, 4) + Le(4, 2) + Le(16, 2);
    std::string samples;
    for (int i = 0; i < 50; ++i) samples += Le(uint32_t(i * 600), 2) + Le(uint32_t(-i * 600), 2);
    std::string info = "INFO" + std::string("ICMT") + Le(6, 4) + std::string("hello\0", 6);
    std::string body = "WAVE" + ("fmt " + Le(uint32_t(format.size()), 4) + format) +
                       ("LIST" + Le(uint32_t(info.size()), 4) + info) +
                       ("data" + Le(uint32_t(samples.size()), 4) + samples);
    return "RIFF" + Le(uint32_t(body.size()), 4) + body;
}

class FuzzSeeds : public Xyrecorder {
protected:
    // Writes the seeds of one fuzzer into a fresh folder of the corpus.
    fs::path Corpus(const std::string& fuzzer)
    {
        fs::path folder = fs::path(XY_FUZZ_CORPUS_DIR) / fuzzer;
        fs::remove_all(folder);
        fs::create_directories(folder);
        return folder;
    }
};

TEST_F(FuzzSeeds, RecordingsAreFilesEachReaderTakes)
{
    SignalSet small = DemoSamples(0.02);  // 20 samples of the six demo channels
    SignalSet three = small;
    three.channels.resize(3);

    fs::path csv = Corpus("csv");
    WriteCsv(csv / "demo.csv", small);
    for (const Seed& seed : {Seed{"no-time.csv", "A,B\n1,2\n3,4\n5,6\n"},
                             Seed{"quoted.csv", "\xEF\xBB\xBF# exported\r\n\"Time (ms)\",\"Flow, left [L/s]\",\"P\"\r\n"
                                                "ms,L/s,mmHg\r\n0,0.5,\"1e2\"\r\n2,-0.25,101\r\n4,+0.125,99.5\r\n"},
                             Seed{"units-row.csv", "time_s,Volume (mL),Pressure\ns,mL,mmHg\n0,1,2\n0.5,3,4\n1,5,6\n"}})
        std::ofstream(csv / seed.name, std::ios::binary) << seed.bytes;

    // Live rows: the first byte picks an interval (1) and datagrams (2); '\x01' cuts a piece.
    fs::path live = Corpus("live_csv");
    for (const Seed& seed :
         {Seed{"board.bin", std::string("\x01") + "X,Y\r\nmV,mV\r\n1,2\r\n3,\x01"
                                                  "4\r\n5,6\r\n7,8\r\nX,Y\r\n9,10\r\n1,2,3\r\n"},
          Seed{"time.bin",
               std::string("\x00") + "Time (ms),A\n0,1\n10,2\x01\n20,3\n45,4\n50,5\n60,6\n70,7\n80,8\n90,9\n"},
          Seed{"datagrams.bin", std::string("\x03") + "A,B\x01"
                                                      "1,2\n3,4\x01"
                                                      "5,6\x01P,Q,R\x01"
                                                      "1,2,3\x01"}})
        std::ofstream(live / seed.name, std::ios::binary) << seed.bytes;

    fs::path wav = Corpus("wav");
    WriteWav(wav / "float.wav", three);
    std::ofstream(wav / "pcm-info.wav", std::ios::binary) << PcmWavWithInfo();

    fs::path edf = Corpus("edf");
    WriteEdf(edf / "demo.edf", three, false);
    WriteEdf(edf / "demo.bdf", three, true);

    for (const fs::path& folder : {csv, wav, edf})
        for (const auto& entry : fs::directory_iterator(folder)) {
            Outcome run = Xy({"info", entry.path().string(), "--interval", "0.01"});
            EXPECT_EQ(run.code, 0) << entry.path() << ": " << run.err;
            EXPECT_NE(run.out.find(" channels, "), std::string::npos) << entry.path();
        }
}

TEST_F(FuzzSeeds, ScriptsUseEveryKindOfLineAndParse)
{
    fs::path script = Corpus("script");
    fs::copy_file(fs::path(E2E_SOURCE_DIR) / "session.xys", script / "session.xys");
    for (const Seed& seed :
         {Seed{"sampling.xys", "source demo rate 500 duration 2 seed 3\nopen 300 250\nstart 50\nbatch 4\n"
                               "sample 0.5\nerase\nsettings 0.5 on\nstop\nexpect isSampling 0\n"},
          Seed{"windows.xys", "source demo duration 1\nopen\nmenu \"Windows:Real-Time X-Y\"\nwindow 1\nresize 600 450\n"
                              "zoom out\nzoom in\nclick 100 100\nhover 60 380\naxis x channel \"Sine A\"\n"
                              "axis y drag -20\naxis x zoom-in\nclose\nexpect windows 1\n"},
          Seed{"data.xys", "source demo duration 1\nload\nopen\naxis x channel 3\naxis y channel \"Sine B\"\n"
                           "select 10 500\nselect none\n"
                           "channel 3 title Flow units L/s low -2 high 2 decimals 3\n"
                           "expect trace inside some\nexpect trace outside none\nexpect no-errors\n"}})
        std::ofstream(script / seed.name, std::ios::binary) << seed.bytes;

    // Run here, so that nothing they write lands in the corpus. (session.xys
    // runs in Xyrecorder.ScriptRunsEveryActionAUserTakes, beside the recording it reads.)
    for (const auto& entry : fs::directory_iterator(script)) {
        if (entry.path().filename() == "session.xys") continue;
        fs::copy_file(entry.path(), Path(entry.path().filename().string()));
        Outcome run = Xy({"script", Path(entry.path().filename().string()).string()});
        EXPECT_EQ(run.code, 0) << entry.path() << ": " << run.err;
    }
}

}  // namespace
