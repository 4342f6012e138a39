#!/usr/bin/python3
"""Scripted WebSocket server that the client's transport tests talk to.

Usage: testpeer.py SCRIPT.json

The script is a JSON object:
  "mode":    "library" (ordinary paths on the websockets package) or
             "raw" (hand-made bytes on a bare socket, for malformed input,
             odd segmenting and upgrade replies),
  "tls":     optional {"cert": path, "key": path},
  "rcvbuf":  optional receive buffer size of the listening socket,
  "actions": list of steps, run in order on the first connection.

The peer prints "PORT <n>" once it listens, then one line per event
(REQUEST, RECV, FRAME, PONG, ...), "DONE" after the last action, and exits
when the client goes away (or after a time-out). Every line is flushed at
once so a test can follow the conversation.
"""

import asyncio
import base64
import hashlib
import json
import select
import socket
import ssl
import sys
import time

GUID = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11"
IDLE_LIMIT_SECONDS = 15


def out(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def message_bytes(action):
    if "file" in action:
        with open(action["file"], "rb") as f:
            return f.read()
    return bytes.fromhex(action.get("hex", ""))


def make_listener(script):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if script.get("rcvbuf"):
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, int(script["rcvbuf"]))
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    return listener


def tls_context(script):
    tls = script.get("tls")
    if not tls:
        return None
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(tls["cert"], tls["key"])
    return context


# --- library mode --------------------------------------------------------

async def run_library(script, listener):
    import websockets

    finished = asyncio.get_running_loop().create_future()

    async def handler(ws, path=None):
        try:
            for action in script["actions"]:
                await library_action(ws, action)
            out("DONE")
            try:
                await asyncio.wait_for(ws.wait_closed(), IDLE_LIMIT_SECONDS)
            except asyncio.TimeoutError:
                pass
        except websockets.ConnectionClosed as closed:
            out("CLOSED %s" % closed.code)
        except Exception as error:  # reported to the test, not hidden
            out("ERROR %r" % (error,))
        finally:
            if not finished.done():
                finished.set_result(True)

    server = await websockets.serve(
        handler, sock=listener, ssl=tls_context(script), max_size=None, max_queue=None,
        compression=None, ping_interval=None, close_timeout=1)
    out("PORT %d" % listener.getsockname()[1])
    try:
        await asyncio.wait_for(finished, IDLE_LIMIT_SECONDS)
    except asyncio.TimeoutError:
        out("ERROR no connection")
    server.close()


async def library_action(ws, action):
    kind = action["do"]
    if kind == "send":
        data = message_bytes(action)
        fragments = action.get("fragments")
        if fragments:
            pieces, start = [], 0
            for size in fragments:
                pieces.append(data[start:start + size])
                start += size
            await ws.send(pieces)
        else:
            await ws.send(data)
    elif kind == "recv":
        for _ in range(action.get("count", 1)):
            message = await ws.recv()
            if isinstance(message, str):
                out("TEXT " + message.encode().hex())
            else:
                out("RECV " + message.hex())
    elif kind == "ping":
        waiter = await ws.ping(message_bytes(action))
        await asyncio.wait_for(waiter, 5)
        out("PONG")
    elif kind == "close":
        await ws.close()
    elif kind == "abort":
        ws.transport.abort()
    elif kind == "sleep":
        await asyncio.sleep(action["ms"] / 1000.0)
    else:
        raise ValueError("unknown action " + kind)


# --- raw mode --------------------------------------------------------------

class RawPeer:
    def __init__(self, connection):
        self.connection = connection
        self.pending = b""
        self.key = ""

    def read_some(self):
        data = self.connection.recv(65536)
        if not data:
            raise EOFError("client closed")
        self.pending += data

    def read_exact(self, count):
        while len(self.pending) < count:
            self.read_some()
        data, self.pending = self.pending[:count], self.pending[count:]
        return data

    def write(self, data, trickle=False):
        if not trickle:
            self.connection.sendall(data)
            return
        for i in range(len(data)):
            self.connection.sendall(data[i:i + 1])
            time.sleep(0.0005)

    def read_request(self):
        while b"\r\n\r\n" not in self.pending:
            self.read_some()
        end = self.pending.index(b"\r\n\r\n") + 4
        request, self.pending = self.pending[:end], self.pending[end:]
        out("REQUEST " + request.hex())
        for line in request.decode("latin-1").split("\r\n"):
            if line.lower().startswith("sec-websocket-key:"):
                self.key = line.split(":", 1)[1].strip()

    def accept_value(self):
        digest = hashlib.sha1((self.key + GUID).encode()).digest()
        return base64.b64encode(digest).decode()

    def read_frame(self):
        head = self.read_exact(2)
        fin = head[0] >> 7
        opcode = head[0] & 15
        masked = head[1] >> 7
        length = head[1] & 127
        if length == 126:
            length = int.from_bytes(self.read_exact(2), "big")
        elif length == 127:
            length = int.from_bytes(self.read_exact(8), "big")
        key = self.read_exact(4) if masked else b""
        payload = bytearray(self.read_exact(length))
        if masked:
            for i in range(length):
                payload[i] ^= key[i % 4]
        return fin, opcode, masked, key, bytes(payload)


