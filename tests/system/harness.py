"""Helpers for the system tests: the real dialserver.exe under Wine, on a private X display.

One `Session` per test run holds an Xvfb display with openbox on it and a Wine prefix; each test
starts its own `Program`, a copy of dialserver.exe in a temporary folder of its own with the
recording stand-in beside it as cmd.exe, and looks at its window through window_probe.exe.

Set by the caller:
  DIALSERVER_EXE        the dialserver.exe to test
  DIALSERVER_PROBE      window_probe.exe
  DIALSERVER_RECORDER   recording_command.exe (the stand-in copied as cmd.exe)
  DIALSERVER_WINEPREFIX the Wine prefix to use (optional; made with scripts/wine-prefix). Use one
                        that no other run uses at the same time.
  DIALSERVER_KEEP_TEMP  when set, the temporary folders of the programs are kept

Every wait is a condition polled until a deadline; every process started here is ended by its pid.
"""

import atexit
import ctypes
import dataclasses
import json
import os
import select
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

TITLE = "\u62e8\u53f7\u670d\u52a1\u7aef"  # 拨号服务端
PORT = 19730
HOST = "127.0.0.1"
RESOURCES = "dialserver-tests.display:\tXvfb\n"

REPOSITORY = Path(__file__).resolve().parents[2]
WINE_PREFIX_SCRIPT = REPOSITORY / "scripts" / "wine-prefix"

_PR_SET_PDEATHSIG = 1
_LIBC = ctypes.CDLL(None, use_errno=True)


class WaitTimeout(AssertionError):
    """A condition did not come true before its deadline."""


def wait_for(condition, timeout, what, interval=0.1):
    """Calls `condition` until it returns a true value, which it returns; WaitTimeout after
    `timeout` seconds. The last value seen goes into the failure message."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise WaitTimeout(f"{what}: not so after {timeout} s (last seen: {_short(value)})")
        time.sleep(interval)


def _short(value, limit=2000):
    text = repr(value)
    return text if len(text) <= limit else text[:limit] + "..."


def _required_file(variable):
    value = os.environ.get(variable)
    if not value:
        raise RuntimeError(f"{variable} is not set")
    path = Path(value).resolve()
    if not path.is_file():
        raise RuntimeError(f"{variable}={value}: no such file")
    return path


def _end_with_parent(sig):
    """For preexec_fn: the child gets `sig` when the thread that started it ends, so when the
    test process dies, however it dies. (Start processes from the main thread.)"""

    def set_signal():
        _LIBC.prctl(_PR_SET_PDEATHSIG, int(sig), 0, 0, 0)

    return set_signal


def _stop(process, sig=signal.SIGTERM, timeout=10):
    """Ends a child started here, by its pid: `sig`, then SIGKILL if it does not end in time."""
    if process is None or process.poll() is not None:
        return
    try:
        process.send_signal(sig)
        process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait(timeout)
    except ProcessLookupError:
        process.wait(timeout)


def _alive(pid):
    """True while `pid` exists and is not a zombie."""
    try:
        with open(f"/proc/{pid}/stat", "rb") as stat:
            state = stat.read().rsplit(b")", 1)[1].split()[0]
    except (OSError, IndexError):
        return False
    return state not in (b"Z", b"X")


def _environment_of(pid):
    try:
        with open(f"/proc/{pid}/environ", "rb") as environ:
            entries = environ.read().split(b"\0")
    except OSError:
        return {}
    result = {}
    for entry in entries:
        name, _, value = entry.partition(b"=")
        result[name] = value
    return result


def _uses_folder(pid, folder):
    """True when process `pid` runs in `folder` (or below) or has a file of it mapped."""
    prefix = str(folder).rstrip("/") + "/"
    try:
        if (os.readlink(f"/proc/{pid}/cwd") + "/").startswith(prefix):
            return True
        with open(f"/proc/{pid}/maps", "r", errors="replace") as maps:
            return any(prefix in line for line in maps)
    except OSError:
        return False


def wine_processes_in(prefix, folder):
    """Linux pids of the Wine processes of `prefix` that run in `folder` or from a file in it: a
    program copied there and the processes it started (they run in its folder)."""
    wanted = str(prefix).encode()
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        pid = int(entry)
        if _environment_of(pid).get(b"WINEPREFIX") != wanted:
            continue
        if _uses_folder(pid, folder) and _alive(pid):
            found.append(pid)
    return found


def kill_pids(pids, timeout=10):
    """SIGKILL to each pid, then waits until all are gone."""
    for pid in pids:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    wait_for(lambda: not any(_alive(pid) for pid in pids), timeout, f"processes {pids} ended")


def windows_path(path):
    """The Windows path under which Wine's Z: drive shows a Linux path."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


