#!/usr/bin/env python3
"""Synthesises the program's default event sounds (our own, no samples):
personal.wav - a two-note rising chime, group.wav - a soft three-note arpeggio,
send.wav - a short upward glide. 16-bit mono PCM, 22050 Hz."""
import math
import struct
import sys
import wave

RATE = 22050


def tone(freq, start, length, gain=0.5, decay=6.0):
    """A bell-like partial mix with a quick attack and exponential decay."""
    samples = []
    for i in range(int(length * RATE)):
        t = i / RATE
        attack = min(1.0, t / 0.006)
        env = attack * math.exp(-decay * t)
        value = (math.sin(2 * math.pi * freq * t)
                 + 0.35 * math.sin(2 * math.pi * 2 * freq * t) * math.exp(-3 * t)
                 + 0.12 * math.sin(2 * math.pi * 3.01 * freq * t) * math.exp(-8 * t))
        samples.append(gain * env * value / 1.47)
    return int(start * RATE), samples


def glide(f0, f1, length, gain=0.35):
    samples = []
    phase = 0.0
    n = int(length * RATE)
    for i in range(n):
        t = i / RATE
        f = f0 + (f1 - f0) * (i / n)
        phase += 2 * math.pi * f / RATE
        env = math.sin(math.pi * i / n) ** 2
        samples.append(gain * env * math.sin(phase))
    return 0, samples


def mix(parts, total):
    out = [0.0] * int(total * RATE)
    for offset, samples in parts:
        for i, s in enumerate(samples):
            if offset + i < len(out):
                out[offset + i] += s
    return out


def write(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(b"".join(
            struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32000)) for s in samples))


def main(folder):
    write(f"{folder}/personal.wav",
          mix([tone(659.25, 0.0, 0.6), tone(880.0, 0.14, 0.7)], 0.85))
    write(f"{folder}/group.wav",
          mix([tone(523.25, 0.0, 0.5, 0.4), tone(659.25, 0.11, 0.5, 0.4),
               tone(783.99, 0.22, 0.6, 0.4)], 0.85))
    write(f"{folder}/send.wav", mix([glide(520, 1040, 0.16), tone(1046.5, 0.12, 0.3, 0.25, 9)],
                                    0.42))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
