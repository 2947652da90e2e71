// xmrender, run as a program: WAV output to files, standard output, FIFOs and devices; its
// options, help, module descriptions, batches and failures.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/native/support/xm_builder.h"

namespace {

namespace fs = std::filesystem;

// The tool sits in the build folder, one level above the test programs.
fs::path Tool() {
    return fs::canonical("/proc/self/exe").parent_path().parent_path() / "xmrender";
}

struct ToolRun {
    int status = -1;
    std::string errors;
    std::string output;  // what it wrote on standard output
};

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs the tool with `arguments` through the shell. Its standard output goes to a file of the
// test's folder, or through `pipe` (a shell command that reads it) into that file.
ToolRun RunTool(const std::string& arguments, const fs::path& dir, const std::string& pipe = "") {
    const fs::path log = dir / "stderr.txt", out = dir / "stdout.bin", code = dir / "status.txt";
    // In a pipe the shell reports the reader's status: the tool's own is kept in a file.
    const std::string command =
        pipe.empty()
            ? Tool().string() + " " + arguments + " 2>" + log.string() + " >" + out.string()
            : "{ " + Tool().string() + " " + arguments + " 2>" + log.string() + "; echo $? >" +
                  code.string() + "; } | " + pipe + " >" + out.string();
    const int raw = std::system(command.c_str());
    int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (!pipe.empty()) status = std::stoi("0" + ReadText(code));
    ToolRun run{status, ReadText(log), ReadText(out)};
    fs::remove(out);
    fs::remove(code);
    return run;
}

int Lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// A 4-row song at speed 1 (0.08 s) whose first row plays a loud looped square wave.
std::vector<uint8_t> ShortSong() {
    xmtest::XmSong song = xmtest::PlainSong();
    song.tempo = 1;
    song.patterns[0] = xmtest::EmptyPattern(4, 4);
    song.patterns[0].cells[0] = {49, 1, 0, 0, 0};
    std::vector<int16_t> square(64);
    for (size_t i = 0; i < square.size(); ++i) square[i] = i < 32 ? 30000 : -30000;
    xmtest::XmSample sample = xmtest::Sample16(square);
    sample.type |= 1;  // forward loop over the whole sample
    sample.loopLengthBytes = 128;
    song.instruments = {xmtest::InstrumentWith({sample})};
    return xmtest::BuildXm(song);
}

class RenderTool : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("xmrender_test_" + std::to_string(getpid()));
        fs::create_directories(dir_);
        const auto bytes = ShortSong();
        std::ofstream(dir_ / "song.xm", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string In() const { return (dir_ / "song.xm").string(); }
    std::string Out() const { return (dir_ / "out.wav").string(); }
    // Files in the folder besides the input and the error log.
    int StrayFiles() const {
        int n = 0;
        for (const auto& e : fs::directory_iterator(dir_)) {
            const auto name = e.path().filename();
            n += name != "song.xm" && name != "stderr.txt";
        }
        return n;
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(dir_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return (dir_ / name).string();
    }
    fs::path dir_;
};

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// The header of a 48 kHz stereo 16-bit WAV, with its two sizes.
void ExpectWavHeader(const std::vector<uint8_t>& wav, uint32_t riffSize, uint32_t dataSize) {
    ASSERT_GE(wav.size(), 44u);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(U32(wav, 4), riffSize);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(U32(wav, 24), 48000u);
    EXPECT_EQ(wav[22], 2);
    EXPECT_EQ(wav[34], 16);
    EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
    EXPECT_EQ(U32(wav, 40), dataSize);
}

TEST_F(RenderTool, WritesA48kHzStereoWavOfTheRequestedLength) {
    const ToolRun run = RunTool("--seconds 1.5 " + In() + " " + Out(), dir_);
    ASSERT_EQ(run.status, 0) << run.errors;
    const auto wav = ReadBytes(Out());
    ASSERT_EQ(wav.size(), 44u + 72000u * 4);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(U32(wav, 4), wav.size() - 8);
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(U32(wav, 24), 48000u);
    EXPECT_EQ(U32(wav, 28), 192000u);
    EXPECT_EQ(wav[22], 2);   // channels
    EXPECT_EQ(wav[34], 16);  // bits
    EXPECT_EQ(U32(wav, 40), 72000u * 4);
    // The song loops, so the square wave sounds throughout.
    const size_t last = wav.size() - 4;
    EXPECT_NE(wav[last] | wav[last + 1] << 8, 0);
}

TEST_F(RenderTool, NoLoopStopsAtTheEndAndVolumeZeroIsSilent) {
    ToolRun run = RunTool("--no-loop " + In() + " " + Out(), dir_);
    ASSERT_EQ(run.status, 0) << run.errors;
    // Four rows of 960 frames: the last row starts at frame 2880, inside the third block, which
    // is abandoned as the player abandons it; two whole blocks remain.
    EXPECT_EQ(ReadBytes(Out()).size(), 44u + 2048u * 4);

    run = RunTool("--seconds 0.5 --volume 0 " + In() + " " + Out(), dir_);
    ASSERT_EQ(run.status, 0) << run.errors;
    const auto wav = ReadBytes(Out());
    ASSERT_EQ(wav.size(), 44u + 24000u * 4);
    for (size_t i = 44; i < wav.size(); ++i) ASSERT_EQ(wav[i], 0) << i;
}

TEST_F(RenderTool, FailuresNameTheFileAndLeaveNoOutput) {
    std::ofstream(dir_ / "junk.xm") << "not a module";
    const std::string missing = (dir_ / "missing.xm").string();
    const std::string junk = (dir_ / "junk.xm").string();
    const struct {
        std::string arguments, file, reason;
    } cases[] = {
        {missing + " " + Out(), missing, "No such file or directory"},
        {dir_.string() + " " + Out(), dir_.string(), "is a directory"},
        {junk + " " + Out(), junk, "not playable"},
        {In() + " " + (dir_ / "no" / "such" / "dir.wav").string(), "dir.wav", "cannot create"},
    };
    for (const auto& c : cases) {
        const ToolRun run = RunTool(c.arguments, dir_);
        EXPECT_NE(run.status, 0) << c.arguments;
        EXPECT_NE(run.errors.find(c.file), std::string::npos) << run.errors;
        EXPECT_NE(run.errors.find(c.reason), std::string::npos) << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    }
    fs::remove(dir_ / "junk.xm");
    EXPECT_EQ(StrayFiles(), 0);
    EXPECT_EQ(RunTool("--seconds x " + In() + " " + Out(), dir_).status, 2);
    EXPECT_EQ(RunTool(In(), dir_).status, 2);
}

TEST_F(RenderTool, StandardOutputCarriesAWavWithExactOrUnknownSizes) {
    // Through a pipe, so that nothing can be rewritten: the length is known in advance...
    ToolRun run = RunTool("--seconds 0.5 " + In() + " -", dir_, "cat");
    ASSERT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.output.size(), 44u + 24000u * 4);
    ExpectWavHeader(Bytes(run.output), 36 + 24000 * 4, 24000 * 4);
    // ... except where the order list ends: then the sizes say "unknown".
    run = RunTool("--no-loop " + In() + " -", dir_, "cat");
    ASSERT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.output.size(), 44u + 2048u * 4);
    ExpectWavHeader(Bytes(run.output), 0xFFFFFFFF, 0xFFFFFFFF);
    // Redirected to a file, the header is corrected at the end.
    run = RunTool("--no-loop " + In() + " -", dir_);
    ASSERT_EQ(run.status, 0) << run.errors;
    ExpectWavHeader(Bytes(run.output), 36 + 2048 * 4, 2048 * 4);
    // A reader that leaves early is a failed write, said in one line.
    run = RunTool("--seconds 60 " + In() + " -", dir_, "head -c 100");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.errors.find("write failed"), std::string::npos) << run.errors;
    EXPECT_EQ(Lines(run.errors), 1) << run.errors;
    EXPECT_EQ(StrayFiles(), 0);
}

