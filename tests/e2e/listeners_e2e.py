"""The listeners of either build, driven by the listener driver: one listener
per adapter, in adapter order; each datagram handled once, by the listener of
the adapter it arrives on; oversized datagrams; bind failures; shutdown while
a tool runs."""

import os
import subprocess
import time
import unittest

import harness
from harness import Network, Workspace, datagram, wait_for


class Driver:
    """The listener driver running in the host namespace of a network. Its
    output goes to a file: the stand-in adb inherits it and may outlive it."""

    def __init__(self, network, workspace):
        self.workspace = workspace
        driver = workspace.options.driver
        program = workspace.copy(driver, os.path.basename(driver))
        self.output_path = os.path.join(workspace.folder, "driver.out")
        with open(self.output_path, "wb") as output:
            self.process = subprocess.Popen(
                network.in_host(workspace.command(program)), stdin=subprocess.PIPE,
                stdout=output, stderr=subprocess.STDOUT, env=workspace.env)
        # Wine needs a few seconds for its first program in a namespace.
        if not wait_for(lambda: b"ready" in self.output or self.process.poll() is not None, timeout=60):
            raise AssertionError("driver not ready: %r" % self.output)
        if b"ready" not in self.output:
            raise AssertionError("driver ended early: %r" % self.output)

    @property
    def output(self):
        with open(self.output_path, "rb") as f:
            return f.read()

    def listeners(self):
        text = self.output.decode("latin-1")
        return [line.split()[2] for line in text.splitlines() if line.startswith("listener ")]

    def quit(self):
        """Asks the driver to close its listeners; returns (exit code, seconds)."""
        started = time.monotonic()
        self.process.stdin.write(b"quit\n")
        self.process.stdin.close()
        code = self.process.wait(timeout=20)
        return code, time.monotonic() - started


