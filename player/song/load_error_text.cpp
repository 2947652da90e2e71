// The text of a refusal, for tools. Kept apart from the loader so that the program, which only
// needs to know whether a song loaded, links none of the string formatting.
#include <string>

#include "player/song/loader.h"

namespace xm {

std::string DescribeLoadError(const LoadError& e) {
    const std::string value = std::to_string(e.value);
    const std::string instrument = "instrument " + std::to_string(e.instrument);
    switch (e.failure) {
        case LoadFailure::None:
            return "loaded";
        case LoadFailure::CannotOpen:
            return "cannot be opened";
        case LoadFailure::NoPatterns:
            return "the header says 0 patterns; at least 1 is needed";
        case LoadFailure::SongLength:
            return "the song length is " + value + " orders; 1 to 256 are supported";
        case LoadFailure::Channels:
            return "the song has " + value + " channels; 1 to 64 are supported";
        case LoadFailure::PatternRows:
            return "pattern " + std::to_string(e.pattern) + " has " + value +
                   " rows; 1 to 256 are supported";
        case LoadFailure::SampleCount:
            return instrument + " has " + value + " samples; at most 16 are supported";
        case LoadFailure::SampleHeaderSize:
            return instrument + " has sample headers of " + value +
                   " bytes; at most 40 are supported";
        case LoadFailure::SampleLength:
            return instrument + ", sample " + std::to_string(e.sample) + " has " + value +
                   " points; at most 4194303 are supported";
        case LoadFailure::OutOfMemory:
            return "the song needs more than the " + std::to_string(e.value >> 20) +
                   " MiB of memory a song may take";
    }
    return "refused";
}

}  // namespace xm
