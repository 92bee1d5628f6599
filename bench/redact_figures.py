"""The figures of bench_redact.sh from its working folder: tracking against the truth, the
detector's suggestions against it, the export's CPU ratio, and PSNR inside and outside the
blurred boxes (composed picture = front
picture at 1920x1080, so front boxes are in its pixels)."""
import json
import math
import statistics
import sys

work, track_cpu, detect_cpu = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
W, H = 1920, 1080
truth = {f["frame"]: f["box"] for f in json.load(open(f"{work}/truth.json"))["frames"]}
boxes = json.load(open(f"{work}/masks.json"))["regions"][0]["boxes"]


def iou(a, b):
    x0, y0 = max(a[0], b[0]), max(a[1], b[1])
    x1, y1 = min(a[0] + a[2], b[0] + b[2]), min(a[1] + a[3], b[1] + b[3])
    i = max(0, x1 - x0) * max(0, y1 - y0)
    return i / (a[2] * a[3] + b[2] * b[3] - i)


ious = sorted(iou(b["box"], truth[b["frame"]]) for b in boxes)
print(f"track: {len(boxes)} frames, median IoU {statistics.median(ious):.3f}, "
      f"lowest {ious[0]:.3f}, {track_cpu:.2f} s CPU for 10 s "
      f"({10 / max(track_cpu, 1e-3):.1f}x real time)")


def covered(box, t):  # the suggestion holds at least half of the plate
    x0, y0 = max(box[0], t[0]), max(box[1], t[1])
    x1, y1 = min(box[0] + box[2], t[0] + t[2]), min(box[1] + box[3], t[1] + t[3])
    return max(0, x1 - x0) * max(0, y1 - y0) >= 0.5 * t[2] * t[3]


detected = json.load(open(f"{work}/detected.json"))["regions"]
on_plate, off_plate = set(), 0
for region in detected:
    for d in region["boxes"]:
        if d["frame"] in truth and covered(d["box"], truth[d["frame"]]):
            on_plate.add(d["frame"])
        elif iou(d["box"], truth.get(d["frame"], [0, 0, 0, 0])) == 0:
            off_plate += 1
print(f"detect: the plate suggested in {len(on_plate)} of 300 frames, {off_plate} boxes off it, "
      f"{len(detected)} regions, {detect_cpu:.2f} s CPU for 10 s")
plain = [float(x) for x in open(f"{work}/plain")]
blurred = [float(x) for x in open(f"{work}/blurred")]
print(f"export: CPU {statistics.median(blurred):.2f} s with regions, "
      f"{statistics.median(plain):.2f} s without, ratio "
      f"{statistics.median(blurred) / statistics.median(plain):.2f}")
a = open(f"{work}/plain.gray", "rb").read()
b = open(f"{work}/blurred.gray", "rb").read()
by_frame = {x["frame"]: x["box"] for x in boxes}
inside = [0.0, 0]
outside = [0.0, 0]
for n in range(0, min(300, len(a) // (W * H)), 10):
    x, y, w, h = truth[n]
    bx, by, bw, bh = by_frame[n]
    m = max(bw, bh) // 10 + 16  # the grown box and the encoder's blocks across its edge
    base = n * W * H
    for yy in range(0, H, 2):
        for xx in range(0, W, 2):
            d = (a[base + yy * W + xx] - b[base + yy * W + xx]) ** 2
            if x <= xx < x + w and y <= yy < y + h:
                inside[0] += d
                inside[1] += 1
            elif not (bx - m <= xx < bx + bw + m and by - m <= yy < by + bh + m):
                outside[0] += d
                outside[1] += 1


def psnr(acc):
    return 99.0 if acc[0] == 0 else 10 * math.log10(255 ** 2 * acc[1] / acc[0])


print(f"PSNR against the plain clip: inside {psnr(inside):.1f} dB, outside {psnr(outside):.1f} dB")
