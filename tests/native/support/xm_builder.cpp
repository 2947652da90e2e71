#include "tests/native/support/xm_builder.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace xmtest {

namespace {

class Bytes {
  public:
    void U8(uint32_t v) { out_.push_back(static_cast<uint8_t>(v)); }
    void U16(uint32_t v) {
        U8(v & 0xFF);
        U8(v >> 8);
    }
    void U32(uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Text(const std::string& text, size_t width) {
        for (size_t i = 0; i < width; ++i) U8(i < text.size() ? static_cast<uint8_t>(text[i]) : 0);
    }
    void Append(const std::vector<uint8_t>& more) {
        out_.insert(out_.end(), more.begin(), more.end());
    }
    // Cuts or zero-pads everything written since `start` to `size` bytes.
    void Fit(size_t start, size_t size) { out_.resize(start + size, 0); }
    size_t size() const { return out_.size(); }
    std::vector<uint8_t> Take() { return std::move(out_); }

  private:
    std::vector<uint8_t> out_;
};

void EncodeCell(const xm::Cell& cell, Packing packing, Bytes& out) {
    const uint8_t fields[] = {cell.note, cell.instrument, cell.volume, cell.effect, cell.param};
    uint8_t mask = 0;
    for (int i = 0; i < 5; ++i) {
        if (fields[i] != 0) mask |= static_cast<uint8_t>(1 << i);
    }
    if (packing == Packing::Unpacked || (packing == Packing::Auto && mask == 0x1F)) {
        for (uint8_t f : fields) out.U8(f);
        return;
    }
    out.U8(0x80u | mask);
    for (int i = 0; i < 5; ++i) {
        if (mask & (1 << i)) out.U8(fields[i]);
    }
}

void WriteSongHeader(const XmSong& song, Bytes& out) {
    out.Text("Extended Module: ", 17);
    out.Text(song.name, 20);
    out.U8(0x1A);
    out.Text("xm_builder", 20);
    out.U16(0x0104);
    const size_t start = out.size();
    out.U32(song.headerSize);
    out.U16(song.songLength.value_or(static_cast<uint16_t>(song.orders.size())));
    out.U16(song.restartPosition);
    out.U16(song.channels);
    out.U16(song.patternCount.value_or(static_cast<uint16_t>(song.patterns.size())));
    out.U16(song.instrumentCount.value_or(static_cast<uint16_t>(song.instruments.size())));
    out.U16(song.flags);
    out.U16(song.tempo);
    out.U16(song.bpm);
    for (size_t i = 0; i < 256; ++i) out.U8(i < song.orders.size() ? song.orders[i] : 0);
    if (song.headerSize > 276 && song.headerSize <= 65536) out.Fit(start, song.headerSize);
}

void WritePattern(const XmPattern& pattern, Bytes& out) {
    Bytes data;
    if (pattern.rawData) {
        data.Append(*pattern.rawData);
    } else {
        for (const xm::Cell& cell : pattern.cells) EncodeCell(cell, pattern.packing, data);
    }
    out.U32(9);
    out.U8(0);
    out.U16(pattern.rows);
    out.U16(pattern.packedSize.value_or(static_cast<uint16_t>(data.size())));
    out.Append(data.Take());
}

void WriteEnvelopePoints(const XmEnvelope& envelope, Bytes& out) {
    for (const xm::EnvelopePoint& p : envelope.points) {
        out.U16(p.tick);
        out.U16(p.value);
    }
}

void WriteInstrument(const XmInstrument& in, Bytes& out) {
    const size_t start = out.size();
    const uint16_t sampleCount = in.sampleCount.value_or(static_cast<uint16_t>(in.samples.size()));
    out.U32(in.headerSize.value_or(in.samples.empty() ? 29 : 263));
    out.Text("builder instrument", 22);
    out.U8(0);
    out.U16(sampleCount);
    out.U32(in.sampleHeaderSize);
    if (!in.samples.empty()) {
        for (uint8_t s : in.sampleForNote) out.U8(s);
        WriteEnvelopePoints(in.volume, out);
        WriteEnvelopePoints(in.panning, out);
        out.U8(in.volume.count);
        out.U8(in.panning.count);
        for (const XmEnvelope* e : {&in.volume, &in.panning}) {
            out.U8(e->sustain);
            out.U8(e->loopStart);
            out.U8(e->loopEnd);
        }
        out.U8(in.volume.type);
        out.U8(in.panning.type);
        out.U8(in.vibratoType);
        out.U8(in.vibratoSweep);
        out.U8(in.vibratoDepth);
        out.U8(in.vibratoRate);
        out.U16(in.fadeout);
    }
    out.Fit(start, in.headerSize.value_or(in.samples.empty() ? 29 : 263));
    for (const XmSample& s : in.samples) {
        const size_t sampleStart = out.size();
        out.U32(s.lengthBytes.value_or(static_cast<uint32_t>(s.data.size())));
        out.U32(s.loopStartBytes);
        out.U32(s.loopLengthBytes);
        out.U8(s.volume);
        out.U8(static_cast<uint8_t>(s.finetune));
        out.U8(s.type);
        out.U8(s.panning);
        out.U8(static_cast<uint8_t>(s.relativeNote));
        out.U8(s.reserved);
        out.Text("builder sample", 22);
        out.Fit(sampleStart, in.sampleHeaderSize);
    }
    for (const XmSample& s : in.samples) out.Append(s.data);
}

}  // namespace

std::vector<uint8_t> BuildXm(const XmSong& song) {
    Bytes out;
    WriteSongHeader(song, out);
    for (const XmPattern& p : song.patterns) WritePattern(p, out);
    for (const XmInstrument& i : song.instruments) WriteInstrument(i, out);
    return out.Take();
}

XmPattern EmptyPattern(uint16_t rows, int channels) {
    XmPattern pattern;
    pattern.rows = rows;
    pattern.cells.assign(size_t{rows} * static_cast<size_t>(channels), xm::Cell{});
    return pattern;
}

std::vector<uint8_t> DeltaEncode8(const std::vector<int8_t>& values) {
    std::vector<uint8_t> out;
    uint8_t previous = 0;
    for (int8_t v : values) {
        out.push_back(static_cast<uint8_t>(static_cast<uint8_t>(v) - previous));
        previous = static_cast<uint8_t>(v);
    }
    return out;
}

std::vector<uint8_t> DeltaEncode16(const std::vector<int16_t>& values) {
    std::vector<uint8_t> out;
    uint16_t previous = 0;
    for (int16_t v : values) {
        const uint16_t delta = static_cast<uint16_t>(static_cast<uint16_t>(v) - previous);
        out.push_back(static_cast<uint8_t>(delta & 0xFF));
        out.push_back(static_cast<uint8_t>(delta >> 8));
        previous = static_cast<uint16_t>(v);
    }
    return out;
}

XmSample Sample8(const std::vector<int8_t>& values) {
    XmSample s;
    s.data = DeltaEncode8(values);
    return s;
}

XmSample Sample16(const std::vector<int16_t>& values) {
    XmSample s;
    s.type = 0x10;
    s.data = DeltaEncode16(values);
    return s;
}

XmInstrument InstrumentWith(std::vector<XmSample> samples) {
    XmInstrument instrument;
    instrument.samples = std::move(samples);
    return instrument;
}

XmSong PlainSong() {
    XmSong song;
    song.patterns.push_back(EmptyPattern(64, song.channels));
    song.instruments.push_back(InstrumentWith({Sample8({0, 40, 80, 40})}));
    return song;
}

std::unique_ptr<LoadedXm> LoadXm(std::vector<uint8_t> bytes, size_t arenaCapBytes) {
    auto loaded = std::make_unique<LoadedXm>(arenaCapBytes);
    loaded->bytes = std::move(bytes);
    loaded->reader.SelectMemory(loaded->bytes.data(), static_cast<uint32_t>(loaded->bytes.size()));
    loaded->ok = xm::LoadModule(loaded->reader, loaded->arena, loaded->module, loaded->title,
                                &loaded->error);
    return loaded;
}

std::unique_ptr<LoadedXm> LoadXmFromFile(std::vector<uint8_t> bytes) {
    auto loaded = std::make_unique<LoadedXm>(xm::SongArena::kDefaultCapBytes);
    loaded->bytes = std::move(bytes);
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("xm_builder_" + std::to_string(::getpid()) + ".xm"))
                                 .string();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(loaded->bytes.data(), 1, loaded->bytes.size(), f);
        std::fclose(f);
    }
    loaded->reader.SelectFile(path.c_str());
    loaded->ok = xm::LoadModule(loaded->reader, loaded->arena, loaded->module, loaded->title,
                                &loaded->error);
    loaded->reader.Close();
    std::remove(path.c_str());
    return loaded;
}

}  // namespace xmtest
