// xmrender, run as a program: WAV output, its length and level options, and its failures.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
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
};

ToolRun RunTool(const std::string& arguments, const fs::path& dir) {
    const fs::path log = dir / "stderr.txt";
    const std::string command = Tool().string() + " " + arguments + " 2>" + log.string();
    const int raw = std::system(command.c_str());
    std::ifstream in(log);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1,
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())};
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
    fs::path dir_;
};

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

}  // namespace
