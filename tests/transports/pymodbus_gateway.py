"""A MODBUS TCP server that is not ours: pymodbus serving the sensor's
register block to any unit id on 127.0.0.1:PORT until terminated.

Usage: pymodbus_gateway.py PORT REGISTER...   (the 36 holding registers from 0)
"""
import logging
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartTcpServer

logging.disable(logging.CRITICAL)
port = int(sys.argv[1])
registers = [int(v) for v in sys.argv[2:]]
store = ModbusSlaveContext(hr=ModbusSequentialDataBlock(0, registers), zero_mode=True)
StartTcpServer(context=ModbusServerContext(slaves=store, single=True), address=("127.0.0.1", port))
