#!/usr/bin/env python3
"""Writes the incoming-message chime: two soft bell tones a fifth apart.

Usage: chatin.py OUTPUT.wav   (16-bit PCM, mono, 44100 Hz, about 0.48 s)
"""
import math
import struct
import sys
import wave

RATE = 44100
LENGTH = 0.48
PEAK = 0.6  # leaves headroom so the chime never sounds harsh next to other system sounds

# (start seconds, fundamental Hz, decay seconds): A5 then E6
NOTES = ((0.0, 880.0, 0.11), (0.11, 1318.5, 0.14))
# bell-like partials: (frequency ratio, relative level, decay factor)
PARTIALS = ((1.0, 1.0, 1.0), (2.0, 0.22, 0.55), (3.0, 0.06, 0.35))
ATTACK = 0.004
FADE_OUT = 0.03


def note_sample(t, freq, decay):
    if t < 0.0:
        return 0.0
    attack = min(1.0, t / ATTACK)
    value = 0.0
    for ratio, level, decay_factor in PARTIALS:
        value += level * math.exp(-t / (decay * decay_factor)) * math.sin(2.0 * math.pi * freq * ratio * t)
    return attack * value


def render():
    count = int(RATE * LENGTH)
    samples = []
    for i in range(count):
        t = i / RATE
        value = sum(note_sample(t - start, freq, decay) for start, freq, decay in NOTES)
        remaining = LENGTH - t
        if remaining < FADE_OUT:
            value *= remaining / FADE_OUT
        samples.append(value)
    scale = PEAK / max(abs(s) for s in samples)
    return [round(s * scale * 32767) for s in samples]


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: chatin.py OUTPUT.wav")
    samples = render()
    with wave.open(sys.argv[1], "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(struct.pack("<%dh" % len(samples), *samples))


if __name__ == "__main__":
    main()
