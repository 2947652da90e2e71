// Writes the program's music, res/music.xm: a four-channel chip tune in A minor with synthesised
// 8-bit samples (a pulse lead, a triangle bass, kick, snare and hat).
// Everything is computed from this file alone, so the module can be rebuilt byte for byte:
//   make_music res/music.xm
//
// Song: 4 bars of 4/4 per 64-row pattern at speed 4 and 125 BPM (4 rows a beat). The order list
// plays an intro (orders 0-5) once, then loops orders 6-16 through a jump back to order 6.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Samples. The pitched ones hold 32 points per cycle: played at C-4 (8,363 points per second)
// they sound at C4, so note names in the patterns are the pitches heard.

constexpr double kPi = 3.14159265358979323846;
constexpr int kCyclePoints = 32;

int8_t ToByte(double v) {
    const double clamped = std::fmax(-1.0, std::fmin(1.0, v));
    return static_cast<int8_t>(std::lround(clamped * 127.0));
}

// A 25% pulse, the classic lead of sound chips, with its levels set so that it carries no DC
// (a note that starts or stops then does not thump).
std::vector<int8_t> PulseLead() {
    std::vector<int8_t> points;
    for (int i = 0; i < kCyclePoints; ++i) {
        points.push_back(ToByte(i < kCyclePoints / 4 ? 0.87 : -0.29));
    }
    return points;
}

// A 4-bit-stepped triangle, as chip bass channels sound.
std::vector<int8_t> TriangleBass() {
    std::vector<int8_t> points;
    for (int i = 0; i < kCyclePoints; ++i) {
        const double phase = (i + 0.5) / kCyclePoints;
        const double tri = phase < 0.5 ? 4.0 * phase - 1.0 : 3.0 - 4.0 * phase;
        points.push_back(ToByte(std::round(tri * 7.5) / 7.5 * 0.95));
    }
    return points;
}

// A 16-bit Galois noise register, the chip's noise channel.
class Noise {
  public:
    double Next() {
        const unsigned bit = state_ & 1u;
        state_ >>= 1;
        if (bit) state_ ^= 0xB400u;
        return (state_ & 1u) ? 1.0 : -1.0;
    }

  private:
    unsigned state_ = 0xACE1u;
};

// Kick: a sine falling from 180 Hz to 45 Hz, at 8,363 points per second (played at C-4).
std::vector<int8_t> Kick() {
    const double rate = 8363.0;
    std::vector<int8_t> points;
    double phase = 0.0;
    for (int i = 0; i < 1000; ++i) {
        const double t = i / rate;
        const double frequency = 45.0 + 135.0 * std::exp(-t * 28.0);
        phase += 2.0 * kPi * frequency / rate;
        const double envelope = std::exp(-t * 20.0) * std::fmin(1.0, i / 8.0);
        points.push_back(ToByte(std::sin(phase) * envelope * 1.05));
    }
    return points;
}

// Snare: a short 190 Hz body under a longer noise burst, at 16,726 points per second (C-5).
std::vector<int8_t> Snare() {
    const double rate = 16726.0;
    Noise noise;
    std::vector<int8_t> points;
    double previous = 0.0;
    for (int i = 0; i < 1200; ++i) {
        const double t = i / rate;
        const double raw = noise.Next();
        const double bright = raw - 0.5 * previous;  // tilt the noise towards the top
        previous = raw;
        const double body = std::sin(2.0 * kPi * 190.0 * t) * std::exp(-t * 40.0);
        const double hiss = bright * 0.55 * std::exp(-t * 34.0);
        points.push_back(ToByte(0.75 * body + hiss));
    }
    return points;
}

// Closed hat: differentiated noise with a fast decay, at 33,452 points per second (C-6).
std::vector<int8_t> Hat() {
    const double rate = 33452.0;
    Noise noise;
    for (int i = 0; i < 77; ++i) noise.Next();  // a different stretch of noise than the snare
    std::vector<int8_t> points;
    double previous = 0.0;
    for (int i = 0; i < 600; ++i) {
        const double t = i / rate;
        const double raw = noise.Next();
        points.push_back(ToByte((raw - previous) * 0.4 * std::exp(-t * 150.0)));
        previous = raw;
    }
    return points;
}

