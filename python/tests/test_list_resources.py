"""zentrava.list_resources() against a stand-in serial tree and the emulator's GPIB-ETHERNET adapter."""

import os
import re
import subprocess

import zentrava


def test_serial_ports_and_gpib_listeners_with_identities(tmp_path):
    (tmp_path / "usb-Prologix_GPIB-USB-if00-port0").write_text("")
    process = subprocess.Popen(
        [os.environ["ZTV_EMULATOR"], "--socket-port", "-1", "--vxi11-port", "-1", "--hislip-port", "-1",
         "--prologix-port", "0", "--gpib-address", "9"], stdout=subprocess.PIPE, text=True)
    try:
        adapter = next(m.group(1) for m in map(re.compile(r"ZENTRAVA_GPIB0=(\S+)").search, process.stdout) if m)
        found = zentrava.list_resources(f"ProbeTimeout=20;DiscoveryTimeout=0;SysfsRoot={tmp_path}/nosys;SerialRoot={tmp_path};GPIBAdapter={adapter}")
        assert found == [(f"ASRL{tmp_path}/usb-Prologix_GPIB-USB-if00-port0::INSTR", ""),
                         ("GPIB0::9::INSTR", "Orvane Technologies,Q7310B,0123456789,1.0.9")]
    finally:
        process.terminate()
        process.wait()
