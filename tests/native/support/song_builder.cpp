#include "tests/native/support/song_builder.h"

#include <algorithm>
#include <stdexcept>

namespace xm::test {

namespace {
constexpr int kPatternCapacity = 256;
}

SongBuilder::SongBuilder(int channels, int instruments)
    : module_(std::make_unique<Module>()),
      patterns_(kPatternCapacity),
      instruments_(std::max(instruments, 1)),
      channels_(channels),
      voices_(2 * channels) {
    Module& m = *module_;
    m.patterns = patterns_.data();
    m.instruments = instruments_.data();
    m.instrumentCount = static_cast<uint16_t>(instruments);
    m.channelCount = channels;
    m.storedChannelCount = static_cast<uint8_t>(channels);
    m.channels = channels_.data();
    m.voices = voices_.data();
    for (int i = 0; i < channels; ++i) {
        voices_[2 * i].stepInteger = 1;
        channels_[i].voice = &voices_[2 * i];
    }
    m.globalVolume = 64;
    m.pendingOrder = 0;
    m.pendingRow = 0;
    m.songLength = 1;
    m.flags = kLinearFrequencyTable;
    m.speed = 6;
    m.defaultTempo = 6;
    SetBpm(125);
}

void SongBuilder::SetBpm(int bpm) {
    module_->defaultBpm = static_cast<uint16_t>(bpm);
    SetTempo(*module_, static_cast<uint32_t>(bpm));
}

int SongBuilder::AddPattern(int rows, bool withCells) {
    const int index = module_->patternSlotCount;
    if (index >= kPatternCapacity) throw std::logic_error("too many patterns");
    Pattern& pattern = patterns_[index];
    pattern.rows = static_cast<uint16_t>(rows);
    if (withCells) {
        cells_.emplace_back(static_cast<size_t>(rows * module_->channelCount), Cell{});
        pattern.cells = cells_.back().data();
    }
    module_->patternSlotCount = static_cast<uint16_t>(index + 1);
    return index;
}

Cell& SongBuilder::At(int pattern, int row, int channel) {
    Pattern& p = patterns_.at(pattern);
    if (p.cells == nullptr || row >= p.rows || channel >= module_->channelCount) {
        throw std::out_of_range("cell outside the pattern");
    }
    return p.cells[row * module_->channelCount + channel];
}

void SongBuilder::SetOrders(const std::vector<uint8_t>& orders, int restart) {
    Module& m = *module_;
    m.songLength = static_cast<uint16_t>(orders.size());
    for (size_t i = 0; i < orders.size(); ++i) m.orders[i] = orders[i];
    m.restartPosition = static_cast<uint16_t>(restart);
}

Sample& SongBuilder::AddSample(int instrument, uint32_t length, uint8_t volume, uint8_t panning) {
    Instrument& ins = instruments_.at(instrument - 1);
    int slot = 0;
    while (slot < kSamplesPerInstrument && ins.samples[slot] != nullptr) ++slot;
    if (slot == kSamplesPerInstrument) throw std::logic_error("instrument full");
    sampleData_.emplace_back(length + 3, int16_t{0});
    Sample& sample = samples_.emplace_back();
    sample.length = length;
    sample.loopStart = 0;
    sample.loopLength = static_cast<int32_t>(length);
    sample.volume = volume;
    sample.panning = panning;
    sample.data = sampleData_.back().data();
    ins.samples[slot] = &sample;
    return sample;
}

TickOutcome SpanRecorder::Run(Module& module, uint32_t frames, bool noLoop) {
    return RunTicks(
        module, frames, noLoop,
        [](Module& m, uint32_t offset, uint32_t count, void* context) {
            auto* self = static_cast<SpanRecorder*>(context);
            self->spans.push_back({offset, count});
            if (self->onSpan) self->onSpan(m, self->spans.back());
        },
        this);
}

uint32_t SpanRecorder::TotalFrames() const {
    uint32_t total = 0;
    for (const Span& s : spans) total += s.frames;
    return total;
}

TickOutcome RunOneTick(Module& module, bool noLoop) {
    if (module.framesLeftInTick != 0) throw std::logic_error("not on a tick boundary");
    auto ignore = [](Module&, uint32_t, uint32_t, void*) {};
    const TickOutcome outcome = RunTicks(module, 1, noLoop, ignore, nullptr);
    if (outcome == TickOutcome::SongEnded || module.framesLeftInTick == 0) return outcome;
    return RunTicks(module, module.framesLeftInTick, noLoop, ignore, nullptr);
}

}  // namespace xm::test
