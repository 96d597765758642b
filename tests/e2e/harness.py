"""Shared pieces of Velmora's end-to-end tests.

Every test runs inside private network namespaces that it creates and
removes itself: a "host" namespace where Velmora (or the listener driver)
runs, and a "device" namespace that sends datagrams over veth pairs. Test
traffic never touches the machine's real interfaces.
"""

import argparse
import itertools
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

GROUP = "239.123.126.129"
PORT = 2904
LEFT_ALONE = "No phone of this computer has the address %s: request left alone"

_counter = itertools.count()


def wait_for(predicate, timeout=5.0, interval=0.05):
    """Polls predicate until it returns something true; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(interval)


def read_text(path):
    """The file's text, or "" while it does not exist."""
    try:
        with open(path, encoding="latin-1") as f:
            return f.read()
    except FileNotFoundError:
        return ""


def anonymous_kib(pid):
    """Resident heap and stacks: what would grow if memory leaked. (The whole
    resident size also grows as more of the program's code is first used.)"""
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("RssAnon:"):
                return int(line.split()[1])
    raise AssertionError("no RssAnon")


def datagram(command, port=""):
    """The bytes a well-behaved device sends."""
    return b"VQM" + command.encode().ljust(15) + port.encode().ljust(15)


class Network:
    """A host namespace with `adapters` veth links to a device namespace.

    Adapter i has 198.18.i.1/24 on the host and 198.18.i.2/24 on the device;
    adapters can be added, readdressed and removed while a test runs.
    """

    def __init__(self, adapters=2):
        self.tag = "vm%d%d" % (os.getpid() % 100000, next(_counter))
        self.host = self.tag + "h"
        self.device = self.tag + "d"
        self.adapters = 0
        self.initial_adapters = adapters
        self.host_addresses = {}

    def host_link(self, i):
        return "%sh%d" % (self.tag, i)

    def host_address(self, i):
        return self.host_addresses.get(i, "198.18.%d.1" % i)

    def device_address(self, i):
        return "198.18.%d.2" % i

    def __enter__(self):
        try:
            for namespace in (self.host, self.device):
                _ip("netns", "add", namespace)
                _ip("-n", namespace, "link", "set", "lo", "up")
            for _ in range(self.initial_adapters):
                self.add_adapter()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def add_adapter(self):
        """Links one more veth pair, addressed and up; returns its number."""
        i = self.adapters
        h, d = self.host_link(i), "%sd%d" % (self.tag, i)
        _ip("link", "add", h, "type", "veth", "peer", "name", d)
        _ip("link", "set", h, "netns", self.host)
        _ip("link", "set", d, "netns", self.device)
        _ip("-n", self.host, "addr", "add", self.host_address(i) + "/24", "dev", h)
        _ip("-n", self.device, "addr", "add", self.device_address(i) + "/24", "dev", d)
        _ip("-n", self.host, "link", "set", h, "up")
        _ip("-n", self.device, "link", "set", d, "up")
        self.adapters += 1
        return i

    def readdress_host(self, i, address):
        """Gives host adapter i another address in its /24, as a new DHCP
        lease does. (Its other addresses in that /24 go with the old one.)"""
        _ip("-n", self.host, "addr", "del", self.host_address(i) + "/24", "dev", self.host_link(i))
        _ip("-n", self.host, "addr", "add", address + "/24", "dev", self.host_link(i))
        self.host_addresses[i] = address

    def remove_adapter(self, i):
        """Deletes the veth pair of adapter i (both ends go)."""
        _ip("-n", self.host, "link", "del", self.host_link(i))

    def __exit__(self, *exc):
        # Removing a namespace removes its ends of the veth pairs.
        for namespace in (self.host, self.device):
            subprocess.run(["ip", "netns", "del", namespace], stderr=subprocess.DEVNULL)

    def in_host(self, argv):
        return ["ip", "netns", "exec", self.host] + list(argv)

    def in_device(self, argv):
        return ["ip", "netns", "exec", self.device] + list(argv)

    def udp_counters(self):
        """The host namespace's UDP counters (InDatagrams, RcvbufErrors, ...)."""
        snmp = subprocess.run(self.in_host(["cat", "/proc/net/snmp"]), capture_output=True,
                              check=True).stdout.decode().splitlines()
        names, values = [line.split()[1:] for line in snmp if line.startswith("Udp:")][:2]
        return dict(zip(names, map(int, values)))

    def bound_sockets(self, port=PORT):
        """How many UDP sockets of the host namespace are bound to port."""
        table = subprocess.run(self.in_host(["cat", "/proc/net/udp"]), capture_output=True,
                               check=True).stdout.decode()
        return sum(1 for line in table.splitlines()[1:] if line.split()[1].endswith(":%04X" % port))

    def send(self, payload, via=0, to=GROUP):
        """Sends raw bytes from the device, leaving through adapter `via`."""
        script = (
            "import socket,sys\n"
            "s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM)\n"
            "s.setsockopt(socket.IPPROTO_IP,socket.IP_MULTICAST_IF,socket.inet_aton(sys.argv[1]))\n"
            "s.bind((sys.argv[1],0))\n"
            "s.sendto(bytes.fromhex(sys.argv[3]),(sys.argv[2],%d))\n" % PORT
        )
        subprocess.run(self.in_device([sys.executable, "-c", script, self.device_address(via), to,
                                       payload.hex()]), check=True)


