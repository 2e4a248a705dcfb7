"""The program starts, shows its window as laid out, and Esc ends it."""

import unittest

from harness import TITLE, SystemTestCase


class SmokeTest(SystemTestCase):
    def test_window_shows_and_escape_closes_it(self):
        program = self.start_program()
        window = program.wait_window()

        self.assertEqual(window["title"], TITLE)
        self.assertEqual(window["window"], [797, 370, 1122, 710])
        self.assertFalse(window["minimized"])
        self.assertEqual(program.control_of(window, 201)["text"], "DialLine")
        program.wait_focus(301)

        program.wait_keyboard()
        program.keys("Escape")
        self.assertEqual(program.exit_code(timeout=20), 0)


if __name__ == "__main__":
    unittest.main()
