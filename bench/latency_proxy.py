#!/usr/bin/env python3
"""A TCP proxy on loopback that adds a fixed one-way delay in each direction.

Every chunk read from one side is written to the other side --delay-ms milliseconds after it
arrived, in arrival order. Chunks are timed independently, so bytes sent while earlier ones are
still in flight do not wait for them: the path behaves like a link with that latency, not like a
slower server. Prints "listening PORT" once it accepts connections and runs until SIGINT or
SIGTERM. Both ends must be loopback addresses.
"""
import argparse
import asyncio
import collections
import ipaddress
import signal
import socket
import sys

# Bytes held for one direction before reading from its source pauses.
HIGH_WATER = 8 << 20
LOW_WATER = 2 << 20


class DelayedPipe:
    """One direction: chunks wait `delay` seconds, then go to the destination transport."""

    def __init__(self, loop, delay, on_closed):
        self.loop = loop
        self.delay = delay
        self.on_closed = on_closed
        self.queue = collections.deque()  # (due time, bytes, or None for the end of the data)
        self.held = 0  # bytes queued here
        self.source = None  # transport read from; paused while too much is held
        self.destination = None  # transport written to, once connected
        self.destination_full = False  # the destination's own buffer is over its limit
        self.paused = False
        self.ended = False  # the end of the data is queued
        self.timer = None
        self.bytes = 0  # carried so far, for --tally
        self.lines = 0

    def push(self, data):
        if self.ended:
            return
        self.bytes += len(data or b"")
        self.lines += (data or b"").count(b"\n")
        self.ended = data is None
        self.queue.append((self.loop.time() + self.delay, data))
        self.held += len(data or b"")
        self.flow()
        self.arm()

    def attach(self, destination):
        self.destination = destination
        self.arm()

    def flow(self):
        """Pauses or resumes reading from the source, as the held bytes and the destination allow."""
        limit = LOW_WATER if self.paused else HIGH_WATER
        pause = self.destination_full or self.held > limit
        if pause != self.paused and self.source is not None:
            self.paused = pause
            if pause:
                self.source.pause_reading()
            else:
                self.source.resume_reading()

    def arm(self):
        if self.timer is None and self.queue and self.destination is not None:
            self.timer = self.loop.call_at(self.queue[0][0], self.deliver)

    def deliver(self):
        self.timer = None
        now = self.loop.time()
        while self.queue and self.queue[0][0] <= now:
            _, data = self.queue.popleft()
            if data is None:
                try:
                    self.destination.write_eof()
                except OSError:
                    pass  # the destination is gone already
                self.on_closed()
                return
            self.held -= len(data)
            self.destination.write(data)
        self.flow()
        self.arm()


class End(asyncio.Protocol):
    """One socket of a proxied connection: what it reads goes into `outgoing`, and `incoming`
    writes to it."""

    def __init__(self, outgoing, incoming, on_error):
        self.outgoing = outgoing
        self.incoming = incoming
        self.on_error = on_error
        self.transport = None

    def connection_made(self, transport):
        self.transport = transport
        transport.get_extra_info("socket").setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.outgoing.source = transport

    def data_received(self, data):
        self.outgoing.push(data)

    def eof_received(self):
        self.outgoing.push(None)
        return True  # the other direction stays open until it ends too

    def connection_lost(self, exc):
        if exc is not None:
            self.on_error()
        self.outgoing.push(None)

    def pause_writing(self):
        self.incoming.destination_full = True
        self.incoming.flow()

    def resume_writing(self):
        self.incoming.destination_full = False
        self.incoming.flow()


class Connection:
    """A client connection and its connection to the server, with a delayed pipe each way."""

    def __init__(self, loop, delay, upstream, tally=None):
        self.loop = loop
        self.upstream = upstream
        self.tally = tally
        self.directions_open = 2
        self.to_server = DelayedPipe(loop, delay, self.direction_ended)
        self.to_client = DelayedPipe(loop, delay, self.direction_ended)
        self.client = End(self.to_server, self.to_client, self.abort)
        self.server = End(self.to_client, self.to_server, self.abort)

    def start(self):
        self.loop.create_task(self.connect())
        return self.client

    async def connect(self):
        try:
            await self.loop.create_connection(lambda: self.server, *self.upstream)
        except OSError as error:
            print("latency_proxy: cannot reach %s:%d: %s" % (*self.upstream, error), file=sys.stderr)
            self.client.transport.close()
            return
        if self.client.transport.is_closing():
            self.server.transport.close()
            return
        self.to_server.attach(self.server.transport)
        self.to_client.attach(self.client.transport)

    def direction_ended(self):
        self.directions_open -= 1
        if self.directions_open == 0:
            self.close(abort=False)

    def abort(self):
        self.close(abort=True)

    def close(self, abort):
        if self.tally is not None:
            # One line per connection: what the client sent (bytes, lines) and what it got back.
            with open(self.tally, "a") as tally:
                tally.write("%d %d %d\n" % (self.to_server.bytes, self.to_server.lines, self.to_client.bytes))
            self.tally = None
        for end in (self.client, self.server):
            if end.transport is not None:
                if abort:
                    end.transport.abort()
                else:
                    end.transport.close()


def loopback(host):
    try:
        return ipaddress.ip_address(host).is_loopback
    except ValueError:
        return host == "localhost"


async def serve(args):
    loop = asyncio.get_running_loop()
    delay = args.delay_ms / 1000.0
    upstream = (args.host, args.port)
    server = await loop.create_server(
        lambda: Connection(loop, delay, upstream, args.tally).start(), args.listen, args.listen_port,
        reuse_address=True
    )
    print("listening %d" % server.sockets[0].getsockname()[1], flush=True)
    stop = asyncio.Event()
    for signum in (signal.SIGINT, signal.SIGTERM):
        loop.add_signal_handler(signum, stop.set)
    await stop.wait()
    server.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("host", help="the server's loopback address")
    parser.add_argument("port", type=int, help="the server's port")
    parser.add_argument("--delay-ms", type=float, default=5.0, help="one-way delay in each direction (default 5)")
    parser.add_argument("--listen", default="127.0.0.1", help="loopback address to listen on (default 127.0.0.1)")
    parser.add_argument("--listen-port", type=int, default=0, help="port to listen on (default: any free one)")
    parser.add_argument("--tally", help="append a line per connection to this file: bytes and lines the client "
                        "sent, bytes it received")
    args = parser.parse_args()
    if not loopback(args.host) or not loopback(args.listen):
        parser.error("both ends must be loopback addresses")
    if args.delay_ms < 0:
        parser.error("--delay-ms must not be negative")
    asyncio.run(serve(args))
    return 0


if __name__ == "__main__":
    sys.exit(main())
