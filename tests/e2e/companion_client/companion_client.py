#!/usr/bin/env python3
"""A reading-companion client of the tests' own: opens CONNECTIONS WebSocket
connections to ws://127.0.0.1:PORT/PATH and records into OUT, one line each:
"open <n>" once upgraded, "refused <n> <status line>" when the server said
no, then "<n> <message as a JSON string>" for each text message, "close <n>
<code>" for a close frame and "gone <n>" when the server ended the
connection (with --times, "<n> at=<ms since 1970> <message>"). Standard library only; ends by itself after --lifetime seconds.

Modes: read (the default) reads everything; never-read opens, then reads
nothing more (a tab left in the background); garbage opens and then sends
bytes that are no WebSocket frames, once a second."""
import argparse
import base64
import json
import os
import socket
import struct
import sys
import threading
import time


def handshake(sock, port, path):
    key = base64.b64encode(os.urandom(16)).decode()
    sock.sendall((f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nUpgrade: websocket\r\n"
                  f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n\r\n").encode())
    head = b""
    while b"\r\n\r\n" not in head:
        chunk = sock.recv(1)
        if not chunk:
            return head.split(b"\r\n")[0].decode(errors="replace") or "no answer", b""
        head += chunk
    status = head.split(b"\r\n")[0].decode(errors="replace")
    return status, b""


def read_exact(sock, count):
    data = b""
    while len(data) < count:
        chunk = sock.recv(count - len(data))
        if not chunk:
            raise EOFError
        data += chunk
    return data


def serve(n, args, record):
    sock = socket.create_connection(("127.0.0.1", args.port), timeout=10)
    if args.mode == "never-read":
        # A small window: what the server sends soon waits on its side.
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    status, _ = handshake(sock, args.port, args.path)
    if " 101 " not in status + " ":
        record(f"refused {n} {status}")
        return
    record(f"open {n}")
    sock.settimeout(None)
    if args.mode == "never-read":
        time.sleep(args.lifetime)
        return
    if args.mode == "garbage":
        def send_garbage():
            try:
                while True:
                    sock.sendall(b"\x00garbage that is no frame\xff" * 10)
                    time.sleep(1)
            except OSError:
                pass
        threading.Thread(target=send_garbage, daemon=True).start()
    message = b""
    try:
        while True:
            first, second = read_exact(sock, 2)
            length = second & 0x7F
            if length == 126:
                length = struct.unpack("!H", read_exact(sock, 2))[0]
            elif length == 127:
                length = struct.unpack("!Q", read_exact(sock, 8))[0]
            payload = read_exact(sock, length)
            opcode = first & 0x0F
            if opcode == 8:
                code = struct.unpack("!H", payload[:2])[0] if len(payload) >= 2 else 1005
                record(f"close {n} {code}")
                return
            if opcode in (1, 0):
                message += payload
                if first & 0x80:
                    at = f"at={time.time() * 1000:.1f} " if args.times else ""
                    record(f"{n} {at}" + json.dumps(message.decode("utf-8"), ensure_ascii=False))
                    message = b""
    except (EOFError, OSError):
        record(f"gone {n}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--path", default="/lines")
    parser.add_argument("--out", required=True)
    parser.add_argument("--connections", type=int, default=1)
    parser.add_argument("--mode", choices=["read", "never-read", "garbage"], default="read")
    parser.add_argument("--lifetime", type=float, default=60)
    parser.add_argument("--times", action="store_true", help="each message with when it came (ms since 1970)")
    args = parser.parse_args()
    lock = threading.Lock()
    out = open(args.out, "a", encoding="utf-8")

    def record(line):
        with lock:
            out.write(f"{line}\n")
            out.flush()

    threads = []
    for n in range(1, args.connections + 1):
        thread = threading.Thread(target=lambda n=n: serve(n, args, record), daemon=True)
        thread.start()
        threads.append(thread)
        time.sleep(0.02)  # in order, as the server counts them
    deadline = time.time() + args.lifetime
    for thread in threads:
        thread.join(max(0, deadline - time.time()))
    sys.exit(0)


if __name__ == "__main__":
    main()
