// What reaches a voice: note starts on the two voices of a channel, the instrument and sample
// looked up for a note, final volume and panning, and the step from both frequency tables.
#include <gtest/gtest.h>

#include "player/replay/replay.h"
#include "tests/native/support/song_builder.h"

namespace xm::test {
namespace {

constexpr uint8_t kC4 = 49;  // C-4 in a cell (1 = C-0)

Cell NoteCell(uint8_t note, uint8_t instrument = 1, uint8_t effect = 0, uint8_t param = 0) {
    return Cell{note, instrument, 0, effect, param};
}

TEST(VoiceUpdate, FullVolumeGives127AndCentrePanningSplitsIt63And63) {
    SongBuilder song;
    song.AddPattern(4);
    song.AddSample(1, 1000, 64, 128);
    song.At(0, 0, 0) = NoteCell(kC4);
    RunOneTick(song.module());
    const Voice& voice = *song.channel(0).voice;
    EXPECT_EQ(voice.finalVolume, 127);
    EXPECT_EQ(voice.finalPanning, 128);
    EXPECT_EQ(voice.rightTarget, 63);
    EXPECT_EQ(voice.leftTarget, 63);
}

TEST(VoiceUpdate, FinalVolumeFollowsVolumeGlobalVolumeAndPanning) {
    struct Case {
        int32_t volume, global;
        uint8_t panning;
        int32_t finalVolume, right, left;
    };
    const Case cases[] = {
        {64, 32, 255, 63, 63, 0},     // half the global volume
        {100, 32, 0, 99, 0, 99},      // above 64 is louder while global is below 64
        {100, 64, 128, 127, 63, 63},  // but never past the top
        {-5, 64, 128, 0, 0, 0},       // a negative volume is silent
        {64, -3, 128, 0, 0, 0},      {32, 64, 64, 63, 15, 47},
    };
    for (const Case& c : cases) {
        SongBuilder song;
        song.AddPattern(4);
        song.AddSample(1, 1000, 0, c.panning);
        song.At(0, 0, 0) = NoteCell(kC4);
        song.module().globalVolume = c.global;
        RunOneTick(song.module());
        song.channel(0).volume = c.volume;
        for (int i = 0; i < 5; ++i) RunOneTick(song.module());
        RunOneTick(song.module());  // the next row start sets the volume flag again
        const Voice& voice = *song.channel(0).voice;
        EXPECT_EQ(voice.finalVolume, c.finalVolume) << c.volume << " " << c.global;
        EXPECT_EQ(voice.rightTarget, c.right) << c.volume << " " << c.global;
        EXPECT_EQ(voice.leftTarget, c.left) << c.volume << " " << c.global;
    }
}

// Final panning = panning + (panning envelope output - 32) x ((128 - |panning - 128|) >> 5),
// the shift arithmetic, within 0..255; channel panning itself is not limited by the slides.
TEST(VoiceUpdate, FinalPanningMovesWithTheEnvelopeByTheRoomAroundThePanning) {
    struct Case {
        int32_t panning, envelope, finalPanning;
    };
    const Case cases[] = {
        {128, 32, 128},
        {128, 64, 255},
        {128, 0, 0},
        {64, 64, 128},
        {64, 0, 0},
        {200, 64, 232},
        {200, 0, 168},
        {0, 64, 0},
        {255, 0, 255},
        {96, 48, 144},
        {300, 64, 236},  // (128 - 172) >> 5 = -2: the envelope
                         // pushes the other way
        {300, 32, 255},
        {-40, 0, 24},
        {-40, 64, 0},
    };
    for (const Case& c : cases) {
        SongBuilder song;
        Channel& channel = song.channel(0);
        Voice& voice = *channel.voice;
        voice.finalVolume = 100;
        channel.panning = c.panning;
        channel.panningEnvelopeOutput = c.envelope;
        channel.flags = kUpdatePanning;
        UpdateChannel(song.module(), 0, NullSample, song.instrument(0));
        EXPECT_EQ(voice.finalPanning, c.finalPanning) << c.panning << " " << c.envelope;
        EXPECT_EQ(voice.rightTarget, 100 * c.finalPanning / 255) << c.panning;
        EXPECT_EQ(voice.leftTarget, 100 * (255 - c.finalPanning) / 255) << c.panning;
    }
}

TEST(VoiceUpdate, NewNoteMovesToTheOtherVoiceAndTheOldOneFadesOut) {
    SongBuilder song;
    song.AddPattern(4);
    song.AddSample(1, 1000);
    song.At(0, 0, 0) = NoteCell(kC4);
    song.At(0, 1, 0) = NoteCell(kC4 + 12, 1, 0x09, 0x02);  // with offset 512
    song.At(0, 2, 0) = NoteCell(kC4);
    Module& m = song.module();
    RunOneTick(m);
    Voice* first = &m.voices[0];
    Voice* second = &m.voices[1];
    ASSERT_EQ(song.channel(0).voice, first);
    ASSERT_NE(first->sample, nullptr);
    // What the mixer would have done meanwhile.
    first->position = 700;
    first->positionFraction = 123;
    first->rampTargets = 0x003F003F;
    first->rightIncrement = 5;
    first->leftIncrement = -7;
    first->rightVolume = first->leftVolume = 8000;
    first->rampFramesLeft = 17;
    for (int i = 0; i < 6; ++i) RunOneTick(m);

    EXPECT_EQ(song.channel(0).voice, second);
    EXPECT_EQ(first->finalVolume, 0);
    EXPECT_EQ(first->rightTarget, 0);
    EXPECT_EQ(first->leftTarget, 0);
    EXPECT_EQ(first->position, 700) << "the old voice keeps running";
    EXPECT_NE(first->sample, nullptr);
    // The ramp state travels with the copy; the note start resets the rest.
    EXPECT_EQ(second->rampTargets, 0x003F003Fu);
    EXPECT_EQ(second->rightIncrement, 5);
    EXPECT_EQ(second->leftIncrement, -7);
    EXPECT_EQ(second->position, 512);
    EXPECT_EQ(second->startOffset, 0u);
    EXPECT_EQ(second->positionFraction, 0u);
    EXPECT_EQ(second->rightVolume, 0);
    EXPECT_EQ(second->leftVolume, 0);
    EXPECT_EQ(second->rampFramesLeft, 0);
    EXPECT_EQ(second->finalVolume, 127);
    EXPECT_EQ(second->rightTarget, 63);
    // One octave up from C-4 in the linear table: 16726 Hz.
    EXPECT_EQ(second->stepInteger, 0u);
    EXPECT_EQ(second->stepFraction, static_cast<uint32_t>((uint64_t{16726} << 32) / 48000));

    for (int i = 0; i < 6; ++i) RunOneTick(m);
    EXPECT_EQ(song.channel(0).voice, first) << "the third note goes back to the first voice";
    EXPECT_EQ(second->finalVolume, 0);
}

TEST(SampleLookup, MissingInstrumentsAndSamplesPlayTheSilentSample) {
    {
        SongBuilder song(1, /*instruments=*/0);  // a song without instruments
        song.AddPattern(2);
        // The builder's spare record, just past the count, has a sample that must stay unheard.
        song.AddSample(1, 100);
        song.At(0, 0, 0) = NoteCell(kC4, 0);
        RunOneTick(song.module());
        EXPECT_EQ(song.channel(0).voice->sample, &NullSample);
    }
    {
        SongBuilder song(1, 2);
        song.AddPattern(2);
        song.AddSample(1, 100);
        song.At(0, 0, 0) = NoteCell(kC4, 9);  // no instrument record 9
        RunOneTick(song.module());
        EXPECT_EQ(song.channel(0).instrument, 8);
        EXPECT_EQ(song.channel(0).voice->sample, &NullSample);
    }
    {
        SongBuilder song;
        song.AddPattern(2);
        song.AddSample(1, 100);
        song.instrument(0).sampleForNote[kC4 - 1] = 16;  // beyond the 16 sample slots
        song.instrument(0).sampleForNote[kC4] = 3;       // an empty slot
        song.At(0, 0, 0) = NoteCell(kC4);
        song.At(0, 1, 0) = NoteCell(kC4 + 1);
        RunOneTick(song.module());
        EXPECT_EQ(song.channel(0).voice->sample, &NullSample);
        for (int i = 0; i < 6; ++i) RunOneTick(song.module());
        EXPECT_EQ(song.channel(0).voice->sample, &NullSample);
    }
    EXPECT_EQ(NullSample.finetune, 0);
    EXPECT_EQ(NullSample.length, 0u);
}

// The first and last numbers of each range are taken like the others: notes 1 (C-0) and 96
// (B-7), instruments 1 and 128, each after a different one on the channel.
TEST(SampleLookup, FirstAndLastNoteAndInstrumentNumbersAreTaken) {
    struct Case {
        uint8_t note, instrument;
    };
    for (const Case c : {Case{1, 1}, Case{96, 128}, Case{1, 128}, Case{96, 1}}) {
        SCOPED_TRACE(testing::Message()
                     << "note " << int{c.note} << ", instrument " << int{c.instrument});
        SongBuilder song(1, 128);
        song.AddPattern(2);
        song.AddSample(1, 100);
        song.AddSample(64, 100);
        song.AddSample(128, 100);
        song.At(0, 0, 0) = NoteCell(kC4, 64);
        song.At(0, 1, 0) = NoteCell(c.note, c.instrument);
        Module& m = song.module();
        RunOneTick(m);
        for (int i = 0; i < 6; ++i) RunOneTick(m);
        const Channel& channel = song.channel(0);
        EXPECT_EQ(channel.note, c.note - 1);
        EXPECT_EQ(channel.instrument, c.instrument - 1);
        EXPECT_EQ(channel.voice->sample, song.instrument(c.instrument - 1).samples[0]);
        EXPECT_EQ(channel.realNote, c.note - 1);
    }
}

TEST(Frequency, LinearC4IsPeriod4608And8363Hz) {
    SongBuilder song;
    song.AddPattern(2);
    song.AddSample(1, 1000);
    song.At(0, 0, 0) = NoteCell(kC4);
    RunOneTick(song.module());
    EXPECT_EQ(song.channel(0).period, 4608);
    EXPECT_EQ(song.channel(0).voice->stepInteger, 0u);
    EXPECT_EQ(song.channel(0).voice->stepFraction, 748308572u);
}

TEST(Frequency, AmigaC4IsPeriod1712And8363Hz) {
    SongBuilder song;
    song.SetAmiga();
    song.AddPattern(2);
    song.AddSample(1, 1000);
    song.At(0, 0, 0) = NoteCell(kC4);
    RunOneTick(song.module());
    EXPECT_EQ(song.channel(0).period, 1712);
    EXPECT_EQ(song.channel(0).voice->stepFraction, 748308572u);
}

TEST(Frequency, RelativeNoteAndFinetuneMoveTheNotePeriod) {
    SongBuilder song;
    song.AddPattern(2);
    Sample& sample = song.AddSample(1, 1000);
    sample.relativeNote = -12;
    sample.finetune = -3;  // halved toward zero: one period unit lower in pitch
    song.At(0, 0, 0) = NoteCell(kC4);
    RunOneTick(song.module());
    EXPECT_EQ(song.channel(0).period, 4608 + 768 + 1);
    EXPECT_EQ(song.channel(0).realNote, 36);
}

TEST(Frequency, AmigaFinetuneLeansTowardTheNeighbouringNotes) {
    Sample sample{};
    const struct {
        int note;
        int8_t finetune;
        int32_t period;
    } cases[] = {
        {48, 0, 1712},    {49, 0, 1616}, {47, 0, 1814},  {48, 127, 1617},
        {48, -128, 1814}, {0, 0, 27392}, {0, 64, 26624}, {0, -64, 28206},
    };
    for (const auto& c : cases) {
        sample.finetune = c.finetune;
        EXPECT_EQ(AmigaPeriod(c.note, sample), c.period) << c.note << " " << int{c.finetune};
    }
}

TEST(Frequency, PeriodsOutsideTheTablesStayPlayable) {
    SongBuilder linear;
    SongBuilder amiga;
    amiga.SetAmiga();
    for (Module* m : {&linear.module(), &amiga.module()}) {
        EXPECT_EQ(FrequencyHz(*m, 0, 0), 40u);
        EXPECT_EQ(FrequencyHz(*m, 10, -10), 40u);
        EXPECT_EQ(FrequencyHz(*m, -2147483647, -2147483647), 40u);
    }
    // No limit here: Amiga 14317456 div 1; linear 8363 x 2^(4607 / 768) and 2^(9607 / 768).
    EXPECT_EQ(FrequencyHz(amiga.module(), 1, 0), 14317456u);
    EXPECT_EQ(FrequencyHz(amiga.module(), 1, 5000), 14317456u / 5001);
    EXPECT_EQ(FrequencyHz(linear.module(), 1, 0), 534749u);
    EXPECT_EQ(FrequencyHz(linear.module(), 1, 5000), 48750707u);
    EXPECT_EQ(FrequencyHz(amiga.module(), 1712, 0), 8363u);
    EXPECT_EQ(FrequencyHz(linear.module(), 2147483647, 0), 0u);
    // Linear: a positive delta raises the pitch; Amiga: it lowers it.
    EXPECT_EQ(FrequencyHz(linear.module(), 4608, 64), 8860u);
    EXPECT_LT(FrequencyHz(amiga.module(), 1712, 64), 8363u);

    Voice voice{};
    SetVoiceStep(voice, 40);
    EXPECT_EQ(voice.stepInteger, 0u);
    EXPECT_EQ(voice.stepFraction, 3579139u);
    // 14317456 = 298 x 48000 + 13456; the mixer, not the voice, holds such steps below 32.
    SetVoiceStep(voice, 14317456);
    EXPECT_EQ(voice.stepInteger, 298u);
    EXPECT_EQ(voice.stepFraction, 1204022498u);  // 13456 x 2^32 div 48000
}

}  // namespace
}  // namespace xm::test
