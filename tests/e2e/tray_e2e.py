"""velmora.exe under Wine, on a virtual X display, inside a private network:
the notification-area icon, its menu and every command of it, a datagram
from a device namespace to the stand-in adb, and the icon coming back when
the taskbar is re-created.

Screenshots go to --screenshots; each one is checked, not just taken.
"""

import os
import shutil
import signal
import subprocess
import time
import unittest

import harness
from harness import Network, Workspace, datagram, wait_for

WIDTH, HEIGHT = 800, 600
ICON = (789, 589)  # the first notification-area icon of an 800x600 Wine desktop
DEFAULT_ADB = r"C:\Program Files (x86)\Android\android-sdk\platform-tools\adb.exe"
SETTINGS_KEY = r"HKCU\Software\Corvend\Velmora"


class Screen:
    """An RGB screenshot of the whole X display."""

    def __init__(self, png, network, display):
        subprocess.run(network.in_host(["import", "-display", display, "-window", "root", png]), check=True)
        self.png = png
        self.pixels = subprocess.run(["/usr/bin/convert", png, "-depth", "8", "rgb:-"], check=True,
                                     capture_output=True).stdout
        assert len(self.pixels) == WIDTH * HEIGHT * 3, png

    def rgb(self, x, y):
        i = (y * WIDTH + x) * 3
        return tuple(self.pixels[i:i + 3])

    def icon_pixels(self):
        """How many pixels of the robot's green stand in the tray corner."""
        return sum(1 for y in range(HEIGHT - 22, HEIGHT) for x in range(WIDTH - 40, WIDTH)
                   if _is_robot_green(self.rgb(x, y)))

    def region(self, box):
        """The pixels of box (left, top, right, bottom), row by row."""
        left, top, right, bottom = box
        return b"".join(self.pixels[(y * WIDTH + left) * 3:(y * WIDTH + right + 1) * 3]
                        for y in range(top, bottom + 1))

    def text_rows(self, box):
        """Centres of the runs of rows in box that hold dark (text) pixels."""
        left, top, right, bottom = box
        rows = [y for y in range(top, bottom + 1)
                if any(sum(self.rgb(x, y)) < 200 for x in range(left + 3, right - 3))]
        runs = []
        for y in rows:
            if runs and y - runs[-1][-1] <= 2:
                runs[-1].append(y)
            else:
                runs.append([y])
        return [(run[0] + run[-1]) // 2 for run in runs]


def _is_robot_green(rgb):
    r, g, b = rgb
    return g > 160 and r < 130 and b < 180 and g - r > 80


class Tray(unittest.TestCase, harness.PhoneScenarios):
    options = None

    def setUp(self):
        self.workspace = Workspace(self.options, windows=True)
        self.env = self.workspace.env
        self.network = Network(adapters=1).__enter__()
        self.shots = self.options.screenshots
        os.makedirs(self.shots, exist_ok=True)
        self.xvfb = None
        self.process = None
        self.display = self.start_display()
        self.env["DISPLAY"] = self.display
        # The prefix is shared: no phones remembered by an earlier test.
        self.wine("reg", "delete", SETTINGS_KEY, "/v", "Phones", "/f", check=False)

    def tearDown(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        harness.stop_wine(self.workspace)
        if self.xvfb:
            self.xvfb.send_signal(signal.SIGTERM)
            self.xvfb.wait(timeout=10)
        self.network.__exit__(None, None, None)
        self.workspace.remove()

    def start_display(self):
        number = next(n for n in range(91, 200) if not os.path.exists("/tmp/.X%d-lock" % n))
        self.xvfb = subprocess.Popen(self.network.in_host(
            ["Xvfb", ":%d" % number, "-screen", "0", "%dx%dx24" % (WIDTH, HEIGHT), "-nolisten", "tcp"]),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertTrue(wait_for(lambda: os.path.exists("/tmp/.X11-unix/X%d" % number)), "no X display")
        return ":%d" % number

    def wine(self, *args, check=True):
        return subprocess.run(self.network.in_host([self.options.wine] + list(args)), env=self.env, check=check,
                              capture_output=True)

    def reg_add(self, key, *args):
        self.wine("reg", "add", key, *args, "/f")

    def reg_value(self, key, name):
        out = self.wine("reg", "query", key, "/v", name, check=False).stdout.decode("latin-1")
        for line in out.splitlines():
            if "REG_SZ" in line:
                return line.split("REG_SZ", 1)[1].strip()
        return None

    def stored_adb_path(self):
        return self.reg_value(SETTINGS_KEY, "ADBPath")

    def xdotool(self, *args):
        return subprocess.run(self.network.in_host(["xdotool"] + list(args)), env=self.env,
                              capture_output=True).stdout.decode()

    def visible_named(self, name):
        """The ids of the visible windows whose title matches name."""
        return self.xdotool("search", "--onlyvisible", "--name", name).split()

    def window_named(self, name):
        """The ids of the visible windows with this title, waiting for one to show."""
        return wait_for(lambda: self.visible_named(name), timeout=15)

    def window_gone(self, name):
        return wait_for(lambda: not self.visible_named(name))

    def box_of(self, window):
        """The window's box (left, top, right, bottom) on screen. xwininfo
        gives the right place inside Wine's desktop; xdotool may not."""
        out = subprocess.run(self.network.in_host(["xwininfo", "-id", window]), env=self.env,
                             capture_output=True).stdout.decode()
        values = {}
        for line in out.splitlines():
            key, _, value = line.strip().partition(":")
            if key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
                values[key] = int(value)
        if len(values) < 4:
            return None  # gone meanwhile
        left, top = values["Absolute upper-left X"], values["Absolute upper-left Y"]
        return left, top, left + values["Width"] - 1, top + values["Height"] - 1

    def screen(self, name):
        return Screen(os.path.join(self.shots, name), self.network, self.display)

    def drawn(self, box, name):
        """Waits until what box shows stays the same over two screenshots a
        moment apart; returns the last screenshot, or None."""
        last = [self.screen(name)]

        def settled():
            time.sleep(0.15)
            screen = self.screen(name)
            same = screen.region(box) == last[0].region(box)
            last[0] = screen
            return screen if same else None
        return wait_for(settled, timeout=10, interval=0)

    def visible_windows(self):
        return set(self.visible_named(""))

    def open_menu(self, rows=None, name="menu.png"):
        """Right-clicks the icon until the menu shows with that many lines of
        text (at least its four items when not given); returns the screen,
        the menu's box and its window. The menu is the one new window of some
        height (the icon's tooltip is new too, but one line high)."""
        known = self.visible_windows()

        def new_menu():
            for window in self.visible_windows() - known:
                box = self.box_of(window)
                if box and box[3] - box[1] > 40:
                    return box, window
            return None

        for _ in range(4):
            self.xdotool("mousemove", *map(str, ICON))
            time.sleep(0.2)
            self.xdotool("click", "3")
            # Off the menu, so that no item is highlighted.
            self.xdotool("mousemove", str(WIDTH // 2), str(HEIGHT // 2))
            found = wait_for(new_menu, timeout=3)
            if found:
                box, window = found
                menu = wait_for(lambda: self.with_rows(self.drawn(box, name), box, rows))
                self.assertIsNotNone(menu, "the menu is not drawn with %s lines" % (rows or "four or more"))
                return menu, box, window
        self.fail("no menu appeared")

    @staticmethod
    def checked(screen, box, row):
        """Whether the menu line at height row shows a check mark, left of its text."""
        return any(sum(screen.rgb(x, y)) < 200 for x in range(box[0] + 3, box[0] + 17)
                   for y in range(row - 4, row + 5))

    @staticmethod
    def with_rows(screen, box, count):
        found = len(screen.text_rows(box)) if screen else 0
        return screen if (found == count if count else found >= 4) else None

    def press_ok(self, name):
        """Clicks the OK button, at the bottom middle, of the message box with
        this title once it is drawn. (A box without owner does not always
        get the keyboard focus.)"""
        window = self.window_named(name)
        self.assertTrue(window, "no window " + name)
        box = self.box_of(window[0])
        self.assertTrue(box and self.drawn(box, "box.png"), "window %s is not drawn" % name)
        self.xdotool("mousemove", str((box[0] + box[2]) // 2), str(box[3] - 23))
        time.sleep(0.2)
        self.xdotool("click", "1")
        self.assertTrue(self.window_gone(name), "window %s stays" % name)

    def dialog_ready(self, name):
        """Waits until the dialog with this title has the keyboard focus and
        is drawn, so that keys typed now reach it."""
        window = self.window_named(name)
        self.assertTrue(window, "no window " + name)
        self.assertTrue(wait_for(lambda: self.xdotool("getwindowfocus").strip() in window),
                        "window %s has no keyboard focus" % name)
        box = self.box_of(window[0])
        self.assertTrue(box and self.drawn(box, "dialog.png"), "window %s is not drawn" % name)

    def choose_with_keys(self, menu, *keys):
        """Types the keys into the open menu (what open_menu returned). With no
        window manager on this display, X gives the keyboard to nobody until
        asked: the menu is given it, as a window manager would."""
        self.xdotool("windowfocus", "--sync", menu[2])
        self.xdotool("key", "--delay", "200", *keys)
        self.assertTrue(wait_for(lambda: menu[2] not in self.visible_windows()), "the menu stays")

    def menu_item(self, index):
        """Opens the tray menu and clicks its item at index (0 = "View log"),
        one of the last five lines, below the phones."""
        menu, box, window = self.open_menu()
        rows = menu.text_rows(box)[-5:]
        self.xdotool("mousemove", str(box[0] + (box[2] - box[0]) // 3), str(rows[index]))
        time.sleep(0.2)
        self.xdotool("click", "1")
        self.assertTrue(wait_for(lambda: window not in self.visible_windows()), "the menu stays")

    def balloon(self, probe):
        """The text of the balloon on screen, or None."""
        shown = self.wine(probe, "balloon", check=False)
        return shown.stdout.decode().replace("\r\n", "\n")[:-1] if shown.returncode == 0 else None

    def balloon_shows(self, probe, text):
        # Wine shows a balloon about 2 s after it is asked for, in place of the last one.
        return wait_for(lambda: self.balloon(probe) == text, timeout=20)

    def start_program(self, folder="", adb_folder="Android SDK"):
        """Starts velmora.exe in workspace/folder with a stand-in adb in
        adb_folder stored as its path; returns that path once the program
        listens."""
        adb = self.workspace.install_adb(folder=adb_folder)
        self.workspace.store_adb_path(adb, self.network)
        program = self.workspace.copy(self.options.program, folder, "velmora.exe")
        self.process = subprocess.Popen(self.network.in_host([self.options.wine, program]), env=self.env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertTrue(wait_for(lambda: self.network.bound_sockets() == 1, timeout=60), "no listener")
        return adb

    def network_moment(self):
        # Wine never delivers IP Helper's notifications: a resume stands in.
        probe = self.workspace.copy(self.options.tray_probe, "tray_probe.exe")
        self.assertEqual(self.wine(probe, "resume", check=False).returncode, 0)

    def outcomes_shown(self):
        probe = self.workspace.copy(self.options.tray_probe, "tray_probe.exe")
        return [self.balloon(probe)] if self.balloon(probe) else []

    def moments(self):
        return (self.network_moment, self.restart_program)

    def restart_program(self):
        self.process.terminate()
        self.process.wait(timeout=20)
        self.start_program()

    def test_any_letters_in_paths(self):
        # A user name with letters outside the system's code page (1252 for
        # this locale): the exe, the temporary folder and adb all live under
        # it, as the README and Android Studio put them.
        letters = "\u0141\u00f3d\u017a \u6771\u4eac"  # Łódź 東京
        self.env["LANG"] = "C.UTF-8"
        self.env["TMP"] = self.env["TEMP"] = os.path.join(self.workspace.folder, letters, "Temp")
        os.makedirs(self.env["TMP"])
        self.workspace.adb_does("stdout connected to 198.18.0.2:5555", "stdout 198.18.0.2:4444 offline")
        adb = self.start_program(folder=letters, adb_folder=os.path.join(letters, "Android", "Sdk"))

        # The log, beside the exe, names adb in UTF-8, and holds what adb
        # wrote into its output file in the temporary folder.
        self.network.send(datagram("start", "5555"))
        log = lambda: self.workspace.log_lines(os.path.join(self.workspace.folder, letters))
        utf8 = adb.encode().decode("latin-1")
        self.assertTrue(wait_for(lambda: log()[-5:] == ["adb connect 198.18.0.2:5555", "successfully",
                                                        "adb: connected to 198.18.0.2:5555",
                                                        "adb: 198.18.0.2:4444 offline",
                                                        "Connected to 198.18.0.2:5555"], timeout=15), log())
        self.assertIn("Path to ADB: " + utf8, log())
        self.assertEqual({run["executable"] for run in self.workspace.adb_runs()}, {utf8})

    def test_listeners_follow_the_network_after_resume(self):
        self.start_program()
        probe = self.workspace.copy(self.options.tray_probe, "tray_probe.exe")

        # Wine never delivers IP Helper's change notifications; waking from
        # sleep makes Velmora look at the adapters all the same.
        self.network.add_adapter()
        self.assertEqual(self.wine(probe, "resume", check=False).returncode, 0)
        self.assertTrue(wait_for(lambda: "Listening on 198.18.1.1" in self.workspace.log_lines()),
                        self.workspace.log_lines())
        self.network.send(datagram("start", "5555"), via=1)
        self.assertTrue(wait_for(lambda: harness.LEFT_ALONE % "198.18.1.2" in self.workspace.log_lines()),
                        self.workspace.log_lines())

        self.network.remove_adapter(1)
        self.assertEqual(self.wine(probe, "resume", check=False).returncode, 0)
        self.assertTrue(wait_for(lambda: "Stopped listening on 198.18.1.1" in self.workspace.log_lines()),
                        self.workspace.log_lines())
        self.network.send(datagram("stop"), via=0)
        self.assertTrue(wait_for(lambda: len(self.workspace.adb_runs()) == 2), self.workspace.log_lines())

    def use_wine_desktop(self):
        """The virtual desktop with its taskbar, as a user's Windows has it."""
        self.reg_add(r"HKCU\Software\Wine\Explorer", "/v", "Desktop", "/d", "velmora")
        self.reg_add(r"HKCU\Software\Wine\Explorer\Desktops", "/v", "velmora", "/d", "%dx%d" % (WIDTH, HEIGHT))

    def icon_shown(self):
        """Waits until the icon shows in the notification area."""
        shown = wait_for(lambda: self.screen("started.png").icon_pixels() >= 10, timeout=10, interval=0.2)
        self.assertTrue(shown, "the icon is not in the notification area")

    def test_phone_switched_from_the_menu(self):
        self.use_wine_desktop()
        # adb still lists the phone's entry from before, offline.
        self.workspace.attach_devices(("emulator-5554", "device", "10.0.2.15"), ("R58M12ABCDE", "device", "198.18.0.2"),
                                      ("198.18.0.2:5555", "offline", "198.18.0.2", "5555"), restart_ms=1500)
        self.start_program()
        self.icon_shown()
        probe = self.workspace.copy(self.options.tray_probe, "tray_probe.exe")
        log = self.workspace.log_lines
        # The phone on USB heads the menu, above its five items; the keyboard
        # chooses it.
        self.choose_with_keys(self.open_menu(rows=6), "Down", "Return")
        self.assertTrue(wait_for(lambda: log()[-1:] == ["Connected to 198.18.0.2:5555"], timeout=30), log())
        self.assertIn("Menu: switch R58M12ABCDE to Wi-Fi", log())
        self.assertTrue(self.balloon_shows(probe, "Connected to 198.18.0.2:5555"), self.balloon(probe))
        # The stale entry was disconnected first: the connect was real.
        args = [run["args"] for run in self.workspace.adb_runs()]
        self.assertLess(args.index(["disconnect", "198.18.0.2:5555"]), args.index(["-s", "R58M12ABCDE", "tcpip", "5555"]))
        self.assertIn("198.18.0.2:5555\tdevice", harness.read_text(self.workspace.devices))
        # Now adb lists it on the network too, and that line switches it back.
        self.choose_with_keys(self.open_menu(rows=7, name="menu-phones.png"), "Down", "Down", "Return")
        self.assertTrue(wait_for(lambda: log()[-1:] == ["Switched 198.18.0.2 to USB"], timeout=20), log())
        self.assertIn("Menu: switch 198.18.0.2:5555 to USB", log())

    def test_tray_program(self):
        # A Windows desktop as a user has it: the virtual desktop with its
        # taskbar, Notepad for text files, adb where the SDK puts it.
        self.use_wine_desktop()
        self.reg_add(r"HKCR\.txt", "/ve", "/d", "txtfile")
        drive_c = os.path.join(self.options.wine_prefix, "drive_c")
        default_adb = os.path.join(drive_c, *DEFAULT_ADB[3:].split("\\"))
        os.makedirs(os.path.dirname(default_adb), exist_ok=True)
        shutil.copy2(self.options.fake_adb, default_adb)
        self.workspace.attach_devices(("R58M12ABCDE", "device", "198.18.0.2"))
        adb = self.start_program()
        self.assertEqual(self.workspace.log_lines(), ["Starting"])
        probe = self.workspace.copy(self.options.tray_probe, "tray_probe.exe")

        self.icon_shown()

        # A start from the device runs the stand-in adb stored with reg add;
        # its verdict shows in a balloon from the icon.
        self.network.send(datagram("start", "5555"))
        log = self.workspace.log_lines
        self.assertTrue(wait_for(lambda: log()[-1:] == ["Connected to 198.18.0.2:5555"]), log())
        self.assertEqual({run["executable"] for run in self.workspace.adb_runs()}, {adb})
        self.assertTrue(self.balloon_shows(probe, "Connected to 198.18.0.2:5555"), self.balloon(probe))
        self.screen("balloon.png")

        # A second copy ends at once, and the running one says so.
        second = self.workspace.copy(self.options.program, "second", "velmora.exe")
        self.assertEqual(self.wine(second, check=False).returncode, 0)
        self.assertTrue(self.balloon_shows(probe, "Velmora is already running"), self.balloon(probe))

        # Double click: the message box.
        self.xdotool("mousemove", *map(str, ICON), "click", "--repeat", "2", "--delay", "100", "1")
        # Off the icon, or its tooltip shows.
        self.xdotool("mousemove", str(WIDTH // 2), str(HEIGHT // 4))
        self.press_ok("Сообщение от иконки")
        self.screen("double-click.png")

        # Start with Windows writes the Run value with this exe's path, quoted,
        # and the item shows it checked; chosen again, both go.
        run_key = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
        exe = '"%s"' % self.workspace.native_path(os.path.join(self.workspace.folder, "velmora.exe"))
        for on, value in ((True, exe), (False, None)):
            self.menu_item(2)
            self.assertTrue(wait_for(lambda: self.reg_value(run_key, "Velmora") == value), self.reg_value(run_key, "Velmora"))
            self.assertEqual(self.workspace.log_lines()[-1], "Start with Windows: " + ("on" if on else "off"))
            menu, box, window = self.open_menu(name="menu-start-with-windows.png")
            self.assertEqual(self.checked(menu, box, menu.text_rows(box)[-3]), on)
            self.choose_with_keys((menu, box, window), "Escape")

        # About names the project's version.
        self.menu_item(3)
        self.assertTrue(self.window_named("^About$"), "no About box")
        about = self.wine(probe, "about-text").stdout.decode().replace("\r", "")
        self.assertEqual(about.split("\n")[0], "Velmora " + self.options.version)
        self.press_ok("^About$")
        self.screen("about.png")

        # Set ADB Path opens at the default path: accepting at once stores it.
        self.menu_item(1)
        self.dialog_ready("^Open$")
        self.xdotool("key", "Return")
        self.assertTrue(wait_for(lambda: self.stored_adb_path() == DEFAULT_ADB), self.stored_adb_path())

        # Choosing another file stores it, and the next datagram uses it.
        other = self.workspace.install_adb(folder="Other SDK")
        self.menu_item(1)
        self.dialog_ready("^Open$")
        self.xdotool("type", "--delay", "20", other)
        self.xdotool("key", "Return")
        self.assertTrue(wait_for(lambda: self.stored_adb_path() == other), self.stored_adb_path())
        # This stop comes from velmora-send.exe on the workstation itself: the
        # group's datagrams loop back to its own listeners.
        sender = self.workspace.copy(self.options.sender, "velmora-send.exe")
        runs = len(self.workspace.adb_runs())  # each menu asked adb for its phones too
        # The workstation is no phone of its own: adb is asked, nothing switched.
        self.wine(sender, "stop", "--via", "198.18.0.1")
        self.assertTrue(wait_for(lambda: harness.LEFT_ALONE % "198.18.0.1" in self.workspace.log_lines()))
        self.assertEqual([run["args"][:2] for run in self.workspace.adb_runs()[runs:]],
                         [["devices", "-l"], ["-s", "R58M12ABCDE"]])
        self.assertEqual(self.workspace.adb_runs()[-1]["executable"], other)

        # Cancelling leaves the stored path as it was.
        self.menu_item(1)
        self.dialog_ready("^Open$")
        self.xdotool("key", "Escape")
        self.assertTrue(self.window_gone("^Open$"))
        self.assertEqual(self.stored_adb_path(), other)

        # View log opens the log in the viewer for text files.
        self.menu_item(0)
        self.assertTrue(self.window_named("log.txt - Notepad"), "the log did not open")
        self.screen("view-log.png")
        # Notepad keeps the desktop up from here on, for the checks after Exit.

        # An adb that cannot be started is named in the balloon.
        missing = self.workspace.native_path(os.path.join(self.workspace.folder, "gone", "adb.exe"))
        self.workspace.store_adb_path(missing, self.network)
        self.network.send(datagram("start", "5555"))
        self.assertTrue(self.balloon_shows(probe, "adb could not be started: %s\nChoose \"Set ADB Path\" in "
                                                  "Velmora's menu." % missing), self.balloon(probe))
        self.screen("balloon-adb-missing.png")

        # The taskbar loses the icon (as when Explorer restarts); its
        # "TaskbarCreated" broadcast brings the icon back.
        self.assertEqual(self.wine(probe, "delete", check=False).returncode, 0)
        self.assertTrue(wait_for(lambda: self.screen("icon-lost.png").icon_pixels() == 0), "icon not removed")
        self.assertEqual(self.wine(probe, "taskbar-created", check=False).returncode, 0)
        self.assertTrue(wait_for(lambda: self.screen("icon-back.png").icon_pixels() >= 10), "icon not re-added")

        # Exit removes the icon and ends the process with exit code 0.
        self.menu_item(4)
        self.assertEqual(self.process.wait(timeout=20), 0)
        self.assertEqual(self.screen("exited.png").icon_pixels(), 0, "the icon outlived the program")
        # A copy started right after it ended runs, in its own folder.
        self.start_program(folder="second")
        self.assertTrue(wait_for(lambda: self.workspace.log_lines(os.path.join(self.workspace.folder, "second"))[:1] ==
                                 ["Starting"]), "the next copy did not start")


if __name__ == "__main__":
    harness.main([Tray])