class Display:
    """An Xvfb display with openbox managing its windows (frames, focus, real key input)."""

    def __init__(self, width=1920, height=1080, depth=24, log_folder=None):
        self.size = (width, height, depth)
        self._own_log_folder = log_folder is None
        self.log_folder = Path(log_folder or tempfile.mkdtemp(prefix="dialserver-display-"))
        self.name = None
        self._xvfb = None
        self._openbox = None
        self._logs = []

    def start(self, timeout=30):
        try:
            self._start_xvfb(timeout)
            self._start_openbox(timeout)
        except BaseException:
            self.stop()
            raise
        return self

    def _log(self, name):
        log = open(self.log_folder / name, "wb")
        self._logs.append(log)
        return log

    def _start_xvfb(self, timeout):
        # -noreset: by default the server resets when its last client leaves and refuses
        # connections for a moment then (seen right after the readiness check here).
        width, height, depth = self.size
        reader, writer = os.pipe()
        try:
            self._xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(writer), "-screen", "0", f"{width}x{height}x{depth}",
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=(writer,), stdin=subprocess.DEVNULL, stdout=self._log("xvfb.log"),
                stderr=subprocess.STDOUT, start_new_session=True,
                preexec_fn=_end_with_parent(signal.SIGTERM))
            os.close(writer)
            writer = None
            number = b""
            deadline = time.monotonic() + timeout
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0:
                    raise WaitTimeout(f"Xvfb gave no display number within {timeout} s")
                ready, _, _ = select.select([reader], [], [], left)
                if ready:
                    chunk = os.read(reader, 64)
                    if not chunk:
                        raise RuntimeError(f"Xvfb ended at start: {self._read_log('xvfb.log')}")
                    number += chunk
        finally:
            os.close(reader)
            if writer is not None:
                os.close(writer)
        self.name = ":" + number.decode().strip()
        wait_for(lambda: self._run_quiet(["xdpyinfo"]) == 0, timeout, f"display {self.name} answers")
        # A resource database, as a desktop session loads one: without any, libX11 reads the
        # resource files again on every lookup, and Wine looks some up each time a font is
        # selected (every write of an edit box), which a real desktop does not pay for.
        if self._run_quiet(["xprop", "-root", "-f", "RESOURCE_MANAGER", "8s", "-set",
                            "RESOURCE_MANAGER", RESOURCES]) != 0:
            raise RuntimeError(f"cannot set the resources of display {self.name}")

    def _start_openbox(self, timeout):
        self._openbox = subprocess.Popen(
            ["openbox", "--sm-disable"], env=self.environment(), stdin=subprocess.DEVNULL,
            stdout=self._log("openbox.log"), stderr=subprocess.STDOUT, start_new_session=True,
            preexec_fn=_end_with_parent(signal.SIGTERM))

        def managing():
            if self._openbox.poll() is not None:
                raise RuntimeError(f"openbox ended at start: {self._read_log('openbox.log')}")
            result = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                    env=self.environment(), stdin=subprocess.DEVNULL,
                                    capture_output=True, timeout=10)
            return b"window id" in result.stdout

        wait_for(managing, timeout, f"openbox manages display {self.name}")

    def _read_log(self, name):
        try:
            return (self.log_folder / name).read_text(errors="replace")[-2000:]
        except OSError:
            return ""

    def _run_quiet(self, args, timeout=10):
        try:
            return subprocess.run(args, env=self.environment(), stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        _stop(self._openbox)
        _stop(self._xvfb)
        self._openbox = self._xvfb = None
        for log in self._logs:
            log.close()
        self._logs = []
        if self._own_log_folder:
            shutil.rmtree(self.log_folder, ignore_errors=True)

    def environment(self):
        environment = dict(os.environ)
        environment["DISPLAY"] = self.name
        return environment

    def xdotool(self, *args, timeout=30):
        """Runs xdotool on this display; its standard output. Fails on a non-zero exit."""
        result = subprocess.run(["xdotool", *[str(a) for a in args]], env=self.environment(),
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
        if result.returncode != 0:
            raise AssertionError(f"xdotool {args} failed ({result.returncode}): "
                                 f"{result.stderr.decode(errors='replace')}")
        return result.stdout.decode(errors="replace")

    def keys(self, *names, delay_ms=50):
        """Real key presses (XTEST) to the window that has the keyboard focus, e.g.
        keys("Tab", "shift+Tab", "Escape")."""
        self.xdotool("key", "--delay", delay_ms, *names)

    def type_text(self, text, delay_ms=50):
        """Types `text` as key presses to the focused window."""
        self.xdotool("type", "--delay", delay_ms, "--", text)

    def click(self, x, y, button=1):
        """Moves the pointer to screen point (x, y) and clicks there. `mousemove --sync` to the
        point where the pointer already is waits long for a motion that never comes, so the move
        is left out then."""
        location = self.xdotool("getmouselocation", "--shell")
        here = dict(line.split("=", 1) for line in location.split())
        if (int(here["X"]), int(here["Y"])) != (x, y):
            self.xdotool("mousemove", "--sync", x, y)
        self.xdotool("click", button)

    def active_window_pid(self):
        """The _NET_WM_PID of the active X window (the Linux pid for Wine's windows), or None."""
        try:
            return int(self.xdotool("getactivewindow", "getwindowpid").strip())
        except (AssertionError, ValueError):
            return None

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.name, "-window", "root", str(path)],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60, check=True)


