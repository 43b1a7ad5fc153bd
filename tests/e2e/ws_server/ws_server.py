#!/usr/bin/env python3
"""A loopback WebSocket text server for the end-to-end tests and benchmarks,
standing in for a hooker's WebSocket extension: it serves what it is told on
its standard input (one command a line) to every client connected, records
each client's coming and going, and ends by itself after a bounded number of
seconds. Standard library only.

Commands (text arguments take the escapes \\\\ \\n \\r \\t \\xNN, the last as a
raw byte, so that invalid UTF-8 can be sent):
  text <text>             one text message
  pieces <count> <text>   one text message in that many fragments
  burst <count> <prefix>  <prefix>001, <prefix>002, ... in one write
  big <bytes>             one text message of that many "x"
  binary <bytes>          one binary message
  flood <prefix>          <prefix>1, <prefix>2, ... without pause, until the client goes
  close                   a close frame to every client
  quit                    ends the server
The record file gets: "listening <port>", "connected <n>", "close-frame <n>
code=<code>" (the client closed), "gone <n>", "sent <what> at=<ms since 1970>".

Two ways of serving that a client must cope with: --close-at-once closes each
connection right after the upgrade (a hooker that serves one client and turns
the next away), --ignore-close never answers a close frame and holds the
connection until the client drops it."""
import argparse
import base64
import hashlib
import os
import socket
import struct
import sys
import threading
import time

GUID = b"258EAFA5-E914-47DA-95CA-C5AB0DC85B11"


def unescape(text):
    out = bytearray()
    raw = text.encode("utf-8")
    i = 0
    while i < len(raw):
        c = raw[i]
        if c == 0x5C and i + 1 < len(raw):
            n = chr(raw[i + 1])
            if n == "x" and i + 3 < len(raw):
                out.append(int(raw[i + 2:i + 4], 16))
                i += 4
                continue
            out += {"n": b"\n", "r": b"\r", "t": b"\t", "\\": b"\\"}.get(n, bytes([c, raw[i + 1]]))
            i += 2
            continue
        out.append(c)
        i += 1
    return bytes(out)


def frame(opcode, payload, final=True):
    n = len(payload)
    first = (0x80 if final else 0) | opcode
    if n < 126:
        head = struct.pack("!BB", first, n)
    elif n < 1 << 16:
        head = struct.pack("!BBH", first, 126, n)
    else:
        head = struct.pack("!BBQ", first, 127, n)
    return head + payload


class Client:
    def __init__(self, number, conn):
        self.number = number
        self.conn = conn
        self.lock = threading.Lock()
        self.gone = threading.Event()

    def send(self, data):
        if self.gone.is_set():
            return False
        try:
            with self.lock:
                self.conn.sendall(data)
            return True
        except OSError:
            self.gone.set()
            return False