class Listeners(unittest.TestCase):
    options = None

    def setUp(self):
        self.windows = self.options.wine_prefix is not None
        self.workspace = Workspace(self.options, self.windows)
        self.adb = self.workspace.install_adb()
        self.network = Network(adapters=2).__enter__()
        self.drivers = []
        self.workspace.store_adb_path(self.adb, self.network)

    def tearDown(self):
        for driver in self.drivers:
            if driver.process.poll() is None:
                driver.process.kill()
                driver.process.wait()
        harness.stop_wine(self.workspace)
        self.network.__exit__(None, None, None)
        self.workspace.remove()

    def start_driver(self):
        driver = Driver(self.network, self.workspace)
        self.drivers.append(driver)
        return driver

    def received(self):
        return self.workspace.log_lines().count("Received command")

    def wait_until_received(self, count):
        wait_for(lambda: self.received() >= count)
        time.sleep(0.3)  # room for a wrong extra one to show
        self.assertEqual(self.received(), count, self.workspace.log_lines())

    def test_each_datagram_is_handled_once_by_its_adapter(self):
        # adb lists the sender on another port: its requests are this computer's.
        self.workspace.attach_devices(("198.18.0.2:4444", "offline", "198.18.0.2", "4444"))
        driver = self.start_driver()
        self.assertEqual(driver.listeners(), ["198.18.0.1", "198.18.1.1"])
        self.assertEqual(self.workspace.log_lines(), ["Starting"])

        # A start that reaches both adapters runs adb once: the second copy
        # repeats the port within ten seconds.
        self.network.send(datagram("start", "5555"), via=0)
        self.network.send(datagram("start", "5555"), via=1)
        self.wait_until_received(2)
        runs = self.workspace.adb_runs()
        self.assertEqual([run["args"] for run in runs], [["devices", "-l"], ["connect", "198.18.0.2:5555"]])
        self.assertEqual({run["executable"] for run in runs}, {self.adb})

        # A stop that reaches both adapters runs adb twice.
        self.network.send(datagram("stop"), via=0)
        self.network.send(datagram("stop"), via=1)
        self.wait_until_received(4)
        self.assertEqual(self.workspace.log_lines().count("Received stop command"), 2)

        # Sent to an adapter's own address instead of the group.
        self.network.send(datagram("stop"), via=1, to="198.18.1.1")
        self.wait_until_received(5)

        # A 60-byte datagram is taken by its first 45 bytes, and the listener
        # goes on to the next one.
        self.network.send(datagram("stop").ljust(60, b"x"), via=0)
        self.network.send(datagram("stop"), via=0)
        self.wait_until_received(7)
        wait_for(lambda: len(self.workspace.adb_runs()) == 7)
        self.assertEqual([run["args"] for run in self.workspace.adb_runs()[2:]], [["devices", "-l"]] * 5)

        code, _ = driver.quit()
        self.assertEqual(code, 0)
        self.assertIn(b"closed", driver.output)
        harness.assert_no_sanitizer_report(self, driver.output.decode("latin-1"))

    def test_bind_failure_leaves_the_other_adapter_working(self):
        with harness.PortBlocker(self.network, adapter=0):
            driver = self.start_driver()
            # Address in use: EADDRINUSE, or what Wine makes of it.
            codes = (b"10048", b"10013") if self.windows else (b"98",)
            self.assertTrue(any(b"Bind error (%s) on 198.18.0.1" % code in driver.output for code in codes),
                            driver.output)
            self.assertEqual(driver.listeners(), ["198.18.1.1"])

            self.network.send(datagram("stop"), via=1)
            self.wait_until_received(1)
            self.assertEqual(driver.quit()[0], 0)

    def test_quit_while_a_tool_runs_ends_at_once(self):
        self.workspace.install_adb(sleep_ms=4000)
        driver = self.start_driver()
        self.network.send(datagram("stop"), via=0)
        self.assertTrue(wait_for(lambda: self.workspace.adb_runs()), "adb never started")

        code, seconds = driver.quit()
        self.assertEqual(code, 0)
        self.assertLess(seconds, 1.0 * self.options.time_scale)
        self.assertFalse(self.workspace.adb_runs()[0]["done"], "the stand-in adb ended first")

    def test_what_adb_says_is_logged_and_it_inherits_nothing(self):
        self.start_driver()
        log = self.workspace.log_lines

        def handled(datagrams, count):
            """Sends; waits until `count` more tool runs have logged their
            "successfully"; returns the log lines since then."""
            before = len(log())
            started = log().count("successfully") + count
            for each in datagrams:
                self.network.send(each)
            self.assertTrue(wait_for(lambda: log().count("successfully") >= started and
                                     all(run["done"] for run in self.workspace.adb_runs()), timeout=10), log())
            time.sleep(0.2)  # the lines after "successfully"
            return log()[before:]

        self.workspace.adb_does("stderr error: no devices/emulators found", "exit 1")
        self.assertEqual(handled([datagram("stop")], 1)[-5:],
                         ["adb devices -l", "successfully", "adb: error: no devices/emulators found",
                          "adb exit code: 1", "Could not switch 198.18.0.2 to USB: adb did not answer"])

        # Listing the sender, as adb does for a phone of this computer.
        self.workspace.adb_does("stdout connected to 198.18.0.2:5555", "stdout 198.18.0.2:4444 offline")
        self.assertEqual(handled([datagram("start", "5555")], 2)[-5:],
                         ["adb connect 198.18.0.2:5555", "successfully", "adb: connected to 198.18.0.2:5555",
                          "adb: 198.18.0.2:4444 offline", "Connected to 198.18.0.2:5555"])

        # A server left behind holding the output keeps nobody waiting; the
        # tool inherited nothing but its standard handles.
        self.workspace.adb_does("background 30000", "report")
        self.assertEqual(handled([datagram("stop")], 1)[-3:-1], ["adb devices -l", "successfully"])
        holders = self.workspace.record_values("holder")
        self.assertEqual(len(holders), 1)
        self.assertNotEqual(holders[0], "0", "the stand-in's server did not start")
        self.assertEqual(self.workspace.record_values("inherited"), [])
        # Two more such stops at once: the second adb starts when the first
        # ends, not when its server lets go of the output 30 s later.
        handled([datagram("stop")] * 2, 2)
        first, second = self.workspace.adb_runs()[-2:]
        self.assertLess(second["time"] - first["ended"], 5000000)

        # 1 MiB of output: ten lines and a mark that there was more.
        self.workspace.adb_does("flood 1048576")
        said = [line for line in handled([datagram("stop")], 1) if line.startswith("adb:")]
        self.assertEqual(said, ["adb: " + "x" * 99] * 10 + ["adb: ..."])


if __name__ == "__main__":
    harness.main([Listeners])