class WinePrefix:
    """A Wine prefix made ready with scripts/wine-prefix (fonts for Chinese, a persistent
    wineserver)."""

    def __init__(self, path):
        self.path = Path(path).resolve()

    def ensure(self, timeout=300):
        with tempfile.TemporaryFile() as log:
            result = subprocess.run([str(WINE_PREFIX_SCRIPT), str(self.path)],
                                    stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                    timeout=timeout)
            if result.returncode != 0:
                log.seek(0)
                raise RuntimeError(f"wine-prefix {self.path} failed: {log.read()[-2000:]!r}")
        return self

    def end_all(self, timeout=60):
        """Ends every Wine process of this prefix, its persistent wineserver included
        (`wineserver -k`). Only for a prefix that nothing else uses at the same time."""
        environment = dict(os.environ, WINEPREFIX=str(self.path))
        for command in (["wineserver", "-k"], ["wineserver", "-w"]):
            subprocess.run(command, env=environment, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout)

    def environment(self, display):
        environment = display.environment()
        environment["WINEPREFIX"] = str(self.path)
        environment["WINEDEBUG"] = "-all"
        # As on a Chinese Windows: the system code page is 936, the program's own.
        environment["LANG"] = environment["LC_ALL"] = "zh_CN.UTF-8"
        return environment

    def run(self, display, args, cwd, timeout=60):
        """Runs `wine ARGS` to its end, its output captured through files (not pipes: processes
        that Wine starts on the side may hold a pipe open). Returns (status, stdout, stderr)."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            process = subprocess.Popen(["wine", *[str(a) for a in args]], cwd=str(cwd),
                                       env=self.environment(display), stdin=subprocess.DEVNULL,
                                       stdout=out, stderr=err, start_new_session=True,
                                       preexec_fn=_end_with_parent(signal.SIGKILL))
            try:
                status = process.wait(timeout)
            except subprocess.TimeoutExpired:
                _stop(process, signal.SIGKILL)
                raise WaitTimeout(f"wine {args} did not end within {timeout} s") from None
            out.seek(0)
            err.seek(0)
            return status, out.read(), err.read()


class Session:
    """The display, the Wine prefix and the helper programs shared by the tests of a run."""

    def __init__(self, prefix_path=None):
        self.exe = _required_file("DIALSERVER_EXE")
        self.probe_exe = _required_file("DIALSERVER_PROBE")
        self.recorder = _required_file("DIALSERVER_RECORDER")
        if prefix_path is None:
            prefix_path = os.environ.get("DIALSERVER_WINEPREFIX") or Path(
                tempfile.gettempdir()) / f"dialserver-system-tests-{os.getuid()}" / "prefix"
        self.prefix = WinePrefix(prefix_path)
        self.scratch = Path(tempfile.mkdtemp(prefix="dialserver-session-"))
        self.display = Display(log_folder=self.scratch)
        self.programs = []

    def start(self):
        self.prefix.ensure()
        self.display.start()
        return self

    def stop(self):
        for program in list(self.programs):
            program.cleanup()
        self.display.stop()
        shutil.rmtree(self.scratch, ignore_errors=True)

    def probe(self, *args, timeout=60):
        """Runs window_probe.exe ARGS; (status, parsed JSON line)."""
        # Now and then, under load, a Wine start gives no output at all; that run is repeated.
        for _ in range(3):
            status, out, err = self.prefix.run(self.display, [self.probe_exe, *args],
                                               self.scratch, timeout)
            if out.strip():
                break
        line = out.decode("utf-8").strip()
        try:
            return status, json.loads(line)
        except ValueError:
            raise AssertionError(f"window_probe {args} gave no JSON (status {status}): "
                                 f"{_short(out)} {_short(err)}") from None


_shared = None


def shared_session():
    """The session of this test run, started on first use and stopped when the run ends."""
    global _shared
    if _shared is None:
        session = Session()
        try:
            session.start()
        except BaseException:
            session.stop()
            raise
        _shared = session
        atexit.register(session.stop)
    return _shared


@dataclasses.dataclass(frozen=True)
class Command:
    """One run of a recording stand-in: start and end in ms since 1970, its command line bytes."""
    start_ms: int
    end_ms: int
    line: bytes


class Program:
    """dialserver.exe copied into a temporary folder of its own with the stand-ins beside it,
    run with plain `wine` on the session's display."""

    def __init__(self, session, exe=None, stand_ins=None, delays=None, exits=None, arguments=()):
        self.session = session
        self.exe = Path(exe or session.exe)
        self.arguments = [str(a) for a in arguments]
        # Name (without .exe) -> the exe placed beside the program under that name.
        self.stand_ins = dict(stand_ins) if stand_ins is not None else {"cmd": session.recorder}
        self.delays = dict(delays or {})
        self.exits = dict(exits or {})
        self.root = None
        self.folder = None
        self.process = None
        self._files = []

    # Starting and ending.

    def start(self):
        self.root = Path(tempfile.mkdtemp(prefix="dialserver-program-")).resolve()
        self.folder = self.root / "program"
        self.folder.mkdir()
        working = self.root / "elsewhere"  # not the program's folder: it sets its own
        working.mkdir()
        self.program_path = self.folder / "dialserver.exe"
        shutil.copy2(self.exe, self.program_path)
        for name, path in self.stand_ins.items():
            shutil.copy2(path, self.folder / f"{name}.exe")
        for name, milliseconds in self.delays.items():
            self.set_delay(milliseconds, name)
        for name, status in self.exits.items():
            (self.folder / f"{name}.exit").write_text(f"{int(status)}\n")
        self._files = []
        self.session.programs.append(self)
        self._launch("")
        return self

    def start_again(self):
        """Starts the same copy once more, in its folder with its stand-ins, after it has ended;
        cleanup() ends this run as it would the first."""
        if self.running():
            raise AssertionError("the program still runs")
        self._launch("-again")
        return self

    def _launch(self, suffix):
        stdout = open(self.root / f"stdout{suffix}.txt", "wb")
        stderr = open(self.root / f"stderr{suffix}.txt", "wb")
        self._files += [stdout, stderr]
        self.process = subprocess.Popen(
            ["wine", str(self.program_path), *self.arguments], cwd=str(self.root / "elsewhere"),
            env=self.session.prefix.environment(self.session.display), stdin=subprocess.DEVNULL,
            stdout=stdout, stderr=stderr, start_new_session=True,
            preexec_fn=_end_with_parent(signal.SIGKILL))

    @property
    def pid(self):
        """The Linux pid of the program: Wine runs the exe in the process `wine` was started as."""
        return self.process.pid

    def running(self):
        return self.process is not None and self.process.poll() is None

    def exit_code(self, timeout=10):
        """The program's exit status once it has ended; WaitTimeout if it runs on."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise WaitTimeout(f"the program did not end within {timeout} s") from None

    def kill(self):
        """Ends this program (and what it started in its folder) by pid, nothing else of Wine."""
        if self.running():
            self.process.kill()
            self.process.wait(10)
        self.kill_leftovers()

    def wait_commands_ended(self, timeout=30):
        """Waits until nothing the program started still runs: a command's console window, while
        it exists, may hold the keyboard."""
        wait_for(lambda: not [pid for pid in wine_processes_in(self.session.prefix.path, self.root)
                              if pid != self.pid], timeout, "the commands and their consoles ended")

    def kill_leftovers(self):
        """Ends processes the program started that still run (stand-ins and their consoles)."""
        if self.root is not None:
            pids = wine_processes_in(self.session.prefix.path, self.root)
            if pids:
                kill_pids(pids)

    def cleanup(self):
        if self.process is not None:
            self.kill()
        for file in self._files:
            file.close()
        self._files = []
        if self in self.session.programs:
            self.session.programs.remove(self)
        if self.root is not None and not os.environ.get("DIALSERVER_KEEP_TEMP"):
            shutil.rmtree(self.root, ignore_errors=True)

    def stdout(self):
        return (self.root / "stdout.txt").read_bytes()

    def stderr(self):
        return (self.root / "stderr.txt").read_bytes()

    # The window.

    def probe(self):
        """The probe's view of this program's window: {"found": False} or the window's JSON."""
        _, window = self.session.probe("--exe", windows_path(self.program_path))
        return window

    def wait_probe(self, predicate, timeout=10, what="the window is as expected"):
        """Polls the probe until predicate(window) holds; the window's JSON."""
        last = {}

        def check():
            nonlocal last
            self._fail_if_ended()
            last = self.probe()
            return last.get("found") and predicate(last)

        try:
            wait_for(check, timeout, what, interval=0.2)
        except WaitTimeout as timeout_error:
            raise WaitTimeout(f"{timeout_error}; window: {_short(last)}") from None
        return last

    def wait_window(self, timeout=60):
        """Waits until the program's window exists and is visible; its JSON."""
        return self.wait_probe(lambda window: window["visible"], timeout, "the window is shown")

    def wait_gone(self, timeout=10):
        wait_for(lambda: not self.probe().get("found"), timeout, "the window is gone", 0.2)

    def close_window(self):
        """Posts WM_CLOSE to the window."""
        status, answer = self.session.probe("close", "--exe", windows_path(self.program_path))
        if status != 0:
            raise AssertionError(f"window_probe close: {answer}")

    def _fail_if_ended(self):
        if self.process.poll() is not None:
            raise AssertionError(f"the program ended with status {self.process.returncode}: "
                                 f"{_short(self.stderr())}")

    @staticmethod
    def control_of(window, control_id):
        for control in window["controls"]:
            if control["id"] == control_id:
                return control
        raise AssertionError(f"no control {control_id} in the window")

    def control(self, control_id):
        return self.control_of(self.wait_window(), control_id)

    def field(self, control_id):
        """The text of control `control_id` now (WM_GETTEXT)."""
        return self.control(control_id)["text"]

    def wait_field(self, control_id, predicate, timeout=10):
        """Waits until predicate(text of the control) holds; the text."""
        window = self.wait_probe(
            lambda window: predicate(self.control_of(window, control_id)["text"]), timeout,
            f"the text of control {control_id} is as expected")
        return self.control_of(window, control_id)["text"]

    def wait_focus(self, control_id, timeout=10):
        """Waits until control `control_id` has the keyboard focus in the window."""
        return self.wait_probe(lambda window: window["focus_id"] == control_id, timeout,
                               f"control {control_id} has the focus")

    def wait_keyboard(self, timeout=10):
        """Waits until the X display gives this program's window the keyboard (key presses sent
        with keys() reach it)."""
        wait_for(lambda: self.session.display.active_window_pid() == self.pid, timeout,
                 "the window is the active X window", 0.2)
        return self.wait_probe(lambda window: window["foreground"], timeout,
                               "the window is the foreground window")

    def control_centre(self, control_id, window=None):
        """The screen point at the centre of a control."""
        window = window or self.wait_window()
        left, top, width, height = self.control_of(window, control_id)["rect"]
        x, y = window["client_origin"]
        return x + left + width // 2, y + top + height // 2

    # Input on the display.

    def keys(self, *names, delay_ms=50):
        self.session.display.keys(*names, delay_ms=delay_ms)

    def type_text(self, text, delay_ms=50):
        self.session.display.type_text(text, delay_ms=delay_ms)

    def click(self, x, y, button=1):
        self.session.display.click(x, y, button)

    def click_control(self, control_id):
        self.click(*self.control_centre(control_id))

    # The stand-ins.

    def set_delay(self, milliseconds, name="cmd"):
        """How long the stand-in `name` waits before it ends, from its next run on."""
        path = self.folder / f"{name}.delay"
        if milliseconds is None:
            path.unlink(missing_ok=True)
        else:
            path.write_text(f"{int(milliseconds)}\n")

    def commands(self, name="cmd"):
        """The runs of stand-in `name` recorded so far, in the order they ended."""
        try:
            data = (self.folder / f"{name}.log").read_bytes()
        except FileNotFoundError:
            return []
        records = []
        for line in data.split(b"\n")[:-1]:  # a last line without its newline is being written
            start, end, line_hex = (line.split(b" ") + [b""])[:3]
            records.append(Command(int(start), int(end), bytes.fromhex(line_hex.decode())))
        return records

    def wait_commands(self, count, timeout=10, name="cmd"):
        """Waits until stand-in `name` has recorded at least `count` runs; the records."""
        def enough():
            found = self.commands(name)
            return found if len(found) >= count else None

        return wait_for(enough, timeout, f"{count} runs of {name} recorded")


