"""Compares a recording of the sound card with the same module rendered directly.

    music_compare.py HEARD.raw RENDERED.wav MIN_SECONDS

HEARD is raw 16-bit little-endian stereo at 48,000 Hz as parec records it; RENDERED a WAV file
of the same format (xmrender's output). The recording starts at some unknown point, so its
first sounding frames are looked up in the rendering; from there to its last sounding frame
(at least MIN_SECONDS) it must equal the rendering sample for sample. Exits non-zero with a description when they differ.
"""
import array
import struct
import sys

RATE = 48000
WINDOW_FRAMES = 256


def samples(data):
    a = array.array('h')
    a.frombytes(data[:len(data) // 4 * 4])
    if sys.byteorder != 'little':
        a.byteswap()
    return a


def wav_samples(path):
    data = open(path, 'rb').read()
    if data[:4] != b'RIFF' or data[8:12] != b'WAVE':
        sys.exit(f'{path}: not a WAV file')
    at = 12
    while at + 8 <= len(data):
        tag, size = data[at:at + 4], struct.unpack('<I', data[at + 4:at + 8])[0]
        if tag == b'data':
            return samples(data[at + 8:at + 8 + size])
        at += 8 + size + (size & 1)
    sys.exit(f'{path}: no data chunk')


def describe_gap(heard, rendered, at, expected_at):
    """What the recording holds where it leaves the rendering: the silent frames there, and
    whether the music then goes on from where it left off (a pause put in), from later (sound
    lost) or from earlier (sound repeated)."""
    silent = 0
    while at + 2 * silent + 1 < len(heard) and not heard[at + 2 * silent] and \
            not heard[at + 2 * silent + 1]:
        silent += 1
    after = heard[at + 2 * silent:at + 2 * silent + 2 * WINDOW_FRAMES].tobytes()
    text = f'{silent} silent frames ({silent / RATE * 1000:.1f} ms) in the recording there'
    if len(after) < 4 * WINDOW_FRAMES:
        return text + '; the recording ends after them'
    found = rendered.tobytes().find(after)
    while found >= 0 and found % 4:
        found = rendered.tobytes().find(after, found + 1)
    if found < 0:
        return text + '; the sound after them is nowhere in the rendering'
    shift = (found - 2 * expected_at) // 4
    if shift == 0:
        return text + '; then the music goes on from where it left off (a pause put in)'
    return text + f'; then the music goes on {abs(shift)} frames ' + \
        ('later (sound lost)' if shift > 0 else 'earlier (sound repeated)')


def main():
    heard = samples(open(sys.argv[1], 'rb').read())
    rendered = wav_samples(sys.argv[2])
    frames = int(float(sys.argv[3]) * RATE)
    start = next((i for i, v in enumerate(heard) if v), None)
    if start is None:
        sys.exit('the recording is silent')
    start -= start % 2
    window = heard[start:start + 2 * WINDOW_FRAMES].tobytes()
    found = rendered.tobytes().find(window)
    while found >= 0 and found % 4:
        found = rendered.tobytes().find(window, found + 1)
    if found < 0:
        sys.exit(f'the sound heard from frame {start // 2} on is nowhere in the rendering')
    offset = found // 2
    # The music ends where the program was closed: the silence after it is not compared.
    end = max(i for i, v in enumerate(heard) if v) + 1
    available = min(end - start, len(rendered) - offset) // 2
    print(f'heard {len(heard) // 2 / RATE:.2f} s; music from {start // 2 / RATE:.3f} s, '
          f'aligned with frame {offset // 2} of the rendering; {available / RATE:.2f} s comparable')
    if available < frames:
        sys.exit(f'only {available / RATE:.2f} s of music heard, {frames / RATE:.2f} s wanted')
    frames = available
    for i in range(2 * frames):
        if heard[start + i] != rendered[offset + i]:
            frame = i // 2
            print(describe_gap(heard, rendered, start + 2 * frame, offset + 2 * frame))
            sys.exit(f'differs at {frame / RATE:.4f} s after the alignment (frame {frame}): '
                     f'heard {heard[start + i]}, rendered {rendered[offset + i]}')
    print(f'{frames / RATE:.2f} s equal sample for sample')


main()
