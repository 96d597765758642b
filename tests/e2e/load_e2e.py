"""A flood of junk and oversized datagrams on one adapter for 20 seconds, at
the highest rate the flooder reaches, with a valid start in the middle: the
start is handled, the listener is alive at the end, and memory does not grow."""

import os
import signal
import subprocess
import time

import harness
from harness import datagram, wait_for

FLOOD_SECONDS = 20


def anonymous_kib(pid):
    """Resident heap and stacks: what would grow if memory leaked. (The whole
    resident size also grows as more of the program's code is first used.)"""
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("RssAnon:"):
                return int(line.split()[1])
    raise AssertionError("no RssAnon")


class Load(harness.NativeProgramCase):

    def test_flood(self):
        self.store_adb_path(self.workspace.install_adb())
        self.start()
        before = self.network.udp_counters()
        flood = subprocess.Popen(self.network.in_device(
            [self.options.flood, harness.GROUP, self.network.device_address(0), str(FLOOD_SECONDS)]),
            stdout=subprocess.PIPE)
        time.sleep(2)
        early = anonymous_kib(self.process.pid)

        # A device's start in the middle of it. Under a flood the kernel may
        # drop any datagram, so the device repeats it, as a device would; the
        # repeat rule makes one start of them.
        time.sleep(FLOOD_SECONDS / 2 - 2)
        for _ in range(10):
            self.network.send(datagram("start", "5555"))
            time.sleep(0.1)

        sent, rate = flood.communicate(timeout=FLOOD_SECONDS + 30)[0].split()
        late = anonymous_kib(self.process.pid)
        after = self.network.udp_counters()
        print("flood: %s datagrams sent, %s per second; %d received by Velmora, %d dropped by a full "
              "socket buffer; anonymous resident memory %d KiB after 2 s, %d KiB at the end"
              % (sent.decode(), rate.decode(), after["InDatagrams"] - before["InDatagrams"],
                 after["RcvbufErrors"] - before["RcvbufErrors"], early, late))

        runs = self.workspace.adb_runs()
        self.assertEqual([run["args"] for run in runs], [["tcpip", "5555"], ["connect", "198.18.0.2:5555"]])
        self.assertIn("Received start command with IP 198.18.0.2 and port 5555", self.workspace.log_lines())
        self.assertLessEqual(late - early, 256, "memory grew under the flood")

        # Still listening afterwards.
        self.network.send(datagram("stop"))
        self.assertTrue(wait_for(lambda: len(self.workspace.adb_runs()) == 3), "the listener died")
        self.assertEqual(self.stop_by(signal.SIGTERM)[0], 0)
        log_size = os.path.getsize(os.path.join(self.workspace.folder, "log.txt"))
        print("log: %d bytes" % log_size)


if __name__ == "__main__":
    harness.main([Load])
