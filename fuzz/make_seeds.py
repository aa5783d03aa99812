#!/usr/bin/env python3
"""Writes the seed corpora in corpus/<target>/ (run from anywhere; rewrites them).

The structured targets read their values with FuzzedDataProvider, which takes
integers from the END of the input; Provider below builds such inputs, so each
seed stands for a case a reader can name.
"""
import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent


class Provider:
    """Builds input for FuzzedDataProvider: calls in the order the target makes them."""

    def __init__(self):
        self.tail = []  # bytes taken from the end, in consumption order

    def integral_in_range(self, lo, hi, value):
        rng = hi - lo
        result, offset, chunks = value - lo, 0, []
        while offset < 64 and (rng >> offset) > 0:
            chunks.append(None)
            offset += 8
        # The provider shifts earlier bytes up: the first byte taken is the most significant.
        for i in range(len(chunks)):
            chunks[i] = (result >> (8 * (len(chunks) - 1 - i))) & 0xFF
        self.tail.extend(chunks)
        return self

    def integral(self, bits, value, signed=False):
        lo = -(1 << (bits - 1)) if signed else 0
        return self.integral_in_range(lo, lo + (1 << bits) - 1, value)

    def boolean(self, value):
        return self.integral_in_range(0, 255, 1 if value else 0)

    def bytes(self, front=b""):
        return front + bytes(reversed(self.tail))


def write(target, name, data):
    d = HERE / "corpus" / target
    d.mkdir(parents=True, exist_ok=True)
    (d / name).write_bytes(data)


def gll():
    example = b"$GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1F\r"
    seeds = {
        "worked-example": b"0" + example,
        "worked-example-eight": b"1" + example,
        "status-v": b"0$GPGLL,5130.7712,N,00007.3456,W,093015.00,V*08\r",
        "empty-middle-fields": b"0$GPGLL,,,,,093015.00,V*26\r",
        "short-fields-mode": b"0$GPGLL,4916.45,N,12311.12,W,225444,A,A\r",
        "ends-after-east-west": b"0$GPGLL,5130.7712,N,00007.3456,W\r",
        "wrong-checksum": b"0$GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1E\r",
        "lower-case": b"0$GPGLL,5130.7712,n,00007.3456,e,093015.00,a\r",
        # Damaged numbers, each an invalid fix: minutes 99, degree "/9", ":" and " ".
        "non-digits": b"0$GPGLL,5:3 .7712,N,00/07.3456,W,0930,A\r",
        "minutes-99": b"0$GPGLL,4999.000,N,00800.000,E,120000,A\r",
        "degree-minus-one": b"0$GPGLL,/900.000,N,00800.000,E,120000,A\r",
        "nul-inside": b"0$GPGLL,5130.7712,N,000\x0007.3456,W,093015.00,A*1F\r",
        # Recorded receivers (gpsd regression logs, BSD-2-Clause; see tests/data/nmea).
        "gngll-recorded": b"1$GNGLL,4111.59903,N,11156.54809,W,213712.000,A,A*50\r",
        "ingll-recorded": b"0$INGLL,4426.1130,N,07140.5579,W,194102,A*2C\r",
        "gpgll-no-fix-recorded": b"0$GPGLL,,,,,142816.359,V,N*7D\r",
        "built": b"2" + bytes(range(32)),
        "built-eight": b"3" + bytes(range(200, 232)),
    }
    for name, data in seeds.items():
        write("gll", name, data)


