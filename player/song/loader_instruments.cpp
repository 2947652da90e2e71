#include "player/song/loader_instruments.h"

#include <algorithm>

#include "player/song/loader_fields.h"
#include "player/song/loader_samples.h"

namespace xm {

namespace {

// Instrument header: the part every instrument has, and the part read only with samples.
constexpr uint32_t kHeadBytes = 33;
constexpr uint32_t kBodyBytes = 208;
constexpr uint8_t kMaxSamples = kSamplesPerInstrument;
constexpr uint8_t kLastPoint = kEnvelopePoints - 1;

void ReadEnvelope(const FieldBlock<kBodyBytes>& body, size_t offset, EnvelopePoint* points) {
    for (int i = 0; i < kEnvelopePoints; ++i) {
        points[i].tick = body.U16(offset + 4 * i);
        points[i].value = body.U16(offset + 4 * i + 2);
    }
}

// Offsets are relative to byte 33 of the instrument header.
void ParseBody(const FieldBlock<kBodyBytes>& body, Instrument& instrument) {
    for (int note = 0; note < kNotes; ++note) instrument.sampleForNote[note] = body.U8(note);
    ReadEnvelope(body, 96, instrument.volumeEnvelope);
    ReadEnvelope(body, 144, instrument.panningEnvelope);
    instrument.volumePointCount = body.U8(192);
    instrument.panningPointCount = body.U8(193);
    instrument.volumeSustain = body.U8(194);
    instrument.volumeLoopStart = body.U8(195);
    instrument.volumeLoopEnd = body.U8(196);
    instrument.panningSustain = body.U8(197);
    instrument.panningLoopStart = body.U8(198);
    instrument.panningLoopEnd = body.U8(199);
    instrument.volumeType = body.U8(200);
    instrument.panningType = body.U8(201);
    instrument.vibratoType = body.U8(202);
    instrument.vibratoSweep = body.U8(203);
    instrument.vibratoDepth = body.U8(204);
    instrument.vibratoRate = body.U8(205);
    instrument.fadeout = body.U16(206);
}

// The envelope walk reads the point it reaches and, unless that is the last point, the one after
// it. Files may give counts above 12 and sustain or loop points past the points; these limits
// keep every such read inside the 12 points and leave every envelope that stays inside its
// points playing exactly as stored.
void KeepEnvelopeInside(uint8_t& count, uint8_t& sustain, uint8_t& loopStart, uint8_t& loopEnd,
                        uint8_t& type) {
    if (count < 2) type = 0;
    count = std::min<uint8_t>(count, kEnvelopePoints);
    // The walk ends at the last point before it could hold there, so point 11 never holds:
    // a sustain point past the points still never holds.
    sustain = std::min(sustain, kLastPoint);
    // A loop end at or past the point count is never reached: the loop cannot play.
    if (loopEnd >= count) type &= static_cast<uint8_t>(~kEnvelopeLoop);
    loopEnd = std::min(loopEnd, kLastPoint);
    // A loop start past the points in use but within the 12 is jumped to as stored; only one
    // past the 12 is held at the last of them.
    loopStart = std::min(loopStart, kLastPoint);
}

bool Refuse(LoadError* error, LoadError reason) {
    if (error != nullptr) *error = reason;
    return false;
}

// A sample record could not be made: the sample is too long, or the arena is full.
bool RefuseSample(LoadError* error, const FieldBlock<kSampleHeaderBytes>& header, uint8_t index,
                  const SongArena& arena) {
    const SampleShape shape =
        NormaliseSampleShape(header.U32(0), header.U32(4), header.U32(8), header.U8(14));
    if (shape.lengthPoints >= kMaxSamplePoints) {
        return Refuse(error, {.failure = LoadFailure::SampleLength,
                              .sample = index + 1u,
                              .value = shape.lengthPoints});
    }
    return Refuse(error, {.failure = LoadFailure::OutOfMemory, .value = arena.CapBytes()});
}

}  // namespace

void NormaliseInstrument(Instrument& instrument) {
    instrument.fadeout = static_cast<uint16_t>(instrument.fadeout * 2);
    KeepEnvelopeInside(instrument.volumePointCount, instrument.volumeSustain,
                       instrument.volumeLoopStart, instrument.volumeLoopEnd, instrument.volumeType);
    KeepEnvelopeInside(instrument.panningPointCount, instrument.panningSustain,
                       instrument.panningLoopStart, instrument.panningLoopEnd,
                       instrument.panningType);
}

bool LoadInstrument(Reader& reader, SongArena& arena, Instrument& instrument, LoadError* error) {
    FieldBlock<kHeadBytes> head;
    head.ReadFrom(reader);
    const uint32_t headerBytes = head.U32(0);
    const uint8_t sampleCount = head.U8(27);  // the high byte of the 16-bit count is not used
    const uint32_t sampleHeaderBytes = head.U32(29);

    uint32_t consumed = kHeadBytes;
    if (sampleCount != 0) {
        if (sampleCount > kMaxSamples) {
            return Refuse(error, {.failure = LoadFailure::SampleCount, .value = sampleCount});
        }
        if (sampleHeaderBytes > kSampleHeaderBytes) {
            return Refuse(error,
                          {.failure = LoadFailure::SampleHeaderSize, .value = sampleHeaderBytes});
        }
        FieldBlock<kBodyBytes> body;
        body.ReadFrom(reader);
        ParseBody(body, instrument);
        consumed += kBodyBytes;
    }
    // Negative when the stored header is shorter than what was read: an instrument without
    // samples and a 29-byte header ends 4 bytes before the position.
    reader.Seek(static_cast<int32_t>(headerBytes - consumed), true);
    NormaliseInstrument(instrument);

    for (uint8_t i = 0; i < sampleCount; ++i) {
        FieldBlock<kSampleHeaderBytes> header;
        header.ReadFrom(reader, sampleHeaderBytes);
        instrument.samples[i] = NewSample(arena, header);
        if (instrument.samples[i] == nullptr) return RefuseSample(error, header, i, arena);
    }
    // The data of all samples follows all of their headers.
    for (uint8_t i = 0; i < sampleCount; ++i) LoadSampleData(reader, *instrument.samples[i]);
    return true;
}

}  // namespace xm
