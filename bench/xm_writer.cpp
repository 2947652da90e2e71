#include "xm_writer.h"

#include <cstring>

namespace bench {

namespace {

class Bytes {
  public:
    void U8(uint32_t v) { out_.push_back(static_cast<uint8_t>(v)); }
    void U16(uint32_t v) {
        U8(v);
        U8(v >> 8);
    }
    void U32(uint32_t v) {
        U16(v);
        U16(v >> 16);
    }
    void Text(const std::string& s, size_t width) {
        for (size_t i = 0; i < width; ++i) U8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    }
    void Zeros(size_t n) { out_.insert(out_.end(), n, 0); }
    std::vector<uint8_t>& data() { return out_; }

  private:
    std::vector<uint8_t> out_;
};

void WriteHeader(Bytes& b, const XmSong& song) {
    b.Text("Extended Module: ", 17);
    b.Text(song.name, 20);
    b.U8(0x1A);
    b.Text("bench", 20);
    b.U16(0x0104);
    b.U32(276);
    b.U16(static_cast<uint32_t>(song.orders.size()));
    b.U16(0);
    b.U16(static_cast<uint32_t>(song.channels));
    b.U16(static_cast<uint32_t>(song.patterns.size()));
    b.U16(static_cast<uint32_t>(song.instruments.size()));
    b.U16(song.linear ? 1 : 0);
    b.U16(static_cast<uint32_t>(song.speed));
    b.U16(static_cast<uint32_t>(song.bpm));
    for (size_t i = 0; i < 256; ++i) b.U8(i < song.orders.size() ? song.orders[i] : 0);
}

void WritePattern(Bytes& b, const std::vector<XmCell>& cells, int channels) {
    Bytes packed;
    for (const XmCell& c : cells) {
        const uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.param};
        uint32_t mask = 0x80;
        for (int i = 0; i < 5; ++i) mask |= fields[i] != 0 ? 1u << i : 0u;
        packed.U8(mask);
        for (int i = 0; i < 5; ++i) {
            if (fields[i] != 0) packed.U8(fields[i]);
        }
    }
    b.U32(9);
    b.U8(0);
    b.U16(static_cast<uint32_t>(cells.size() / static_cast<size_t>(channels)));
    b.U16(static_cast<uint32_t>(packed.data().size()));
    b.data().insert(b.data().end(), packed.data().begin(), packed.data().end());
}

void WriteInstrument(Bytes& b, const XmInstrument& ins) {
    b.U32(263);
    b.Text("", 22);
    b.U8(0);
    b.U16(1);
    b.U32(40);
    b.Zeros(96 + 48 + 48);  // every note plays sample 0; no envelopes
    b.Zeros(14);
    b.U16(0);  // fadeout
    b.Zeros(22);
    const uint32_t length = static_cast<uint32_t>(ins.points.size());
    b.U32(2 * length);
    b.U32(2 * ins.loopStart);
    b.U32(2 * ins.loopLength);
    b.U8(ins.volume);
    b.U8(static_cast<uint8_t>(ins.finetune));
    b.U8(0x10u | ins.loopType);
    b.U8(ins.panning);
    b.U8(static_cast<uint8_t>(ins.relativeNote));
    b.U8(0);
    b.Text("", 22);
    uint16_t previous = 0;
    for (int16_t p : ins.points) {
        const auto value = static_cast<uint16_t>(p);
        b.U16(static_cast<uint16_t>(value - previous));
        previous = value;
    }
}

}  // namespace

std::vector<uint8_t> WriteXm(const XmSong& song) {
    Bytes b;
    WriteHeader(b, song);
    for (const auto& pattern : song.patterns) WritePattern(b, pattern, song.channels);
    for (const auto& ins : song.instruments) WriteInstrument(b, ins);
    return std::move(b.data());
}

}  // namespace bench
