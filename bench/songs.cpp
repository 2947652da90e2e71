#include "songs.h"

#include <algorithm>
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

constexpr uint8_t kKeyOff = 97;

// Instrument kinds of a tracker song, one instrument each.
enum class Kind { ChipSquare, ChipPingPong, Bass, Lead, Pad, Kick, Snare, HiHat };
constexpr Kind kKinds[] = {Kind::ChipSquare, Kind::ChipPingPong, Kind::Bass,  Kind::Lead,
                           Kind::Pad,        Kind::Kick,         Kind::Snare, Kind::HiHat};

bool IsDrum(Kind kind) {
    return kind == Kind::Kick || kind == Kind::Snare || kind == Kind::HiHat;
}

xmtest::XmEnvelope Envelope(std::vector<xm::EnvelopePoint> points, int sustain, int loopStart,
                            int loopEnd) {
    xmtest::XmEnvelope e;
    std::copy(points.begin(), points.end(), e.points.begin());
    e.count = static_cast<uint8_t>(points.size());
    e.type = xm::kEnvelopeOn;
    if (sustain >= 0) {
        e.type |= xm::kEnvelopeSustain;
        e.sustain = static_cast<uint8_t>(sustain);
    }
    if (loopStart >= 0) {
        e.type |= xm::kEnvelopeLoop;
        e.loopStart = static_cast<uint8_t>(loopStart);
        e.loopEnd = static_cast<uint8_t>(loopEnd);
    }
    return e;
}

xmtest::XmInstrument TrackerInstrument(Rng& rng, Kind kind) {
    uint32_t length = 0, loopStart = 0;
    uint8_t loopType = 0;  // 1 forward, 2 ping-pong
    bool sixteenBit = true;
    switch (kind) {
        case Kind::ChipSquare:
            length = 32u << (rng() % 2), loopType = 1, sixteenBit = false;
            break;
        case Kind::ChipPingPong:
            length = 48 + rng() % 32, loopType = 2, sixteenBit = false;
            break;
        case Kind::Bass:
            length = 256, loopType = 1;
            break;
        case Kind::Lead:
            length = 1200 + rng() % 800, loopStart = 600, loopType = 1;
            break;
        case Kind::Pad:
            length = 3000 + rng() % 2000, loopStart = 1000, loopType = 2;
            break;
        case Kind::Kick:
            length = 3000, sixteenBit = false;
            break;
        case Kind::Snare:
            length = 4000 + rng() % 2000;
            break;
        case Kind::HiHat:
            length = 900, sixteenBit = false;
            break;
    }
    std::vector<int16_t> points(length);
    for (uint32_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i);
        const double decay = std::exp(-t / (0.3 * length));
        const double noise = static_cast<double>(rng() % 2001) / 1000.0 - 1.0;
        double wave = 0;
        switch (kind) {
            case Kind::ChipSquare:
                wave = i < length / 2 ? 0.8 : -0.8;
                break;
            case Kind::ChipPingPong:
                wave = 1.6 * t / length - 0.8;
                break;
            case Kind::Bass:
                wave = 0.9 * std::sin(2 * 3.14159265 * t / 64);
                break;
            case Kind::Lead:
                wave = 0.5 * std::sin(t / 7) + 0.3 * std::sin(t / 3.1);
                break;
            case Kind::Pad:
                wave = 0.4 * std::sin(t / 11) + 0.2 * noise;
                break;
            case Kind::Kick:
                wave = decay * std::sin(t / (8 + t / 200));
                break;
            case Kind::Snare:
                wave = decay * (0.7 * noise + 0.3 * std::sin(t / 5));
                break;
            case Kind::HiHat:
                wave = decay * noise;
                break;
        }
        points[i] = static_cast<int16_t>(std::clamp(wave, -1.0, 1.0) * 30000.0);
    }
    xmtest::XmSample sample;
    if (sixteenBit) {
        sample = xmtest::Sample16(points);
    } else {
        std::vector<int8_t> bytes(length);
        for (uint32_t i = 0; i < length; ++i) bytes[i] = static_cast<int8_t>(points[i] / 256);
        sample = xmtest::Sample8(bytes);
    }
    const uint32_t width = sixteenBit ? 2 : 1;  // loop points are given in bytes
    sample.type = static_cast<uint8_t>(sample.type | loopType);
    if (loopType != 0) {
        sample.loopStartBytes = width * loopStart;
        sample.loopLengthBytes = width * (length - loopStart);
    }
    sample.volume = static_cast<uint8_t>(48 + rng() % 17);
    sample.panning = static_cast<uint8_t>(64 + rng() % 128);
    sample.relativeNote = static_cast<int8_t>(kind == Kind::ChipSquare ? 24 : 0);
    xmtest::XmInstrument instrument = xmtest::InstrumentWith({sample});
    // Volume envelopes: an attack, a sustained level and a release, with a loop on the pad.
    switch (kind) {
        case Kind::ChipSquare:
        case Kind::ChipPingPong:
        case Kind::Bass:
            instrument.volume = Envelope({{0, 64}, {6, 48}, {20, 40}, {60, 0}}, 2, -1, -1);
            instrument.fadeout = 0x400;
            break;
        case Kind::Lead:
            instrument.volume =
                Envelope({{0, 0}, {3, 64}, {12, 44}, {40, 36}, {120, 0}}, 3, -1, -1);
            instrument.fadeout = 0x200;
            instrument.vibratoType = 0, instrument.vibratoSweep = 20;
            instrument.vibratoDepth = 4, instrument.vibratoRate = 12;
            break;
        case Kind::Pad:
            instrument.volume =
                Envelope({{0, 0}, {16, 56}, {32, 40}, {48, 56}, {200, 0}}, -1, 1, 3);
            instrument.fadeout = 0x100;
            break;
        default:  // drums decay by themselves
            instrument.volume = Envelope({{0, 64}, {4, 40}, {16, 12}, {48, 0}}, -1, -1, -1);
            instrument.fadeout = 0x800;
            break;
    }
    return instrument;
}

