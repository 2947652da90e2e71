// Test doubles for the starfield: random draws read from a script, pixels recorded in order.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "gfx/pixel_sink.h"
#include "gfx/random_draws.h"

namespace gfx_test {

// Hands out the scripted values in order, cycling when `cycle` is set; running out otherwise is
// a test failure. `log` records "D" for each draw and "R" for each reseed, in order.
class ScriptedDraws final : public gfx::RandomDraws {
  public:
    explicit ScriptedDraws(std::vector<float> values, bool cycle = false)
        : values_(std::move(values)), cycle_(cycle) {}

    float Draw() override {
        log += 'D';
        ++draws;
        if (next_ == values_.size()) {
            if (!cycle_ || values_.empty()) {
                ADD_FAILURE() << "draw " << draws << " was not scripted";
                return 0.0f;
            }
            next_ = 0;
        }
        return values_[next_++];
    }
    void Reseed() override { log += 'R'; }

    size_t Unused() const { return values_.size() - next_; }

    std::string log;
    int draws = 0;

  private:
    std::vector<float> values_;
    size_t next_ = 0;
    bool cycle_;
};

struct Pixel {
    int32_t x;
    int32_t y;
    gfx::ColorRef color;
    bool operator==(const Pixel&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Pixel& p) {
    return os << "(" << p.x << ", " << p.y << ", 0x" << std::hex << p.color << std::dec << ")";
}

class PixelRecorder final : public gfx::PixelSink {
  public:
    void SetPixel(int32_t x, int32_t y, gfx::ColorRef color) override {
        pixels.push_back({x, y, color});
    }
    std::vector<Pixel> pixels;
};

}  // namespace gfx_test
