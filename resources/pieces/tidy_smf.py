#!/usr/bin/env python3
"""Turns abc2midi output into a built-in piece file, and checks piece files.

abc2midi writes a usable multi-track file but puts some things where the player
does not want them: the bank-select controller lands in the first track, the
track names are all the tune title, every channel event is pushed one tick late,
and the tracks end at odd times. `tidy` rebuilds the file from the notes:

  * track chunk 1 is the conductor: the title, then time signature, key
    signature and tempo at tick 0 and every later tempo change; nothing else;
  * then one track per ABC voice, in the order the voices are declared, named
    after the voice's name="..." field, on the voice's single channel, starting
    at tick 0 with the bank select (when the voice sets controller 0), the
    program change (not on the drum channel) and any other start-up
    controllers, then the notes snapped back onto the beat grid;
  * every track ends with an end-of-track event at the end of the last bar.

`check` reads finished files, prints what each track holds and reports every
rule a built-in piece breaks; given all five it also checks the rules that
concern the set as a whole. Standard library only, so it runs anywhere.

  tidy_smf.py tidy PIECE.abc RAW.mid OUT.mid
  tidy_smf.py check FILE.mid...
"""

import re
import sys

DRUM_CHANNEL = 9  # MIDI channel 10, counted from 0
SNAP = 10  # abc2midi delays events by a tick; every note we write lies on this grid


# ---------------------------------------------------------------- reading

def _read_vlq(data, pos):
    value = 0
    while True:
        byte = data[pos]
        pos += 1
        value = (value << 7) | (byte & 0x7F)
        if not byte & 0x80:
            return value, pos


def read_smf(data):
    """Returns (format, division, tracks); a track is a list of events
    (tick, kind, a, b) with kind 'meta' (a=type, b=bytes), 'sysex' (a=status,
    b=bytes) or 'chan' (a=status, b=tuple of data bytes)."""
    if data[:4] != b"MThd":
        raise ValueError("not a Standard MIDI File")
    header_length = int.from_bytes(data[4:8], "big")
    fmt = int.from_bytes(data[8:10], "big")
    division = int.from_bytes(data[12:14], "big")
    pos = 8 + header_length
    tracks = []
    while pos + 8 <= len(data):
        tag = data[pos:pos + 4]
        length = int.from_bytes(data[pos + 4:pos + 8], "big")
        chunk = data[pos + 8:pos + 8 + length]
        pos += 8 + length
        if tag != b"MTrk":
            continue
        events = []
        tick = 0
        running = None
        i = 0
        while i < len(chunk):
            delta, i = _read_vlq(chunk, i)
            tick += delta
            status = chunk[i]
            if status == 0xFF:
                kind = chunk[i + 1]
                size, i = _read_vlq(chunk, i + 2)
                events.append((tick, "meta", kind, bytes(chunk[i:i + size])))
                i += size
            elif status in (0xF0, 0xF7):
                size, i = _read_vlq(chunk, i + 1)
                events.append((tick, "sysex", status, bytes(chunk[i:i + size])))
                i += size
            else:
                if status & 0x80:
                    running = status
                    i += 1
                if running is None:
                    raise ValueError("data byte without a status")
                count = 1 if running & 0xF0 in (0xC0, 0xD0) else 2
                events.append((tick, "chan", running, tuple(chunk[i:i + count])))
                i += count
        tracks.append(events)
    return fmt, division, tracks


# ---------------------------------------------------------------- writing