// The effect a channel keeps running between notes; 0 parameters repeat the last one.
void RunningEffect(Rng& rng, uint8_t& effect, uint8_t& param) {
    const uint32_t pick = rng() % 100;
    if (pick < 35) {
        effect = 0xA;
        param = static_cast<uint8_t>(rng() % 4 == 0 ? 0x10 * (1 + rng() % 3) : 1 + rng() % 4);
    } else if (pick < 50) {
        effect = 0x4, param = static_cast<uint8_t>(0x10 * (3 + rng() % 6) + 2 + rng() % 6);
    } else if (pick < 58) {
        effect = 0x7, param = static_cast<uint8_t>(0x10 * (4 + rng() % 4) + 4 + rng() % 8);
    } else if (pick < 70) {
        effect = 0x0, param = rng() % 2 == 0 ? 0x37 : 0x47;
    } else if (pick < 80) {
        effect = static_cast<uint8_t>(1 + rng() % 2), param = static_cast<uint8_t>(1 + rng() % 6);
    } else if (pick < 88) {
        effect = 0x6, param = 0x01;  // vibrato and volume slide
    } else {
        effect = 0, param = 0;  // some stretches hold still
    }
}

// Instrument kinds of a chip song, one instrument each.
enum class Chip { Square, Pulse, Saw, Triangle, Bass, Lead, Kick, Noise };
constexpr Chip kChips[] = {Chip::Square, Chip::Pulse, Chip::Saw,  Chip::Triangle,
                           Chip::Bass,   Chip::Lead,  Chip::Kick, Chip::Noise};

