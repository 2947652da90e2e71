// xmrender's command line: what to render, where, how long and how loud.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xmrender {

// A WAV file's sizes are 32-bit: six hours of 48 kHz 16-bit stereo is just under 4 GiB.
inline constexpr double kMaxSeconds = 6 * 3600;
inline constexpr double kDefaultSeconds = 60;
inline constexpr double kDefaultNoLoopSeconds = 3600;

enum class Mode {
    Help,    // -h, --help
    Render,  // IN.xm OUT.wav
    Batch,   // -o DIR IN.xm ...
    Info,    // --info IN.xm ...
};

struct Options {
    Mode mode = Mode::Render;
    double seconds = kDefaultSeconds;  // with --no-loop: the most that is rendered
    bool noLoop = false;
    uint32_t volumeStep = 25;
    std::string outputDir;            // Batch
    std::vector<std::string> inputs;  // one for Render
    std::string output;               // Render: a path, or "-" for standard output
};

// Reads the command line. False on bad usage, with `error` holding one line that says what is
// wrong (without the program's name).
bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);

// A number of seconds: finite, above 0 and at most kMaxSeconds, with nothing after it. False with
// a one-line `error` otherwise.
bool ParseSeconds(const std::string& text, double& seconds, std::string& error);

// A volume step: a whole number 0..25, with nothing after it.
bool ParseVolumeStep(const std::string& text, uint32_t& step, std::string& error);

// The text of --help: every option on a line of its own, and the exit codes.
const char* HelpText();

}  // namespace xmrender
