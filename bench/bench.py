#!/usr/bin/env python3
"""Velmora's cost in figures, printed as a table:

- latency from sending a start datagram to the stand-in adb's first launch,
  next to the same stand-in launched directly by a minimal program (posix_spawn
  natively, CreateProcess under Wine), and their ratio;
- CPU time the idle program uses in a minute, native and under Wine;
- peak resident memory of the native program with two listeners, and its
  heap and stacks at start-up and after the starts of the latency run;
- the size of velmora.exe and the DLLs it imports;

Each Windows build given is measured where this machine can run it (the
32-bit one is left out, and the table says so, where it cannot run 32-bit
programs); the table names the build of each figure.
- time from process start to the first listener being bound;
- time from a start datagram to its verdict in the log, with the stand-in
  phone restarting at once and in 1.5 s after its switch, and what Velmora
  adds beyond the restart.

Runs in private network namespaces, like the end-to-end tests (needs root).
"""

import argparse
import contextlib
import ctypes
import glob
import os
import signal
import socket
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness  # noqa: E402
from harness import GROUP, PORT, Network, anonymous_kib, datagram, wait_for  # noqa: E402

CLONE_NEWNET = 0x40000000
libc = ctypes.CDLL(None, use_errno=True)


def enter_namespace(name):
    """Moves the calling thread into the named network namespace; returns a
    file descriptor that leads back."""
    back = os.open("/proc/thread-self/ns/net", os.O_RDONLY)
    target = os.open("/var/run/netns/" + name, os.O_RDONLY)
    if libc.setns(target, CLONE_NEWNET) != 0:
        raise OSError(ctypes.get_errno(), "setns")
    os.close(target)
    return back


def leave_namespace(back):
    libc.setns(back, CLONE_NEWNET)
    os.close(back)


def device_socket(network):
    """A UDP socket of the device namespace, sending through its adapter 0."""
    back = enter_namespace(network.device)
    try:
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.IPPROTO_IP, socket.IP_MULTICAST_IF, socket.inet_aton(network.device_address(0)))
    finally:
        leave_namespace(back)
    return s


def now_us():
    return time.time_ns() // 1000


def summary(values):
    ordered = sorted(values)
    return statistics.median(ordered), ordered[min(len(ordered) - 1, int(0.95 * len(ordered)))]


class Workbench:
    """A workspace for one build: the native one, or a Windows one (a build
    folder with its wine-run) when windows_build is given."""

    def __init__(self, options, windows_build=None):
        self.windows = windows_build is not None
        self.build = os.path.abspath(windows_build or options.linux_build)
        suffix = ".exe" if self.windows else ""
        self.fake_adb = os.path.join(self.build, "tests", "fake_adb" + suffix)
        self.wine = [os.path.join(self.build, "wine-run")] if self.windows else []
        self.workspace = harness.Workspace(argparse.Namespace(
            fake_adb=self.fake_adb, wine_prefix=os.path.join(self.build, "wineprefix-bench"),
            wine=self.wine[0] if self.wine else None), self.windows)
        self.env = self.workspace.env

    def path(self, *relative):
        return os.path.join(self.build, *relative)

    @property
    def name(self):
        return "Wine, %s" % windows_bits(self.path("src", "velmora.exe")) if self.windows else "native"

    def run_times(self):
        return [run["time"] for run in self.workspace.adb_runs()]


