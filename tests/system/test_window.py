"""The main window from outside: its place, frame and controls at start, the keyboard (Tab order,
Space, Enter, Esc), the operator's edits, clicks and close requests while a command runs, a second
copy of the program, and the focus after the window has lost its activation.

Everything goes through the display (real key presses and clicks with xdotool), the probe's view
of the window and the log of the recording stand-in that runs as cmd.exe.
"""

import contextlib
import subprocess
import time
import unittest

import harness
from harness import TITLE, SystemTestCase, wait_for, windows_path

# Window styles.
WS_MAXIMIZEBOX = 0x00010000
WS_MINIMIZEBOX = 0x00020000
WS_THICKFRAME = 0x00040000
WS_SYSMENU = 0x00080000
# Edit box styles.
ES_PASSWORD = 0x0020
ES_AUTOHSCROLL = 0x0080

# Every control of the window: id, class, [left, top, width, height] in the client area, start
# text.
CONTROLS = [
    (101, "Static", [20, 20, 80, 24], "名称"),
    (201, "Edit", [120, 20, 80, 20], "DialLine"),
    (102, "Static", [20, 54, 80, 24], "用户"),
    (202, "Edit", [120, 54, 80, 20], "MRTX4820"),
    (103, "Static", [20, 88, 80, 24], "密码"),
    (203, "Edit", [120, 88, 80, 20], "530942"),
    (104, "Static", [20, 122, 80, 24], "客户"),
    (204, "Edit", [120, 122, 180, 20], ""),
    (105, "Static", [20, 156, 80, 24], "时间"),
    (205, "Edit", [120, 152, 180, 20], ""),
    (106, "Static", [20, 190, 80, 24], "任务"),
    (206, "Edit", [120, 190, 80, 20], ""),
    (107, "Static", [20, 224, 80, 24], "时间"),
    (207, "Edit", [120, 224, 180, 20], ""),
    (301, "Button", [20, 258, 80, 32], "连接"),
    (302, "Button", [120, 258, 80, 32], "断开"),
]
EDIT_BOXES = [control_id for control_id, kind, _, _ in CONTROLS if kind == "Edit"]
DEFAULTS = {control_id: text for control_id, kind, _, text in CONTROLS if kind == "Edit"}

CONNECT = 301
DISCONNECT = 302
TAB_ORDER = [301, 302, 204, 205, 201, 202, 203, 206, 207]

DIAL_LINE = b"cmd /c rasdial DialLine MRTX4820 530942"
HANG_UP_LINE = b"cmd /c rasdial DialLine /disconnect"

# How long the cmd stand-in runs in the tests of what happens while a command runs.
COMMAND_MS = 1500


# Helpers on top of the harness.

def x_window_of(program):
    """The X window of the program's main window; the program must have the keyboard."""
    program.wait_keyboard()
    return program.session.display.xdotool("getactivewindow").strip()


def tab_to(program, current, target):
    """Presses Tab until the focus has gone from `current` to `target`, along the tab order."""
    steps = (TAB_ORDER.index(target) - TAB_ORDER.index(current)) % len(TAB_ORDER)
    if steps:
        program.keys(*["Tab"] * steps)
    program.wait_focus(target)


def replace_text(program, control_id, text):
    """Selects the whole text of the focused edit box and types `text` over it."""
    program.keys("End", "shift+Home")
    program.type_text(text)
    program.wait_field(control_id, lambda now: now == text)


def running_command(program):
    """The Linux pid of the cmd stand-in while it runs for the program, else None."""
    for pid in harness.wine_processes_in(program.session.prefix.path, program.folder):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
                if cmdline.read().startswith(b"cmd\0"):
                    return pid
        except OSError:
            pass
    return None


def start_command(program, button=CONNECT):
    """Presses Space on `button` (which has the focus) and waits until its command runs."""
    program.wait_focus(button)
    program.keys("space")
    wait_for(lambda: running_command(program), 10, "the command runs", interval=0.02)


def now_ms():
    return int(time.time() * 1000)


class WindowTestCase(SystemTestCase):
    def started(self, **options):
        """A new program, its window shown with the focus on 连接 and the keyboard."""
        program = self.start_program(**options)
        program.wait_window()
        program.wait_focus(CONNECT)
        program.wait_keyboard()
        return program

    @contextlib.contextmanager
    def case(self, name, **options):
        """A case of a table: a subtest with a new program of its own, ended with the case."""
        with self.subTest(name), contextlib.ExitStack() as stack:
            program = self.started(**options)
            stack.callback(program.cleanup)
            yield program, stack


