"""A flood of junk and oversized datagrams on one adapter for 20 seconds, at
the highest rate the flooder reaches, with a valid start in the middle: the
start is handled, the listener is alive at the end, memory does not grow, and
the log stays within its bound however much the flood makes it write."""

import os
import signal
import subprocess
import time

import harness
from harness import anonymous_kib, datagram, wait_for

FLOOD_SECONDS = 20
LOG_LIMIT = 1024 * 1024
LONGEST_LINE = 200  # of the lines a flood can make Velmora write


class Load(harness.NativeProgramCase):

    def test_flood(self):
        self.workspace.attach_devices(("198.18.0.2:4444", "offline", "198.18.0.2", "4444"))
        self.store_adb_path(self.workspace.install_adb())
        self.start()
        before = self.network.udp_counters()
        flood = subprocess.Popen(self.network.in_device(
            [self.options.flood, harness.GROUP, self.network.device_address(0), str(FLOOD_SECONDS)]),
            stdout=subprocess.PIPE)
        log = os.path.join(self.workspace.folder, "log.txt")
        largest = [0]

        def watch_log(seconds):
            end = time.monotonic() + seconds
            while time.monotonic() < end:
                try:
                    largest[0] = max(largest[0], os.path.getsize(log))
                except FileNotFoundError:  # between its move and the next line
                    pass
                time.sleep(0.01)

        watch_log(2)
        early = anonymous_kib(self.process.pid)

        # A device's start in the middle of it. Under a flood the kernel may
        # drop any datagram, so the device repeats it, as a device would; the
        # repeat rule makes one start of them.
        watch_log(FLOOD_SECONDS / 2 - 2)
        for _ in range(10):
            self.network.send(datagram("start", "5555"))
            time.sleep(0.1)
        watch_log(FLOOD_SECONDS / 2 - 1)

        sent, rate = flood.communicate(timeout=FLOOD_SECONDS + 30)[0].split()
        late = anonymous_kib(self.process.pid)
        after = self.network.udp_counters()
        received = after["InDatagrams"] - before["InDatagrams"]
        print("flood: %s datagrams sent, %s per second; %d handled by Velmora (%.0f per second), %d dropped "
              "by a full socket buffer; anonymous resident memory %d KiB after 2 s, %d KiB at the end; "
              "log.txt at most %d bytes"
              % (sent.decode(), rate.decode(), received, received / FLOOD_SECONDS,
                 after["RcvbufErrors"] - before["RcvbufErrors"], early, late, largest[0]))

        runs = self.workspace.adb_runs()
        self.assertEqual([run["args"] for run in runs], [["devices", "-l"], ["connect", "198.18.0.2:5555"]])
        self.assertLessEqual(late - early, 256, "memory grew under the flood")

        # Still listening afterwards. The stand-in records its run before the
        # log gets the line that follows it, so wait for the line.
        self.network.send(datagram("stop"))
        self.assertTrue(wait_for(lambda: self.workspace.log_lines()[-1:] == [
            "Could not switch 198.18.0.2 to USB: not connected over the network"]), "the listener died")
        self.assertEqual(len(self.workspace.adb_runs()), 3)
        self.assertEqual(self.stop_by(signal.SIGTERM)[0], 0)

        # The log moved aside at its bound; the newest lines are in log.txt.
        older = os.path.join(self.workspace.folder, "log.1.txt")
        self.assertLessEqual(largest[0], LOG_LIMIT + LONGEST_LINE)
        self.assertLessEqual(os.path.getsize(log), LOG_LIMIT)
        self.assertTrue(LOG_LIMIT - LONGEST_LINE < os.path.getsize(older) <= LOG_LIMIT, os.path.getsize(older))


if __name__ == "__main__":
    harness.main([Load])