def start_listening(bench, network, program_argv):
    """Starts the program with the stand-in adb as its path; returns it once it listens."""
    bench.workspace.store_adb_path(bench.workspace.install_adb(), network)
    process = subprocess.Popen(network.in_host(program_argv), env=bench.env, stdin=subprocess.PIPE,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if not wait_for(lambda: network.bound_sockets() == network.adapters, timeout=60):
        raise RuntimeError("the program did not start listening")
    return process


def measure_latency(bench, network, program_argv, runs):
    """Start datagrams from the device: microseconds to the first launch, and
    the program's heap and stacks before the first."""
    process = start_listening(bench, network, program_argv)
    sender = device_socket(network)
    record = bench.workspace.record
    anonymous = anonymous_kib(process.pid)

    def finished_runs(count):
        # A cheap look at the record first: the bench must not take the CPU
        # that the program and adb need.
        with open(record, "rb") as f:
            return f.read().count(b"\ndone\n") >= count

    # adb lists no phone: each start and stop ends after `adb devices -l`,
    # left alone, and leaves the repeat record as it was.
    latencies = []
    for i in range(runs):
        sent = now_us()
        sender.sendto(datagram("start", "5555"), (GROUP, PORT))
        if not wait_for(lambda: os.path.exists(record) and finished_runs(2 * i + 1), timeout=20, interval=0.005):
            raise RuntimeError("a start was not handled: %r" % bench.workspace.log_lines()[-8:])
        latencies.append(bench.run_times()[2 * i] - sent)
        sender.sendto(datagram("stop"), (GROUP, PORT))
        if not wait_for(lambda: finished_runs(2 * i + 2), timeout=20, interval=0.005):
            raise RuntimeError("a stop was not handled: %r" % bench.workspace.log_lines()[-8:])
    sender.close()
    return process, latencies, anonymous


def measure_verdict(bench, network, program_argv, restart_ms, runs):
    """Milliseconds from a start datagram to "Connected to" in the log, with a
    phone on USB beside an emulator; each start is followed by a stop."""
    bench.workspace.attach_devices(("emulator-5554", "device", "10.0.2.15"), ("R58M12ABCDE", "device", "198.18.0.2"),
                                   restart_ms=restart_ms)
    process = start_listening(bench, network, program_argv)
    sender = device_socket(network)
    log = os.path.join(bench.workspace.folder, "log.txt")

    def verdicts(text):
        return harness.read_text(log).count(text)

    times = []
    for i in range(runs):
        sent = time.monotonic()
        sender.sendto(datagram("start", "5555"), (GROUP, PORT))
        if not wait_for(lambda: verdicts("] Connected to ") > i, timeout=30, interval=0.002):
            raise RuntimeError("no verdict: %r" % bench.workspace.log_lines()[-8:])
        times.append((time.monotonic() - sent) * 1000)
        sender.sendto(datagram("stop"), (GROUP, PORT))
        if not wait_for(lambda: verdicts("] Switched ") > i, timeout=30, interval=0.01):
            raise RuntimeError("no verdict: %r" % bench.workspace.log_lines()[-8:])
    sender.close()
    if bench.windows:
        process.stdin.close()
    else:
        process.send_signal(signal.SIGTERM)
    process.wait(timeout=30)
    return statistics.median(times)


def verdict_rows(bench, network, program_argv, runs=10):
    at_once, restarting = (measure_verdict(bench, network, program_argv, delay, runs) for delay in (0, 1500))
    return [("Start datagram to verdict, %s, phone restarting at once / in 1.5 s (median of %d, ms)"
             % (bench.name, runs), "%.0f / %.0f" % (at_once, restarting)),
            ("Time added beyond the 1.5 s restart, %s (median, ms)" % bench.name, "%.0f" % (restarting - 1500))]


def remember_a_phone(bench, network):
    """Has the program remember a phone that adb lists as ready: its check at
    start-up runs `adb devices -l` and nothing after it."""
    bench.workspace.attach_devices(("198.18.0.2:5555", "device", "198.18.0.2", "5555"))
    bench.workspace.store_adb_path(bench.workspace.install_adb(), network)
    bench.workspace.store_setting("Phones", "198.18.0.2:5555", network)


def measure_direct(bench, runs, prefix_argv):
    launcher = bench.path("bench", "direct_launch" + (".exe" if bench.windows else ""))
    adb = bench.workspace.install_adb(folder="direct")
    before = len(bench.workspace.adb_runs())
    out = subprocess.run(prefix_argv + [launcher, adb, str(runs)], env=bench.env, check=True,
                         capture_output=True).stdout.decode().split()
    starts = [int(value) for value in out]
    launched = bench.run_times()[before:]
    return [b - a for a, b in zip(starts, launched)]


def task_cpu(pid):
    """(clock ticks of user and system time, nanoseconds on CPU) over all threads."""
    ticks = nanoseconds = 0
    for task in glob.glob("/proc/%d/task/*" % pid):
        with open(task + "/stat") as f:
            fields = f.read().rsplit(")", 1)[1].split()
        ticks += int(fields[11]) + int(fields[12])
        with open(task + "/schedstat") as f:
            nanoseconds += int(f.read().split()[0])
    return ticks, nanoseconds


def wine_programs(prefix):
    """The names of the running programs of this Wine prefix."""
    names = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if ("WINEPREFIX=%s\0" % prefix).encode() not in f.read():
                    continue
            with open("/proc/%s/comm" % pid) as f:
                names.append(f.read().strip())
        except OSError:
            pass
    return names


def start_to_listening(argv, network, env, repeats=10):
    """Milliseconds from process start to its first bound UDP socket on 2904.
    Each copy starts once the one before has gone: its sockets and, under
    Wine, the explorer.exe that held its icon, which lingers for about 2 s
    (a start meanwhile waits for it and measures Wine's teardown)."""
    fd = os.open("/var/run/netns/" + network.host, os.O_RDONLY)
    times = []
    for _ in range(repeats):
        started = time.monotonic()
        process = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL,
                                   preexec_fn=lambda: libc.setns(fd, CLONE_NEWNET))
        table = "/proc/%d/net/udp" % process.pid
        while True:
            try:
                with open(table) as f:
                    if ":0B58 " in f.read():
                        break
            except FileNotFoundError:
                pass
            if time.monotonic() - started > 60:
                raise RuntimeError("no listener")
            time.sleep(0.0002)
        times.append((time.monotonic() - started) * 1000)
        process.send_signal(signal.SIGTERM)
        process.wait(timeout=20)
        gone = lambda: network.bound_sockets() == 0 and not (
            "WINEPREFIX" in env and {"explorer.exe", "velmora.exe"} & set(wine_programs(env["WINEPREFIX"])))
        if not wait_for(gone, timeout=30):
            raise RuntimeError("the previous copy has not gone")
    os.close(fd)
    return statistics.median(times)


