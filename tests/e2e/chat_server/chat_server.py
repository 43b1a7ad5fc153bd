#!/usr/bin/env python3
"""A loopback stand-in for a chat-completions translation server, for the
end-to-end tests: answers each POST with "KO:" + the user's text (or with a
redirect, or with an answer that trickles in a byte at a time, or, to a
streaming request, as server-sent events in pieces with pauses, maybe holding
the connection after [DONE], or never ending at all), records every request,
and ends by itself after a bounded number of requests or seconds. Standard
library only."""
import argparse
import json
import os
import select
import socket
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port-file", required=True, help="the chosen port is written here")
    parser.add_argument("--record", required=True, help="folder: request-N.json (headers) and request-N.body")
    parser.add_argument("--delay", type=float, default=0.0, help="seconds before each answer")
    parser.add_argument("--status", type=int, default=200)
    parser.add_argument("--max-requests", type=int, default=200)
    parser.add_argument("--quick-ack", action="store_true",
                        help="acknowledge the request headers at once (Linux), not after the delayed-ACK wait")
    parser.add_argument("--lifetime", type=float, default=300.0, help="seconds until the server ends")
    parser.add_argument("--redirect-to", help="answer 307 with this Location instead")
    parser.add_argument("--trickle", type=float, default=0.0,
                        help="answer with a long body, one byte every this many seconds, until the client goes")
    parser.add_argument("--bind", default="127.0.0.1", help="the address to listen on")
    parser.add_argument("--stream-gap", type=float, default=0.0,
                        help="answer a streaming request in pieces this many seconds apart (0: one JSON body)")
    parser.add_argument("--stream-pieces", type=int, default=20, help="how many pieces the answer is cut into")
    parser.add_argument("--think", action="store_true", help="open each answer with a <think> block")
    parser.add_argument("--hold-after-done", action="store_true",
                        help="after a stream's [DONE], send no last chunk and keep the connection until the client"
                             " closes it (the seconds it took in request-N.closed)")
    parser.add_argument("--api", choices=["chat", "deepl", "papago"], default="chat",
                        help="answer as that API does: chat completions, DeepL's /v2/translate or Papago's"
                             " translation (their error bodies with --status)")
    parser.add_argument("--endless", type=float,
                        help="answer a streaming request with a stream that never ends: 'KO:' + the text, then ten"
                             " letters every this many seconds until the client goes (request-N.ended: for how long)")
    args = parser.parse_args()
    os.makedirs(args.record, exist_ok=True)
    lock = threading.Lock()
    count = [0]

    class Handler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"
        # The answer goes out as headers then body: without this, Nagle holds
        # the body until the client's delayed ACK, 40 ms that are not ours.
        disable_nagle_algorithm = True

        def log_message(self, *_):
            pass

        def do_POST(self):
            if args.quick_ack and hasattr(socket, "TCP_QUICKACK"):
                # A client that writes headers and body separately waits with
                # the body (Nagle) until the headers are acknowledged.
                self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_QUICKACK, 1)
            length = int(self.headers.get("Content-Length", "0"))
            body = self.rfile.read(length) if 0 <= length <= 1 << 20 else b""
            with lock:
                count[0] += 1
                n = count[0]
            with open(os.path.join(args.record, "request-%d.body" % n), "wb") as f:
                f.write(body)
            with open(os.path.join(args.record, "request-%d.json" % n), "w", encoding="utf-8") as f:
                json.dump({"path": self.path,
                           "content_type": self.headers.get("Content-Type"),
                           "authorization": self.headers.get("Authorization"),
                           "key_id": self.headers.get("X-NCP-APIGW-API-KEY-ID"),
                           "key": self.headers.get("X-NCP-APIGW-API-KEY")}, f)
            if args.redirect_to:
                self.send_response(307)
                self.send_header("Location", args.redirect_to)
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
            if args.trickle > 0:
                self.send_response(200)
                self.send_header("Content-Type", "application/json; charset=utf-8")
                self.send_header("Content-Length", "100000")
                self.end_headers()
                try:
                    for _ in range(100000):
                        self.wfile.write(b" ")
                        self.wfile.flush()
                        time.sleep(args.trickle)
                except OSError:
                    pass  # the client has gone
                self.close_connection = True
                return
            if args.api != "chat":
                self.service(body)
                return
            try:
                request = json.loads(body.decode("utf-8"))
                text = request["messages"][-1]["content"]
                content = ("<think>Who speaks here?\n</think>\n\n" if args.think else "") + "KO:" + text
                answer = {"choices": [{"index": 0, "message": {"role": "assistant", "content": content}}]}
            except (ValueError, KeyError, IndexError, TypeError, AttributeError):
                request, answer = {}, {"error": {"message": "bad request body"}}
            if args.delay > 0:
                time.sleep(args.delay)
            if args.endless is not None and request.get("stream") is True and "choices" in answer:
                self.endless(content, n)
                return
            if args.stream_gap > 0 and request.get("stream") is True and "choices" in answer:
                self.stream(content, n)
                return
            out = json.dumps(answer, ensure_ascii=False).encode("utf-8")
            self.send_response(args.status)
            self.send_header("Content-Type", "application/json; charset=utf-8")
            self.send_header("Content-Length", str(len(out)))
            self.end_headers()
            self.wfile.write(out)
            if n >= args.max_requests:
                threading.Thread(target=server.shutdown, daemon=True).start()

        def service(self, body):
            """A DeepL or Papago answer: "KO:" + the text, or the service's
            error body for a --status other than 200."""
            try:
                request = json.loads(body.decode("utf-8"))
                text = request["text"][0] if args.api == "deepl" else request["text"]
            except (ValueError, KeyError, IndexError, TypeError):
                text = None
            if args.status != 200 or text is None:
                status = args.status if args.status != 200 else 400
                answer = ({"message": "Quota exceeded"} if args.api == "deepl" else
                          {"error": {"errorCode": "010", "message": "Quota Exceeded", "details": "Daily limit"}})
            else:
                status = 200
                answer = ({"translations": [{"detected_source_language": "JA", "text": "KO:" + text}]}
                          if args.api == "deepl" else
                          {"message": {"result": {"srcLangType": "ja", "tarLangType": "ko",
                                                  "translatedText": "KO:" + text}}})
            if args.delay > 0:
                time.sleep(args.delay)
            out = json.dumps(answer, ensure_ascii=False).encode("utf-8")
            self.send_response(status)
            self.send_header("Content-Type", "application/json; charset=utf-8")
            self.send_header("Content-Length", str(len(out)))
            self.end_headers()
            self.wfile.write(out)

        def stream(self, content, n):
            """The answer as server-sent events in chunks, each piece's send
            time (seconds since 1970) recorded in request-N.pieces."""
            count = max(1, min(args.stream_pieces, len(content)))
            bounds = [len(content) * i // count for i in range(count + 1)]
            events = [{"choices": [{"index": 0, "delta": {"role": "assistant", "reasoning_content": "hmm"}}]}]
            events += [{"choices": [{"index": 0, "delta": {"content": content[a:b]}}]} for a, b in zip(bounds, bounds[1:])]
            self.send_response(200)
            self.send_header("Content-Type", "text/event-stream")
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            sent = []
            try:
                for i, event in enumerate(events + [None]):
                    data = "[DONE]" if event is None else json.dumps(event, ensure_ascii=False)
                    piece = ("data: %s\n\n" % data).encode("utf-8")
                    if i > 1:
                        time.sleep(args.stream_gap)
                    self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
                    self.wfile.flush()
                    sent.append(time.time())
                if not args.hold_after_done:
                    self.wfile.write(b"0\r\n\r\n")
                    self.wfile.flush()
            except OSError:
                pass  # the client has gone
            with open(os.path.join(args.record, "request-%d.pieces" % n), "w") as f:
                json.dump(sent, f)
            if args.hold_after_done:
                self.close_connection = True
                closed = self.wait_for_close(args.lifetime)
                if closed is not None:
                    with open(os.path.join(args.record, "request-%d.closed" % n), "w") as f:
                        json.dump(closed, f)

        def wait_for_close(self, limit):
            """Seconds until the client closes the connection, or None."""
            start = time.time()
            while time.time() - start < limit:
                readable, _, _ = select.select([self.connection], [], [], 0.1)
                if readable:
                    try:
                        if not self.connection.recv(1):
                            return time.time() - start
                    except OSError:
                        return time.time() - start
            return None

        def endless(self, content, n):
            """The answer as server-sent events that never end, until the
            client goes; request-N.ended holds how long they went on."""
            self.send_response(200)
            self.send_header("Content-Type", "text/event-stream")
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            self.close_connection = True
            start = time.time()
            pieces = 0
            try:
                text = content
                while time.time() - start < args.lifetime:
                    event = {"choices": [{"index": 0, "delta": {"content": text}}]}
                    piece = ("data: %s\n\n" % json.dumps(event, ensure_ascii=False)).encode("utf-8")
                    self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
                    self.wfile.flush()
                    pieces += 1
                    text = "\u3042\u3044\u3046\u3048\u304a" * 2
                    if args.endless > 0:
                        time.sleep(args.endless)
            except OSError:
                pass  # the client has gone
            with open(os.path.join(args.record, "request-%d.ended" % n), "w") as f:
                json.dump({"seconds": time.time() - start, "pieces": pieces}, f)

    server = ThreadingHTTPServer((args.bind, 0), Handler)
    server.daemon_threads = True
    with open(args.port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(args.port_file + ".tmp", args.port_file)
    threading.Timer(args.lifetime, server.shutdown).start()
    server.serve_forever()
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
