"""What a user's machine really does to the native program: adb missing or
hanging, a log it cannot write, a broken setting, a second copy, an output
pipe nobody reads, an adapter it cannot bind."""

import contextlib
import os
import signal
import subprocess
import time

import harness
from harness import datagram, wait_for


class Faults(harness.NativeProgramCase):

    def trail_after_path(self, process_folder=None):
        """The log lines after the "Path to ADB:" line of the last command."""
        lines = self.workspace.log_lines(process_folder)
        last = max(i for i, line in enumerate(lines) if line.startswith("Path to ADB: "))
        return lines[last + 1:]

    def test_adb_missing(self):
        missing = os.path.join(self.workspace.folder, "no such folder", "adb")
        self.store_adb_path(missing)
        self.start()
        self.network.send(datagram("start", "5555"))
        expected = ["Received start command with IP 198.18.0.2 and port 5555", "adb devices -l", "error",
                    "Could not connect to 198.18.0.2:5555"]
        self.assertTrue(wait_for(lambda: self.trail_after_path() == expected), self.workspace.log_lines())
        # It goes on working: the next command is handled as well.
        self.network.send(datagram("stop"))
        expected = ["Received stop command", "adb devices -l", "error", "Could not switch 198.18.0.2 to USB"]
        self.assertTrue(wait_for(lambda: self.trail_after_path() == expected), self.workspace.log_lines())
        self.assertEqual(self.stop_by(signal.SIGTERM)[0], 0)
        self.assertEqual(self.output().splitlines()[-4:], [
            "adb could not be started: " + missing, "Could not connect to 198.18.0.2:5555",
            "adb could not be started: " + missing, "Could not switch 198.18.0.2 to USB"])

    def test_exit_while_adb_hangs(self):
        self.store_adb_path(self.workspace.install_adb(sleep_ms=30000))
        self.start(stdin=subprocess.PIPE)
        self.network.send(datagram("start", "5555"))
        self.assertTrue(wait_for(lambda: self.workspace.adb_runs()), "adb never started")
        started = time.monotonic()
        self.say("Exit")
        self.assertEqual(self.process.wait(timeout=10), 0)
        self.assertLess(time.monotonic() - started, 1.0 * self.options.time_scale)
        harness.assert_no_sanitizer_report(self, self.output())

    def test_log_in_a_read_only_folder(self):
        # The folder is read-only even for root: a read-only bind mount in a
        # mount namespace of the program's own.
        folder = os.path.join(self.workspace.folder, "read-only")
        os.makedirs(folder)
        with open(os.path.join(folder, "log.txt"), "w") as f:
            f.write("[09:00:00] an earlier run\n")
        self.store_adb_path(self.workspace.install_adb())
        wrapper = ["unshare", "--mount", "--propagation", "private", "sh", "-c",
                   'mount --bind -o ro "$0" "$0" && exec "$1"', folder]
        program = self.workspace.copy(self.options.program, "read-only", "velmora")
        os.chmod(folder, 0o555)
        self.process = subprocess.Popen(self.network.in_host(wrapper + [program]), stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, env=self.workspace.env)
        self.processes.append(self.process)
        self.assertTrue(wait_for(lambda: self.network.bound_sockets() == 1), "no listener")

        # Commands are carried out; their lines are lost; the old log stays.
        self.network.send(datagram("start", "5555"))
        self.assertTrue(wait_for(lambda: len(self.workspace.adb_runs()) == 1), "adb did not run")
        self.process.send_signal(signal.SIGTERM)
        self.assertEqual(self.process.wait(timeout=10), 0)
        self.process.stdout.close()
        with open(os.path.join(folder, "log.txt")) as f:
            self.assertEqual(f.read(), "[09:00:00] an earlier run\n")
        os.chmod(folder, 0o755)

    def test_setting_too_long_or_garbage(self):
        adb = self.workspace.install_adb(folder="bin")
        self.workspace.env["PATH"] = os.path.dirname(adb) + ":" + os.environ["PATH"]
        self.start()
        for value in (b"x" * 5000, b"/usr/bin/adb\nPath to ADB: /tmp/evil\n\x1b[2J", b"\x01\x02garbage\xff"):
            os.makedirs(os.path.dirname(self.setting), exist_ok=True)
            with open(self.setting, "wb") as f:
                f.write(value)
            before = len(self.workspace.adb_runs())
            self.network.send(datagram("stop"))
            self.assertTrue(wait_for(lambda: len(self.workspace.adb_runs()) == before + 1), value[:20])
            expected = ["Using default ADB path", "Path to ADB: adb", "Received stop command", "adb devices -l",
                        "successfully", harness.LEFT_ALONE % "198.18.0.2"]
            self.assertTrue(wait_for(lambda: self.workspace.log_lines()[-6:] == expected),
                            (value[:20], self.workspace.log_lines()[-6:]))
        self.assertEqual(sum(line.startswith("Path to ADB: ") for line in self.workspace.log_lines()), 3)

        # Bytes that could be a path in some code page are tried as one.
        with open(self.setting, "wb") as f:
            f.write(b"\xff\xfe\x00\x01garbage")
        self.network.send(datagram("stop"))
        self.assertTrue(wait_for(lambda: self.workspace.log_lines()[-2:] == [
            "error", "Could not switch 198.18.0.2 to USB"]), self.workspace.log_lines())
        self.assertEqual(self.workspace.log_lines()[-5], "Path to ADB: \xff\xfe")
        self.assertEqual(self.stop_by(signal.SIGTERM)[0], 0)

    def test_one_copy_at_a_time(self):
        self.store_adb_path(self.workspace.install_adb())
        first = self.start(folder="first")
        program = self.workspace.copy(self.options.program, "second", "velmora")
        second = subprocess.run(self.network.in_host([program]), env=self.workspace.env, capture_output=True,
                                timeout=10)
        self.assertEqual((second.returncode, second.stderr), (1, b"Velmora is already running\n"))
        self.assertFalse(os.path.exists(os.path.join(self.workspace.folder, "second", "log.txt")))
        # Started while the first is ending, a copy waits for it, then runs.
        first.send_signal(signal.SIGTERM)
        self.assertTrue(wait_for(lambda: self.network.bound_sockets() == 0))
        self.start(folder="second")
        self.assertEqual(first.wait(timeout=10), 0)

    def test_outcome_for_a_pipe_nobody_reads(self):
        # Standard output is a pipe that is full: outcome lines and menu
        # answers are dropped (the log has the outcomes), and neither the
        # next command nor SIGTERM is held up.
        reading, writing = os.pipe()
        os.set_blocking(writing, False)
        with contextlib.suppress(BlockingIOError):
            while True:
                os.write(writing, b"x" * 4096)
        os.set_blocking(writing, True)
        self.store_adb_path(self.workspace.install_adb())
        program = self.workspace.copy(self.options.program, "velmora")
        self.process = subprocess.Popen(self.network.in_host([program]), stdin=subprocess.PIPE, stdout=writing,
                                        env=self.workspace.env)
        self.processes.append(self.process)
        os.close(writing)
        self.assertTrue(wait_for(lambda: self.network.bound_sockets() == 1), "no listener")
        self.say("About")
        for _ in range(2):
            self.network.send(datagram("stop"))
        self.assertTrue(wait_for(lambda: self.workspace.log_lines().count("Received stop command") == 2), "held up")
        self.process.send_signal(signal.SIGTERM)
        self.assertEqual(self.process.wait(timeout=5), 0)
        os.close(reading)


class AdapterFaults(harness.NativeProgramCase):
    adapters = 2

    def test_adapter_that_cannot_be_bound(self):
        self.store_adb_path(self.workspace.install_adb())
        with harness.PortBlocker(self.network, adapter=0):
            self.start(listeners=1)
            self.assertTrue(wait_for(lambda: "Bind error (98) on 198.18.0.1" in self.output()), self.output())
            self.network.send(datagram("stop"), via=1)
            self.assertTrue(wait_for(lambda: self.workspace.adb_runs()), "the other adapter does not work")
            self.assertEqual(self.stop_by(signal.SIGTERM)[0], 0)

if __name__ == "__main__":
    harness.main([Faults, AdapterFaults])