def pe_headers(exe):
    # The 64-bit objdump reads both kinds of PE.
    return subprocess.run(["x86_64-w64-mingw32-objdump", "-p", exe], capture_output=True,
                          check=True).stdout.decode()


def imported_dlls(exe):
    return sorted({line.split(":", 1)[1].strip() for line in pe_headers(exe).splitlines() if "DLL Name" in line},
                  key=str.lower)


def windows_bits(exe):
    return "64-bit" if "file format pei-x86-64" in pe_headers(exe) else "32-bit"


def can_run(build):
    """Whether this machine runs the build's programs; prints why not."""
    check = subprocess.run([os.path.join(build, "wine-run"), "--check"], capture_output=True, text=True)
    if check.returncode:
        print(check.stdout.strip() or check.stderr.strip())
    return check.returncode == 0


def latency_rows(where, direct_name, through, direct):
    """The two latency figures, median and 95th percentile in ms, and their ratio."""
    (m1, p1), (m2, p2) = summary(through), summary(direct)
    return [("Start datagram to first adb launch, %s (median / 95th, ms)" % where,
             "%.2f / %.2f" % (m1 / 1000, p1 / 1000)),
            ("Direct %s of the same stand-in, %s (median / 95th, ms)" % (direct_name, where),
             "%.2f / %.2f" % (m2 / 1000, p2 / 1000)),
            ("Ratio, %s (median / 95th)" % where, "%.2f / %.2f" % (m1 / m2, p1 / p2))]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--linux-build", required=True)
    parser.add_argument("--windows-build", action="append", default=[],
                        help="a Windows build folder; may be given once per build")
    parser.add_argument("--runs", type=int, default=200)
    parser.add_argument("--idle-seconds", type=int, default=60)
    options = parser.parse_args()
    velmora = os.path.join(options.linux_build, "src", "velmora")
    rows = []

    # Native: latency with two listeners, then the peak memory of that run.
    native = Workbench(options)
    with Network(adapters=2) as network:
        program = native.workspace.copy(velmora, "velmora")
        process, through, anonymous_before = measure_latency(native, network, [program], options.runs)
        with open("/proc/%d/status" % process.pid) as f:
            peak = next(int(line.split()[1]) for line in f if line.startswith("VmHWM:"))
        anonymous_after = anonymous_kib(process.pid)
        process.send_signal(signal.SIGTERM)
        process.wait(timeout=10)
        direct = measure_direct(native, options.runs, [])
        ready_native = start_to_listening([program], network, native.env)
        verdict = verdict_rows(native, network, [program])
    native.workspace.remove()
    rows += latency_rows("native", "posix_spawn", through, direct) + verdict

    # Under Wine: the same with the listener driver (the program's listeners
    # and command handling without the tray), and CreateProcess directly.
    runnable = {build: can_run(build) for build in options.windows_build}
    benches = [Workbench(options, build) for build in options.windows_build if runnable[build]]
    for wine in benches:
        with Network(adapters=1) as network:
            subprocess.run(network.in_host(wine.wine + ["wineboot", "--init"]), env=wine.env, capture_output=True)
            driver = wine.workspace.copy(wine.path("tests", "listener_driver.exe"), "listener_driver.exe")
            process, through, _ = measure_latency(wine, network, wine.wine + [driver], options.runs)
            process.stdin.close()
            process.wait(timeout=30)
            direct = measure_direct(wine, options.runs, network.in_host(wine.wine))
            verdict = verdict_rows(wine, network, wine.wine + [driver])
            harness.stop_wine(wine.workspace)
        wine.workspace.remove()
        rows += latency_rows(wine.name, "CreateProcess", through, direct) + verdict

    # Idle: the native program and each Windows one side by side for a minute,
    # each remembering a phone.
    idle_native = Workbench(options)
    idle_wines = [Workbench(options, wine.build) for wine in benches]
    with contextlib.ExitStack() as stack:
        native_net = stack.enter_context(Network(adapters=2))
        program = idle_native.workspace.copy(velmora, "velmora")
        remember_a_phone(idle_native, native_net)
        idle = [(idle_native, subprocess.Popen(native_net.in_host([program]), env=idle_native.env,
                                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                               stderr=subprocess.DEVNULL), native_net)]
        xvfbs, ready_wine = [], []
        for bench in idle_wines:
            net = stack.enter_context(Network(adapters=2))
            display = next(n for n in range(91, 200) if not os.path.exists("/tmp/.X%d-lock" % n))
            xvfbs.append(subprocess.Popen(net.in_host(["Xvfb", ":%d" % display, "-nolisten", "tcp"]),
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            wait_for(lambda: os.path.exists("/tmp/.X11-unix/X%d" % display))
            bench.env["DISPLAY"] = ":%d" % display
            exe = bench.workspace.copy(bench.path("src", "velmora.exe"), "velmora.exe")
            # Before the server is made to stay: the Wine programs that `reg`
            # starts would otherwise hold the output it is asked for.
            remember_a_phone(bench, net)
            # Warm start: the Wine server of this prefix is already running.
            subprocess.run(net.in_host(["wineserver", "-p"]), env=bench.env, check=True)
            ready_wine.append(start_to_listening(bench.wine + [exe], net, bench.env))
            idle.append((bench, subprocess.Popen(net.in_host(bench.wine + [exe]), env=bench.env,
                                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL), net))
        wait_for(lambda: all(net.bound_sockets() == 2 for _, _, net in idle), timeout=60)
        time.sleep(2)
        starts = [task_cpu(process.pid) for _, process, _ in idle]
        time.sleep(options.idle_seconds)
        ends = [task_cpu(process.pid) for _, process, _ in idle]
        for bench, process, _ in idle:
            if bench.windows:
                harness.stop_wine(bench.workspace)
            else:
                process.send_signal(signal.SIGTERM)
            process.wait(timeout=10)
        for xvfb in xvfbs:
            xvfb.send_signal(signal.SIGTERM)
            xvfb.wait(timeout=10)
    tick_ms = 1000 / os.sysconf("SC_CLK_TCK")
    for (bench, _, _), start, end in zip(idle, starts, ends):
        checks = bench.workspace.log_lines().count("Checking remembered phones")
        bench.workspace.remove()
        rows.append(("Idle CPU time in %d s, %s, a phone remembered and checked %d time%s at start-up "
                     "(OS accounting ms / scheduler ms)" % (options.idle_seconds, bench.name, checks, "s"[checks == 1:]),
                     "%.0f / %.3f" % ((end[0] - start[0]) * tick_ms, (end[1] - start[1]) / 1e6)))

    rows.append(("Peak resident memory, native, two listeners (KiB)", "%d" % peak))
    rows.append(("Heap and stacks, native, at start-up / after %d starts and stops (KiB)" % options.runs,
                 "%d / %d" % (anonymous_before, anonymous_after)))
    for build in options.windows_build:
        exe = os.path.join(build, "src", "velmora.exe")
        bits = windows_bits(exe)
        rows.append(("velmora.exe size, %s (KiB)" % bits, "%.1f" % (os.path.getsize(exe) / 1024)))
        rows.append(("velmora.exe imports, %s" % bits, ", ".join(imported_dlls(exe))))
    rows.append(("Process start to first listener bound, native (median of 10, ms)", "%.1f" % ready_native))
    for bench, ready in zip(idle_wines, ready_wine):
        rows.append(("Process start to first listener bound, %s, warm server (median of 10, ms)" % bench.name,
                     "%.1f" % ready))
    for build in (build for build in options.windows_build if not runnable[build]):
        rows.append(("Not run on this machine (built and measured on disk only)",
                     windows_bits(os.path.join(build, "src", "velmora.exe"))))

    width = max(len(name) for name, _ in rows)
    print("| %s | value |" % "figure".ljust(width))
    print("|%s|---|" % ("-" * (width + 2)))
    for name, value in rows:
        print("| %s | %s |" % (name.ljust(width), value))


if __name__ == "__main__":
    main()
