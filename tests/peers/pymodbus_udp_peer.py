#!/usr/bin/python3
"""A Modbus server of pymodbus over UDP with MBAP framing, as a peer for the
library's standard Modbus functions.

Usage: pymodbus_udp_peer.py ADDRESS

Serves 100 coils and 100 holding registers from address 0 (zero_mode) on
ADDRESS:502 for any unit id. Holding register i starts as 1000 + i; coil i
starts on when i is a multiple of 3. Prints "ready" once it serves and runs
until it is terminated.

Function 72 carries the library's own requests. The peer answers them only
as far as opening a link needs: every request gets a reply with status 0
and, for the system record query (109), 60 zero bytes of data.
"""
import asyncio
import struct
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.pdu import ModbusRequest, ModbusResponse
from pymodbus.server import StartAsyncUdpServer

SYSTEM_RECORD = 109
SYSTEM_RECORD_BYTES = 60
AREA_SIZE = 100


class LibraryReply(ModbusResponse):
    function_code = 72

    def __init__(self, packet=b"", **kwargs):
        super().__init__(**kwargs)
        self.packet = packet

    def encode(self):
        return self.packet


class LibraryRequest(ModbusRequest):
    function_code = 72

    def __init__(self, **kwargs):
        super().__init__(**kwargs)
        self.packet = b""

    def decode(self, data):
        self.packet = bytes(data)

    def execute(self, context):
        _, command, sequence = struct.unpack_from("<HHH", self.packet)
        data = bytes(SYSTEM_RECORD_BYTES) if command == SYSTEM_RECORD else b""
        return LibraryReply(struct.pack("<HHHi", 10 + len(data), command, sequence, 0) + data)


async def main(address):
    coils = [i % 3 == 0 for i in range(AREA_SIZE)]
    registers = [1000 + i for i in range(AREA_SIZE)]
    store = ModbusSlaveContext(
        co=ModbusSequentialDataBlock(0, coils),
        hr=ModbusSequentialDataBlock(0, registers),
        zero_mode=True,
    )
    server = await StartAsyncUdpServer(
        context=ModbusServerContext(slaves=store, single=True),
        address=(address, 502),
        defer_start=True,
    )
    server.decoder.register(LibraryRequest)
    task = asyncio.create_task(server.serve_forever())
    await server.serving
    print("ready", flush=True)
    await task


if __name__ == "__main__":
    asyncio.run(main(sys.argv[1]))