def locator():
    for name, text, centre in [("jn49kw", b"JN49kw", 1), ("jn49kw14", b"JN49kw14", 0),
                               ("rr99xx99", b"RR99XX99", 1), ("aa00aa", b"aa00aa", 0),
                               ("stray-characters", b"ZZ::~~", 0), ("seven", b"JN49kw1", 0)]:
        write("locator", "decode-" + name, text + bytes([centre, 0]))
    write("locator", "pair-same-place", b"JN49kw\\xjn49kw00" + bytes([1]))
    write("locator", "pair-antipodes", b"AA00aa\\xRR99xx" + bytes([1]))
    write("locator", "positions", bytes(range(64)) + bytes([2]))

    def encode(name, lon, lat, east, north, eight, exact):
        p = Provider().integral_in_range(0, 3, 3)
        for v, hi in zip(lon + lat, (179, 59, 59, 89, 59, 59)):
            if exact:
                p.boolean(False).integral_in_range(-2 * hi - 2, 2 * hi + 2, v)
            else:
                p.boolean(True).integral(32, v, signed=True)
        p.boolean(east).boolean(north).boolean(eight)
        write("locator", "encode-" + name, p.bytes())

    encode("worked-example", (0, 7, 20), (51, 30, 46), False, True, False, True)
    encode("corner-max", (179, 59, 59), (89, 59, 59), True, True, True, True)
    encode("corner-west-south", (179, 59, 59), (89, 59, 59), False, False, True, True)
    encode("origin", (0, 0, 0), (0, 0, 0), False, False, True, True)
    encode("degrees-180", (180, 0, 0), (90, 0, 0), True, True, False, True)
    encode("int-limits", (-2**31, 2**31 - 1, -1), (2**31 - 1, -2**31, 0), True, True, True, False)


def tokens():
    write("tokens", "gll-commas", b"\x01," + b"$GPGLL,,,,,093015.00,V*26\r")
    write("tokens", "default-set", b"\x00a+b*(c-d) = 5;  [x]{y}#&%\t\n\r\"end")
    write("tokens", "no-delimiters-set", b"\x00")
    write("tokens", "only-delimiters", b"\x02,;,;,;;,,")
    write("tokens", "set-63", bytes([63]) + bytes(range(33, 96)) + b"a!b\"c#d")
    write("tokens", "set-64-refused", bytes([64]) + bytes(range(33, 97)) + b"a!b c")
    write("tokens", "nul-in-text", b"\x01,ab,c\x00d,e")
    write("tokens", "high-bytes", b"\x02\xb0\xb4N 49\xb050\xb4 E")


def framing():
    stream = (b"$GPGLL,5130.7712,N,00007.3456,W,093015.00,A*1F\r\n"
              b"$GPRMC,garbage without end $GPGLL,4916.45,N,12311.12,W,225444,A\r\n")
    # Read from the end: start, end, short-trailer flag, trailer, long-body length.
    gps = Provider().integral(8, ord("$")).integral(8, ord("\r")).boolean(True)
    gps.integral_in_range(0, 4, 0).integral_in_range(4000, 4200, 4094)
    write("framing", "gps-lines", gps.bytes(stream))
    stx = Provider().integral(8, 2).integral(8, 3).boolean(True)
    stx.integral_in_range(0, 4, 2).integral_in_range(4000, 4200, 4092)
    write("framing", "stx-etx-trailer-2", stx.bytes(b"\x02hello\x03AB\x02\x03\x03xy\x03\x02a\x02b\x03\x02\x03"))
    same = Provider().integral(8, ord("#")).integral(8, ord("#")).boolean(True)
    same.integral_in_range(0, 4, 0).integral_in_range(4000, 4200, 4000)
    write("framing", "start-equals-end", same.bytes(b"#abc#def#"))
    big = Provider().integral(8, ord("$")).integral(8, ord("\r")).boolean(False)
    big.integral(16, 4000).integral_in_range(4000, 4200, 4000)
    write("framing", "trailer-past-bound", big.bytes(b"$a\rtrailer"))


def format_fixed():
    def seed(name, value, precision, decimals, comma, wide=False):
        p = Provider().integral_in_range(0, 2, 0)
        p.integral(64, struct.unpack("<Q", struct.pack("<d", value))[0])
        p.integral_in_range(0, 15, 0 if wide else 1)
        p.integral_in_range(1, 1200 if wide else 20, precision)
        p.integral_in_range(0, 1100 if wide else 12, decimals)
        p.boolean(comma)
        write("format_fixed", name, p.bytes())

    seed("distance-12345.678", 12345.678, 5, 1, False)
    seed("distance-small", 0.0123456, 5, 3, True)
    seed("bearing-53.52", 53.5204, 7, 1, True)
    seed("half-away-from-zero", 2.5, 7, 0, False)
    seed("negative-rounds-to-zero", -0.04, 5, 1, False)
    seed("carry-999.96", 999.96, 7, 1, False)
    seed("huge", 1.7976931348623157e308, 20, 2, False)
    seed("subnormal-wide", 5e-324, 1200, 1100, False, wide=True)
    seed("nan", float("nan"), 5, 1, False)
    seed("minus-inf", float("-inf"), 5, 1, False)