def build_frame(action):
    payload = message_bytes(action)
    first = (0x80 if action.get("fin", True) else 0) | (action.get("rsv", 0) << 4) | action.get("opcode", 2)
    length = action.get("declared_length", len(payload))
    mask_bit = 0x80 if action.get("mask") else 0
    if length < 126 and not action.get("long_form"):
        head = bytes([first, mask_bit | length])
    elif length <= 0xFFFF and action.get("long_form") != 8:
        head = bytes([first, mask_bit | 126]) + length.to_bytes(2, "big")
    else:
        head = bytes([first, mask_bit | 127]) + length.to_bytes(8, "big")
    if action.get("mask"):
        key = b"\x01\x02\x03\x04"
        payload = bytes(b ^ key[i % 4] for i, b in enumerate(payload))
        head += key
    return head + payload


def cut_frame(data):
    """(fin, opcode, masked, key, payload, rest) of the first whole frame, or None."""
    if len(data) < 2:
        return None
    length, at = data[1] & 127, 2
    if length == 126:
        if len(data) < 4:
            return None
        length, at = int.from_bytes(data[2:4], "big"), 4
    elif length == 127:
        if len(data) < 10:
            return None
        length, at = int.from_bytes(data[2:10], "big"), 10
    masked = data[1] >> 7
    key = data[at:at + 4] if masked else b""
    at += len(key)
    if len(data) < at + length:
        return None
    payload = bytearray(data[at:at + length])
    for i in range(len(payload) if masked else 0):
        payload[i] ^= key[i % 4]
    return data[0] >> 7, data[0] & 15, masked, bytes(key), bytes(payload), data[at + length:]


def is_ragged_eof(error):
    """An end of TCP without the close notification, in strict mode. Python
    3.11 with OpenSSL 3 reports it as a plain SSLError of this reason, later
    releases as SSLEOFError."""
    return isinstance(error, ssl.SSLEOFError) or getattr(error, "reason", None) == "UNEXPECTED_EOF_WHILE_READING"


def flood(peer, action):
    """Writes the frame `hex` every `interval_ms` (default 1) while reading,
    like a busy game server, until the client's side ends: prints every frame
    read, then "EOF" for an orderly end, or "RESET" when a read or a write
    found the connection reset (the peer then gives up at once, as servers
    do, without reading what is left).

    `read_every_ms` (default 0: whenever something arrives) makes it look at
    its input only that often, as a server busy elsewhere. `after_eof_ms`
    keeps it writing that long after the client's end (a server that has not
    noticed), then it prints "STOP"; a reset meanwhile prints "RESET". Over
    TLS the end is "EOF" only after the client's close notification, else
    "RAGGED-EOF"."""
    frame = build_frame(action)
    interval = action.get("interval_ms", 1) / 1000.0
    read_every = action.get("read_every_ms", 0) / 1000.0
    after_eof = action.get("after_eof_ms", 0) / 1000.0
    connection = peer.connection
    connection.setblocking(False)
    pending, next_send = peer.pending, time.monotonic()
    next_read = time.monotonic() + read_every
    ended_at = None
    while True:
        now = time.monotonic()
        if ended_at is not None and now - ended_at >= after_eof:
            out("STOP")
            return
        if ended_at is None and read_every == 0:
            select.select([connection], [], [], max(0.0, next_send - now))
        else:
            time.sleep(max(0.0, next_send - now))
        while ended_at is None and time.monotonic() >= next_read:  # everything that has arrived
            try:
                data = connection.recv(65536)
            except (BlockingIOError, ssl.SSLWantReadError, ssl.SSLWantWriteError):
                next_read = time.monotonic() + read_every
                break
            except ssl.SSLError as error:
                if not is_ragged_eof(error):
                    raise
                out("RAGGED-EOF")
                data = None
            except ConnectionResetError:
                out("RESET")
                return
            if data is not None:
                if not data:
                    out("EOF")
                else:
                    pending += data
                    while True:
                        cut = cut_frame(pending)
                        if cut is None:
                            break
                        fin, opcode, masked, key, payload, pending = cut
                        out("FRAME %d %d %d %s %s" % (opcode, fin, masked, key.hex(), payload.hex()))
                    continue
            if after_eof == 0:
                return
            ended_at = time.monotonic()
        if time.monotonic() >= next_send:
            next_send += interval
            try:
                connection.send(frame)
            except (BlockingIOError, ssl.SSLWantReadError, ssl.SSLWantWriteError):
                pass
            except OSError:
                out("RESET")
                return


