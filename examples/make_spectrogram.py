#!/usr/bin/env python3
"""Writes spectrogram.iv: a synthetic spectrogram with marks at its onsets.

Twenty seconds at 20 steps a second, 24 frequency bands from 0 to 4 kHz
(the second coordinate, in kHz). A note starts every 2.5 s: a harmonic
tone whose pitch glides up and whose partials decay; a little noise lies
under everything. Run it to remake the scene."""
import math
import random

random.seed(7)
STEPS, BANDS, INTERVAL = 400, 24, 0.05
dim2 = [4.0 * j / (BANDS - 1) for j in range(BANDS)]
onsets = [0.25 + 2.5 * n for n in range(8)]

values = []
for i in range(STEPS):
    t = i * INTERVAL
    last = max([o for o in onsets if o <= t], default=None)
    for f in dim2:
        v = 0.05 * random.random()
        if last is not None:
            age = t - last
            pitch = 0.45 + 0.25 * age
            for h in range(1, 6):
                centre = h * pitch
                v += (1.6 / h) * math.exp(-age / 1.2) * math.exp(-((f - centre) / 0.18) ** 2)
        values.append(v)

def block(numbers, per_line):
    lines = []
    for k in range(0, len(numbers), per_line):
        lines.append("      " + ", ".join("%.3f" % x for x in numbers[k:k + per_line]))
    return ",\n".join(lines)

with open("spectrogram.iv", "w") as out:
    out.write("""#Inventor V2.1 ascii

# A synthetic spectrogram scrolling through x = 0: time runs along x
# (now at x = 0, two seconds of past to the left, two of future to the
# right), frequency in kHz along z, magnitude up y. The colour engine maps
# every magnitude to a hue from blue (low) to red (1.2 and above); the white lines
# are the note onsets, the red line is the current time.
# Made by make_spectrogram.py.

Separator {
  qvSuite {}
  PerspectiveCamera {
    position 3.5 4.5 8
    orientation -0.6979 0.6909 0.1887 0.746
    focalDistance 8.07
  }
  DirectionalLight { direction -0.2 -1 -0.6 }
  DEF CLOCK qvTime { speed 1 }
  DEF SPECTRUM qvData2RNFloat {
    startTime 0
    interval %g
    dim2 [
%s ]
    data [
%s ]
  }
  qvData1Marks {
    color 1 1 1
    marks [ %s ]
  }
  PackedColor {
    orderedRGBA = qvData2ToPackedColor { qvDataNode USE SPECTRUM maximum 1.2 } . packedColors
  }
  MaterialBinding { value PER_VERTEX }
  qvSurface { past 2 future 2 }
}
""" % (INTERVAL, block(dim2, 8), block(values, BANDS), ", ".join("%g" % o for o in onsets)))