class WindowAtStartTest(SystemTestCase):
    """The window as it first shows: one program, only looked at."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.program = harness.Program(cls.session)
        cls.addClassCleanup(cls.program.cleanup)
        cls.program.start()
        cls.window = cls.program.wait_window()

    def test_title_place_and_frame(self):
        window = self.window
        self.assertEqual(window["title"], TITLE)
        self.assertEqual(window["window"], [797, 370, 1122, 710])
        self.assertFalse(window["minimized"])
        style = window["style"]
        for name, bit, present in [("WS_MINIMIZEBOX", WS_MINIMIZEBOX, True),
                                   ("WS_SYSMENU", WS_SYSMENU, True),
                                   ("WS_MAXIMIZEBOX", WS_MAXIMIZEBOX, False),
                                   ("WS_THICKFRAME", WS_THICKFRAME, False)]:
            with self.subTest(name):
                self.assertEqual(bool(style & bit), present, f"style {style:#x}")

    def test_window_manager_offers_no_maximize_or_resize(self):
        display = self.session.display
        xid = x_window_of(self.program)
        result = subprocess.run(["xprop", "-id", xid, "_NET_WM_ALLOWED_ACTIONS"],
                                env=display.environment(), stdin=subprocess.DEVNULL,
                                capture_output=True, text=True, timeout=10, check=True)
        actions = result.stdout
        for action, offered in [("_NET_WM_ACTION_MINIMIZE", True),
                                ("_NET_WM_ACTION_CLOSE", True),
                                ("_NET_WM_ACTION_MAXIMIZE_HORZ", False),
                                ("_NET_WM_ACTION_MAXIMIZE_VERT", False),
                                ("_NET_WM_ACTION_RESIZE", False)]:
            with self.subTest(action):
                self.assertEqual(action in actions, offered, actions)

    def test_controls_at_their_places_with_start_texts(self):
        controls = {control["id"]: control for control in self.window["controls"]}
        for control_id, kind, rect, text in CONTROLS:
            with self.subTest(control=control_id):
                control = controls.get(control_id)
                self.assertIsNotNone(control, f"no control {control_id}")
                self.assertEqual(control["class"], kind)
                self.assertEqual(control["rect"], rect)
                self.assertEqual(control["text"], text)
                self.assertTrue(control["visible"])
                self.assertTrue(control["enabled"])
        expected = {control_id for control_id, _, _, _ in CONTROLS}
        shown = {control["id"] for control in self.window["controls"] if control["visible"]}
        self.assertEqual(shown, expected, "visible controls")

    def test_edit_boxes_scroll_and_show_their_text(self):
        for control_id in EDIT_BOXES:
            with self.subTest(control=control_id):
                style = self.program.control_of(self.window, control_id)["style"]
                self.assertTrue(style & ES_AUTOHSCROLL, f"style {style:#x}")
                self.assertFalse(style & ES_PASSWORD, f"style {style:#x}")

    def test_focus_starts_on_connect(self):
        self.program.wait_focus(CONNECT)

    def test_screenshot_of_the_window(self):
        self.program.wait_keyboard()
        path = self.program.root / "window.png"
        self.session.display.screenshot(path)
        data = path.read_bytes()
        self.assertTrue(data.startswith(b"\x89PNG\r\n\x1a\n"), data[:16])
        self.assertGreater(len(data), 1000)


class KeyboardTest(WindowTestCase):
    def test_tab_and_shift_tab_cycle_through_the_tab_order(self):
        program = self.started()
        for key, order in [("Tab", TAB_ORDER[1:] + TAB_ORDER[:1]),
                           ("shift+Tab", list(reversed(TAB_ORDER)))]:
            with self.subTest(key):
                for expected in order:  # labels are never reached; the cycle ends on 连接
                    program.keys(key)
                    program.wait_focus(expected)

    def test_control_tab_goes_to_the_control(self):
        # The key after the one tried ends on a control that it reaches only if the first one left
        # the focus where it was.
        cases = [
            ("ctrl+Tab on 连接", CONNECT, "ctrl+Tab", "shift+Tab", 207),
            ("ctrl+shift+Tab on 连接", CONNECT, "ctrl+shift+Tab", "Tab", DISCONNECT),
            ("ctrl+Tab in 客户", 204, "ctrl+Tab", "shift+Tab", DISCONNECT),
        ]
        for name, start, key, following, expected in cases:
            with self.case(name) as (program, _):
                tab_to(program, CONNECT, start)
                program.keys(key, following)
                program.wait_focus(expected)
                self.assertEqual(program.commands(), [])

    def test_space_at_start_dials_once(self):
        program = self.started()
        program.keys("space")
        program.wait_commands(1)
        # The Tab is handled after the key's whole effect: no second run can come later. The
        # command's console takes the keyboard while it exists.
        program.wait_commands_ended()
        program.wait_keyboard()
        program.keys("Tab")
        program.wait_focus(DISCONNECT)
        self.assertEqual([command.line for command in program.commands()], [DIAL_LINE])

    def test_enter_at_start_does_nothing(self):
        program = self.started()
        program.keys("Return")
        program.keys("Tab")
        # 断开 after one Tab: the focus was still on 连接 when the Tab came, after the Enter.
        program.wait_focus(DISCONNECT)
        self.assertEqual(program.commands(), [])
        self.assertTrue(program.running())

    def test_escape_in_an_edit_box_closes_and_the_edit_is_lost(self):
        for control_id in [201, 207]:
            with self.case(f"Esc in {control_id}") as (program, _):
                tab_to(program, CONNECT, control_id)
                replace_text(program, control_id, "Changed")
                program.keys("Escape")
                self.assertEqual(program.exit_code(timeout=20), 0)
                self.assertEqual(program.commands(), [])

                program.start_again()
                window = program.wait_window()
                for box in EDIT_BOXES:
                    self.assertEqual(program.control_of(window, box)["text"], DEFAULTS[box],
                                     f"control {box} after a new start")


class OperatorEditTest(WindowTestCase):
    def test_a_field_of_1000_characters_stays_whole(self):
        program = self.started()
        # Each group of four tells its place: a lost, doubled or moved key shows.
        text = "".join(f"{i:03d}" + chr(ord("a") + i % 26) for i in range(250))
        self.assertEqual(len(text), 1000)
        tab_to(program, CONNECT, 201)
        program.keys("End", "shift+Home")
        program.type_text(text, delay_ms=1)
        self.assertEqual(program.wait_field(201, lambda now: now == text, timeout=30), text)

        # The command gets it whole as well.
        tab_to(program, 201, DISCONNECT)
        program.keys("space")
        self.assertEqual([command.line for command in program.wait_commands(1)],
                         [b"cmd /c rasdial " + text.encode() + b" /disconnect"])
        self.assertEqual(program.field(201), text)

    def test_edited_fields_go_into_the_commands(self):
        cases = [
            ("name, 断开 clicked", 201, "My Line", "click", DISCONNECT,
             b"cmd /c rasdial My Line /disconnect"),
            ("name, Space on 断开", 201, "My Line", "keys", DISCONNECT,
             b"cmd /c rasdial My Line /disconnect"),
            ("password, 连接 clicked", 203, "p4ss", "click", CONNECT,
             b"cmd /c rasdial DialLine MRTX4820 p4ss"),
        ]
        for name, field, text, route, button, line in cases:
            with self.case(name) as (program, _):
                tab_to(program, CONNECT, field)
                replace_text(program, field, text)
                if route == "click":
                    program.click_control(button)
                else:
                    tab_to(program, field, button)
                    program.keys("space")
                self.assertEqual([command.line for command in program.wait_commands(1)], [line])


class WhileACommandRunsTest(WindowTestCase):
    """The window waits for each command; what comes meanwhile is handled after it. (The
    command's console window has the keyboard then, so only the mouse and messages reach the
    window.)"""

    def test_a_click_during_a_command_is_handled_after_it(self):
        for button, second_line in [(CONNECT, DIAL_LINE), (DISCONNECT, HANG_UP_LINE)]:
            with self.case(f"click on {button}", delays={"cmd": COMMAND_MS}) as (program, _):
                window = program.wait_window()
                start_command(program)
                self.session.display.click(*program.control_centre(button, window))
                clicked = now_ms()

                first, second = program.wait_commands(2, timeout=20)
                self.assertLess(clicked, first.end_ms, "the click came after the first command")
                self.assertEqual(first.line, DIAL_LINE)
                self.assertEqual(second.line, second_line)
                self.assertGreaterEqual(second.start_ms, first.end_ms)

                # Nothing more follows: a Tab handled after the click moves the focus on.
                program.wait_commands_ended()
                program.wait_keyboard()
                program.wait_focus(button)
                program.keys("Tab")
                program.wait_focus(TAB_ORDER[TAB_ORDER.index(button) + 1])
                self.assertEqual(len(program.commands()), 2)

    def test_a_close_request_during_a_command_waits_for_it(self):
        def close_message(program, window):
            program.close_window()

        def close_button(program, window):
            # The window manager's close button, at the right end of the 20-pixel title bar.
            x, y = window["client_origin"]
            width, _ = window["client_size"]
            self.session.display.click(x + width - 10, y - 10)

        for name, close in [("WM_CLOSE", close_message), ("close button", close_button)]:
            with self.case(name, delays={"cmd": COMMAND_MS}) as (program, _):
                window = program.wait_window()
                start_command(program)
                close(program, window)
                requested = now_ms()

                alive = []
                while program.running() and now_ms() - requested < 20000:
                    alive.append(now_ms())
                    time.sleep(0.03)
                self.assertEqual(program.exit_code(timeout=5), 0)
                [command] = program.wait_commands(1, timeout=10)
                self.assertLess(requested, command.end_ms, "the request came after the command")
                # Still running when the command ended (within the polling step).
                self.assertTrue(alive, "the program was not seen running after the request")
                self.assertGreaterEqual(alive[-1], command.end_ms - 200,
                                        f"the program was last seen running at {alive[-1]}, the "
                                        f"command ended at {command.end_ms}")


class SecondCopyTest(WindowTestCase):
    def test_a_second_copy_shows_its_own_window_and_both_work(self):
        first = self.started()
        first_window = x_window_of(first)

        # Its listener cannot have the port that the first one holds; it says nothing of it.
        second = self.started()
        window = second.wait_window()
        second_window = x_window_of(second)
        self.assertNotEqual(window["hwnd"], first.probe()["hwnd"])
        self.assertEqual(window["window"], [797, 370, 1122, 710])
        for box in EDIT_BOXES:
            self.assertEqual(second.control_of(window, box)["text"], DEFAULTS[box])

        _, titled = self.session.probe("--all", "--exe", windows_path(second.program_path))
        self.assertEqual(titled["count"], 1, "windows titled 拨号服务端 of the second copy")
        shown = self.session.display.xdotool("search", "--onlyvisible", "--pid",
                                             second.pid).split()
        self.assertEqual(shown, [second_window], "visible X windows of the second copy")
        self.assertEqual((second.stdout(), second.stderr()), (b"", b""))

        second.keys("space")
        self.assertEqual([command.line for command in second.wait_commands(1)], [DIAL_LINE])
        self.assertEqual(first.commands(), [])

        second.wait_commands_ended()
        self.session.display.xdotool("windowactivate", "--sync", first_window)
        first.wait_keyboard()
        first.wait_focus(CONNECT)
        first.keys("space")
        self.assertEqual([command.line for command in first.wait_commands(1)], [DIAL_LINE])
        self.assertEqual(len(second.commands()), 1)
        self.assertTrue(first.running() and second.running())


class FocusAfterActivationTest(WindowTestCase):
    """After the window has lost its activation and got it back, the control that had the focus
    has it again."""

    def test_focus_returns_to_the_control_that_had_it(self):
        def other_window(program, xid, stack):
            other = self.started()
            stack.callback(other.cleanup)
            program.wait_probe(lambda window: not window["active"], 10, "the window is inactive")

        def minimize(program, xid, stack):
            self.session.display.xdotool("windowminimize", "--sync", xid)
            program.wait_probe(lambda window: window["minimized"], 10, "the window is minimized")

        for name, leave in [("another program's window", other_window),
                            ("minimized and restored", minimize)]:
            with self.case(name) as (program, stack):
                xid = x_window_of(program)
                tab_to(program, CONNECT, 204)

                leave(program, xid, stack)
                self.session.display.xdotool("windowactivate", "--sync", xid)
                program.wait_probe(lambda window: not window["minimized"], 10, "restored")
                program.wait_keyboard()
                program.wait_focus(204, timeout=5)
                program.keys("Tab")
                program.wait_focus(205)


if __name__ == "__main__":
    unittest.main()
