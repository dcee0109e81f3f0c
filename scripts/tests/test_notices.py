#!/usr/bin/python3
"""The notices of the release build, build/release/i686 (scripts/build-release
makes it), as scripts/release/notices.py renders them.

    /usr/bin/python3 scripts/tests/test_notices.py
"""

import sys
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "scripts"))
from release import notices  # noqa: E402

BUILD = ROOT / "build/release/i686"


def section(text: str, part: str) -> str:
    """The section of the notices whose text holds part."""
    return next(each for each in text.split(notices.RULE) if part in each)


def licence(name: str) -> str:
    return Path("/usr/share/common-licenses", name).read_text().rstrip()


class ReleaseNotices(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.text = notices.render(BUILD)

    def test_ship_every_text_the_licences_ask_for_and_no_path_to_one(self):
        gcc = section(self.text, "GCC runtime libraries")
        self.assertIn("later version.\n\nThe complete text of GPL-3 follows at the end of this"
                      " section.\n\nThe following runtime libraries", gcc)
        self.assertEqual(gcc.count("GCC RUNTIME LIBRARY EXCEPTION\n\nVersion 3.1,"), 1)
        self.assertIn("requirements of the license of GCC.", gcc)
        self.assertIn(licence("GPL-3"), gcc)
        demangler = section(self.text, "In the program from: libstdc++.a(cp-demangle.o)\n")
        self.assertIn("gives you unlimited permission to link the\ncompiled version", demangler)
        self.assertIn(licence("GPL-2"), demangler)
        self.assertIn("Copyright: 2009-2016 the mingw-w64 project\nLicense: ZPL-2.1\n"
                      " Redistribution and use", self.text)
        self.assertIn("Copyright: 2010 Lockless Inc.\nLicense: BSD-3-clause-Lockless\n", self.text)
        self.assertIn("\nLicense: BSL-1.0\n Boost Software License", section(self.text, "\nBoost\n"))
        self.assertNotIn("/usr/share/", self.text)

    def test_name_what_brought_each_component_in_and_its_package(self):
        self.assertIn("\nIn the program from: crt2.o libadvapi32.a libkernel32.a libmingw32.a"
                      " libmingwex.a libmsvcrt.a\nDebian package: mingw-w64-i686-dev ", self.text)
        self.assertIn("\nIn the program from: /usr/include/boost/\nDebian package: libboost", self.text)
        gcc = section(self.text, "GCC runtime libraries")
        self.assertRegex(gcc, r"\nDebian package: g\+\+-mingw-w64-i686-posix \S+, for libstdc\+\+\.a\n")
        self.assertRegex(section(self.text, "(cp-demangle.o)\n"),
                         r"\nDebian package: g\+\+-mingw-w64-i686-posix \S+\n")

    def test_uncovered_names_the_inputs_a_notices_text_leaves_out(self):
        self.assertEqual(notices.uncovered(BUILD, self.text.replace("\n", "\r\n")), [])
        without = (self.text.replace(" libmingwex.a", "", 1)
                   .replace("from: libstdc++.a(cp-demangle.o)", "from:")
                   .replace("from: /usr/include/boost/", "from:"))
        self.assertEqual(notices.uncovered(BUILD, without),
                         ["/usr/include/boost/", "libmingwex.a", "libstdc++.a(cp-demangle.o)"])


if __name__ == "__main__":
    unittest.main()