// One-shot samples end at silence, without a click.
std::vector<int8_t> FadeTail(std::vector<int8_t> points) {
    const size_t fade = 64;
    for (size_t i = 0; i < fade && i < points.size(); ++i) {
        int8_t& p = points[points.size() - 1 - i];
        p = static_cast<int8_t>(p * static_cast<int>(i) / static_cast<int>(fade));
    }
    return points;
}

struct SampleDef {
    std::vector<int8_t> points;
    bool loop;  // forward loop over the whole sample
    uint8_t volume;
    uint8_t panning;
};

// ---------------------------------------------------------------------------------------------
// Patterns.

constexpr int kChannels = 4;
constexpr int kRows = 64;
constexpr int kRowsPerBar = 16;
enum Channel { kLead = 0, kChords = 1, kBass = 2, kDrums = 3 };
enum Instrument : uint8_t { kPulse = 1, kTriangle = 2, kKick = 3, kSnare = 4, kHat = 5 };

// Effects and volume column.
constexpr uint8_t kArpeggio = 0x0, kTonePortamento = 0x3, kVibrato = 0x4, kVibratoVolumeSlide = 0x6,
                  kVolumeSlide = 0xA, kPositionJump = 0xB, kSetSpeed = 0xF;
uint8_t SetVolume(int volume) {
    return static_cast<uint8_t>(0x10 + volume);
}

struct Cell {
    uint8_t note = 0, instrument = 0, volume = 0, effect = 0, param = 0;
};

// "A-4", "C#5": XM note numbers, 1 = C-0.
uint8_t Note(const std::string& name) {
    static const char* const kNames[] = {"C-", "C#", "D-", "D#", "E-", "F-",
                                         "F#", "G-", "G#", "A-", "A#", "B-"};
    for (int semitone = 0; semitone < 12; ++semitone) {
        if (name.compare(0, 2, kNames[semitone]) == 0) {
            return static_cast<uint8_t>(1 + 12 * (name[2] - '0') + semitone);
        }
    }
    std::fprintf(stderr, "bad note %s\n", name.c_str());
    std::exit(1);
}

class Pattern {
  public:
    Cell& At(int row, int channel) { return cells_[row * kChannels + channel]; }
    const std::vector<Cell>& cells() const { return cells_; }

  private:
    std::vector<Cell> cells_ = std::vector<Cell>(kRows * kChannels);
};

// A melody line: tokens "NOTE:rows", "~NOTE:rows" (slide into the note), "-:rows" (rest).
// Held notes get vibrato after their attack, and the longest fade out under vibrato.
void Melody(Pattern& p, int channel, int volume, const std::string& line) {
    int row = 0;
    size_t at = 0;
    while (at < line.size()) {
        const size_t end = line.find(' ', at);
        const std::string token = line.substr(at, end == std::string::npos ? end : end - at);
        at = end == std::string::npos ? line.size() : end + 1;
        if (token.empty()) continue;
        const bool slide = token[0] == '~';
        const std::string body = slide ? token.substr(1) : token;
        const int rows = std::stoi(body.substr(body.find(':') + 1));
        if (body[0] == '-') {
            p.At(row, channel).volume = SetVolume(0);  // a rest silences the ringing note
        } else {
            Cell& first = p.At(row, channel);
            first.note = Note(body.substr(0, 3));
            first.instrument = kPulse;
            first.volume = SetVolume(volume);
            // A slide takes three rows (0.75 semitones a tick); vibrato follows the attack.
            const int vibratoFrom = 3;
            for (int r = 0; slide && r < 3 && r < rows; ++r) {
                p.At(row + r, channel).effect = kTonePortamento;
                p.At(row + r, channel).param = r == 0 ? 0x0C : 0x00;
            }
            for (int r = vibratoFrom; r < rows; ++r) {
                Cell& held = p.At(row + r, channel);
                const bool tail = rows >= 12 && r >= rows - 6;
                held.effect = tail ? kVibratoVolumeSlide : kVibrato;
                held.param = tail ? 0x01 : (r == vibratoFrom ? 0x56 : 0x00);
            }
        }
        row += rows;
    }
    if (row != kRows) {
        std::fprintf(stderr, "melody of %d rows: %s\n", row, line.c_str());
        std::exit(1);
    }
}

