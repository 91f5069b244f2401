#!/usr/bin/env python3
"""Draws the demo game's pictures and its chime (examples/demo/art/).

Everything the demo shows is made here, from code: a sky-and-hills
background, a standing figure, a soft glowing orb and a star with alpha,
and a short chime. Run it again after changing it; the files are small and
committed so that `make run` needs no generator.
"""
import math
import os
import struct
import sys
import wave
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples", "demo", "art")


def write_png(path, width, height, pixel, alpha=False):
    channels = 4 if alpha else 3
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            p = pixel(x, y)
            rows.extend(bytes(max(0, min(255, int(round(v)))) for v in p[:channels]))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


def smooth(edge0, edge1, x):
    t = max(0.0, min(1.0, (x - edge0) / (edge1 - edge0)))
    return t * t * (3 - 2 * t)


def background(x, y):
    w, h = 800, 600
    sky = mix((40, 60, 140), (250, 170, 120), y / (h * 0.7))
    # The sun, low on the horizon, with a halo.
    d = math.hypot(x - 560, y - 330)
    sky = mix(sky, (255, 240, 200), 1 - smooth(40, 44, d))
    sky = mix(sky, (255, 210, 150), 0.35 * (1 - smooth(44, 160, d)))
    # Two rows of hills.
    far = 360 + 30 * math.sin(x / 90.0) + 15 * math.sin(x / 37.0 + 1)
    near = 430 + 40 * math.sin(x / 140.0 + 2) + 10 * math.sin(x / 23.0)
    if y > near:
        return mix((60, 120, 70), (30, 70, 40), (y - near) / (h - near + 1))
    if y > far:
        return mix((110, 120, 150), (80, 100, 120), (y - far) / 80.0)
    return sky


def figure(x, y):
    # A standing figure: head, hair, a coat, on a transparent ground.
    cx = 100
    a = 0.0
    colour = (0, 0, 0)
    head = math.hypot(x - cx, y - 80)
    if head < 46:
        a = 1 - smooth(44, 46, head)
        colour = (250, 220, 200) if y > 62 or abs(x - cx) < 30 and y > 70 else (70, 50, 90)
        if y < 70 or (y < 95 and abs(x - cx) > 34):
            colour = (70, 50, 90)
        for ex in (cx - 15, cx + 15):
            if math.hypot(x - ex, y - 88) < 5:
                colour = (40, 40, 60)
    elif 120 < y < 390:
        half = 30 + (y - 120) * 0.22
        edge = abs(x - cx)
        if edge < half:
            a = 1 - smooth(half - 2, half, edge)
            colour = mix((60, 110, 190), (30, 60, 120), (y - 120) / 270.0)
            if edge < 6 and y < 300:
                colour = (230, 230, 240)
    elif 124 >= y > 118 and abs(x - cx) < 14:
        a, colour = 1.0, (250, 220, 200)
    return colour + (a * 255,)


def orb(x, y):
    d = math.hypot(x - 32, y - 32) / 32.0
    a = max(0.0, 1 - d) ** 1.5
    return mix((255, 255, 255), (120, 200, 255), min(1.0, d * 1.4)) + (a * 255,)


def star(x, y):
    dx, dy = x - 32, y - 32
    r = math.hypot(dx, dy)
    ang = math.atan2(dy, dx)
    reach = 12 + 18 * (0.5 + 0.5 * math.cos(5 * (ang + math.pi / 2)))
    a = 1 - smooth(reach - 1.5, reach, r)
    return mix((255, 250, 160), (255, 170, 40), r / 30.0) + (a * 255,)


def chime(path):
    rate = 22050
    frames = bytearray()
    for i in range(int(rate * 0.6)):
        t = i / rate
        env = math.exp(-5 * t) * min(1.0, t * 200)
        v = env * (0.5 * math.sin(2 * math.pi * 880 * t) + 0.3 * math.sin(2 * math.pi * 1320 * t))
        frames.extend(struct.pack("<h", int(v * 20000)))
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(frames))


def main():
    os.makedirs(OUT, exist_ok=True)
    write_png(os.path.join(OUT, "sky.png"), 800, 600, background)
    write_png(os.path.join(OUT, "figure.png"), 200, 400, figure, alpha=True)
    write_png(os.path.join(OUT, "orb.png"), 64, 64, orb, alpha=True)
    write_png(os.path.join(OUT, "star.png"), 64, 64, star, alpha=True)
    chime(os.path.join(OUT, "chime.wav"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