xmtest::XmInstrument ChipInstrument(Rng& rng, Chip kind) {
    uint32_t length = 0, loopStart = 0;
    uint8_t loopType = 1;  // 1 forward, 2 ping-pong
    bool sixteenBit = true;
    int8_t relativeNote = 0;
    switch (kind) {
        case Chip::Square:
            length = 16u << (rng() % 3), sixteenBit = false, relativeNote = 24;
            break;
        case Chip::Pulse:
            length = 64, relativeNote = 12;
            break;
        case Chip::Saw:
            length = 40 + rng() % 80, loopStart = 8, loopType = 2, relativeNote = 12;
            break;
        case Chip::Triangle:
            length = 100 + rng() % 100, loopType = 2, sixteenBit = false;
            break;
        case Chip::Bass:
            length = 300 + rng() % 200, loopStart = 100;
            break;
        case Chip::Lead:
            length = 256, loopStart = 128;
            break;
        case Chip::Kick:
            length = 2000, loopType = 0, sixteenBit = false;
            break;
        case Chip::Noise:
            length = 200 + rng() % 56, sixteenBit = false;
            break;
    }
    std::vector<int16_t> points(length);
    for (uint32_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i), x = t / length;
        double wave = 0;
        switch (kind) {
            case Chip::Square:
                wave = x < 0.5 ? 0.7 : -0.7;
                break;
            case Chip::Pulse:
                wave = x < 0.25 ? 0.7 : -0.7;
                break;
            case Chip::Saw:
                wave = 1.4 * x - 0.7;
                break;
            case Chip::Triangle:
                wave = 0.8 - 1.6 * std::abs(2 * x - 1);
                break;
            case Chip::Bass:
                wave = 0.8 * std::sin(2 * 3.14159265 * t / 100) + 0.1 * std::sin(t / 3);
                break;
            case Chip::Lead:
                wave = 0.5 * std::sin(2 * 3.14159265 * t / 64) +
                       0.25 * std::sin(2 * 3.14159265 * t / 32);
                break;
            case Chip::Kick:
                wave = std::exp(-t / 600) * std::sin(t / (6 + t / 150));
                break;
            case Chip::Noise:
                wave = static_cast<double>(rng() % 2001) / 1000.0 - 1.0;
                break;
        }
        points[i] = static_cast<int16_t>(std::clamp(wave, -1.0, 1.0) * 30000.0);
    }
    xmtest::XmSample sample;
    if (sixteenBit) {
        sample = xmtest::Sample16(points);
    } else {
        std::vector<int8_t> bytes(length);
        for (uint32_t i = 0; i < length; ++i) bytes[i] = static_cast<int8_t>(points[i] / 256);
        sample = xmtest::Sample8(bytes);
    }
    const uint32_t width = sixteenBit ? 2 : 1;  // loop points are given in bytes
    sample.type = static_cast<uint8_t>(sample.type | loopType);
    if (loopType != 0) {
        sample.loopStartBytes = width * loopStart;
        sample.loopLengthBytes = width * (length - loopStart);
    }
    sample.volume = static_cast<uint8_t>(40 + rng() % 25);
    sample.panning = static_cast<uint8_t>(48 + rng() % 160);
    sample.relativeNote = relativeNote;
    xmtest::XmInstrument instrument = xmtest::InstrumentWith({sample});
    // Short envelopes: a pluck held a little and released, the drums decaying by themselves.
    if (kind == Chip::Kick || kind == Chip::Noise) {
        instrument.volume = Envelope({{0, 64}, {3, 32}, {10, 8}, {20, 0}}, -1, -1, -1);
        instrument.fadeout = 0x800;
    } else {
        instrument.volume = Envelope({{0, 64}, {2, 56}, {6, 44}, {30, 0}}, 2, -1, -1);
        instrument.fadeout = 0x600;
    }
    if (kind == Chip::Lead) {
        instrument.vibratoSweep = 8, instrument.vibratoDepth = 3, instrument.vibratoRate = 16;
    }
    return instrument;
}
}  // namespace

xmtest::XmSong TrackerSong(int channels, uint32_t seed) {
    Rng rng(seed);
    xmtest::XmSong song;
    song.name = "tracker " + std::to_string(channels) + " channels";
    song.channels = static_cast<uint16_t>(channels);
    song.tempo = 6;
    song.bpm = static_cast<uint16_t>(125 + rng() % 30);
    song.orders.clear();
    for (Kind kind : kKinds) song.instruments.push_back(TrackerInstrument(rng, kind));
    const int patterns = 8, rows = 64;
    for (int p = 0; p < patterns; ++p) {
        xmtest::XmPattern pattern = xmtest::EmptyPattern(rows, channels);
        for (int ch = 0; ch < channels; ++ch) {
            // A channel plays one instrument per pattern, drums on the first channels.
            const int instrument =
                ch % 4 == 0 ? 5 + static_cast<int>(rng() % 3) : static_cast<int>(rng() % 5);
            const Kind kind = kKinds[instrument];
            uint8_t effect = 0, param = 0;
            int sinceNote = 64;
            for (int row = 0; row < rows; ++row) {
                xm::Cell& cell = pattern.cells[static_cast<size_t>(row * channels + ch)];
                const bool note = IsDrum(kind) ? row % 8 == 0 || rng() % 16 == 0 : rng() % 10 == 0;
                if (note) {
                    cell.note = static_cast<uint8_t>(IsDrum(kind) ? 49 : 25 + rng() % 48);
                    cell.instrument = static_cast<uint8_t>(instrument + 1);
                    if (rng() % 3 != 0) cell.volume = static_cast<uint8_t>(0x10 + 24 + rng() % 41);
                    RunningEffect(rng, effect, param);
                    if (effect == 0x1 || effect == 0x2) effect = 0x3, param = 0x10;
                    sinceNote = 0;
                } else if (!IsDrum(kind) && sinceNote == 3 + static_cast<int>(rng() % 6) &&
                           rng() % 2 == 0) {
                    cell.note = kKeyOff;  // released: the next note often cuts the fade
                } else if (rng() % 12 == 0) {
                    cell.volume = static_cast<uint8_t>(rng() % 2 == 0 ? 0x60 + 1 + rng() % 3
                                                                      : 0x70 + 1 + rng() % 2);
                }
                if (!IsDrum(kind) && sinceNote < 64) {
                    cell.effect = effect;
                    cell.param = sinceNote == 0 || effect == 0x0 ? param : 0;
                }
                ++sinceNote;
            }
        }
        song.patterns.push_back(std::move(pattern));
    }
    for (int order : {0, 1, 2, 1, 3, 4, 5, 4, 6, 7, 2, 3}) {
        song.orders.push_back(static_cast<uint8_t>(order));
    }
    return song;
}

