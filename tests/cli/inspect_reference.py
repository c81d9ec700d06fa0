#!/usr/bin/env python3
"""What fullflash hexdump and diff must print, worked out from the raw bytes
of the image files alone, and random images checked against it.

  inspect_reference.py hexdump IMAGE AREA_OFFSET OFFSET LENGTH [terminal]
      the lines for LENGTH bytes at OFFSET of an area that starts at
      AREA_OFFSET in IMAGE
  inspect_reference.py random BIN_DIR WORK_DIR COUNT SEED
      COUNT random images (geometry, size, seed, changed bytes) through
      fullflash hexdump, diff --json and save/replace, each against this file
"""
import json
import os
import random
import subprocess
import sys


def hexdump_lines(data, area, offset, length, terminal=False):
    lines = []
    end = offset + length
    if length == 0:
        return lines
    for lo in range(offset - offset % 16, end, 16):
        cells, chars = [], ""
        for o in range(lo, lo + 16):
            if offset <= o < end:
                b = data[area + o]
                cells.append("%02X" % b)
                chars += "." if b < 32 or (terminal and 0x7F <= b <= 0x9F) else chr(b)
            else:
                cells.append("  ")
                if o < offset:
                    chars += " "
        lines.append("%08X  %s  %s" % (lo, " ".join(cells), chars))
    return lines


def area_diff(a, oa, b, ob, length, unit, base):
    first, blocks = None, 0
    for u in range(0, length, unit):
        x, y = a[oa + u:oa + u + unit], b[ob + u:ob + u + unit]
        if x != y:
            blocks += 1
            if first is None:
                first = base + u + next(i for i in range(len(x)) if x[i] != y[i])
    return {"identical": first is None, "first_difference": first, "differing_blocks": blocks}


def expected_diff(a, b, list_a, list_b):
    """The partitions part of diff --json for two images with the same table."""
    g = list_a["geometry"]
    bs, count = g["block_size"], g["block_count"]
    main = bs * count
    out = []
    for p in list_a["partitions"]:
        base, blocks = p["beg_block"], p["blocks"]
        m = area_diff(a, base * bs, b, base * bs, blocks * bs, bs, 0)
        s = area_diff(a, main + base * bs // 32, b, main + base * bs // 32, blocks * bs // 32, bs // 32, 0)
        out.append({"name": p["name"], "status": "identical" if m["identical"] and s["identical"] else "different",
                    "main": m, "spare": s})
    return out


def run(*args, ok=(0,)):
    r = subprocess.run(args, capture_output=True)
    if r.returncode not in ok:
        raise SystemExit("%s exited %d: %s" % (" ".join(args), r.returncode, r.stderr.decode(errors="replace")))
    return r


def random_checks(bin_dir, work, count, seed):
    ff, gen = os.path.join(bin_dir, "fullflash"), os.path.join(bin_dir, "ffsample")
    rnd = random.Random(seed)
    failures = 0
    for case in range(count):
        geometry, blocks = rnd.choice([("2k", 64), ("512", 512), ("4k", 32), ("2k", 100), ("512", 333)])
        a_path, b_path = os.path.join(work, "ra.bin"), os.path.join(work, "rb.bin")
        run(gen, a_path, "-g", geometry, "-b", str(blocks), "--seed", str(rnd.randrange(1 << 30)),
            "--trailing", str(rnd.choice([0, 0, 17, 527])))
        a = open(a_path, "rb").read()
        listed = json.loads(run(ff, "list", "--json", a_path).stdout)
        g = listed["geometry"]
        whole = g["block_count"] * g["block_size"] * 33 // 32
        b = bytearray(a)
        for _ in range(rnd.choice([0, 1, 1, 2, 5, 40])):
            at = rnd.randrange(whole)
            b[at] ^= 1 << rnd.randrange(8)
        # The table itself stays: changing it would change what the diff pairs.
        table = g["table_block"] * g["block_size"] + g["page_size"]
        b[table:table + 16 + 28 * len(listed["partitions"])] = a[table:table + 16 + 28 * len(listed["partitions"])]
        open(b_path, "wb").write(b)
        what = "case %d (%s, %d blocks)" % (case, geometry, blocks)

        r = run(ff, "diff", "--json", a_path, b_path, ok=(0, 3))
        doc = json.loads(r.stdout)
        got = [{"name": p["name"], "status": p["status"], "main": p["main"], "spare": p["spare"]}
               for p in doc["partitions"]]
        want = expected_diff(a, b, listed, listed)
        identical = a[:whole] == bytes(b[:whole])
        if got != want or doc["summary"]["images_identical"] != identical or r.returncode != (0 if identical else 3):
            failures += 1
            print("FAIL diff %s:\n got  %s\n want %s" % (what, got, want))

        p = rnd.choice(listed["partitions"])
        spare = rnd.random() < 0.4
        bs, main = g["block_size"], g["block_size"] * g["block_count"]
        area_len = p["blocks"] * bs // (32 if spare else 1)
        area = main + p["beg_block"] * bs // 32 if spare else p["beg_block"] * bs
        if area_len:
            offset = rnd.randrange(area_len)
            length = rnd.randrange(min(area_len - offset, 300) + 1)
            args = [ff, "hexdump", b_path, "--position", str(p["position"]), "--offset", hex(offset),
                    "--length", str(length)] + (["--spare"] if spare else [])
            # Not splitlines(): U+0085 and friends are characters of the dump.
            got = run(*args).stdout.decode("utf-8").split("\n")[:-1]
            want = hexdump_lines(b, area, offset, length)
            if got != want:
                failures += 1
                print("FAIL hexdump %s: %s\n got  %s\n want %s" % (what, args, got[:3], want[:3]))

        kind = rnd.choice(["main", "spare", "full"])
        prefix = os.path.join(work, "rs")
        saved = run(ff, "save", b_path, "--position", str(p["position"]), "--kind", kind,
                    "--prefix", prefix).stdout.decode().strip()
        out = os.path.join(work, "rout.bin")
        run(ff, "replace", a_path, "--position", str(p["position"]), "--kind", kind, "--from", saved, out)
        want = bytearray(a)
        data = open(saved, "rb").read()
        mlen = p["blocks"] * bs if kind != "spare" else 0
        if kind != "spare":
            want[p["beg_block"] * bs:p["beg_block"] * bs + mlen] = data[:mlen]
        if kind != "main":
            s_at = main + p["beg_block"] * bs // 32
            want[s_at:s_at + p["blocks"] * bs // 32] = data[mlen:]
        if open(out, "rb").read() != bytes(want):
            failures += 1
            print("FAIL replace %s: %s of %s" % (what, kind, p["name"]))
        os.remove(saved)
    return failures


def main():
    if sys.argv[1] == "hexdump":
        data = open(sys.argv[2], "rb").read()
        area, offset, length = (int(x, 0) for x in sys.argv[3:6])
        for line in hexdump_lines(data, area, offset, length, len(sys.argv) > 6):
            sys.stdout.buffer.write(line.encode("utf-8") + b"\n")
    elif sys.argv[1] == "random":
        failures = random_checks(sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5]))
        print("%d random cases, %d failures" % (int(sys.argv[4]), failures))
        sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
