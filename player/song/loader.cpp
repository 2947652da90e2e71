#include "player/song/loader.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "player/song/loader_fields.h"
#include "player/song/loader_instruments.h"

namespace xm {

namespace {

// Song header: everything up to and including the order table.
constexpr uint32_t kSongHeaderBytes = 336;
constexpr size_t kNameOffset = 17, kNameBytes = 20;
constexpr uint32_t kHeaderSizeOffset = 60;
constexpr size_t kOrderTableOffset = 80;
constexpr uint32_t kPatternHeaderBytes = 9;
constexpr uint16_t kMaxRows = 256;
constexpr uint16_t kAddedPatternRows = 64;
constexpr int kMaxOrders = 256;
constexpr uint8_t kKeyOff = 97;

struct SongHeader {
    uint32_t headerBytes;
    uint16_t songLength, restartPosition, channelField, patternCount, instrumentField, flags, tempo,
        bpm;
    uint8_t orders[kMaxOrders];
};

SongHeader ParseSongHeader(const FieldBlock<kSongHeaderBytes>& block) {
    SongHeader header{};
    header.headerBytes = block.U32(kHeaderSizeOffset);
    header.songLength = block.U16(64);
    header.restartPosition = block.U16(66);
    header.channelField = block.U16(68);
    header.patternCount = block.U16(70);
    header.instrumentField = block.U16(72);
    header.flags = block.U16(74);
    header.tempo = block.U16(76);
    header.bpm = block.U16(78);
    for (int i = 0; i < kMaxOrders; ++i) header.orders[i] = block.U8(kOrderTableOffset + i);
    return header;
}

// The bytes 0x20..0x7F of the module name, in order; control and high bytes are dropped.
void SetTitle(const FieldBlock<kSongHeaderBytes>& block, char (&title)[kTitleBytes]) {
    std::memset(title, 0, sizeof title);
    int length = 0;
    for (size_t i = 0; i < kNameBytes; ++i) {
        const uint8_t c = block.U8(kNameOffset + i);
        if (c >= 0x20 && c <= 0x7F) title[length++] = static_cast<char>(c);
    }
}

void ClearModule(Module& module) {
    module.patterns = nullptr;
    module.instruments = nullptr;
    module.framesLeftInTick = 0;
    module.globalVolume = 0;
    module.tick = module.speed = module.order = module.row = module.patternDelay = 0;
    module.pendingOrder.store(0);
    module.pendingRow.store(0);
    module.channelCount = 0;
    module.voices = nullptr;
    module.channels = nullptr;
    module.framesPerTick = 0;
    module.songLength = module.restartPosition = 0;
    module.storedChannelCount = module.globalVolumeSlideMemory = 0;
    module.patternSlotCount = module.instrumentCount = module.flags = 0;
    module.defaultTempo = module.defaultBpm = 0;
    std::memset(module.orders, 0, sizeof module.orders);
}

void SetSongFields(const SongHeader& header, Module& module) {
    module.songLength = header.songLength;
    module.restartPosition = header.restartPosition;
    module.storedChannelCount = static_cast<uint8_t>(header.channelField & 0xFF);
    module.globalVolumeSlideMemory = static_cast<uint8_t>(header.channelField >> 8);
    module.channelCount = module.storedChannelCount;
    module.instrumentCount = header.instrumentField;
    module.flags = header.flags;
    module.defaultTempo = header.tempo;
    module.defaultBpm = header.bpm;
    std::memcpy(module.orders, header.orders, sizeof module.orders);
    SetTempo(module, header.bpm);
    module.globalVolume = 64;
    module.speed = header.tempo;
}

uint16_t PatternSlotCount(const SongHeader& header) {
    const uint8_t* orders = header.orders;
    const int highest = *std::max_element(orders, orders + header.songLength);
    return std::max<uint16_t>(header.patternCount, static_cast<uint16_t>(highest + 1));
}

size_t RoundUp16(size_t bytes) {
    return (bytes + 15) / 16 * 16;
}

// Starts the lifetime of `count` zero records in arena memory.
template <typename T>
T* ZeroRecords(void* at, size_t count) {
    T* first = static_cast<T*>(at);
    std::uninitialized_value_construct_n(first, count);
    return first;
}

// One block holds the voices, the channels, the pattern table and the instrument table.
// A module without instruments still gets one empty instrument: the engine reads instrument 0.
bool AllocateTables(SongArena& arena, Module& module) {
    const size_t channels = static_cast<size_t>(module.channelCount);
    const size_t instruments = std::max(module.instrumentCount & 0xFF, 1);
    const size_t voiceBytes = RoundUp16(2 * channels * sizeof(Voice));
    const size_t channelBytes = RoundUp16(channels * sizeof(Channel));
    const size_t patternBytes = RoundUp16(module.patternSlotCount * sizeof(Pattern));
    const size_t instrumentBytes = instruments * sizeof(Instrument);
    uint8_t* block = static_cast<uint8_t*>(
        arena.Allocate(voiceBytes + channelBytes + patternBytes + instrumentBytes));
    if (block == nullptr) return false;

    module.voices = ZeroRecords<Voice>(block, 2 * channels);
    module.channels = ZeroRecords<Channel>(block + voiceBytes, channels);
    module.patterns =
        ZeroRecords<Pattern>(block + voiceBytes + channelBytes, module.patternSlotCount);
    module.instruments =
        ZeroRecords<Instrument>(block + voiceBytes + channelBytes + patternBytes, instruments);
    for (size_t i = 0; i < channels; ++i) {
        module.channels[i].voice = &module.voices[2 * i];
        module.voices[2 * i].stepInteger = 1;
    }
    return true;
}

Cell* AllocateCells(SongArena& arena, size_t rows, size_t channels) {
    void* block = arena.Allocate(rows * channels * sizeof(Cell));
    return block == nullptr ? nullptr : ZeroRecords<Cell>(block, rows * channels);
}

// Packed cells start with a byte whose bit 7 is set and whose bits 0..4 say which of note,
// instrument, volume column, effect and parameter follow; otherwise that byte is the note and
// all four others follow.
void DecodeCell(Reader& reader, uint8_t instrumentCount, Cell& cell) {
    const uint8_t first = ReadU8(reader);
    uint8_t* fields[] = {&cell.note, &cell.instrument, &cell.volume, &cell.effect, &cell.param};
    if (first & 0x80) {
        for (int bit = 0; bit < 5; ++bit) {
            if (first & (1 << bit)) *fields[bit] = ReadU8(reader);
        }
    } else {
        cell.note = first;
        for (int i = 1; i < 5; ++i) *fields[i] = ReadU8(reader);
    }
    if (cell.instrument > instrumentCount) cell.instrument = 0;
    // Every note above the last one is a key-off; one value for all keeps note-indexed tables
    // of the engine inside their bounds.
    if (cell.note > kKeyOff) cell.note = kKeyOff;
}

// Records why the load fails, when the caller asked; returns false for the caller to return.
bool Refuse(LoadError* error, LoadError reason) {
    if (error != nullptr) *error = reason;
    return false;
}

bool OutOfMemory(LoadError* error, const SongArena& arena) {
    return Refuse(error, {.failure = LoadFailure::OutOfMemory, .value = arena.CapBytes()});
}

// The next pattern header follows the last cell decoded, whatever the stored packed size says.
bool LoadPattern(Reader& reader, SongArena& arena, const Module& module, Pattern& pattern,
                 LoadError* error) {
    FieldBlock<kPatternHeaderBytes> header;
    header.ReadFrom(reader);
    pattern.rows = header.U16(5);
    pattern.packedSize = header.U16(7);
    if (pattern.packedSize == 0) return true;
    if (pattern.rows < 1 || pattern.rows > kMaxRows) {
        return Refuse(error, {.failure = LoadFailure::PatternRows, .value = pattern.rows});
    }

    const size_t channels = static_cast<size_t>(module.channelCount);
    pattern.cells = AllocateCells(arena, pattern.rows, channels);
    if (pattern.cells == nullptr) return OutOfMemory(error, arena);
    const uint8_t instrumentCount = static_cast<uint8_t>(module.instrumentCount & 0xFF);
    for (size_t i = 0; i < pattern.rows * channels; ++i) {
        DecodeCell(reader, instrumentCount, pattern.cells[i]);
    }
    return true;
}

bool LoadPatterns(Reader& reader, SongArena& arena, Module& module, uint16_t storedCount,
                  LoadError* error) {
    for (uint16_t i = 0; i < storedCount; ++i) {
        if (!LoadPattern(reader, arena, module, module.patterns[i], error)) {
            if (error != nullptr) error->pattern = i;
            return false;
        }
    }
    // Order entries beyond the stored patterns play empty 64-row patterns.
    for (uint32_t i = storedCount; i < module.patternSlotCount; ++i) {
        Pattern& pattern = module.patterns[i];
        pattern.rows = kAddedPatternRows;
        pattern.cells =
            AllocateCells(arena, kAddedPatternRows, static_cast<size_t>(module.channelCount));
        if (pattern.cells == nullptr) return OutOfMemory(error, arena);
    }
    return true;
}

bool LoadInstruments(Reader& reader, SongArena& arena, Module& module, LoadError* error) {
    const int count = module.instrumentCount & 0xFF;
    for (int i = 0; i < count; ++i) {
        if (!LoadInstrument(reader, arena, module.instruments[i], error)) {
            if (error != nullptr) error->instrument = static_cast<uint32_t>(i + 1);
            return false;
        }
    }
    return true;
}

}  // namespace

bool LoadModule(Reader& reader, SongArena& arena, Module& module, char (&title)[kTitleBytes],
                LoadError* error) {
    ClearModule(module);
    std::memset(title, 0, sizeof title);
    if (error != nullptr) *error = {};
    if (!reader.Open()) return Refuse(error, {.failure = LoadFailure::CannotOpen});

    FieldBlock<kSongHeaderBytes> block;
    block.ReadFrom(reader);
    const SongHeader header = ParseSongHeader(block);
    // Past the source, the seek is refused and the first pattern header is read at 336.
    reader.Seek(static_cast<int32_t>(uint32_t{kHeaderSizeOffset} + header.headerBytes), false);
    SetTitle(block, title);

    if (header.patternCount < 1) return Refuse(error, {.failure = LoadFailure::NoPatterns});
    if (header.songLength < 1 || header.songLength > kMaxOrders) {
        return Refuse(error, {.failure = LoadFailure::SongLength, .value = header.songLength});
    }
    SetSongFields(header, module);
    module.patternSlotCount = PatternSlotCount(header);
    if (module.channelCount < 1 || module.channelCount > kMaxChannels) {
        const auto channels = static_cast<uint64_t>(module.channelCount);
        return Refuse(error, {.failure = LoadFailure::Channels, .value = channels});
    }
    if (!AllocateTables(arena, module)) return OutOfMemory(error, arena);
    if (!LoadPatterns(reader, arena, module, header.patternCount, error)) return false;
    return LoadInstruments(reader, arena, module, error);
}

}  // namespace xm
