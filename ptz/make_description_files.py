#!/usr/bin/env python3
"""Writes the dome protocol description files of PTZSetup_New/.

The command bytes follow the public protocol documents: Pelco-D (FF, address,
command 1, command 2, data 1, data 2, sum of bytes 2..6), Pelco-P (A0, address
counted from 0, data 1..4, AF, exclusive or of bytes 1..7) and Sony VISCA
(8x ... FF, no checksum). Tokens: Addr, PS1/TS1 (pan/tilt speed of the chosen
level), P (preset code), Sum (checksum byte), anything else hexadecimal.
"""
import os

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "PTZSetup_New")
CAPABILITIES = ["ZOOM", "FOCUS", "HOME", "AUTO FOCUS", "AUX", "POSITION", "OSD", "PT SPEED",
                "AUTO SPEED", "ZOOM SPEEDD", "PRESET", "AUTO", "TILT", "PAN", "MOVE_CON_CMD"]


def section(name, pairs):
    return [f"[{name}]"] + [f"{k}={v}" for k, v in pairs] + [""]


def commands(name, cmds, count_hex=True):
    pairs = [("Cmd No", f"{len(cmds):X}" if count_hex else str(len(cmds)))]
    for n, tokens in enumerate(cmds, 1):
        pairs.append((f"CMD {n}", str(len(tokens))))
        pairs += [(f"CMD {n}_{m}", t) for m, t in enumerate(tokens, 1)]
    return section(name, pairs)


def description(title, supported, addresses, pan, tilt, checksum, presets, motions, advanced):
    lines = [f"; {title}", ""]
    lines += section("IS SUPPLE", [(c, "1" if c in supported else "0") for c in CAPABILITIES])
    addr = [("No", str(len(addresses)))]
    for n, code in enumerate(addresses, 1):
        addr += [(f"ADDR VALUE {n}", f"{code:02X}"), (f"ADDR STRING {n}", str(n))]
    lines += section("ADDR", addr)
    speed = [("Speed No", "5"), ("Cmd Byte No", "1")]
    for n in range(1, 6):
        speed += [(f"PAN SPEED LOW {n} CMD 1", f"{pan[n - 1]:02X}"),
                  (f"TILT SPEED LOW {n} CMD 1", f"{tilt[n - 1]:02X}"), (f"STOP TIME {n}", "0")]
    lines += section("PT SPEED", speed)
    lines += section("BAUD RATE", [("No", "2"), ("BAUD 1", "2400"), ("BAUD 2", "9600")])
    lines += section("CHECKSUM", [("Sel", str(checksum[0])), ("First", str(checksum[1])),
                                  ("Subtract", str(checksum[2]))])
    zoom = [("Speed No", "5")]
    for n in range(1, 6):
        zoom += [(f"ZOOM SPEED LOW {n} CMD 1", f"{n - 1:02X}"), (f"STOP TIME {n}", "0")]
    lines += section("ZOOM SPEED", zoom)
    if presets:
        codes, set_cmd, go_cmd = presets
        lines += section("PRESET", [("No", str(len(codes)))] +
                         [(f"PRESET {n}", f"{c:02X}") for n, c in enumerate(codes, 1)])
        lines += commands("Preset Set", [set_cmd], count_hex=False)
        lines += commands("Preset Go", [go_cmd], count_hex=False)
    for name, tokens in motions:
        lines += commands(name, [tokens])
    if advanced:
        auto = [("No", str(len(advanced)))]
        for n, (label, key, _) in enumerate(advanced, 1):
            auto += [(f"Str {n}", label), (f"StrMap {n}", key)]
        lines += section("AUTO GO", auto)
        for label, key, tokens in advanced:
            lines += commands(f"Advance {key}", [tokens])
    return "\r\n".join(lines) + "\r\n"