struct Chord {
    const char* root;  // of the arpeggio, octave 3 or 4
    uint8_t shape;     // arpeggio: 0x37 minor, 0x47 major
    const char* bass;  // octave 1 or 2
};
const Chord kAm{"A-3", 0x37, "A-1"}, kF{"F-3", 0x47, "F-1"}, kC{"C-4", 0x47, "C-2"},
    kG{"G-3", 0x47, "G-1"}, kDm{"D-4", 0x37, "D-2"}, kEm{"E-4", 0x37, "E-1"},
    kE{"E-4", 0x47, "E-1"};

// Arpeggiated chords, struck on every half bar, the arpeggio held on every row.
void Chords(Pattern& p, const Chord (&bars)[4], int volume) {
    for (int bar = 0; bar < 4; ++bar) {
        for (int r = 0; r < kRowsPerBar; ++r) {
            Cell& cell = p.At(bar * kRowsPerBar + r, kChords);
            if (r % 8 == 0) {
                cell.note = Note(bars[bar].root);
                cell.instrument = kPulse;
                cell.volume = SetVolume(r == 0 ? volume : volume - 6);
            }
            cell.effect = kArpeggio;
            cell.param = bars[bar].shape;
        }
    }
}

// The bass in eighths: root, root, octave, root, root, octave, root, fifth.
void Bass(Pattern& p, const Chord (&bars)[4]) {
    const int steps[8] = {0, 0, 12, 0, 0, 12, 0, 7};
    for (int bar = 0; bar < 4; ++bar) {
        for (int i = 0; i < 8; ++i) {
            Cell& cell = p.At(bar * kRowsPerBar + 2 * i, kBass);
            cell.note = static_cast<uint8_t>(Note(bars[bar].bass) + 12 + steps[i]);
            cell.instrument = kTriangle;
        }
    }
}

// Long bass notes that die away: one note per bar, sliding down in volume.
void BassHeld(Pattern& p, const Chord (&bars)[4]) {
    for (int bar = 0; bar < 4; ++bar) {
        for (int r = 0; r < kRowsPerBar; ++r) {
            Cell& cell = p.At(bar * kRowsPerBar + r, kBass);
            if (r == 0) {
                cell.note = static_cast<uint8_t>(Note(bars[bar].bass) + 12);
                cell.instrument = kTriangle;
            } else if (r >= 4) {
                cell.effect = kVolumeSlide;
                cell.param = 0x01;
            }
        }
    }
}

enum class Beat { Full, Intro, Sparse, Fill, Roll };

void Hit(Pattern& p, int row, uint8_t instrument, const char* note, int volume) {
    Cell& cell = p.At(row, kDrums);
    cell.note = Note(note);
    cell.instrument = instrument;
    cell.volume = SetVolume(volume);
}

void DrumBar(Pattern& p, int bar, Beat beat) {
    const int b = bar * kRowsPerBar;
    const auto kick = [&](int r) { Hit(p, b + r, kKick, "C-4", 64); };
    const auto snare = [&](int r, int v) { Hit(p, b + r, kSnare, "C-5", v); };
    const auto hat = [&](int r, int v) { Hit(p, b + r, kHat, "C-6", v); };
    switch (beat) {
        case Beat::Intro:
            kick(0), hat(2, 30), hat(4, 20), hat(6, 30), kick(8), hat(10, 30), hat(12, 20),
                hat(14, 30);
            break;
        case Beat::Sparse:
            kick(0), hat(8, 22);
            break;
        case Beat::Full:
        case Beat::Fill:
        case Beat::Roll:
            kick(0), hat(2, 32), snare(4, 58), hat(6, 26), kick(8);
            if (beat == Beat::Full) {
                kick(10), snare(12, 58), hat(14, 32);
            } else if (beat == Beat::Fill) {
                snare(10, 40), snare(12, 58), snare(14, 48), snare(15, 62);
            } else {
                for (int r = 9; r < 16; ++r) snare(r, 24 + 5 * (r - 8));
            }
            break;
    }
}

