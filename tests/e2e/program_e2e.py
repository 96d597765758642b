"""The native program, whole: start-up, datagrams from a device namespace to
the stand-in adb, the terminal's menu commands, and quitting by signal."""

import os
import random
import signal
import subprocess
import time

import harness
from harness import datagram, wait_for


class Program(harness.NativeProgramCase, harness.PhoneScenarios):
    def test_start_and_stop_from_a_device(self):
        adb = self.workspace.install_adb()
        self.store_adb_path(adb)
        self.workspace.adb_does("report")
        self.start()
        self.assertEqual(self.workspace.log_lines(), ["Starting"])
        # The terminal is told that it runs and where it listens; the log is not.
        log = os.path.join(self.workspace.folder, "log.txt")
        self.assertTrue(wait_for(lambda: self.output().splitlines() == [
            "Velmora is running; its log is %s. Type View log, Set ADB Path, About or Exit; Ctrl+C ends it." % log,
            "Listening on 198.18.0.1"]), self.output())

        # This one from the sender program; the others from raw bytes.
        subprocess.run(self.network.in_device([self.options.sender, "start", "5555", "--via", "198.18.0.2"]),
                       check=True)
        # adb knows no phone here: the requests are another computer's.
        trail = ["Starting", "Received command", "Path to ADB: " + adb,
                 "Received start command with IP 198.18.0.2 and port 5555",
                 "adb devices -l", "successfully", harness.LEFT_ALONE % "198.18.0.2"]
        self.assertEqual(wait_for(lambda: self.workspace.log_lines() == trail), True, self.workspace.log_lines())

        self.network.send(datagram("stop"))
        trail += ["Received command", "Path to ADB: " + adb, "Received stop command", "adb devices -l", "successfully",
                  harness.LEFT_ALONE % "198.18.0.2"]
        self.assertEqual(wait_for(lambda: self.workspace.log_lines() == trail), True, self.workspace.log_lines())
        self.assertEqual([run["args"] for run in self.workspace.adb_runs()], [["devices", "-l"], ["devices", "-l"]])
        # adb gets no signal blocked or ignored (Velmora blocks SIGINT, SIGTERM
        # and SIGHUP and ignores SIGPIPE) and no descriptor of Velmora's.
        # Signals 32 and 33 belong to glibc, which leaves them as they are.
        glibcs = (1 << 31) | (1 << 32)
        masks = lambda name: [int(value, 16) & ~glibcs for value in self.workspace.record_values(name)]
        self.assertEqual(masks("blocked"), [0] * 2)
        self.assertEqual(masks("ignored"), [0] * 2)
        self.assertEqual(self.workspace.record_values("inherited"), [])

        code, seconds = self.stop_by(signal.SIGTERM)
        self.assertEqual(code, 0)
        self.assertLess(seconds, 1.0 * self.options.time_scale)

    def network_moment(self):
        """The adapter's address goes and comes back, as Wi-Fi's does across sleep."""
        address, link = self.network.host_address(0), self.network.host_link(0)
        for change, line in (("del", "Stopped listening on "), ("add", "Listening on ")):
            before = self.workspace.log_lines().count(line + address)
            subprocess.run(self.network.in_host(["ip", "addr", change, address + "/24", "dev", link]), check=True)
            self.assertTrue(wait_for(lambda: self.workspace.log_lines().count(line + address) > before))

    def outcomes_shown(self):
        return [line for line in self.output().splitlines() if "198.18." in line and "istening on" not in line]

    def moments(self):
        return (self.network_moment, self.address_added, self.link_bounce, self.restart_program)

    def address_added(self):
        """A second address on the adapter that listens: no listener changes."""
        subprocess.run(self.network.in_host(["ip", "addr", "add", "198.18.0.30/24", "dev", self.network.host_link(0)]),
                       check=True)

    def link_bounce(self):
        """The adapter's link goes down and comes back up, its address kept."""
        for state in ("down", "up"):
            subprocess.run(self.network.in_host(["ip", "link", "set", self.network.host_link(0), state]), check=True)

    def restart_program(self):
        self.assertEqual(self.stop_by(signal.SIGTERM)[0], 0)
        self.process = None
        self.start()

    def test_command_line(self):
        program = self.workspace.copy(self.options.program, "velmora")
        run = lambda option: subprocess.run([program, option], env=self.workspace.env, capture_output=True, text=True)
        shown = run("--help")
        self.assertEqual(shown.returncode, 0)
        for told in (os.path.join(self.workspace.folder, "log.txt"), self.setting, "Ctrl+C"):
            self.assertIn(told, shown.stdout)
        shown = run("--version")
        self.assertEqual((shown.returncode, shown.stdout), (0, "Velmora %s\n" % self.options.version))
        shown = run("--start")
        self.assertEqual((shown.returncode, shown.stdout, shown.stderr), (2, "", "usage: velmora [--help | --version]\n"))
        self.assertFalse(os.path.exists(os.path.join(self.workspace.folder, "log.txt")), "it started")

    def start_with_adb_running(self):
        """Starts the program and has it run an adb that takes 4 s."""
        self.store_adb_path(self.workspace.install_adb(sleep_ms=4000))
        self.start()
        self.network.send(datagram("stop"))
        self.assertTrue(wait_for(lambda: self.workspace.adb_runs()), "adb never started")

    def test_sigterm_while_adb_still_runs(self):
        self.start_with_adb_running()

        code, seconds = self.stop_by(signal.SIGTERM)
        self.assertEqual(code, 0)
        self.assertLess(seconds, 1.0 * self.options.time_scale)
        self.assertFalse(self.workspace.adb_runs()[0]["done"])

    def test_menu_commands_on_standard_input(self):
        # A stand-in xdg-open that records what it was asked to open, then
        # fails, as it does without a desktop.
        opened = os.path.join(self.workspace.folder, "opened")
        xdg_open = os.path.join(self.workspace.folder, "bin", "xdg-open")
        os.makedirs(os.path.dirname(xdg_open))
        with open(xdg_open, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s" "$1" > "%s"\nexit 3\n' % opened)
        os.chmod(xdg_open, 0o755)
        self.workspace.env["PATH"] = os.path.dirname(xdg_open) + ":" + os.environ["PATH"]
        chosen = self.workspace.install_adb(folder="Other SDK")
        self.start(stdin=subprocess.PIPE)

        self.say("About")
        self.assertTrue(wait_for(lambda: "Velmora %s\nCorvend\n" % self.options.version in self.output()), self.output())

        self.say("Set ADB Path")
        self.say(os.path.join(self.workspace.folder, "no such adb"))
        self.assertTrue(wait_for(lambda: "No such file" in self.output()), self.output())
        self.say("Set ADB Path")
        self.say("")
        self.assertTrue(wait_for(lambda: "Cancelled" in self.output()), self.output())
        self.assertFalse(os.path.exists(self.setting), "nothing may be stored yet")

        self.say("set adb path")
        self.say(chosen)
        self.assertTrue(wait_for(lambda: os.path.exists(self.setting)))
        with open(self.setting, "rb") as f:
            self.assertEqual(f.read(), chosen.encode())
        self.network.send(datagram("stop"))
        self.assertTrue(wait_for(lambda: self.workspace.adb_runs()))
        self.assertEqual(self.workspace.adb_runs()[0]["executable"], chosen)

        self.say("View log")
        log = os.path.join(self.workspace.folder, "log.txt")
        self.assertTrue(wait_for(lambda: "The log is %s\n" % log in self.output()), self.output())
        self.assertEqual(harness.read_text(opened), log)

        self.say("Exit")
        self.assertEqual(self.process.wait(timeout=5), 0)
        harness.assert_no_sanitizer_report(self, self.output())

    def test_end_of_input_keeps_running_until_sigint(self):
        self.start(stdin=subprocess.PIPE)
        self.process.stdin.close()
        time.sleep(0.3)
        self.assertIsNone(self.process.poll())
        self.assertEqual(self.stop_by(signal.SIGINT)[0], 0)

    def test_default_adb_is_found_on_path(self):
        adb = self.workspace.install_adb(folder="bin")
        self.workspace.env["PATH"] = os.path.dirname(adb) + ":" + os.environ["PATH"]
        self.start()
        self.network.send(datagram("stop"))
        self.assertTrue(wait_for(lambda: self.workspace.adb_runs()))
        self.assertEqual(self.workspace.adb_runs()[0]["executable"], adb)
        self.assertEqual(self.workspace.log_lines()[1:4],
                         ["Received command", "Using default ADB path", "Path to ADB: adb"])
        # The terminal closing ends it as SIGTERM does.
        self.assertEqual(self.stop_by(signal.SIGHUP)[0], 0)

    def resources(self):
        """The program's open descriptors and threads."""
        pid = self.process.pid
        return len(os.listdir("/proc/%d/fd" % pid)), len(os.listdir("/proc/%d/task" % pid))

    def quiet_resources(self):
        """resources() once the same twice in a row: no log line or adb
        output file is open for a moment."""
        last = [None]

        def settled():
            now, previous = self.resources(), last[0]
            last[0] = now
            return now if now == previous else None
        return wait_for(settled, interval=0.1)

    def listening_lines(self):
        return [line for line in self.workspace.log_lines() if "istening on" in line]

    def test_listeners_follow_the_network(self):
        network, scale = self.network, self.options.time_scale
        adb = self.workspace.install_adb()
        self.store_adb_path(adb)
        # A second address with a label on the same adapter: still one listener.
        subprocess.run(network.in_host(["ip", "addr", "add", "198.18.0.9/24", "dev", network.host_link(0),
                                        "label", network.host_link(0) + ":1"]), check=True)
        self.start()
        self.assertEqual(self.workspace.log_lines(), ["Starting"])

        # An adapter comes up: a start through it is handled within 2 s.
        appeared = time.monotonic()
        network.add_adapter()
        self.assertTrue(wait_for(lambda: self.listening_lines() == ["Listening on 198.18.1.1"], timeout=2 * scale),
                        self.workspace.log_lines())
        network.send(datagram("start", "5555"), via=1)
        left_alone = lambda: self.workspace.log_lines().count(harness.LEFT_ALONE % "198.18.1.2")
        self.assertTrue(wait_for(lambda: left_alone() == 1, timeout=2 * scale))
        self.assertLess(time.monotonic() - appeared, 2 * scale)

        # The first adapter gets a new address; sent to it, a stop is handled.
        network.readdress_host(0, "198.18.0.11")
        expected = ["Listening on 198.18.1.1", "Stopped listening on 198.18.0.1", "Listening on 198.18.0.11"]
        self.assertTrue(wait_for(lambda: self.listening_lines() == expected), self.workspace.log_lines())
        network.send(datagram("stop"), via=0, to="198.18.0.11")
        self.assertTrue(wait_for(lambda: len(self.workspace.adb_runs()) == 2))

        # The second adapter goes: only its listener closes.
        network.remove_adapter(1)
        expected.append("Stopped listening on 198.18.1.1")
        self.assertTrue(wait_for(lambda: self.listening_lines() == expected), self.workspace.log_lines())
        self.assertTrue(wait_for(lambda: network.bound_sockets() == 1))
        network.send(datagram("stop"), via=0)
        self.assertTrue(wait_for(lambda: self.workspace.log_lines().count("successfully") == 3))

        # An address that flaps, now and then long enough to be followed,
        # leaves no descriptor or thread behind.
        before = self.quiet_resources()
        link = network.host_link(0)
        for i in range(200):
            subprocess.run(network.in_host(["ip", "addr", "del", "198.18.0.11/24", "dev", link]), check=True)
            time.sleep(0.3 if i % 10 == 0 else random.uniform(0, 0.03))
            subprocess.run(network.in_host(["ip", "addr", "add", "198.18.0.11/24", "dev", link]), check=True)
            time.sleep(0.3 if i % 10 == 5 else random.uniform(0, 0.03))
        self.assertTrue(wait_for(lambda: self.resources() == before and network.bound_sockets() == 1,
                                 timeout=5 * scale), (self.resources(), before))
        self.assertGreater(self.listening_lines().count("Stopped listening on 198.18.0.11"), 10)
        self.assertEqual(self.listening_lines()[-1], "Listening on 198.18.0.11")
        network.send(datagram("stop"), via=0)
        self.assertTrue(wait_for(lambda: len(self.workspace.adb_runs()) == 4))

        self.assertNotIn("error", self.output())
        self.assertEqual([line for line in self.output().splitlines() if "istening on" in line],
                         ["Listening on 198.18.0.1"] + self.listening_lines())
        self.assertEqual(self.stop_by(signal.SIGTERM)[0], 0)

    def test_network_change_while_adb_runs_is_followed_at_once(self):
        self.start_with_adb_running()
        # The command lock is held for 4 s; the new listener does not wait.
        self.network.add_adapter()
        self.assertTrue(wait_for(lambda: "Listening on 198.18.1.1" in self.workspace.log_lines(),
                                 timeout=1.5 * self.options.time_scale), self.workspace.log_lines())
        self.assertFalse(self.workspace.adb_runs()[0]["done"], "adb ended first")
        self.assertEqual(self.stop_by(signal.SIGTERM)[0], 0)


if __name__ == "__main__":
    harness.main([Program])