def pelco(title, address_codes, checksum, cmd, focus_near, focus_far, scan_on, scan_off):
    """Pelco-D and Pelco-P share their command layout but for the framing."""
    stop = cmd("00", "00")
    motions = [
        ("Pan Right Start", cmd("00", "02", "PS1")), ("Pan Left Start", cmd("00", "04", "PS1")),
        ("Tilt Up Start", cmd("00", "08", "00", "TS1")),
        ("Tilt Down Start", cmd("00", "10", "00", "TS1")),
        ("Zoom In Start", cmd("00", "20")), ("Zoom Out Start", cmd("00", "40")),
        ("Focus Near Start", cmd(*focus_near)), ("Focus Far Start", cmd(*focus_far)),
        ("Auto Focus", cmd("00", "2B")),
        ("Pan Stop", stop), ("Tilt Stop", stop), ("Zoom Stop", stop), ("Focus Stop", stop),
    ]
    advanced = [("Auto Scan On", "SCAN ON", cmd(*scan_on)),
                ("Auto Scan Off", "SCAN OFF", cmd(*scan_off))]
    presets = (list(range(1, 65)), cmd("00", "03", "00", "P"), cmd("00", "07", "00", "P"))
    speeds = [0x08, 0x10, 0x20, 0x30, 0x3F]
    return description(title,
                       {"ZOOM", "FOCUS", "AUTO FOCUS", "PT SPEED", "PRESET", "AUTO", "TILT", "PAN"},
                       address_codes, speeds, speeds, checksum, presets, motions, advanced)


def pelco_d():
    def cmd(c1, c2, d1="00", d2="00"):
        return ["FF", "Addr", c1, c2, d1, d2, "Sum"]
    return pelco("Pelco-D, addresses 1-255, 64 presets", list(range(1, 256)), (6, 2, 1), cmd,
                 ("01", "00"), ("00", "80"), ("90", "00"), ("10", "00"))


def pelco_p():
    def cmd(d1, d2, d3="00", d4="00"):
        return ["A0", "Addr", d1, d2, d3, d4, "AF", "Sum"]
    return pelco("Pelco-P, addresses 1-32 (sent as 00-1F), 64 presets", list(range(0, 32)),
                 (4, 1, 1), cmd, ("02", "00"), ("01", "00"), ("20", "00"), ("00", "00"))


def visca():
    def drive(pan, tilt):
        return ["Addr", "01", "06", "01", "PS1", "TS1", pan, tilt, "FF"]
    def camera(*tokens):
        return ["Addr", "01", "04", *tokens, "FF"]
    motions = [
        ("Pan Right Start", drive("02", "03")), ("Pan Left Start", drive("01", "03")),
        ("Tilt Up Start", drive("03", "01")), ("Tilt Down Start", drive("03", "02")),
        ("Zoom In Start", camera("07", "02")), ("Zoom Out Start", camera("07", "03")),
        ("Focus Near Start", camera("08", "03")), ("Focus Far Start", camera("08", "02")),
        ("Auto Focus", camera("38", "02")), ("Home", ["Addr", "01", "06", "04", "FF"]),
        ("Pan Stop", drive("03", "03")), ("Tilt Stop", drive("03", "03")),
        ("Zoom Stop", camera("07", "00")), ("Focus Stop", camera("08", "00")),
    ]
    presets = (list(range(0, 16)), camera("3F", "01", "P"), camera("3F", "02", "P"))
    return description("Sony VISCA, addresses 1-7, 16 memory presets",
                       {"ZOOM", "FOCUS", "HOME", "AUTO FOCUS", "PT SPEED", "PRESET", "TILT", "PAN"},
                       [0x80 + n for n in range(1, 8)], [0x04, 0x08, 0x0C, 0x10, 0x18],
                       [0x03, 0x06, 0x0A, 0x0E, 0x14], (0, 1, 0), presets, motions, [])


# The standard VISCA file must not be named "Brevantis_VISCA.ini": that name
# marks a dialect whose recall command carries the preset as two nibble bytes.
INFO = """; Dome models as servers name them, and the description file of each.\r
[DOME]\r
D1 Dome Short PD=Pelco-D\r
D2 Dome Short PP=Pelco-P\r
D3 Dome Short VISCA=Sony VISCA\r
D4 Dome Short VISCA=VISCA\r
\r
[FILES]\r
Ini Name PD=Dome_PelcoD\r
Ini Name PP=Dome_PelcoP\r
Ini Name VISCA=Sony_VISCA\r
"""

os.makedirs(OUT, exist_ok=True)
for name, text in [("Info.ini", INFO), ("Dome_PelcoD.ini", pelco_d()),
                   ("Dome_PelcoP.ini", pelco_p()), ("Sony_VISCA.ini", visca())]:
    with open(os.path.join(OUT, name), "w", newline="") as f:
        f.write(text)