// Standard drums for a pattern, with a fill in its last bar.
void Drums(Pattern& p, Beat last = Beat::Fill) {
    for (int bar = 0; bar < 3; ++bar) DrumBar(p, bar, Beat::Full);
    DrumBar(p, 3, last);
}

// ---------------------------------------------------------------------------------------------
// The song.

const Chord kVerse[4] = {kAm, kF, kC, kG};
const Chord kVerseTurn[4] = {kAm, kF, kDm, kE};
const Chord kBridge[4] = {kDm, kEm, kF, kE};
const Chord kBuild[4] = {kF, kG, kE, kE};
const Chord kChorus[4] = {kF, kG, kEm, kAm};
const Chord kChorusTurn[4] = {kF, kG, kC, kE};
const Chord kChorusOut[4] = {kF, kG, kAm, kG};
const Chord kBreak[4] = {kAm, kAm, kF, kG};

std::vector<Pattern> Compose() {
    std::vector<Pattern> song(13);

    // 0: intro, bass and hats.
    Bass(song[0], kVerse);
    for (int bar = 0; bar < 4; ++bar) DrumBar(song[0], bar, bar == 3 ? Beat::Fill : Beat::Intro);
    song[0].At(0, kLead).effect = kSetSpeed;
    song[0].At(0, kLead).param = 4;

    // 1: the chords join.
    Bass(song[1], kVerse);
    Chords(song[1], kVerse, 30);
    Drums(song[1]);

    // 2, 3: the theme.
    Bass(song[2], kVerse);
    Chords(song[2], kVerse, 22);
    Drums(song[2]);
    Melody(song[2], kLead, 44,
           "E-5:4 A-5:4 G-5:2 E-5:2 C-5:4 "
           "F-5:6 E-5:2 C-5:4 A-4:4 "
           "G-4:2 C-5:2 E-5:4 G-5:4 E-5:2 D-5:2 "
           "D-5:8 B-4:4 G-4:4");
    Bass(song[3], kVerse);
    Chords(song[3], kVerse, 22);
    Drums(song[3]);
    Melody(song[3], kLead, 44,
           "E-5:4 A-5:4 B-5:2 C-6:2 B-5:4 "
           "A-5:6 G-5:2 F-5:4 A-5:4 "
           "G-5:4 E-5:2 C-5:2 E-5:4 G-5:4 "
           "G-5:4 F-5:2 E-5:2 ~D-5:8");

    // 4: bridge, towards E major.
    Bass(song[4], kBridge);
    Chords(song[4], kBridge, 24);
    Drums(song[4]);
    Melody(song[4], kLead, 42,
           "F-5:4 E-5:2 D-5:2 A-4:8 "
           "G-5:4 F-5:2 E-5:2 B-4:8 "
           "A-5:4 G-5:2 F-5:2 C-5:4 F-5:4 "
           "E-5:8 G#5:4 B-5:4");

    // 5: build-up into the chorus.
    Bass(song[5], kBuild);
    Chords(song[5], kBuild, 26);
    Drums(song[5], Beat::Roll);
    Melody(song[5], kLead, 44,
           "C-5:2 F-5:2 A-5:4 C-6:8 "
           "B-4:2 D-5:2 G-5:4 B-5:8 "
           "G#4:4 B-4:4 E-5:4 G#5:4 "
           "B-5:16");

    // 6, 7: the chorus (the loop starts here).
    Bass(song[6], kChorus);
    Chords(song[6], kChorus, 24);
    Drums(song[6]);
    song[6].At(0, kDrums).effect = kSetSpeed;
    song[6].At(0, kDrums).param = 4;
    Melody(song[6], kLead, 46,
           "C-6:4 A-5:4 F-5:2 A-5:2 C-6:4 "
           "D-6:4 B-5:4 G-5:2 B-5:2 D-6:4 "
           "E-6:6 D-6:2 B-5:4 G-5:4 "
           "A-5:12 E-5:2 G-5:2");
    Bass(song[7], kChorusTurn);
    Chords(song[7], kChorusTurn, 24);
    Drums(song[7]);
    Melody(song[7], kLead, 46,
           "C-6:4 A-5:4 F-5:2 A-5:2 C-6:4 "
           "D-6:4 B-5:4 D-6:2 E-6:2 F-6:4 "
           "E-6:6 D-6:2 C-6:4 G-5:4 "
           "G#5:8 B-5:4 ~E-6:4");

    // 8, 9: second verse, running eighths.
    Bass(song[8], kVerse);
    Chords(song[8], kVerse, 20);
    Drums(song[8]);
    Melody(song[8], kLead, 38,
           "A-4:2 C-5:2 E-5:2 A-5:2 G-5:2 E-5:2 C-5:2 E-5:2 "
           "F-4:2 A-4:2 C-5:2 F-5:2 E-5:2 C-5:2 A-4:2 C-5:2 "
           "G-4:2 C-5:2 E-5:2 G-5:2 F-5:2 E-5:2 D-5:2 C-5:2 "
           "D-5:4 B-4:4 G-4:4 B-4:4");
    Bass(song[9], kVerseTurn);
    Chords(song[9], kVerseTurn, 22);
    Drums(song[9]);
    Melody(song[9], kLead, 40,
           "A-5:2 G-5:2 E-5:2 C-5:2 E-5:4 A-5:4 "
           "F-5:2 E-5:2 C-5:2 A-4:2 C-5:4 F-5:4 "
           "D-5:2 F-5:2 A-5:2 D-6:2 C-6:4 A-5:4 "
           "B-5:8 ~G#5:8");

    // 10: break, held notes over a sparse beat.
    BassHeld(song[10], kBreak);
    for (int bar = 0; bar < 4; ++bar) DrumBar(song[10], bar, bar == 3 ? Beat::Roll : Beat::Sparse);
    Melody(song[10], kLead, 42,
           "A-5:16 "
           "-:8 E-5:4 G-5:4 "
           "F-5:16 "
           "G-5:8 B-5:8");

    // 11: the chorus once more, turning back to the theme.
    Bass(song[11], kChorusOut);
    Chords(song[11], kChorusOut, 24);
    Drums(song[11]);
    Melody(song[11], kLead, 46,
           "C-6:4 A-5:4 F-5:2 A-5:2 C-6:4 "
           "D-6:4 B-5:4 G-5:2 B-5:2 D-6:4 "
           "E-6:6 C-6:2 A-5:4 E-5:4 "
           "D-5:4 B-4:4 G-4:8");

    // 12: turnaround, then back to the chorus.
    Bass(song[12], kBuild);
    Chords(song[12], kBuild, 26);
    Drums(song[12], Beat::Roll);
    Melody(song[12], kLead, 44,
           "A-5:2 C-6:2 F-6:4 E-6:4 C-6:4 "
           "B-5:2 D-6:2 G-6:4 F-6:4 D-6:4 "
           "E-6:4 B-5:4 G#5:4 E-5:4 "
           "E-5:4 G#5:4 B-5:8");
    song[12].At(kRows - 1, kChords).effect = kPositionJump;
    song[12].At(kRows - 1, kChords).param = 6;

    return song;
}

