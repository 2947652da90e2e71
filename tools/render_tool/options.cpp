#include "tools/render_tool/options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>

namespace xmrender {

namespace {

const char kHelp[] =
    "usage: xmrender [OPTIONS] IN.xm OUT.wav   render one module (OUT.wav '-': standard output)\n"
    "       xmrender [OPTIONS] -o DIR IN.xm... render each module to DIR/NAME.wav\n"
    "       xmrender --info IN.xm...           describe modules and their play time\n"
    "\n"
    "Renders XM modules through the player's engine to 48,000 Hz 16-bit stereo WAV.\n"
    "\n"
    "options:\n"
    "  --seconds N     render N seconds (default 60; with --no-loop at most N, default 3600)\n"
    "  --no-loop       stop where the order list ends instead of playing on from the restart\n"
    "  --volume STEP   volume step 0..25, 2 dB apart (default 25: full; 0 is near silence)\n"
    "  -o, --output-dir DIR  write each IN.xm as DIR/NAME.wav; go on after a failure\n"
    "  --info          print title, channels, patterns, instruments, samples, tempo, BPM,\n"
    "                  frequency table, song length, restart position and play time\n"
    "  -h, --help      print this help\n"
    "  --              end of options: later arguments are file names\n"
    "\n"
    "A regular OUT.wav appears only when complete (written under a temporary name, then\n"
    "renamed). A FIFO or character device is written in place; standard output and those get\n"
    "the exact WAV sizes, or with --no-loop the sizes that mean 'unknown length'.\n"
    "\n"
    "exit status: 0 done, 1 a module or output failed, 2 bad usage\n";

enum class Number { Valid, Invalid, OutOfRange };

// A whole text as a decimal number ("1.5", "2e3", "-4", "+4", "inf", "nan"); nothing else.
Number ParseNumber(const std::string& text, double& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    if (end != last || first == last) return Number::Invalid;
    if (ec == std::errc::result_out_of_range) {
        // Beyond a double: an infinity, or a number too close to zero, with its sign.
        value = std::strtod(text.c_str(), nullptr);
        if (value == 0) value = std::copysign(std::numeric_limits<double>::denorm_min(), value);
        return Number::OutOfRange;
    }
    return ec == std::errc() ? Number::Valid : Number::Invalid;
}

// The value of option `name`: the rest of "--name=value", or the next argument.
bool OptionValue(std::string_view arg, std::string_view name, int argc, const char* const* argv,
                 int& i, std::string& value, std::string& error) {
    if (arg.size() > name.size()) {
        value = std::string(arg.substr(name.size() + 1));
        return true;
    }
    if (i + 1 >= argc) {
        error = std::string(name) + " needs a value";
        return false;
    }
    value = argv[++i];
    return true;
}

// "--name" or "--name=value".
bool Is(std::string_view arg, std::string_view name) {
    return arg == name || (arg.size() > name.size() && arg.substr(0, name.size()) == name &&
                           arg[name.size()] == '=');
}

bool CheckFiles(Options& o, std::vector<std::string>& files, std::string& error) {
    if (o.mode == Mode::Help) return true;
    if (o.mode == Mode::Render) {
        if (files.size() != 2) {
            error = files.empty() ? "no module given (--help shows the usage)"
                    : files.size() == 1
                        ? "no output given: name OUT.wav, '-' for standard output, or use -o DIR"
                        : "one module and one output expected; use -o DIR for several modules";
            return false;
        }
        o.output = files[1];
        files.pop_back();
    } else if (files.empty()) {
        error = "no module given (--help shows the usage)";
        return false;
    }
    o.inputs = std::move(files);
    return true;
}

}  // namespace

bool ParseSeconds(const std::string& text, double& seconds, std::string& error) {
    double value = 0;
    const Number number = ParseNumber(text, value);
    const std::string quoted = "--seconds: '" + text + "' ";
    if (number == Number::Invalid) {
        error = quoted + "is not a number";
    } else if (number == Number::Valid && !std::isfinite(value)) {
        error = quoted + "is not a finite number";
    } else if (!(value > 0)) {
        error = quoted + "is not above 0";
    } else if (value > kMaxSeconds) {
        error = quoted + "is above 21600 (6 hours, the most a WAV file holds)";
    } else if (value * 48000 < 1) {
        error = quoted + "is shorter than one frame";
    } else {
        seconds = value;
        return true;
    }
    return false;
}

bool ParseVolumeStep(const std::string& text, uint32_t& step, std::string& error) {
    double value = 0;
    if (ParseNumber(text, value) != Number::Valid || !std::isfinite(value) ||
        value != std::floor(value) || value < 0 || value > 25) {
        error = "--volume: '" + text + "' is not a volume step (a whole number 0..25)";
        return false;
    }
    step = static_cast<uint32_t>(value);
    return true;
}

bool ParseOptions(int argc, const char* const* argv, Options& o, std::string& error) {
    o = Options{};
    std::vector<std::string> files;
    bool secondsGiven = false, filesOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string value;
        if (filesOnly || arg == "-" || arg.empty() || arg[0] != '-') {
            files.emplace_back(arg);
        } else if (arg == "--") {
            filesOnly = true;
        } else if (arg == "-h" || arg == "--help") {
            o.mode = Mode::Help;
        } else if (arg == "--info") {
            if (o.mode != Mode::Help) o.mode = Mode::Info;
        } else if (arg == "--no-loop") {
            o.noLoop = true;
        } else if (Is(arg, "--seconds")) {
            if (!OptionValue(arg, "--seconds", argc, argv, i, value, error) ||
                !ParseSeconds(value, o.seconds, error))
                return false;
            secondsGiven = true;
        } else if (Is(arg, "--volume")) {
            if (!OptionValue(arg, "--volume", argc, argv, i, value, error) ||
                !ParseVolumeStep(value, o.volumeStep, error))
                return false;
        } else if (arg == "-o" || Is(arg, "--output-dir")) {
            const std::string_view name = arg == "-o" ? "-o" : "--output-dir";
            if (!OptionValue(arg, name, argc, argv, i, o.outputDir, error)) return false;
            if (o.outputDir.empty()) {
                error = "-o: the folder name is empty";
                return false;
            }
        } else {
            error = "unknown option " + std::string(arg) + " (--help lists them)";
            return false;
        }
    }
    if (o.mode == Mode::Render && !o.outputDir.empty()) o.mode = Mode::Batch;
    if (o.mode == Mode::Info && !o.outputDir.empty()) {
        error = "--info renders nothing: -o does not go with it";
        return false;
    }
    if (o.noLoop && !secondsGiven) o.seconds = kDefaultNoLoopSeconds;
    return CheckFiles(o, files, error);
}

const char* HelpText() {
    return kHelp;
}

}  // namespace xmrender