TEST_F(RenderTool, AFifoIsWrittenInPlace) {
    const fs::path fifo = dir_ / "pipe.wav";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadText(fifo); });
    const ToolRun run = RunTool("--seconds 0.25 " + In() + " " + fifo.string(), dir_);
    reader.join();
    ASSERT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(received.size(), 44u + 12000u * 4);
    ExpectWavHeader(Bytes(received), 36 + 12000 * 4, 12000 * 4);
    struct stat info {};
    ASSERT_EQ(lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    fs::remove(fifo);
    EXPECT_EQ(StrayFiles(), 0);
}

// A device node of the test's own (the null device's numbers, in the test's folder), never the
// machine's /dev entries. Making one needs root; elsewhere the test is skipped.
TEST_F(RenderTool, ADeviceIsWrittenInPlaceAndNeverReplaced) {
    const fs::path device = dir_ / "device.wav";
    if (mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
        GTEST_SKIP() << "cannot make a device node here: " << std::strerror(errno);
    }
    const ToolRun run = RunTool("--seconds 0.25 " + In() + " " + device.string(), dir_);
    struct stat info {};
    ASSERT_EQ(lstat(device.c_str(), &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(info.st_rdev, makedev(1, 3));
    // The folder may forbid opening devices (nodev): then it is refused, and still left alone.
    if (run.status != 0) {
        EXPECT_NE(run.errors.find("cannot open"), std::string::npos);
    }
    fs::remove(device);
    EXPECT_EQ(StrayFiles(), 0);
}

TEST_F(RenderTool, ASymbolicLinkKeepsPointingAtTheFileItNames) {
    const fs::path target = dir_ / "target.wav", link = dir_ / "link.wav";
    std::ofstream(target) << "old";
    fs::create_symlink(target, link);
    const ToolRun run = RunTool("--seconds 0.1 " + In() + " " + link.string(), dir_);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::file_size(target), 44u + 4800u * 4);
}

TEST_F(RenderTool, HelpListsEveryOptionAndTheExitCodes) {
    for (const char* option : {"--help", "-h"}) {
        const ToolRun run = RunTool(option, dir_);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.errors, "");
        for (const char* text :
             {"--seconds", "--no-loop", "--volume", "-o, --output-dir", "--info", "-h, --help",
              "0 done, 1 a module or output failed", "2 bad usage"}) {
            EXPECT_NE(run.output.find(text), std::string::npos) << text;
        }
    }
}

