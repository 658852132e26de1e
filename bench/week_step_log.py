#!/usr/bin/env python3
"""A week-long measurement log, one line a second in the Czech texts of the program,
quiet but for one step of the control action on 9 December at 08:00 (K 1.5, tau 50 s,
theta 10 s, noise 0.01). For timing `tx20ctl tune` on a long log cut to its step."""
import math
import random
import sys

out = open(sys.argv[1], "wb")
rnd = random.Random(1)
out.write("Začátek měření na regulátoru KELVRA 20   07.12.26     0:00:00\r\n".encode("cp1250"))
out.write("Naměřená hodnota; Žádaná hodnota;Akční zásah; Porucha; čas; datum\r\n".encode("cp1250"))
out.write(b"-" * 65 + b"\r\n")
step_at = 2 * 86400 + 8 * 3600
lines = []
for i in range(7 * 86400):
    t = i - step_at
    u = 30.0 if t < 0 else 40.0
    y = 40.0
    if t > 10:
        y += 1.5 * 10.0 * (1 - math.exp(-(t - 10) / 50.0))
    y += rnd.gauss(0, 0.01)
    s = i % 86400
    lines.append(f"{y:.2f}; 55.00; {u:.1f}; není porucha;   {s // 3600}:{s // 60 % 60:02d}:{s % 60:02d};   "
                 f"{7 + i // 86400:02d}.12.26\r\n".replace(".", ",", 3))
    if len(lines) >= 100000:
        out.write("".join(lines).encode("cp1250"))
        lines = []
out.write("".join(lines).encode("cp1250"))
