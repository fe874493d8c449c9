#!/usr/bin/env python3
"""The far end of the serial lines in the Wine tests: pseudo-terminals whose
other side Wine opens as COM ports.

  serial_responder.py channel --ptys N --names FILE --ready FILE -- COMMAND...
      Makes N pseudo-terminals, writes their device names to FILE (one a
      line, COM1 first), waits for the READY file, then runs COMMAND (the
      channel test under Wine) and serves the commands it prints:
        cmd send <port> <hex>             write the bytes towards the program
        cmd expect <port> <hex> <ms>      wait until the program wrote them
        cmd answer <port> <hex> <hex>     from now on answer a request
        cmd speed <port>                  the baud rate the line is set to
      Each is answered with one line on the program's standard input. Other
      lines are passed through. Exits with the program's exit code.

  serial_responder.py printer --ptys N --names FILE --answer K --baud B --log FILE
      [--answer-file FILE]
      Makes N pseudo-terminals as above and acts as a printer on the K-th
      (0: none): a status request (DLE EOT 1 or ESC ! ?) is answered with
      one status byte, and only while that line runs at B baud. Everything
      received is logged as "COM<k> <hex> <baud>". With --answer-file, K is
      read from that file whenever bytes arrive, so a test can move the
      printer to another line. Runs until terminated.
"""
import argparse
import os
import select
import signal
import subprocess
import sys
import termios
import time
import tty

REQUESTS = (bytes([0x10, 0x04, 0x01]), bytes([0x1B, 0x21, 0x3F]))
STATUS_REPLY = bytes([0x12])
SPEEDS = {getattr(termios, name): int(name[1:]) for name in dir(termios)
          if name.startswith("B") and name[1:].isdigit()}


class Line:
    def __init__(self):
        self.master, self.slave = os.openpty()
        # Raw both ways: no echo, no line editing, no newline translation.
        tty.setraw(self.slave)
        self.name = os.ttyname(self.slave)
        self.received = bytearray()
        self.answers = []

    def speed(self):
        return SPEEDS.get(termios.tcgetattr(self.slave)[5], 0)

    def read(self):
        try:
            data = os.read(self.master, 4096)
        except OSError:
            return b""
        self.received += data
        return data

    def answer_requests(self):
        for request, reply in self.answers:
            at = self.received.find(request)
            if at >= 0:
                del self.received[:at + len(request)]
                os.write(self.master, reply)


def make_lines(count, names_file):
    lines = [Line() for _ in range(count)]
    with open(names_file, "w") as out:
        out.write("".join(line.name + "\n" for line in lines))
    return lines


def serve_channel(args, lines):
    while not os.path.exists(args.ready):
        time.sleep(0.05)
    child = subprocess.Popen(args.command, stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    out = child.stdout
    pending = b""

    def reply(text):
        child.stdin.write((text + "\r\n").encode())
        child.stdin.flush()

    def line_of(port):
        return lines[int(port) - 1]

    def pump(timeout):
        ready, _, _ = select.select([line.master for line in lines], [], [], timeout)
        for line in lines:
            if line.master in ready:
                line.read()
                line.answer_requests()

    while True:
        ready, _, _ = select.select([out] + [line.master for line in lines], [], [])
        for line in lines:
            if line.master in ready:
                line.read()
                line.answer_requests()
        if out not in ready:
            continue
        chunk = os.read(out.fileno(), 4096)
        if not chunk:
            break
        pending += chunk
        while b"\n" in pending:
            raw, pending = pending.split(b"\n", 1)
            text = raw.decode(errors="replace").rstrip("\r")
            if not text.startswith("cmd "):
                print(text, flush=True)
                continue
            words = text.split()
            if words[1] == "send":
                os.write(line_of(words[2]).master, bytes.fromhex(words[3]))
                reply("ok")
            elif words[1] == "expect":
                line, wanted = line_of(words[2]), bytes.fromhex(words[3])
                deadline = time.monotonic() + int(words[4]) / 1000.0
                while wanted not in line.received and time.monotonic() < deadline:
                    pump(max(0.0, deadline - time.monotonic()))
                if wanted in line.received:
                    at = line.received.find(wanted)
                    del line.received[:at + len(wanted)]
                    reply("ok")
                else:
                    reply("timeout " + line.received.hex())
            elif words[1] == "answer":
                line = line_of(words[2])
                line.answers.append((bytes.fromhex(words[3]), bytes.fromhex(words[4])))
                line.answer_requests()
                reply("ok")
            elif words[1] == "speed":
                reply("speed %d" % line_of(words[2]).speed())
            else:
                reply("unknown")
    return child.wait()


def answering_line(args):
    if not args.answer_file:
        return args.answer
    try:
        with open(args.answer_file) as f:
            return int(f.read().strip() or 0)
    except (OSError, ValueError):
        return args.answer


def serve_printer(args, lines):
    log = open(args.log, "a", buffering=1)
    stop = []
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    while not stop:
        try:
            ready, _, _ = select.select([line.master for line in lines], [], [], 0.5)
        except InterruptedError:
            continue
        for number, line in enumerate(lines, start=1):
            if line.master not in ready:
                continue
            data = line.read()
            if not data:
                continue
            speed = line.speed()
            log.write("COM%d %s %d\n" % (number, data.hex(), speed))
            if number != answering_line(args) or speed != args.baud:
                line.received.clear()
                continue
            if any(request in line.received for request in REQUESTS):
                line.received.clear()
                os.write(line.master, STATUS_REPLY)
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["channel", "printer"])
    parser.add_argument("--ptys", type=int, required=True)
    parser.add_argument("--names", required=True)
    parser.add_argument("--ready")
    parser.add_argument("--answer", type=int, default=0)
    parser.add_argument("--baud", type=int, default=9600)
    parser.add_argument("--log")
    parser.add_argument("--answer-file")
    argv = sys.argv[1:]
    command = argv[argv.index("--") + 1:] if "--" in argv else []
    args = parser.parse_args(argv[:len(argv) - len(command) - (1 if command else 0)])
    args.command = command
    lines = make_lines(args.ptys, args.names)
    if args.mode == "channel":
        return serve_channel(args, lines)
    return serve_printer(args, lines)


if __name__ == "__main__":
    sys.exit(main())