def raw_action(peer, action):
    kind = action["do"]
    if kind == "request":
        peer.read_request()
    elif kind == "reply":
        accept = peer.accept_value()
        lines = [action.get("status", "HTTP/1.1 101 Switching Protocols")]
        for header in action.get("headers", ["Upgrade: websocket", "Connection: Upgrade",
                                              "Sec-WebSocket-Accept: {accept}"]):
            lines.append(header.replace("{accept}", accept).replace("{accept_swapcase}", accept.swapcase()))
        text = "\r\n".join(lines).encode("latin-1")
        if "pad_header_to" in action:
            # A filler header that makes the text before the blank line
            # exactly this long.
            filler_start = b"\r\nX-Filler: "
            missing = action["pad_header_to"] - len(text) - len(filler_start)
            text += filler_start + b"f" * missing
        data = text + b"\r\n\r\n"
        if action.get("omit_terminator"):
            data = text
        data += bytes.fromhex(action.get("tail_hex", ""))
        peer.write(data, action.get("trickle", False))
    elif kind == "write":
        peer.write(message_bytes(action), action.get("trickle", False))
    elif kind == "frame":
        peer.write(build_frame(action), action.get("trickle", False))
    elif kind == "frames":
        peer.write(b"".join(build_frame(f) for f in action["list"]), action.get("trickle", False))
    elif kind == "read_frames":
        for _ in range(action.get("count", 1)):
            fin, opcode, masked, key, payload = peer.read_frame()
            out("FRAME %d %d %d %s %s" % (opcode, fin, masked, key.hex(), payload.hex()))
    elif kind == "flood":
        flood(peer, action)
    elif kind == "sleep":
        time.sleep(action["ms"] / 1000.0)
    elif kind == "close_tcp":
        peer.connection.close()
    else:
        raise ValueError("unknown action " + kind)


def run_raw(script, listener):
    out("PORT %d" % listener.getsockname()[1])
    listener.settimeout(IDLE_LIMIT_SECONDS)
    try:
        connection, _ = listener.accept()
    except socket.timeout:
        out("ERROR no connection")
        return
    connection.settimeout(IDLE_LIMIT_SECONDS)
    connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    context = tls_context(script)
    try:
        if context:
            # A strict end tells the client's close notification from a
            # bare TCP end (a flood reports which it was).
            strict = bool(script["tls"].get("strict_eof"))
            if strict:
                # Python takes a bare end for a close notification unless told.
                context.options &= ~getattr(ssl, "OP_IGNORE_UNEXPECTED_EOF", 0)
            connection = context.wrap_socket(connection, server_side=True, suppress_ragged_eofs=not strict)
        peer = RawPeer(connection)
        for action in script["actions"]:
            raw_action(peer, action)
        out("DONE")
        # Stay until the client goes away, so that it sees no early close.
        while True:
            if not connection.recv(65536):
                break
    except (EOFError, ConnectionError, OSError, ssl.SSLError) as error:
        out("CLOSED %r" % (error,))
    finally:
        try:
            connection.close()
        except OSError:
            pass


def main():
    with open(sys.argv[1]) as f:
        script = json.load(f)
    listener = make_listener(script)
    if script.get("mode", "library") == "library":
        asyncio.run(run_library(script, listener))
    else:
        run_raw(script, listener)


if __name__ == "__main__":
    main()