xmtest::XmSong ChipSong(int channels, uint32_t seed) {
    Rng rng(seed);
    xmtest::XmSong song;
    song.name = "chip " + std::to_string(channels) + " channels";
    song.channels = static_cast<uint16_t>(channels);
    song.tempo = 3;
    song.bpm = static_cast<uint16_t>(180 + rng() % 16);
    song.orders.clear();
    for (Chip kind : kChips) song.instruments.push_back(ChipInstrument(rng, kind));
    const int patterns = 8, rows = 64;
    for (int p = 0; p < patterns; ++p) {
        xmtest::XmPattern pattern = xmtest::EmptyPattern(rows, channels);
        for (int ch = 0; ch < channels; ++ch) {
            // Drums on the first channel, bass on the second, the others chip voices.
            const bool drums = ch == 0;
            // Forward loops three times in four, as chip songs have them.
            constexpr int kChipVoices[] = {0, 0, 0, 1, 1, 5, 5, 2, 3, 0, 1, 5};
            const int instrument = drums ? 6 : ch == 1 ? 4 : kChipVoices[rng() % 12];
            const bool chords = !drums && rng() % 3 == 0;  // arpeggio on every note
            uint8_t note = static_cast<uint8_t>(37 + rng() % 24);
            for (int row = 0; row < rows; ++row) {
                xm::Cell& cell = pattern.cells[static_cast<size_t>(row * channels + ch)];
                const uint32_t pick = rng() % 100;
                if (drums) {
                    cell.note = 49;
                    cell.instrument = static_cast<uint8_t>(row % 4 == 0 ? 7 : 8);
                    cell.volume = static_cast<uint8_t>(0x10 + 32 + rng() % 33);
                    continue;
                }
                if (pick < 40) {
                    if (rng() % 3 == 0) note = static_cast<uint8_t>(37 + rng() % 24);
                    cell.note = note;
                    cell.instrument = static_cast<uint8_t>(instrument + 1);
                    if (rng() % 3 != 0) cell.volume = static_cast<uint8_t>(0x10 + 24 + rng() % 41);
                } else if (pick < 75) {
                    cell.volume = static_cast<uint8_t>(0x10 + 8 + rng() % 57);
                } else if (pick < 80) {
                    cell.note = kKeyOff;
                }
                if (chords) {
                    cell.effect = 0x0, cell.param = rng() % 2 == 0 ? 0x37 : 0x47;
                } else if (rng() % 2 == 0) {
                    cell.effect = 0xA, cell.param = static_cast<uint8_t>(1 + rng() % 6);
                } else if (rng() % 3 == 0) {
                    cell.effect = 0x4,
                    cell.param = static_cast<uint8_t>(0x10 * (4 + rng() % 6) + 3);
                }
            }
        }
        song.patterns.push_back(std::move(pattern));
    }
    for (int order : {0, 1, 2, 3, 0, 1, 4, 5, 6, 7, 4, 5}) {
        song.orders.push_back(static_cast<uint8_t>(order));
    }
    return song;
}

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