class Server:
    def __init__(self, args):
        self.args = args
        self.clients = []
        self.lock = threading.Lock()
        self.record_lock = threading.Lock()
        self.count = 0
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", args.port))
        self.listener.listen(16)
        self.port = self.listener.getsockname()[1]

    def record(self, line):
        with self.record_lock, open(self.args.record, "a", encoding="utf-8") as f:
            f.write(line + "\n")

    def accept_loop(self):
        while True:
            try:
                conn, _ = self.listener.accept()
            except OSError:
                return
            conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            threading.Thread(target=self.serve, args=(conn,), daemon=True).start()

    def serve(self, conn):
        conn.settimeout(10)
        try:
            request = b""
            while b"\r\n\r\n" not in request:
                chunk = conn.recv(4096)
                if not chunk:
                    conn.close()
                    return
                request += chunk
        except OSError:
            conn.close()
            return
        key = b""
        for line in request.split(b"\r\n"):
            if line.lower().startswith(b"sec-websocket-key:"):
                key = line.split(b":", 1)[1].strip()
        accept = base64.b64encode(hashlib.sha1(key + GUID).digest())
        conn.sendall(b"HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                     b"Sec-WebSocket-Accept: " + accept + b"\r\n\r\n")
        conn.settimeout(None)
        with self.lock:
            self.count += 1
            client = Client(self.count, conn)
            self.clients.append(client)
        self.record("connected %d" % client.number)
        if self.args.close_at_once:
            client.send(frame(0x8, struct.pack("!H", 1000)))
            try:
                conn.shutdown(socket.SHUT_WR)
            except OSError:
                pass
        self.read_frames(client)
        client.gone.set()
        with self.lock:
            self.clients.remove(client)
        try:
            conn.close()
        except OSError:
            pass
        self.record("gone %d" % client.number)

    def read_frames(self, client):
        conn = client.conn
        f = conn.makefile("rb")
        try:
            while True:
                head = f.read(2)
                if len(head) < 2:
                    return
                opcode = head[0] & 0x0F
                n = head[1] & 0x7F
                if n == 126:
                    n = struct.unpack("!H", f.read(2))[0]
                elif n == 127:
                    n = struct.unpack("!Q", f.read(8))[0]
                mask = f.read(4) if head[1] & 0x80 else b"\0\0\0\0"
                payload = bytes(b ^ mask[i % 4] for i, b in enumerate(f.read(n)))
                if opcode == 0x8:
                    code = struct.unpack("!H", payload[:2])[0] if len(payload) >= 2 else 0
                    self.record("close-frame %d code=%d" % (client.number, code))
                    if self.args.ignore_close:
                        continue
                    client.send(frame(0x8, payload[:2]))
                    return
                if opcode == 0x9:
                    client.send(frame(0xA, payload))
        except (OSError, ValueError, struct.error):
            return

    def broadcast(self, data):
        with self.lock:
            clients = list(self.clients)
        for client in clients:
            client.send(data)

    def flood(self, prefix):
        with self.lock:
            clients = list(self.clients)
        deadline = time.monotonic() + self.args.lifetime
        i = 0
        while clients and time.monotonic() < deadline:
            i += 1
            data = frame(0x1, prefix + str(i).encode())
            clients = [c for c in clients if c.send(data)]
        self.record("sent flood %d" % i)

    def command(self, line):
        name, _, rest = line.partition(" ")
        started = time.time() * 1000
        if name == "text":
            self.broadcast(frame(0x1, unescape(rest)))
        elif name == "pieces":
            count, _, text = rest.partition(" ")
            data, n = unescape(text), int(count)
            cuts = [len(data) * i // n for i in range(n + 1)]
            self.broadcast(b"".join(frame(0x1 if i == 0 else 0x0, data[cuts[i]:cuts[i + 1]], i == n - 1)
                                    for i in range(n)))
        elif name == "burst":
            count, _, prefix = rest.partition(" ")
            p = unescape(prefix)
            self.broadcast(b"".join(frame(0x1, p + b"%03d" % i) for i in range(1, int(count) + 1)))
        elif name == "big":
            self.broadcast(frame(0x1, b"x" * int(rest)))
        elif name == "binary":
            self.broadcast(frame(0x2, b"\0" * int(rest)))
        elif name == "flood":
            threading.Thread(target=self.flood, args=(unescape(rest),), daemon=True).start()
            return True
        elif name == "close":
            self.broadcast(frame(0x8, struct.pack("!H", 1000)))
        elif name == "quit":
            return False
        else:
            self.record("unknown command " + name)
            return True
        self.record("sent %s at=%.1f" % (name, started))
        return True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0, help="0: a free port of the system's choosing")
    parser.add_argument("--port-file", required=True, help="the port is written here once listening")
    parser.add_argument("--record", required=True, help="the events, one a line")
    parser.add_argument("--lifetime", type=float, default=120.0, help="seconds until the server ends")
    parser.add_argument("--close-at-once", action="store_true", help="each connection closed after the upgrade")
    parser.add_argument("--ignore-close", action="store_true", help="close frames not answered")
    args = parser.parse_args()
    server = Server(args)
    server.record("listening %d" % server.port)
    with open(args.port_file + ".tmp", "w") as f:
        f.write(str(server.port))
    os.replace(args.port_file + ".tmp", args.port_file)
    threading.Thread(target=server.accept_loop, daemon=True).start()
    done = threading.Event()
    threading.Timer(args.lifetime, done.set).start()

    def read_commands():
        for line in sys.stdin:
            if not server.command(line.rstrip("\n")):
                break
        done.set()

    threading.Thread(target=read_commands, daemon=True).start()
    done.wait()
    server.listener.close()
    with server.lock:
        for client in server.clients:
            try:
                client.conn.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
    os._exit(0)


if __name__ == "__main__":
    sys.exit(main())
