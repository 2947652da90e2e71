// Test songs built directly as player records, set up as the loader leaves a freshly loaded
// song: channels on the first voice of their pair (step integer 1), global volume 64, order 0
// row 0 pending, frames per tick from the BPM. The builder owns every record it hands out.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "player/replay/engine.h"
#include "player/song/records.h"

namespace xm::test {

class SongBuilder {
  public:
    // A song of `channels` channels with `instruments` empty instruments (0 allowed), one order
    // entry (pattern 0) and no patterns yet. Speed 6, 125 BPM, linear frequency table.
    explicit SongBuilder(int channels = 1, int instruments = 1);
    SongBuilder(const SongBuilder&) = delete;
    SongBuilder& operator=(const SongBuilder&) = delete;

    Module& module() { return *module_; }
    Channel& channel(int index) { return module_->channels[index]; }

    // Adds a pattern of `rows` empty rows (or without cells when `withCells` is false); returns
    // its index.
    int AddPattern(int rows, bool withCells = true);
    Cell& At(int pattern, int row, int channel);
    // Order list and restart position.
    void SetOrders(const std::vector<uint8_t>& orders, int restart = 0);
    void SetSpeed(int ticksPerRow) { module_->speed = ticksPerRow; }
    void SetBpm(int bpm);
    void SetAmiga() { module_->flags &= static_cast<uint16_t>(~kLinearFrequencyTable); }

    Instrument& instrument(int index) { return instruments_[index]; }
    // Adds a sample to instrument `instrument` (1-based as in cells) of `length` points without
    // loop and maps every note to it when it is the instrument's first sample.
    Sample& AddSample(int instrument, uint32_t length, uint8_t volume = 64, uint8_t panning = 128);

  private:
    std::unique_ptr<Module> module_;
    std::vector<Pattern> patterns_;
    std::deque<std::vector<Cell>> cells_;
    std::vector<Instrument> instruments_;
    std::deque<Sample> samples_;
    std::deque<std::vector<int16_t>> sampleData_;
    std::vector<Channel> channels_;
    std::vector<Voice> voices_;
};

// One recorded call of the span mixer.
struct Span {
    uint32_t offset;
    uint32_t frames;
};

// Runs the scheduler for one block and records its spans. `onSpan`, if given, sees the song
// right after the tick that precedes each span.
struct SpanRecorder {
    std::vector<Span> spans;
    std::function<void(Module&, const Span&)> onSpan;

    TickOutcome Run(Module& module, uint32_t frames, bool noLoop = false);
    uint32_t TotalFrames() const;
};

// Runs exactly one tick (the song must sit on a tick boundary) and mixes all of it.
TickOutcome RunOneTick(Module& module, bool noLoop = false);

}  // namespace xm::test