def _vlq(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def write_smf(division, tracks):
    """tracks: lists of (tick, raw event bytes) already in playing order."""
    out = bytearray(b"MThd" + (6).to_bytes(4, "big"))
    out += (1).to_bytes(2, "big") + len(tracks).to_bytes(2, "big") + division.to_bytes(2, "big")
    for events in tracks:
        body = bytearray()
        last = 0
        for tick, raw in events:
            body += _vlq(tick - last) + raw
            last = tick
        out += b"MTrk" + len(body).to_bytes(4, "big") + body
    return bytes(out)


def meta(kind, payload):
    return bytes([0xFF, kind]) + _vlq(len(payload)) + payload


# ---------------------------------------------------------------- the ABC side

def abc_title_and_voices(text):
    """The tune title and the (id, name) of each voice in declaration order."""
    title = None
    voices = []
    seen = set()
    for line in text.splitlines():
        if title is None and line.startswith("T:"):
            title = line[2:].strip()
        match = re.match(r"V:\s*(\S+)(.*)", line)
        if match and match.group(1) not in seen:
            seen.add(match.group(1))
            name = re.search(r'name="([^"]*)"', match.group(2))
            voices.append((match.group(1), name.group(1) if name else match.group(1)))
    return title or "Untitled", voices


# ---------------------------------------------------------------- tidy

def _snap(tick):
    return int(round(tick / SNAP)) * SNAP


def bar_ticks_at(timesigs, division, tick):
    """Length in ticks of the bar running at `tick`; timesigs sorted by tick."""
    num, power = 4, 2
    for at, n, p in timesigs:
        if at <= tick:
            num, power = n, p
    return num * division * 4 // (1 << power)


def end_of_last_bar(timesigs, division, last_tick):
    tick = 0
    while tick < last_tick:
        tick += bar_ticks_at(timesigs, division, tick)
    return tick


def tidy(abc_path, raw_path, out_path):
    with open(abc_path, encoding="utf-8") as handle:
        title, voices = abc_title_and_voices(handle.read())
    with open(raw_path, "rb") as handle:
        _fmt, division, raw_tracks = read_smf(handle.read())

    # Conductor material may sit in any raw track; keep one copy of each.
    conductor = {}
    for events in raw_tracks:
        for tick, kind, a, b in events:
            if kind == "meta" and a in (0x51, 0x58, 0x59):
                conductor[(tick, a, b)] = True
    timesigs = sorted((t, b[0], b[1]) for (t, a, b) in conductor if a == 0x58)

    note_tracks = raw_tracks[1:]
    if len(note_tracks) != len(voices):
        raise SystemExit("%s: %d voices but abc2midi wrote %d note tracks"
                         % (abc_path, len(voices), len(note_tracks)))

    built = []
    last_tick = 0
    for (voice_id, name), events in zip(voices, note_tracks):
        channels = {status & 0x0F for (_t, kind, status, _d) in events if kind == "chan"}
        if len(channels) != 1:
            raise SystemExit("voice %s uses channels %s" % (voice_id, sorted(channels)))
        channel = channels.pop()
        # Controllers set before the first note (abc2midi also copies them into
        # the first track, where they are dropped) are sent at tick 0.
        startup = {}
        program = None
        sounding = {}
        notes = []  # (on, off, pitch, velocity)
        later = []  # (tick, bytes) other channel events after the start
        first_note = None
        for tick, kind, status, data in events:
            if kind != "chan":
                continue
            high = status & 0xF0
            if high == 0x90 and data[1] > 0:
                if first_note is None:
                    first_note = tick
                sounding.setdefault(data[0], []).append((tick, data[1]))
            elif high in (0x80, 0x90):
                started = sounding.get(data[0])
                if not started:
                    raise SystemExit("voice %s: note-off without note-on" % voice_id)
                on, velocity = started.pop(0)
                notes.append((_snap(on), _snap(tick), data[0], velocity))
            elif high == 0xC0:
                if program is None and (first_note is None or tick <= first_note):
                    program = data[0]
                else:
                    later.append((_snap(tick), bytes([status]) + bytes(data)))
            elif high == 0xB0 and (first_note is None or tick <= first_note):
                startup.setdefault(data[0], data[1])
            else:
                later.append((_snap(tick), bytes([status]) + bytes(data)))
        if any(sounding.values()):
            raise SystemExit("voice %s: a note is never released" % voice_id)

        head = [meta(0x03, name.encode("latin-1"))]
        for number in (0x00, 0x20):  # bank select comes right before the program
            if number in startup:
                head.append(bytes([0xB0 | channel, number, startup.pop(number)]))
        if program is not None and channel != DRUM_CHANNEL:
            head.append(bytes([0xC0 | channel, program]))
        elif channel != DRUM_CHANNEL:
            raise SystemExit("voice %s has no program change" % voice_id)
        for number in sorted(startup):
            head.append(bytes([0xB0 | channel, number, startup[number]]))

        timed = []  # (tick, order, bytes): offs before other events before ons
        for on, off, pitch, velocity in notes:
            if off <= on:
                off = on + SNAP
            timed.append((on, 2, bytes([0x90 | channel, pitch, velocity])))
            timed.append((off, 0, bytes([0x80 | channel, pitch, 0])))
            last_tick = max(last_tick, off)
        for tick, raw in later:
            timed.append((tick, 1, raw))
        timed.sort(key=lambda item: (item[0], item[1], item[2]))
        built.append(([(0, raw) for raw in head], [(t, raw) for t, _o, raw in timed]))

    end = end_of_last_bar(timesigs, division, last_tick)
    order = {0x58: 0, 0x59: 1, 0x51: 2}
    tracks = [[(0, meta(0x03, title.encode("latin-1")))]
              + [(t, meta(a, b)) for (t, a, b) in sorted(conductor, key=lambda k: (k[0], order[k[1]]))]
              + [(end, meta(0x2F, b""))]]
    for head, body in built:
        tracks.append(head + body + [(end, meta(0x2F, b""))])
    with open(out_path, "wb") as handle:
        handle.write(write_smf(division, tracks))


# ---------------------------------------------------------------- check

KEY_NAMES = {}
for _sf, _major, _minor in zip(range(-7, 8),
                               "Cb Gb Db Ab Eb Bb F C G D A E B F# C#".split(),
                               "Ab Eb Bb F C G D A E B F# C# G# D# A#".split()):
    KEY_NAMES[(_sf, 0)] = _major + " major"
    KEY_NAMES[(_sf, 1)] = _minor + " minor"


def check_file(path, out):
    """Prints a summary of `path`; returns (problems, facts for the set checks)."""
    problems = []
    with open(path, "rb") as handle:
        fmt, division, tracks = read_smf(handle.read())
    out.append("%s: format %d, division %d, %d track chunks" % (path, fmt, division, len(tracks)))
    if fmt != 1:
        problems.append("format is %d, not 1" % fmt)
    if division <= 0 or division & 0x8000:
        problems.append("division %d is not ticks per quarter" % division)
    if not tracks:
        return problems + ["no tracks"], {}

    facts = {"meters": set(), "flat_key": False, "ritardando": False, "bank0": False}
    conductor = tracks[0]
    tempos = [(t, b) for (t, k, a, b) in conductor if k == "meta" and a == 0x51]
    sigs = [(t, b) for (t, k, a, b) in conductor if k == "meta" and a == 0x58]
    keys = [(t, b) for (t, k, a, b) in conductor if k == "meta" and a == 0x59]
    for label, found in (("tempo", tempos), ("time signature", sigs), ("key signature", keys)):
        if not any(t == 0 for t, _b in found):
            problems.append("conductor has no %s at tick 0" % label)
    if any(k == "chan" for (_t, k, _a, _b) in conductor):
        problems.append("conductor track holds channel messages")
    for tick, data in sigs:
        out.append("  time signature %d/%d at tick %d" % (data[0], 1 << data[1], tick))
        facts["meters"].add("%d/%d" % (data[0], 1 << data[1]))
    for tick, data in keys:
        sf = int.from_bytes(data[:1], "big", signed=True)
        out.append("  key signature %s (sf %d) at tick %d" % (KEY_NAMES.get((sf, data[1]), "?"), sf, tick))
        facts["flat_key"] |= sf < 0
    out.append("  tempo " + ", ".join("%.1f bpm @%d" % (60e6 / int.from_bytes(b, "big"), t)
                                      for t, b in tempos))

    timesigs = [(t, b[0], b[1]) for t, b in sigs]
    end = max((e[0] for tr in tracks for e in tr), default=0)
    bars = 0
    tick = 0
    while tick < end:
        tick += bar_ticks_at(timesigs, division, tick)
        bars += 1
    out.append("  length %d ticks = %d bars%s" % (end, bars, "" if tick == end else " (last bar incomplete)"))
    if not 16 <= bars <= 64:
        problems.append("%d bars, not 16-64" % bars)
    # A ritardando into the ending: at least three tempo events inside the
    # last four bars, each slower than the one before.
    last_four = end - 4 * bar_ticks_at(timesigs, division, max(0, end - 1))
    closing = [int.from_bytes(b, "big") for t, b in tempos if t >= last_four]
    if len(closing) >= 3 and all(x < y for x, y in zip(closing, closing[1:])):
        facts["ritardando"] = True

    channels_used = {}
    mean_velocity = {}
    for number, events in enumerate(tracks):
        name = next((b.decode("latin-1") for (t, k, a, b) in events if k == "meta" and a == 0x03), None)
        if not events or events[-1][1:3] != ("meta", 0x2F):
            problems.append("track %d does not end with end-of-track" % (number + 1))
        if number == 0:
            continue
        chan = [(t, a, b) for (t, k, a, b) in events if k == "chan"]
        channels = sorted({a & 0x0F for _t, a, _b in chan})
        label = "track %d (%s)" % (number + 1, name)
        if name is None:
            problems.append("track %d has no name" % (number + 1))
        if len(channels) != 1:
            problems.append("%s uses channels %s" % (label, [c + 1 for c in channels]))
            continue
        channel = channels[0]
        if channel in channels_used:
            problems.append("%s shares channel %d with %s" % (label, channel + 1, channels_used[channel]))
        channels_used[channel] = label
        programs = [(t, b[0]) for t, a, b in chan if a & 0xF0 == 0xC0]
        ons = [(t, b) for t, a, b in chan if a & 0xF0 == 0x90 and b[1] > 0]
        offs = [(t, b) for t, a, b in chan if a & 0xF0 == 0x80 or (a & 0xF0 == 0x90 and b[1] == 0)]
        ccs = [(t, b) for t, a, b in chan if a & 0xF0 == 0xB0]
        first_note = ons[0][0] if ons else None
        if not ons:
            problems.append("%s has no notes" % label)
        if channel != DRUM_CHANNEL:
            first_program = next((i for i, e in enumerate(chan) if e[1] & 0xF0 == 0xC0), None)
            first_on = next((i for i, e in enumerate(chan) if e[1] & 0xF0 == 0x90), None)
            if first_program is None or (first_on is not None and first_program > first_on):
                problems.append("%s has no program change before its first note" % label)
            elif first_program > 0 and chan[first_program - 1][1] & 0xF0 == 0xB0 \
                    and chan[first_program - 1][2][0] == 0:
                facts["bank0"] = True
        # Pair notes, find hanging ones and the most notes sounding at once.
        sounding = {}
        most = 0
        now = 0
        for t, a, b in chan:
            high = a & 0xF0
            if high == 0x90 and b[1] > 0:
                if sounding.get(b[0]):
                    problems.append("%s: note %d struck again while sounding at tick %d" % (label, b[0], t))
                sounding[b[0]] = sounding.get(b[0], 0) + 1
                now += 1
                most = max(most, now)
            elif high in (0x80, 0x90):
                if not sounding.get(b[0]):
                    problems.append("%s: note-off for silent note %d at tick %d" % (label, b[0], t))
                else:
                    sounding[b[0]] -= 1
                    now -= 1
        if now:
            problems.append("%s: %d notes never released" % (label, now))
        pitches = [b[0] for _t, b in ons]
        velocities = [b[1] for _t, b in ons]
        mean_velocity[number] = sum(velocities) / max(1, len(velocities))
        out.append("  %-22s ch %-2d program %-8s %4d on %4d off %3d cc  notes %s-%s  vel %.0f  poly %d%s"
                   % (label, channel + 1,
                      ",".join(str(p) for _t, p in programs) or "-",
                      len(ons), len(offs), len(ccs),
                      min(pitches, default="-"), max(pitches, default="-"),
                      mean_velocity[number], most,
                      "  bank " + ",".join(str(b[1]) for _t, b in ccs if b[0] == 0)
                      if any(b[0] == 0 for _t, b in ccs) else ""))
        if number == 1:
            if not (name or "").startswith("Solo "):
                problems.append("track 2 is not a solo track (name %r)" % name)
            if most > 1:
                problems.append("the solo plays %d notes at once" % most)
            if pitches and (min(pitches) < 60 or max(pitches) > 84):
                problems.append("the solo leaves C4-C6 (%d-%d)" % (min(pitches), max(pitches)))
            if first_note is None:
                problems.append("the solo has no notes")
    note_tracks = len(tracks) - 1
    if not 3 <= note_tracks <= 5:
        problems.append("%d note tracks; want a solo and 2-4 accompaniment tracks" % note_tracks)
    if 1 in mean_velocity:
        for number, velocity in mean_velocity.items():
            if number != 1 and velocity >= mean_velocity[1]:
                problems.append("track %d is as loud as the solo" % (number + 1))
    return problems, facts


def check(paths):
    out = []
    problems = []
    facts = []
    for path in paths:
        found, fact = check_file(path, out)
        problems += ["%s: %s" % (path, p) for p in found]
        facts.append(fact)
    if len(paths) > 1:
        meters = set().union(*(f.get("meters", set()) for f in facts))
        if not ({"2/4", "6/8"} & meters and "3/4" in meters and "4/4" in meters):
            problems.append("the set lacks one of the meters 2/4 or 6/8, 3/4, 4/4")
        for flag, wanted in (("flat_key", "a key with flats"),
                             ("ritardando", "a ritardando into the ending"),
                             ("bank0", "a bank select (controller 0) before a program change")):
            if not any(f.get(flag) for f in facts):
                problems.append("no piece has %s" % wanted)
    print("\n".join(out))
    for problem in problems:
        print("PROBLEM: " + problem)
    return 1 if problems else 0


def main(argv):
    if len(argv) == 5 and argv[1] == "tidy":
        tidy(argv[2], argv[3], argv[4])
        return 0
    if len(argv) >= 3 and argv[1] == "check":
        return check(argv[2:])
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