class TcpClient:
    """A connection to the program's listener, made with retries until a deadline."""

    def __init__(self, host=HOST, port=PORT, timeout=10):
        self.received = b""
        self.peer_closed = False
        deadline = time.monotonic() + timeout
        while True:
            try:
                self.socket = socket.create_connection((host, port), timeout=5)
                break
            except OSError as error:
                if time.monotonic() >= deadline:
                    raise WaitTimeout(f"no connection to {host}:{port} within {timeout} s: "
                                      f"{error}") from None
                time.sleep(0.1)

    def send(self, data):
        self.socket.sendall(data)

    def read(self, wait=0.5):
        """Reads what arrives within `wait` seconds (or until the peer closes); all bytes
        received on this connection so far."""
        deadline = time.monotonic() + wait
        while not self.peer_closed:
            left = deadline - time.monotonic()
            if left <= 0:
                break
            self.socket.settimeout(left)
            try:
                chunk = self.socket.recv(4096)
            except socket.timeout:
                break
            except ConnectionResetError:
                self.peer_closed = True
                break
            if not chunk:
                self.peer_closed = True
            self.received += chunk
        return self.received

    def close(self):
        self.socket.close()

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()


def send_tcp(data, host=HOST, port=PORT, timeout=10, linger=0.0):
    """Connects (retrying until `timeout`), sends `data`, reads for `linger` seconds and closes;
    the bytes received (the program is expected to send none)."""
    with TcpClient(host, port, timeout) as client:
        client.send(data)
        return client.read(linger) if linger > 0 else client.received


class SystemTestCase(unittest.TestCase):
    """Base of the system tests: the shared session and programs that are ended after each
    test."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.session = shared_session()

    def start_program(self, **options):
        program = Program(self.session, **options)
        self.addCleanup(program.cleanup)
        program.start()
        return program
