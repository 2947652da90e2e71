// The volume column of a cell, on the row's first tick and on its later ticks.
#include "player/replay/replay.h"
#include "player/replay/saturating.h"

namespace xm {

void ApplyVolumeColumnRow(ChannelTick& t) {
    Channel& channel = t.channel;
    const uint8_t v = t.cell.volume;
    const int y = v & 0x0F;
    if (v >= 0x10 && v <= 0x50) {
        channel.volume = v - 0x10;
        return;
    }
    switch (v >> 4) {
        case 0x6:  // volume slide down, also on the first tick
        case 0x8:  // fine volume slide down
            channel.volume = SaturatingAdd(channel.volume, -y);
            break;
        case 0x7:  // volume slide up, also on the first tick
        case 0x9:  // fine volume slide up
            channel.volume = SaturatingAdd(channel.volume, y);
            break;
        case 0xA:
            channel.vibratoSpeed = static_cast<uint8_t>(y);
            break;
        case 0xB:
            channel.vibratoDepth = static_cast<uint8_t>(y);
            break;
        case 0xC:
            channel.panning = y * 16;
            channel.flags |= kUpdatePanning;
            break;
        case 0xD:
            channel.panning = SaturatingAdd(channel.panning, -y);
            channel.flags |= kUpdatePanning;
            break;
        case 0xE:
            channel.panning = SaturatingAdd(channel.panning, y);
            channel.flags |= kUpdatePanning;
            break;
        case 0xF:  // tone portamento: the pitch slides to the note, which does not restart
            if (y != 0) channel.tonePortamentoSpeed = static_cast<uint8_t>(y * 16);
            channel.flags &= static_cast<uint8_t>(~kUpdateStart);
            channel.portamentoTarget = channel.notePeriod;
            break;
        default:
            break;
    }
}

void ApplyVolumeColumnTick(ChannelTick& t) {
    Channel& channel = t.channel;
    const uint8_t v = t.cell.volume;
    const int y = v & 0x0F;
    switch (v >> 4) {
        case 0x6:
            channel.volume = SaturatingAdd(channel.volume, -y);
            channel.flags |= kUpdateVolume;
            break;
        case 0x7:
            channel.volume = SaturatingAdd(channel.volume, y);
            channel.flags |= kUpdateVolume;
            break;
        case 0xB:
            channel.vibratoDepth = static_cast<uint8_t>(y);
            Vibrato(channel);
            break;
        case 0xD:
            channel.panning = SaturatingAdd(channel.panning, -y);
            channel.flags |= kUpdatePanning;
            break;
        case 0xE:
            channel.panning = SaturatingAdd(channel.panning, y);
            channel.flags |= kUpdatePanning;
            break;
        case 0xF:
            TonePortamento(channel);
            break;
        default:
            break;
    }
}

}  // namespace xm