TEST_F(RenderTool, InfoDescribesTheSongAndItsPlayTime) {
    xmtest::XmSong song = xmtest::PlainSong();
    song.name = "Info\x01 Song";
    song.channels = 6;
    song.orders = {0, 1, 0, 3};
    song.restartPosition = 1;
    song.tempo = 3;
    song.bpm = 150;  // 800 frames a tick
    song.flags = 0;
    song.patterns = {xmtest::EmptyPattern(8, 6), xmtest::EmptyPattern(4, 6)};
    song.instruments.push_back(
        xmtest::InstrumentWith({xmtest::Sample8({1}), xmtest::Sample8({2})}));
    // Order 0 and 2 play 8 rows, order 1 4 rows, order 3 an added empty pattern of 64 rows.
    const std::string path = Write("info.xm", xmtest::BuildXm(song));
    const ToolRun run = RunTool("--info " + path, dir_);
    ASSERT_EQ(run.status, 0) << run.errors;
    for (const char* line : {
             "  title:            Info Song\n",
             "  channels:         6\n",
             "  patterns:         2 (the order list names up to pattern 3; 2 to 3 play as empty "
             "64-row patterns)\n",
             "  instruments:      2\n",
             "  samples:          3\n",
             "  tempo:            3 ticks per row\n",
             "  BPM:              150\n",
             "  frequency table:  Amiga\n",
             "  song length:      4 orders, restart at order 1\n",
             // 84 rows of 2,400 frames: 201,600 frames; the last row starts 2,400 earlier.
             "  play time:        0:04.200 to the end of the order list (--no-loop stops at "
             "0:04.150, as the last row starts)\n",
         }) {
        EXPECT_NE(run.output.find(line), std::string::npos) << line << run.output;
    }
    EXPECT_FALSE(fs::exists(dir_ / "info.wav"));
}

TEST_F(RenderTool, InfoSaysWhereAnEndlessSongJumpsBack) {
    xmtest::XmSong song = xmtest::PlainSong();
    song.orders = {0, 1};
    song.patterns = {xmtest::EmptyPattern(4, 4), xmtest::EmptyPattern(4, 4)};
    song.patterns[1].cells[2 * 4] = {0, 0, 0, 0x0B, 0x00};  // order 1 row 2 goes to order 0
    const std::string path = Write("endless.xm", xmtest::BuildXm(song));
    const ToolRun run = RunTool("--info " + path, dir_);
    ASSERT_EQ(run.status, 0) << run.errors;
    // Seven rows of 5,760 frames before the song comes back.
    EXPECT_NE(run.output.find("  play time:        endless: after 0:00.840, order 1 row 2 "
                              "jumps back to order 0 row 0, and so on for ever\n"),
              std::string::npos)
        << run.output;
}

TEST_F(RenderTool, ARefusedModuleIsExplainedInOneLine) {
    xmtest::XmSong crowded = xmtest::PlainSong();
    crowded.instruments[0].samples.assign(23, xmtest::Sample8({1}));
    xmtest::XmSong tall = xmtest::PlainSong();
    tall.patterns = {xmtest::EmptyPattern(64, 4), xmtest::EmptyPattern(64, 4),
                     xmtest::EmptyPattern(64, 4), xmtest::EmptyPattern(300, 4)};
    std::vector<uint8_t> early = xmtest::BuildXm(tall);
    early[58] = 0x02;  // the version field: 1.02, an earlier layout
    std::vector<uint8_t> foreign = xmtest::BuildXm(tall);
    foreign[0] = 'M';
    const struct {
        std::string file, line;
    } cases[] = {
        {Write("crowded.xm", xmtest::BuildXm(crowded)),
         "not playable: instrument 1 has 23 samples; at most 16 are supported\n"},
        {Write("tall.xm", xmtest::BuildXm(tall)),
         "not playable: pattern 3 has 300 rows; 1 to 256 are supported\n"},
        {Write("early.xm", early),
         "not playable: pattern 3 has 300 rows; 1 to 256 are supported (the file is laid out "
         "as XM version 1.02; only 1.04 is read)\n"},
        {Write("foreign.xm", foreign),
         "rows; 1 to 256 are supported (the file does not start with \"Extended Module: \": "
         "not an XM module?)\n"},
    };
    for (const auto& c : cases) {
        for (const std::string mode : {"--info ", ""}) {
            const ToolRun run = RunTool(mode + c.file + (mode.empty() ? " " + Out() : ""), dir_);
            EXPECT_EQ(run.status, 1) << run.errors;
            EXPECT_EQ(Lines(run.errors), 1) << run.errors;
            EXPECT_EQ(run.errors.rfind("xmrender: " + c.file + ": ", 0), 0u) << run.errors;
            EXPECT_NE(run.errors.find(c.line), std::string::npos) << run.errors;
        }
    }
    EXPECT_FALSE(fs::exists(Out()));
}

