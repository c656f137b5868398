#!/usr/bin/env python3
"""The demo's scripted tour: drives the Tandrel that tools/demo_session.sh runs in the demo
root, as a user would (real X pointer and key input through xdotool), and writes numbered
screenshots of each step plus a contact sheet.

Where things are comes from tour_probe.exe (run inside the root); what is on the screen comes
from screenshots of the X display, the only reliable view of another process's pixels under
Wine. Every step that shows a hosted client checks that the stand-in's own pixels are inside
the pane; the tour fails (exit status 1) when a step does not get where it should.
"""
import argparse
import json
import os
import subprocess
import sys
import time

SIDE_BAR = (46, 46, 46)       # the stand-in's side bar
BACKGROUND = (245, 245, 245)  # the stand-in's content background
AVATAR_CENTRE = (26, 53)      # centre of its 36 by 36 avatar square at (9, 36)
BAND_HEIGHT = 24              # its instance band along the bottom of the content
LOGIN_BAND = (7, 193, 96)     # the green band along the top of its login window


class TourFailed(Exception):
    pass


class Tour:
    def __init__(self, root, demo, out, display):
        self.root, self.demo, self.out, self.display = root, demo, out, display
        self.env = dict(os.environ, DISPLAY=display)
        self.shots = []
        self.checks = []
        self.host_order = None
        self.notes = []
        self.last_state = {}
        self.client_dir = os.path.join(demo, "prefix", "drive_c", "Program Files (x86)", "Tencent", "WeChat")

    # ---- looking ----
    def probe(self):
        command = ["chroot", self.root, "env", "WINEPREFIX=" + os.path.join(self.demo, "prefix"),
                   "WINEARCH=win64", "WINEDEBUG=-all", "LC_ALL=zh_CN.UTF-8", "LANG=zh_CN.UTF-8",
                   "DISPLAY=" + self.display, "/usr/lib/wine/wine64",
                   os.path.join(self.demo, "probe", "tour_probe.exe")]
        try:
            done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                  stdin=subprocess.DEVNULL, timeout=30)
        except subprocess.TimeoutExpired:
            return {}
        for line in done.stdout.decode("utf-8", "replace").splitlines():
            if line.startswith("{"):
                try:
                    self.last_state = json.loads(line)
                    return self.last_state
                except ValueError:
                    return {}
        return {}

    def wait_for(self, what, condition, timeout, interval=0.3):
        """Polls the probe until condition(state) gives a true value; that value."""
        deadline = time.monotonic() + timeout
        while True:
            state = self.probe()
            try:
                result = condition(state)
            except (KeyError, IndexError, TypeError):
                result = None
            if result:
                return result
            if time.monotonic() > deadline:
                self.screenshot("failed-" + what.replace(" ", "-"))
                raise TourFailed("timed out after %ds waiting for %s" % (timeout, what))
            time.sleep(interval)

    def grab(self, path):
        subprocess.run(["import", "-display", self.display, "-window", "root", path], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def pixels(self, path):
        """(width, height, raw RGB bytes) of a screenshot."""
        size = subprocess.run(["identify", "-format", "%w %h", path], stdout=subprocess.PIPE, check=True,
                              timeout=60).stdout.split()
        raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], stdout=subprocess.PIPE, check=True,
                             timeout=60).stdout
        return int(size[0]), int(size[1]), raw

    def screenshot(self, name):
        path = os.path.join(self.out, "%02d-%s.png" % (len(self.shots) + 1, name))
        self.grab(path)
        self.shots.append(path)
        return path

    # ---- acting (real X input) ----
    def xdotool(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env, check=True, timeout=30)

    def click(self, point, button=1):
        x, y = point
        self.xdotool("mousemove", x, y)
        time.sleep(0.15)
        self.xdotool("mousedown", button)
        time.sleep(0.08)
        self.xdotool("mouseup", button)
        time.sleep(0.2)

    # ---- the stand-in's own pixels inside a pane ----
    def clients(self):
        """pid -> (instance, (r, g, b)) from the stand-in's log."""
        found = {}
        try:
            with open(os.path.join(self.client_dir, "standin.log"), encoding="utf-8", errors="replace") as log:
                for line in log:
                    parts = line.split()
                    if len(parts) >= 5 and parts[2] == "started":
                        colour = parts[4]
                        found[int(parts[1])] = (int(parts[3]), tuple(int(colour[i:i + 2], 16) for i in (0, 2, 4)))
        except OSError:
            pass
        return found

    def hosts(self, state):
        """The six host windows in their order 1..6. The probe lists them by z-order, which
        holds only until the first adoption: the order seen before it is kept by handle."""
        listed = state["main"]["hosts"]
        if self.host_order is None:
            if len(listed) != 6:
                raise KeyError("hosts")  # not all made yet: a wait goes on
            if any(h["hosted"] for h in listed):
                raise TourFailed("the host windows were not seen before the first adoption")
            self.host_order = [h["hwnd"] for h in listed]
        by_handle = {h["hwnd"]: h for h in listed}
        return [by_handle[hwnd] for hwnd in self.host_order]

    def hosted_in(self, state, k):
        host = self.hosts(state)[k - 1]
        windows = [w for w in host["hosted"] if w["class"] == "WeChatMainWndForPC"]
        return windows[0] if windows else None

    def wait_for_pixels(self, step, probes, timeout):
        """Waits until every (name, x, y, colour) probe holds on the screen; False when not in time
        (the last view saved as failed-STEP.png and the differences described)."""
        deadline = time.monotonic() + timeout
        scratch = os.path.join(self.out, ".check.png")
        while True:
            self.grab(scratch)
            sw, sh, raw = self.pixels(scratch)
            seen = []
            for name, px, py, want in probes:
                got = None
                if 0 <= px < sw and 0 <= py < sh:
                    i = (py * sw + px) * 3
                    got = tuple(raw[i:i + 3])
                seen.append((name, px, py, want, got))
            if all(got == want for _, _, _, want, got in seen):
                os.remove(scratch)
                return None
            if time.monotonic() > deadline:
                os.replace(scratch, os.path.join(self.out, "failed-%s.png" % step))
                return "; ".join("%s at (%d,%d) is %s, expected %s" % (n, px, py, got, want)
                                 for n, px, py, want, got in seen if got != want)
            time.sleep(0.5)

    def check_login_shown(self, step, login, timeout=15):
        # Held means reparented; it is moved to its place a moment later.
        last = {"rect": None}

        def settled(state):
            held = state["main"]["login"]
            same = held and held["held"] and held["rect"] == last["rect"]
            last["rect"] = held["rect"] if held else None
            return held if same else None
        login = self.wait_for("the held login window in its place", settled, 15, interval=0.5)
        x, y, w, h = login["rect"]
        problem = self.wait_for_pixels(step, [("green band", x + 10, y + 30, LOGIN_BAND),
                                              ("white face", x + 10, y + 200, (255, 255, 255))], timeout)
        if problem:
            raise TourFailed("%s: the held login window is not drawn: %s" % (step, problem))
        self.checks.append("%s: the held login window is drawn" % step)

    def check_pane_shows_client(self, step, k, expect_instance=None, timeout=15, required=True):
        """Waits until pane k shows its hosted stand-in's own pixels on the screen; the shot's path."""
        state = self.probe()
        window = self.hosted_in(state, k)
        if not window:
            self.screenshot("failed-" + step)
            raise TourFailed("%s: nothing hosted in pane %d" % (step, k))
        pid = window["pid"]
        clients = self.clients()
        if pid not in clients:
            raise TourFailed("%s: the window in pane %d is not a stand-in's (pid %d)" % (step, k, pid))
        instance, colour = clients[pid]
        if expect_instance is not None and instance != expect_instance:
            raise TourFailed("%s: pane %d holds instance %d, expected %d" % (step, k, instance, expect_instance))
        x, y, w, h = window["rect"]
        probes = [("avatar square", x + AVATAR_CENTRE[0], y + AVATAR_CENTRE[1], colour),
                  ("side bar", x + 4, y + h // 2, SIDE_BAR),
                  ("content background", x + w - 60, y + 60, BACKGROUND),
                  ("instance band", x + (54 + w) // 2, y + h - BAND_HEIGHT // 2, colour)]
        problem = self.wait_for_pixels(step, probes, timeout)
        if problem and not required:
            self.notes.append("%s: pane %d not drawn (Wine 10 does not always show a hosted window again after our"
                              " window was minimised or while our popup menu is open): %s"
                              % (step, k, problem))
            return instance
        if problem:
            raise TourFailed("%s: pane %d does not show the stand-in's pixels: %s" % (step, k, problem))
        self.checks.append("%s: pane %d shows stand-in instance %d drawn (colour %02X%02X%02X)"
                           % ((step, k, instance) + colour))
        return instance

    # ---- the steps ----
    def tab(self, state, tag):
        for t in state["main"]["tabs"]:
            if t["tag"] == tag:
                return t
        return None

    def add_tab(self, state):
        tabs = state["main"]["tabs"]
        return tabs[-1] if tabs else None

    def ready_for_click(self, state, hosted):
        """The add tab, once every tab is enabled and `hosted` clients are hosted."""
        main = state["main"]
        if not main or not main["visible"] or main["dialogs"]:
            return None
        if sum(1 for k in range(1, 7) if self.hosted_in(state, k)) != hosted:
            return None
        tabs = main["tabs"]
        if len(tabs) != hosted + 1 or not all(t["enabled"] for t in tabs):
            return None
        return tabs[-1]

    def add_client(self, hosted_before):
        add = self.wait_for("the add tab", lambda s: self.ready_for_click(s, hosted_before), 60)
        self.click(add["centre"])
        login = self.wait_for("the login window held inside",
                              lambda s: s["main"]["login"] if s["main"]["login"] and s["main"]["login"]["held"]
                              and s["main"]["login"]["visible"] and s["main"]["login"]["button"] else None, 60)
        return login

    def log_in(self, login, hosted_after):
        # The click may land before the button is ready: click again while the window is still held.
        deadline = time.monotonic() + 60
        while True:
            self.click(login["button"])
            try:
                return self.wait_for("client %d hosted" % hosted_after,
                                     lambda s: self.ready_for_click(s, hosted_after), 8)
            except TourFailed:
                state = self.probe()
                held = state.get("main") and state["main"]["login"]
                if time.monotonic() > deadline or not held:
                    raise
                login = held

    def tray_icon(self, before_path, after_path, taskbar):
        """Centre of what changed in the notification area (the right-hand end of the taskbar)."""
        bw, bh, before = self.pixels(before_path)
        aw, ah, after = self.pixels(after_path)
        if (bw, bh) != (aw, ah):
            return None
        x0, y0, w, h = taskbar
        left = max(x0, x0 + w - 240)  # clear of the task buttons that grow from the left
        box = None
        for y in range(max(0, y0), min(bh, y0 + h)):
            for x in range(left, min(bw, x0 + w)):
                i = (y * bw + x) * 3
                if before[i:i + 3] != after[i:i + 3]:
                    box = (x, y, x, y) if box is None else (min(box[0], x), min(box[1], y), max(box[2], x), max(box[3], y))
        if box is None:
            return None
        return ((box[0] + box[2]) // 2, (box[1] + box[3]) // 2)

    def run(self):
        # 1. The desktop-shortcut question of a first start, answered OK as a user would.
        question = self.wait_for("the desktop-shortcut question",
                                 lambda s: s["main"]["dialogs"][0] if s["main"] and s["main"]["dialogs"] else None, 120)
        time.sleep(0.5)
        shot = self.screenshot("shortcut-question")
        taskbar_before = shot
        ok = [b for b in question["buttons"] if b["id"] == 1]
        if not ok:
            raise TourFailed("the question has no OK button: %s" % question)
        self.click(ok[0]["centre"])

        # 2. The empty state: the add tab alone, the side panel filled from the loopback server.
        state = self.probe()
        self.wait_for("the empty main window", lambda s: self.ready_for_click(s, 0), 60)
        state = self.wait_for("the side panel's link picture and customisation label",
                              lambda s: s if s["main"]["link_picture"] and s["main"]["customisation_label"] else None, 30)
        self.checks.append("empty state: the link picture and the customisation label are shown "
                           "(the update check reached the demo server)")
        time.sleep(1.0)
        empty_shot = self.screenshot("empty")
        # Where the main window is, for tools/docs_pictures.sh to cut it out.
        with open(os.path.join(self.out, "window.json"), "w") as f:
            json.dump({"rect": state["main"]["rect"]}, f)

        # 3. The login window held inside while the user logs in.
        login = self.add_client(0)
        self.check_login_shown("login-held", login)
        self.screenshot("login-held")

        # 4. Logged in: the client's main window hosted in pane 1.
        self.log_in(login, 1)
        self.check_pane_shows_client("one-hosted", 1, expect_instance=1)
        self.screenshot("one-hosted")

        # 5. Two more, then the second tab selected.
        for hosted in (1, 2):
            login = self.add_client(hosted)
            self.log_in(login, hosted + 1)
        state = self.probe()
        self.click(self.tab(state, 2)["centre"])
        self.wait_for("pane 2 alone shown",
                      lambda s: [h["visible"] for h in self.hosts(s)] == [False, True, False, False, False, False], 20)
        self.check_pane_shows_client("three-hosted", 2, expect_instance=2)
        self.screenshot("three-hosted-second-selected")

        # 6. The second client closed by its own close box: its tab goes, the third moves up
        #    into pane 2 and pane 1 is shown.
        state = self.probe()
        x, y, w, _ = self.hosted_in(state, 2)["rect"]
        self.click((x + w - 14, y + 10))
        self.wait_for("the removal and compaction", lambda s: self.ready_for_click(s, 2), 30)
        self.check_pane_shows_client("after-removal", 1, expect_instance=1)
        state = self.probe()
        moved = self.hosted_in(state, 2)
        clients = self.clients()
        if not moved or clients.get(moved["pid"], (0,))[0] != 3:
            raise TourFailed("after the removal pane 2 does not hold instance 3: %s" % moved)
        self.checks.append("after-removal: instance 3 moved up into pane 2")
        self.screenshot("after-removal")

        # 7. The tray menu, opened with the right button on the icon.
        time.sleep(0.5)
        scratch = os.path.join(self.out, ".tray.png")
        self.grab(scratch)
        icon = self.tray_icon(taskbar_before, scratch, state["taskbar"]) if state.get("taskbar") else None
        os.remove(scratch)
        if not icon:
            raise TourFailed("no tray icon found in the taskbar")
        for _ in range(5):
            self.click(icon, button=3)
            try:
                self.wait_for("the tray menu", lambda s: s["main"]["menu"], 3)
                break
            except TourFailed:
                continue
        else:
            raise TourFailed("the tray menu did not open")
        self.check_pane_shows_client("tray-menu", 1, expect_instance=1, timeout=5, required=False)
        self.screenshot("tray-menu")
        # A click elsewhere closes the menu (keyboard input does not reach it under Wine).
        main = self.probe()["main"]["rect"]
        self.click((main[0] + main[2] + 40 if main[0] + main[2] + 40 < 1900 else 10, 10))
        self.wait_for("the tray menu closed", lambda s: s["main"] and not s["main"]["menu"], 10)

        # 8. Alt+A held: the window hides; released: it comes back.
        centre = (main[0] + main[2] // 2, main[1] + 20)
        self.xdotool("mousemove", *centre)
        self.xdotool("keydown", "Alt_L")
        time.sleep(0.1)
        self.xdotool("keydown", "a")
        try:
            self.wait_for("the window hidden while Alt+A is held", lambda s: not s["main"]["visible"], 10)
            time.sleep(0.5)
            self.screenshot("alt-a-held")
        finally:
            self.xdotool("keyup", "a")
            time.sleep(0.1)
            self.xdotool("keyup", "Alt_L")
        self.wait_for("the window back after Alt+A", lambda s: s["main"]["visible"], 10)
        self.check_pane_shows_client("after-alt-a", 1, expect_instance=1, required=False)
        self.screenshot("after-alt-a")
        return empty_shot


def contact_sheet(shots, out):
    sheet = os.path.join(out, "contact-sheet.png")
    labels = []
    for path in shots:
        labels += ["-label", os.path.splitext(os.path.basename(path))[0], path]
    subprocess.run(["montage"] + labels + ["-tile", "3x", "-geometry", "640x360+6+6", "-pointsize", "18", sheet],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    return sheet


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="the demo root")
    parser.add_argument("--demo", required=True, help="the demo folder (the build's demo/)")
    parser.add_argument("--out", required=True, help="where the screenshots go")
    parser.add_argument("--display-timeout", type=float, default=300)
    args = parser.parse_args()

    display_file = os.path.join(args.demo, "display")
    deadline = time.monotonic() + args.display_timeout
    while not os.path.exists(display_file):
        if time.monotonic() > deadline:
            print("tour: the demo session did not start", file=sys.stderr)
            return 1
        time.sleep(0.2)
    with open(display_file) as f:
        display = f.read().strip()

    os.makedirs(args.out, exist_ok=True)
    for old in os.listdir(args.out):
        if old.endswith(".png") or old == "failed-state.json":
            os.remove(os.path.join(args.out, old))
    tour = Tour(args.root, args.demo, args.out, display)
    status = 0
    started = time.monotonic()
    try:
        tour.run()
    except (TourFailed, subprocess.SubprocessError) as failure:
        print("tour: FAILED: %s" % failure, file=sys.stderr)
        with open(os.path.join(args.out, "failed-state.json"), "w") as f:
            json.dump(tour.last_state, f, indent=1)
        status = 1
    for check in tour.checks:
        print("tour: ok: " + check)
    for note in tour.notes:
        print("tour: note: " + note)
    if tour.shots:
        sheet = contact_sheet(tour.shots, args.out)
        print("tour: %d screenshots in %s (contact sheet: %s), %.0f s"
              % (len(tour.shots), args.out, sheet, time.monotonic() - started))
    return status


if __name__ == "__main__":
    sys.exit(main())
