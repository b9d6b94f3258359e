"""Fixtures: a simulated driver, and the emulator program serving on loopback."""

import os
import re
import subprocess
import threading
import time

import pytest

import zentrava


@pytest.fixture
def simulated():
    with zentrava.Driver(simulate=True) as driver:
        yield driver


class Emulator:
    """ztv-emulator as a process; --verbose prints every program message it receives."""

    def __init__(self, *options):
        self.process = subprocess.Popen(
            [os.environ["ZTV_EMULATOR"], "--socket-port", "0", "--vxi11-port", "-1", "--hislip-port", "-1",
             "--verbose", *options], stdout=subprocess.PIPE, text=True)
        self.lines = []
        self.resource = None
        for line in self.process.stdout:
            match = re.search(r"raw socket .*(TCPIP0::\S+::SOCKET)", line)
            if match:
                self.resource = match.group(1)
                break
        if self.resource is None:
            raise RuntimeError("ztv-emulator printed no socket resource")
        self.reader = threading.Thread(target=self.read, daemon=True)
        self.reader.start()

    def read(self):
        for line in self.process.stdout:
            match = re.match(r"\[socket #\d+\] (.*)$", line.rstrip("\n"))
            if match:
                self.lines.append(match.group(1))

    def received(self, since=0, until=None, timeout=5.0):
        """Messages received after the first `since` ones; waits (the program prints them
        every 100 ms) until `until` has arrived."""
        deadline = time.monotonic() + timeout
        while until is not None and until not in self.lines[since:] and time.monotonic() < deadline:
            time.sleep(0.05)
        return self.lines[since:]

    def mark(self, driver):
        """The number of messages received so far, once everything the driver sent is printed."""
        marks = self.lines.count("*WAI") + 1
        driver.system.write("*WAI\n")
        deadline = time.monotonic() + 5.0
        while self.lines.count("*WAI") < marks and time.monotonic() < deadline:
            time.sleep(0.05)
        return len(self.lines)

    def stop(self):
        self.process.terminate()
        self.process.wait(10)
        self.reader.join(10)


@pytest.fixture(scope="module")
def emulator():
    running = Emulator()
    yield running
    running.stop()


@pytest.fixture
def instrument(emulator):
    with zentrava.Driver(emulator.resource, reset=True) as driver:
        yield driver