TEST_F(RenderTool, ABatchRendersEveryGoodModuleAndReportsTheBadOne) {
    const std::string bad = Write("bad.xm", Bytes("not a module"));
    const std::string other = Write("other.song.xm", ShortSong());
    const fs::path outDir = dir_ / "rendered";
    const ToolRun run =
        RunTool("--seconds 0.1 -o " + outDir.string() + " " + In() + " " + bad + " " + other, dir_);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(fs::file_size(outDir / "song.wav"), 44u + 4800u * 4);
    EXPECT_EQ(fs::file_size(outDir / "other.song.wav"), 44u + 4800u * 4);
    EXPECT_FALSE(fs::exists(outDir / "bad.wav"));
    // One line for the bad module, and a count at the end.
    EXPECT_EQ(Lines(run.errors), 2) << run.errors;
    EXPECT_EQ(run.errors.rfind("xmrender: " + bad + ": not playable: ", 0), 0u) << run.errors;
    EXPECT_NE(run.errors.find("1 of 3 modules failed"), std::string::npos) << run.errors;
    EXPECT_EQ(std::distance(fs::directory_iterator(outDir), fs::directory_iterator()), 2);

    // All good: exit 0. Two inputs of the same name would overwrite each other: the second fails.
    EXPECT_EQ(RunTool("--seconds 0.1 -o " + outDir.string() + " " + In(), dir_).status, 0);
    fs::create_directories(dir_ / "again");
    fs::copy_file(In(), dir_ / "again" / "song.xm");
    const ToolRun twice = RunTool("--seconds 0.1 -o " + outDir.string() + " " + In() + " " +
                                      (dir_ / "again/song.xm").string(),
                                  dir_);
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.errors.find("was written for an earlier module"), std::string::npos);
}

TEST_F(RenderTool, EachBadNumberGetsOneLineAndExitCode2) {
    const struct {
        std::string option, value, says;
    } cases[] = {
        {"--seconds", "nan", "not a finite number"},
        {"--seconds", "inf", "not a finite number"},
        {"--seconds", "-inf", "not a finite number"},
        {"--seconds", "-5", "not above 0"},
        {"--seconds", "0", "not above 0"},
        {"--seconds", "21601", "above 21600"},
        {"--seconds", "1e999", "above 21600"},
        {"--seconds", "0.00001", "shorter than one frame"},
        {"--seconds", "10s", "not a number"},
        {"--seconds", "0x10", "not a number"},
        {"--seconds", "", "not a number"},
        {"--volume", "nan", "not a volume step"},
        {"--volume", "inf", "not a volume step"},
        {"--volume", "-1", "not a volume step"},
        {"--volume", "26", "not a volume step"},
        {"--volume", "1e999", "not a volume step"},
        {"--volume", "12.5", "not a volume step"},
        {"--volume", "3x", "not a volume step"},
    };
    for (const auto& c : cases) {
        for (const std::string& form :
             {c.option + " '" + c.value + "'", c.option + "='" + c.value + "'"}) {
            const ToolRun run = RunTool(form + " " + In() + " " + Out(), dir_);
            EXPECT_EQ(run.status, 2) << form;
            EXPECT_EQ(Lines(run.errors), 1) << run.errors;
            EXPECT_EQ(run.errors.rfind("xmrender: " + c.option + ": '" + c.value + "' ", 0), 0u)
                << run.errors;
            EXPECT_NE(run.errors.find(c.says), std::string::npos) << form << ": " << run.errors;
        }
    }
    EXPECT_EQ(RunTool("--volume 0 --seconds 1e-1 " + In() + " " + Out(), dir_).status, 0);
    EXPECT_EQ(RunTool("--volume", dir_).errors, "xmrender: --volume needs a value\n");
}

}  // namespace
