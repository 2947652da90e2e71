#include "songs.h"

#include <cmath>
#include <random>

namespace bench {

namespace {

struct Rng {
    std::mt19937 engine;
    explicit Rng(uint32_t seed) : engine(seed) {}
    uint32_t operator()() { return static_cast<uint32_t>(engine()); }
};

xmtest::XmInstrument MakeInstrument(Rng& rng, int index, uint32_t maxPoints) {
    const bool chip = index % 2 == 0;
    const uint32_t length = chip ? 32u << (rng() % 3) : 500 + rng() % (maxPoints - 499);
    std::vector<int16_t> points(length);
    const double cycles = chip ? 1.0 : 1.0 + static_cast<double>(rng() % 40);
    for (uint32_t i = 0; i < length; ++i) {
        const double phase = 2 * 3.14159265358979 * cycles * i / length;
        const double noise = chip ? 0.0 : (static_cast<double>(rng() % 2001) - 1000.0);
        const double square = std::sin(phase) >= 0 ? 1.0 : -1.0;
        const double wave = chip ? square : std::sin(phase);
        points[i] = static_cast<int16_t>(wave * 20000.0 + noise);
    }
    xmtest::XmSample sample = xmtest::Sample16(points);
    const uint8_t loopType = index % 5 == 4 ? 0 : index % 3 == 1 ? 2 : 1;
    sample.type = static_cast<uint8_t>(sample.type | loopType);
    if (loopType != 0) {  // loop points in bytes: two per 16-bit point
        const uint32_t loopStart = chip ? 0 : static_cast<uint32_t>(rng() % (length / 2));
        sample.loopStartBytes = 2 * loopStart;
        sample.loopLengthBytes = 2 * (length - loopStart);
    }
    sample.volume = static_cast<uint8_t>(40 + rng() % 25);
    sample.panning = static_cast<uint8_t>(rng() % 256);
    sample.relativeNote = static_cast<int8_t>(chip ? 12 : 0);
    return xmtest::InstrumentWith({sample});
}

xm::Cell MakeCell(Rng& rng, int instruments) {
    xm::Cell cell{};
    if (rng() % 3 != 0) {  // two notes in three cells replace the playing note
        cell.note = static_cast<uint8_t>(25 + rng() % 48);
        cell.instrument = static_cast<uint8_t>(1 + rng() % static_cast<uint32_t>(instruments));
    }
    switch (rng() % 8) {
        case 0:
            cell.effect = 0x0;
            cell.param = 0x37;
            break;  // arpeggio
        case 1:
            cell.effect = 0x4;
            cell.param = 0x46;
            break;  // vibrato
        case 2:
            cell.effect = 0xA;
            cell.param = 0x02;
            break;  // volume slide down
        case 3:
            cell.volume = static_cast<uint8_t>(0x10 + rng() % 65);
            break;
        case 4:
            cell.effect = 0x1;
            cell.param = 0x03;
            break;  // portamento up
        default:
            break;
    }
    return cell;
}

}  // namespace

xmtest::XmSong BusySong(int channels, uint32_t seed, int patterns, int rows,
                        uint32_t maxSamplePoints) {
    Rng rng(seed);
    xmtest::XmSong song;
    song.name = "busy " + std::to_string(channels) + " channels";
    song.channels = static_cast<uint16_t>(channels);
    song.tempo = static_cast<uint16_t>(3 + rng() % 4);
    song.bpm = static_cast<uint16_t>(125 + rng() % 40);
    song.orders.clear();
    const int instrumentCount = 8;
    for (int i = 0; i < instrumentCount; ++i) {
        song.instruments.push_back(MakeInstrument(rng, i, maxSamplePoints));
    }
    for (int p = 0; p < patterns; ++p) {
        xmtest::XmPattern pattern;
        pattern.rows = static_cast<uint16_t>(rows);
        for (int i = 0; i < rows * channels; ++i) {
            pattern.cells.push_back(MakeCell(rng, instrumentCount));
        }
        song.patterns.push_back(std::move(pattern));
        song.orders.push_back(static_cast<uint8_t>(p));
    }
    return song;
}

}  // namespace bench
