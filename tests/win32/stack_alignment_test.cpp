// The mixing and the star arithmetic called on stacks aligned only to 4 bytes, as 32-bit Windows
// leaves them where it calls thread procedures, window procedures and callbacks. An SSE access
// demanding 16-byte alignment would fault there; the results must also be those of an aligned
// call, bit for bit.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/random.h"
#include "gfx/starfield.h"
#include "player/mixer/mixer_options.h"
#include "player/output/win/resource_finder.h"
#include "player/render/render.h"
#include "player/song/arena.h"
#include "player/song/loader.h"
#include "player/song/reader.h"
#include "tests/native/starfield_script.h"

#if !defined(__i386__)
#error "this test is about the 32-bit stack"
#endif

extern "C" {
// Calls fn(arg) with the stack pointer `offset` bytes below a 16-byte boundary at the call (the
// compiler's own convention is 0) and records that stack pointer.
void CallOnStack(void (*fn)(void*), void* arg, uint32_t offset);
uintptr_t g_stackAtCall;
}

asm(R"(
    .text
    .globl _CallOnStack
_CallOnStack:
    pushl %ebp
    movl  %esp, %ebp
    movl  8(%ebp), %eax
    movl  12(%ebp), %edx
    movl  16(%ebp), %ecx
    andl  $-16, %esp
    subl  $32, %esp
    subl  %ecx, %esp
    movl  %edx, (%esp)
    movl  %esp, _g_stackAtCall
    call  *%eax
    movl  %ebp, %esp
    popl  %ebp
    ret
)");

namespace {

constexpr uint32_t kOffsets[] = {0, 4, 8, 12};

template <class Work>
void RunOnStack(Work& work, uint32_t offset) {
    CallOnStack([](void* w) { (*static_cast<Work*>(w))(); }, &work, offset);
    ASSERT_EQ(g_stackAtCall % 16, (16 - offset) % 16) << "the stack was not set up as asked";
}

// The program's music from its resources, rendered block by block through the tick scheduler,
// the mixer's span loops and the block conversion.
struct MusicBlocks {
    xm::MixerOptions options;
    std::vector<int16_t> samples;
    bool loaded = false;

    void operator()() {
        xm::InstallResourceFinder();
        xm::Reader reader;
        reader.SelectResource(nullptr, MAKEINTRESOURCEA(1));
        xm::SongArena arena;
        auto module = std::make_unique<xm::Module>();
        auto state = std::make_unique<xm::RenderState>();
        char title[xm::kTitleBytes];
        loaded = xm::LoadModule(reader, arena, *module, title);
        reader.Close();
        if (!loaded) return;
        state->module = module.get();
        state->mixer = options;
        state->masterVolume = xm::MasterVolumeForStep(20);
        std::vector<int16_t> wave(xm::kBufferBytes / 2);
        for (int block = 0; block < 96; ++block) {  // about two seconds
            const uint32_t at = state->fillIndex;
            xm::MixBlock(*state, wave.data());
            const int16_t* first = wave.data() + at * xm::kBlockFrames * 2;
            samples.insert(samples.end(), first, first + xm::kBlockFrames * 2);
        }
    }
};

// Without shortcuts, then with each vector width the processor offers.
TEST(MisalignedStack, MusicRendersAsOnAnAlignedStack) {
    std::vector<xm::MixerOptions> choices{{false, 0}};
    for (const uint32_t bits : {0u, 128u, 256u, 512u}) {
        if (bits <= xm::WidestMixerVectors()) choices.push_back({true, bits});
    }
    for (const xm::MixerOptions& options : choices) {
        SCOPED_TRACE(testing::Message()
                     << (options.shortcuts ? "with" : "without")
                     << " the mixer's shortcuts, vectors of " << options.vectorBits << " bits");
        MusicBlocks aligned;
        aligned.options = options;
        aligned();
        ASSERT_TRUE(aligned.loaded);
        size_t loud = 0;
        for (const int16_t s : aligned.samples) loud += s != 0;
        ASSERT_GT(loud, aligned.samples.size() / 2) << "the music should be playing";

        for (const uint32_t offset : kOffsets) {
            SCOPED_TRACE(testing::Message() << "stack " << offset << " bytes off");
            MusicBlocks misaligned;
            misaligned.options = options;
            RunOnStack(misaligned, offset);
            ASSERT_TRUE(misaligned.loaded);
            EXPECT_TRUE(misaligned.samples == aligned.samples);
        }
    }
}

// Draws from the program's generator, seeded, so that the run can be repeated.
class SeededDraws final : public gfx::RandomDraws {
  public:
    float Draw() override { return generator_.Next(); }
    void Reseed() override { generator_.Reseed(0x1234u); }

  private:
    fw::RandomGenerator generator_{0x1234u};
};

// The starfield of the program's picture box: seeded, then frames of erase, move, reseed, draw.
struct StarFrames {
    std::vector<gfx_test::Pixel> pixels;

    void operator()() {
        auto field = std::make_unique<gfx::Starfield>();
        SeededDraws draws;
        gfx_test::PixelRecorder recorder;
        field->SetGeometry(641, 401);
        field->SeedStars(draws);
        for (int frame = 0; frame < 300; ++frame) field->DrawStars(recorder, draws);
        pixels = std::move(recorder.pixels);
    }
};

TEST(MisalignedStack, StarsMoveAsOnAnAlignedStack) {
    StarFrames aligned;
    aligned();
    ASSERT_EQ(aligned.pixels.size(), 300u * 2 * gfx::kStarsInUse);
    for (const uint32_t offset : kOffsets) {
        SCOPED_TRACE(testing::Message() << "stack " << offset << " bytes off");
        StarFrames misaligned;
        RunOnStack(misaligned, offset);
        EXPECT_TRUE(misaligned.pixels == aligned.pixels);
    }
}

}  // namespace