def lenient_int():
    for name, text in [("plain", b"42"), ("blanks-sign", b"   -123"), ("hex-dollar", b"$7FFFFFFF"),
                       ("hex-0x", b"0x1a"), ("hex-X", b"XdeadBEEF"), ("stopped-early", b"-5x"),
                       ("sign-then-hex", b"-0x5"), ("saturate", b"99999999999"),
                       ("int-min", b"-2147483648"), ("int-min-minus-one", b"-2147483649"),
                       ("long-hex", b"$100000005"), ("empty", b""), ("lone-sign", b"+"),
                       ("tab-is-no-blank", b"\t7")]:
        write("lenient_int", name, text + b"\x01")
    write("lenient_int", "round-trip", Provider().integral_in_range(0, 7, 0)
          .integral(32, -2**31, signed=True).integral_in_range(0, 3, 2).bytes())


def heading():
    for name, text, comma in [("point", b"53.5", 0), ("comma", b"53,5", 1),
                              ("blanks-exponent", b"  -1.5e2 ", 0), ("overflow", b"1e400", 0),
                              ("underflow", b"1e-400", 0), ("subnormal", b"4e-320", 0),
                              ("leading-point", b".5", 0), ("trailing-point", b"5.", 1),
                              ("hex", b"0x10", 0), ("inf", b"inf", 0), ("wrong-separator", b"1.5", 1),
                              ("exponent-without-digits", b"1e", 0), ("double-sign", b"+-1", 0)]:
        write("heading", name, text + bytes([comma]))


def wsjtx_datagram():
    data = HERE.parent / "tests" / "data" / "wsjtx"
    heartbeat = (data / "heartbeat-2.6.1.bin").read_bytes()
    status = (data / "status-2.6.1.bin").read_bytes()
    close = bytes.fromhex("ADBCCBDA 00000003 00000006 00000006") + b"WSJT-X"

    def steps(*items):
        """Each item (port, seconds later, locator text or None, datagram) is one round."""
        p, front = Provider(), b""
        for port, later, locator, datagram in items:
            p.integral_in_range(50000, 50003, port).integral_in_range(0, 40, later)
            p.boolean(locator is not None)
            text = locator if locator is not None else datagram
            # ConsumeRandomLengthString: a backslash is doubled, and "\\" plus another byte ends it.
            front += text.replace(b"\\", b"\\\\") + b"\\x"
        return p.bytes(front)

    write("wsjtx_datagram", "heartbeat-fix-status",
          steps((50000, 0, None, heartbeat), (50000, 1, b"jn58td", None), (50000, 0, None, status)))
    write("wsjtx_datagram", "fix-then-two-clients-close",
          steps((50000, 0, b"JN58TD12", None), (50000, 5, None, heartbeat),
                (50001, 5, None, heartbeat), (50000, 1, None, close)))
    write("wsjtx_datagram", "silent-then-new-square",
          steps((50002, 0, None, heartbeat), (50000, 40, b"IO91WM", None),
                (50000, 40, b"IO91WN", None)))


def source_address():
    for name, text in [("gpsd-all", b"gpsd://192.168.1.5:2948/dev/ttyUSB0"), ("gpsd-alone", b"gpsd://"),
                       ("gpsd-v6-device", b"gpsd://[::1]:2948/dev/ttyACM0"),
                       ("tcp", b"tcp://127.0.0.1:10110"), ("tcp-v6", b"tcp://[2001:db8::7]:10110"),
                       ("tcp-v6-bare", b"tcp://::1:10110"), ("port-past-range", b"tcp://h:65536"),
                       ("v6-unclosed", b"gpsd://[::1:2947"), ("device-quote", b'gpsd://h/dev/tty"x'),
                       ("device-path", b"/dev/ttyUSB0")]:
        write("source_address", name, text)


if __name__ == "__main__":
    gll()
    locator()
    tokens()
    framing()
    format_fixed()
    lenient_int()
    heading()
    wsjtx_datagram()
    source_address()