const uint8_t kOrders[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 6, 11, 2, 3, 4, 12};

// ---------------------------------------------------------------------------------------------
// The file.

class Writer {
  public:
    void U8(unsigned v) { bytes_.push_back(static_cast<uint8_t>(v)); }
    void U16(unsigned v) {
        U8(v & 0xFF);
        U8(v >> 8);
    }
    void U32(unsigned v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Text(const std::string& s, size_t width) {
        for (size_t i = 0; i < width; ++i) U8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    }
    void Zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }
    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

void WriteHeader(Writer& w, int patterns, int instruments) {
    w.Text("Extended Module: ", 17);
    w.Text("Veldraskon Skies", 20);
    w.U8(0x1A);
    w.Text("make_music", 20);
    w.U16(0x0104);
    w.U32(276);
    w.U16(sizeof kOrders);
    w.U16(0);  // restart position
    w.U16(kChannels);
    w.U16(static_cast<unsigned>(patterns));
    w.U16(static_cast<unsigned>(instruments));
    w.U16(1);  // linear frequency table
    w.U16(4);  // speed
    w.U16(125);
    for (size_t i = 0; i < 256; ++i) w.U8(i < sizeof kOrders ? kOrders[i] : 0);
}

// Packed cells: a mask byte naming the fields that follow, or all five bytes plain.
void WritePattern(Writer& w, const Pattern& p) {
    Writer data;
    for (const Cell& c : p.cells()) {
        const uint8_t fields[] = {c.note, c.instrument, c.volume, c.effect, c.param};
        unsigned mask = 0;
        for (int i = 0; i < 5; ++i) mask |= fields[i] ? 1u << i : 0u;
        if (mask == 0x1F) {
            for (uint8_t f : fields) data.U8(f);
            continue;
        }
        data.U8(0x80 | mask);
        for (int i = 0; i < 5; ++i) {
            if (mask & (1u << i)) data.U8(fields[i]);
        }
    }
    w.U32(9);
    w.U8(0);
    w.U16(kRows);
    w.U16(static_cast<unsigned>(data.size()));
    for (uint8_t b : data.bytes()) w.U8(b);
}

void WriteInstrument(Writer& w, const std::string& name, const SampleDef& s) {
    const size_t start = w.size();
    w.U32(263);
    w.Text(name, 22);
    w.U8(0);
    w.U16(1);                          // samples
    w.U32(40);                         // sample header size
    w.Zeros(96);                       // every note plays sample 0
    w.Zeros(48 + 48 + 2 + 6 + 2 + 4);  // no envelopes, no auto-vibrato
    w.U16(0);                          // fadeout
    w.Zeros(263 - (w.size() - start));

    w.U32(static_cast<unsigned>(s.points.size()));
    w.U32(0);
    w.U32(s.loop ? static_cast<unsigned>(s.points.size()) : 0);
    w.U8(s.volume);
    w.U8(0);  // finetune
    w.U8(s.loop ? 1 : 0);
    w.U8(s.panning);
    w.U8(0);  // relative note
    w.U8(0);
    w.Text(name, 22);
    int8_t previous = 0;
    for (int8_t point : s.points) {  // delta coded
        w.U8(static_cast<uint8_t>(point - previous));
        previous = point;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.xm\n", argv[0]);
        return 2;
    }
    const std::vector<Pattern> patterns = Compose();
    const SampleDef samples[] = {
        {PulseLead(), true, 40, 0x70},       {TriangleBass(), true, 50, 0x90},
        {FadeTail(Kick()), false, 64, 0x80}, {FadeTail(Snare()), false, 56, 0x88},
        {FadeTail(Hat()), false, 40, 0x98},
    };
    const char* const names[] = {"pulse", "triangle", "kick", "snare", "hat"};

    Writer w;
    WriteHeader(w, static_cast<int>(patterns.size()), 5);
    for (const Pattern& p : patterns) WritePattern(w, p);
    for (int i = 0; i < 5; ++i) WriteInstrument(w, names[i], samples[i]);

    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr || std::fwrite(w.bytes().data(), 1, w.size(), out) != w.size()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::fclose(out);
    std::printf("%s: %zu bytes\n", argv[1], w.size());
    return 0;
}