def _ip(*args):
    subprocess.run(["ip"] + list(args), check=True)


class PortBlocker:
    """A socket without address reuse holding port 2904 on one host adapter,
    so that a listener cannot bind there. It is tied to the adapter's device,
    as the listeners are (Wine, too, ties a socket bound to an adapter's
    address to its device), so it leaves the other adapters free."""

    def __init__(self, network, adapter=0):
        self.process = subprocess.Popen(network.in_host([
            sys.executable, "-c",
            "import socket,sys\ns=socket.socket(socket.AF_INET,socket.SOCK_DGRAM)\n"
            "s.setsockopt(socket.SOL_SOCKET,socket.SO_BINDTODEVICE,sys.argv[1].encode())\n"
            "s.bind(('0.0.0.0',%d))\nprint('bound',flush=True)\nsys.stdin.read()" % PORT,
            network.host_link(adapter)]), stdin=subprocess.PIPE, stdout=subprocess.PIPE)

    def __enter__(self):
        if self.process.stdout.readline().strip() != b"bound":
            self.__exit__()
            raise AssertionError("the port could not be held")
        return self

    def __exit__(self, *exc):
        self.process.stdin.close()
        self.process.wait(timeout=5)
        self.process.stdout.close()


class Workspace:
    """A private folder holding copies of the programs, so that each test has
    its own log.txt, stand-in adb and settings."""

    def __init__(self, options, windows):
        self.options = options
        self.windows = windows
        self.folder = tempfile.mkdtemp(prefix="velmora-e2e-")
        self.record = os.path.join(self.folder, "adb.record")
        self.devices = os.path.join(self.folder, "adb.devices")
        self.script = os.path.join(self.folder, "adb.script")
        self.env = dict(os.environ)
        self.env["XDG_CONFIG_HOME"] = os.path.join(self.folder, "config")
        self.env["VELMORA_FAKE_ADB_RECORD"] = self.native_path(self.record)
        self.env["VELMORA_FAKE_ADB_SCRIPT"] = self.native_path(self.script)
        if windows:
            # wine-run sets the rest; wineserver needs the prefix itself.
            self.env.update(VELMORA_WINEPREFIX=options.wine_prefix, WINEPREFIX=options.wine_prefix)

    def remove(self):
        if not self.windows:  # under Wine, stop_wine ends them
            for pid in self.record_values("holder"):
                try:
                    os.kill(int(pid), signal.SIGKILL)
                except (OSError, ValueError):
                    pass
        shutil.rmtree(self.folder, ignore_errors=True)

    def adb_does(self, *steps):
        """What the stand-in does from its next run on (steps of fake_adb.cpp)."""
        with open(self.script, "w") as f:
            f.write("".join(step + "\n" for step in steps))

    def attach_devices(self, *devices, restart_ms=0):
        """Makes the stand-in act as adb with these devices, each (serial,
        state, the phone's address, the port it takes connects on); a phone
        switched to the network takes connects restart_ms later."""
        with open(self.devices, "w") as f:
            f.write("".join("%s\t%s\t%s\t%s\t0\n" % (device + ("",))[:4] for device in devices))
        self.env["VELMORA_FAKE_ADB_DEVICES"] = self.native_path(self.devices)
        self.env["VELMORA_FAKE_ADB_RESTART_MS"] = str(restart_ms)

    def listed_serials(self):
        return [row.split("\t")[0] for row in read_text(self.devices).splitlines()]

    def drop_device(self, serial):
        """The stand-in's adb forgets the entry, as adb does when a network drops it."""
        rows = read_text(self.devices).splitlines(keepends=True)
        with open(self.devices, "w") as f:
            f.write("".join(row for row in rows if row.split("\t")[0] != serial))

    def record_values(self, name):
        """The values of the stand-in's "name value" record lines."""
        return [line.split(" ", 1)[1] for line in read_text(self.record).split("\n")
                if line.startswith(name + " ")]

    def native_path(self, path):
        """The path as the program under test names it (Z:\\... under Wine)."""
        return "Z:" + path.replace("/", "\\") if self.windows else path

    def copy(self, source, *relative):
        target = os.path.join(self.folder, *relative)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(source, target)
        return target

    def install_adb(self, folder="Android SDK", sleep_ms=0):
        """A stand-in adb in a folder with spaces; returns its path as the
        program names it."""
        self.env["VELMORA_FAKE_ADB_SLEEP_MS"] = str(sleep_ms)
        name = "adb.exe" if self.windows else "adb"
        return self.native_path(self.copy(self.options.fake_adb, folder, name))

    @property
    def setting_file(self):
        """The Linux program's setting file."""
        return os.path.join(self.env["XDG_CONFIG_HOME"], "Corvend", "Velmora", "ADBPath")

    def store_adb_path(self, path, network):
        self.store_setting("ADBPath", path, network)

    def store_setting(self, name, value, network):
        """Stores a setting as another tool would: `reg add` under Wine (in
        the host namespace, where this prefix's server runs), else the file."""
        if self.windows:
            subprocess.run(network.in_host([self.options.wine, "reg", "add", r"HKCU\Software\Corvend\Velmora", "/v",
                                            name, "/d", value, "/f"]),
                           env=self.env, check=True, capture_output=True)
        else:
            path = os.path.join(os.path.dirname(self.setting_file), name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(value)

    def command(self, program, args=()):
        return ([self.options.wine] if self.windows else []) + [program] + list(args)

    def log_lines(self, program_folder=None):
        """The log's messages without their time prefix."""
        path = os.path.join(program_folder or self.folder, "log.txt")
        try:
            with open(path, "rb") as f:
                data = f.read()
        except FileNotFoundError:
            return []
        end = b"\r\n" if self.windows else b"\n"
        assert data.count(b"\n") == data.count(end), "line ends other than %r" % end
        lines = data.split(end)
        assert lines[-1] == b"", "log does not end with a line end: %r" % data[-40:]
        messages = []
        for line in lines[:-1]:
            text = line.decode("latin-1")
            assert len(text) >= 11 and text[0] == "[" and text[9:11] == "] ", "no time prefix: %r" % text
            messages.append(text[11:])
        return messages

    def adb_runs(self):
        """The stand-in's runs: dicts with executable, args, time (microseconds
        since 1970) and done."""
        runs = []
        try:
            with open(self.record, "rb") as f:
                lines = f.read().decode("latin-1").split("\n")
        except FileNotFoundError:
            return runs
        for line in lines:
            if line.startswith("run "):
                runs.append({"executable": line[4:], "args": [], "done": False})
            elif line.startswith("time "):
                runs[-1]["time"] = int(line[5:])
            elif line.startswith("arg "):
                runs[-1]["args"].append(line[4:])
            elif line == "done":
                runs[-1]["done"] = True
            elif line.startswith("ended "):
                runs[-1]["ended"] = int(line[6:])
        return runs


class NativeProgramCase(unittest.TestCase):
    """Runs copies of the native program in the host namespace of a network
    with `adapters` adapters, each copy with its output in a file."""
    options = None
    adapters = 1

    def setUp(self):
        self.workspace = Workspace(self.options, windows=False)
        self.network = Network(adapters=self.adapters).__enter__()
        self.process = None
        self.processes = []
        self.setting = self.workspace.setting_file

    def tearDown(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()
            if process.stdin:
                process.stdin.close()
        self.network.__exit__(None, None, None)
        self.workspace.remove()

    def store_adb_path(self, path):
        self.workspace.store_adb_path(path, self.network)

    def start_program(self):
        """Starts the program with a stand-in adb stored as its path."""
        self.store_adb_path(self.workspace.install_adb())
        self.start()

    def start(self, stdin=subprocess.DEVNULL, folder="", wrapper=(), listeners=None):
        """Starts a copy of the program in workspace/folder (run through
        wrapper, if any) and waits for its listeners; the first copy is
        self.process."""
        program = self.workspace.copy(self.options.program, folder, "velmora")
        before = self.network.bound_sockets()
        with open(os.path.join(self.workspace.folder, "velmora%d.out" % len(self.processes)), "wb") as output:
            process = subprocess.Popen(self.network.in_host(list(wrapper) + [program]), stdin=stdin,
                                       stdout=output, stderr=subprocess.STDOUT, env=self.workspace.env)
        process.output_path = output.name
        self.processes.append(process)
        self.process = self.process or process
        expected = before + (self.adapters if listeners is None else listeners)
        self.assertTrue(wait_for(lambda: self.network.bound_sockets() == expected), "no listener")
        return process

    def output(self, process=None):
        return read_text((process or self.process).output_path)

    def stop_by(self, signal_number, process=None):
        """Sends the signal; returns (exit code, seconds to exit)."""
        process = process or self.process
        started = time.monotonic()
        process.send_signal(signal_number)
        code = process.wait(timeout=20)
        assert_no_sanitizer_report(self, self.output(process))
        return code, time.monotonic() - started

    def say(self, line):
        self.process.stdin.write(line.encode() + b"\n")
        self.process.stdin.flush()


class PhoneScenarios:
    """What a start and a stop do among several devices, for the native
    program and velmora.exe alike: needs workspace, network, start_program,
    network_moment, restart_program and options."""

    def test_phone_beside_an_emulator_is_switched_and_awaited(self):
        self.workspace.attach_devices(("emulator-5554", "device", "10.0.2.15"), ("R58M12ABCDE", "device", "198.18.0.2"),
                                      restart_ms=1500)
        self.start_program()
        self.network.send(datagram("start", "5555"))
        log = self.workspace.log_lines
        self.assertTrue(wait_for(lambda: log()[-1:] == ["Connected to 198.18.0.2:5555"],
                                 timeout=20 * self.options.time_scale), log())
        runs = self.workspace.adb_runs()
        connects = runs[3:]
        self.assertGreater(len(connects), 1, "connect was not tried again")
        switch = [["devices", "-l"], ["-s", "R58M12ABCDE", "shell", "ip", "-4", "-o", "addr", "show"],
                  ["-s", "R58M12ABCDE", "tcpip", "5555"]]
        self.assertEqual([run["args"] for run in runs], switch + [["connect", "198.18.0.2:5555"]] * len(connects))
        listens = int(self.workspace.record_values("listens")[0])
        self.assertLess(connects[-2]["time"], listens)
        print("\nconnect tried %d times; the successful try started %.0f ms after the phone listened"
              % (len(connects), (connects[-1]["time"] - listens) / 1000))
        # The phone asks again, on another adapter say: that start is ignored, and says so.
        self.network.send(datagram("start", "5555"))
        self.assertTrue(wait_for(lambda: log()[-1:] == ["Ignored repeated start from 198.18.0.2 for port 5555"]),
                        log())

    def test_stop_switches_only_the_senders_phone(self):
        self.workspace.attach_devices(("198.18.0.3:5555", "device", "198.18.0.3", "5555"),
                                      ("198.18.0.2:5555", "device", "198.18.0.2", "5555"))
        self.start_program()
        self.network.send(datagram("stop"))
        log = self.workspace.log_lines
        self.assertTrue(wait_for(lambda: log()[-1:] == ["Switched 198.18.0.2 to USB"], timeout=10), log())
        self.assertEqual([run["args"] for run in self.workspace.adb_runs()],
                         [["devices", "-l"], ["-s", "198.18.0.2:5555", "usb"], ["disconnect", "198.18.0.2:5555"]])

    def test_connected_phone_is_connected_again_after_each_moment(self):
        # network_moment() and restart_program() come from the test class.
        self.workspace.attach_devices(("R58M12ABCDE", "device", "198.18.0.2"))
        self.start_program()
        self.network.send(datagram("start", "5555"))
        log = self.workspace.log_lines
        self.assertTrue(wait_for(lambda: "Connected to 198.18.0.2:5555" in log(), timeout=20), log())
        # The network drops the phone while it still listens; each moment
        # (moments() of the test class) brings it back.
        for moment in self.moments():
            self.workspace.drop_device("198.18.0.2:5555")
            os.remove(os.path.join(self.workspace.folder, "log.txt"))
            moment()
            self.assertTrue(wait_for(lambda: "Reconnected to 198.18.0.2:5555" in log(), timeout=20), log())
            self.assertIn("198.18.0.2:5555", self.workspace.listed_serials())
        # Once the phone is switched back to USB, a moment runs nothing.
        self.network.send(datagram("stop"))
        self.assertTrue(wait_for(lambda: log()[-1:] == ["Switched 198.18.0.2 to USB"], timeout=10), log())
        runs = len(self.workspace.adb_runs())
        self.network_moment()
        time.sleep(2)
        self.assertEqual((len(self.workspace.adb_runs()), log().count("Checking remembered phones")), (runs, 1))

    def test_check_holds_a_start_up_for_one_adb_run_at_most(self):
        # Three remembered phones are away, and their connects hang; the
        # phone in hand sends a start meanwhile.
        away = ["198.18.0.%d:5555" % i for i in (5, 6, 7)]
        self.workspace.attach_devices(("R58M12ABCDE", "device", "198.18.0.2"),
                                      *[(phone, "silent", phone[:-5], "5555") for phone in away])
        self.workspace.store_setting("Phones", " ".join(away), self.network)
        self.start_program()
        args = lambda: [run["args"] for run in self.workspace.adb_runs()]
        self.assertTrue(wait_for(lambda: args()[1:2] == [["connect", away[0]]], timeout=20), args())
        self.network.send(datagram("start", "5555"))
        log = self.workspace.log_lines
        self.assertTrue(wait_for(lambda: "Connected to 198.18.0.2:5555" in log(), timeout=20 * self.options.time_scale),
                        log())
        self.assertEqual(args()[:4], [["devices", "-l"], ["connect", away[0]], ["devices", "-l"],
                                      ["-s", "R58M12ABCDE", "shell", "ip", "-4", "-o", "addr", "show"]])
        self.assertTrue(wait_for(lambda: ["connect", away[2]] in args(), timeout=20 * self.options.time_scale), args())

    def test_requests_of_a_phone_this_computer_does_not_know_are_left_alone(self):
        # A colleague's phone: adb here knows only a phone with another address.
        self.workspace.attach_devices(("R58M12ABCDE", "device", "198.18.0.9"))
        self.start_program()
        self.network.send(datagram("start", "5555"))
        self.network.send(datagram("stop"))
        log = self.workspace.log_lines
        self.assertTrue(wait_for(lambda: log().count(LEFT_ALONE % "198.18.0.2") == 2, timeout=10), log())
        asked = [["devices", "-l"], ["-s", "R58M12ABCDE", "shell", "ip", "-4", "-o", "addr", "show"]]
        self.assertEqual([run["args"] for run in self.workspace.adb_runs()], asked * 2)
        time.sleep(3)  # Wine draws a balloon about 2 s after it is asked for
        self.assertEqual(self.outcomes_shown(), [])

    def test_start_from_a_remembered_phone_that_adb_does_not_list_is_connected(self):
        self.workspace.attach_devices()
        self.workspace.store_setting("Phones", "198.18.0.2:5555", self.network)
        self.start_program()
        log = self.workspace.log_lines
        tried = lambda: [run["done"] for run in self.workspace.adb_runs() if run["args"][0] == "connect"] == [True]
        self.assertTrue(wait_for(tried, timeout=20), log())
        # Back on the Wi-Fi, listening, but not in adb's list: it asks.
        self.workspace.attach_devices(("-", "away", "198.18.0.2", "5555"))
        self.network.send(datagram("start", "5555"))
        self.assertTrue(wait_for(lambda: "Connected to 198.18.0.2:5555" in log(), timeout=20), log())
        self.assertIn("No device to switch has the address 198.18.0.2", log())

    def test_adb_that_hangs_is_ended_and_holds_nothing_up(self):
        self.start_program()
        self.workspace.adb_does("sleep 60000")
        self.network.send(datagram("start", "5555"))
        self.assertTrue(wait_for(self.workspace.adb_runs, timeout=30), "adb never started")
        hung = time.monotonic()
        # A stop arrives while `devices -l` hangs; the runs after it answer at once.
        self.workspace.adb_does()
        self.network.send(datagram("stop"))
        log = self.workspace.log_lines
        self.assertTrue(wait_for(lambda: "adb did not finish within 20 s and was ended" in log(),
                                 timeout=30 * self.options.time_scale), log())
        self.assertLess(time.monotonic() - hung, 20 + 3 * self.options.time_scale)
        # Nothing is chosen from a listing that did not answer.
        verdicts = ["Could not connect to 198.18.0.2:5555: adb did not answer", LEFT_ALONE % "198.18.0.2"]
        self.assertTrue(wait_for(lambda: [line for line in log() if line in verdicts] == verdicts, timeout=10), log())
        runs = self.workspace.adb_runs()
        self.assertEqual([run["args"] for run in runs], [["devices", "-l"], ["devices", "-l"]])
        self.assertFalse(runs[0]["done"])
        self.assertLess(runs[1]["time"] - runs[0]["time"], (20 + 3 * self.options.time_scale) * 1e6, "the stop waited")


SANITIZER_MARKS = ("WARNING: ThreadSanitizer", "ERROR: AddressSanitizer", "runtime error:",
                   "ERROR: LeakSanitizer")


def assert_no_sanitizer_report(test, output):
    for mark in SANITIZER_MARKS:
        test.assertNotIn(mark, output)


def stop_wine(workspace):
    """Ends this test's Wine server (and with it only this prefix's programs)."""
    if workspace.windows:
        subprocess.run(["wineserver", "-k"], env=workspace.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=workspace.env, stderr=subprocess.DEVNULL)


def parse_options():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program")
    parser.add_argument("--driver")
    parser.add_argument("--sender")
    parser.add_argument("--fake-adb", required=True)
    parser.add_argument("--wine-prefix")
    # The build's wine-run: the right Wine loader for its word size.
    parser.add_argument("--wine")
    parser.add_argument("--tray-probe")
    parser.add_argument("--screenshots")
    parser.add_argument("--flood")
    parser.add_argument("--version", help="the project's version, as About shows it")
    # Sanitizer builds end more slowly: time limits are multiplied by this.
    parser.add_argument("--time-scale", type=float, default=1.0)
    options, rest = parser.parse_known_args()
    return options, [sys.argv[0]] + rest


def main(test_classes):
    options, argv = parse_options()
    if os.geteuid() != 0:
        print("network namespaces need root")
        sys.exit(77)
    if options.wine:
        check = subprocess.run([options.wine, "--check"])
        if check.returncode:
            sys.exit(check.returncode)
    for cls in test_classes:
        cls.options = options
    unittest.main(argv=argv, verbosity=2)
