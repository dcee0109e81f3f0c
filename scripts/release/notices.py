#!/usr/bin/python3
"""The notices of the third-party code linked into ZiBLauncher.exe.

    scripts/release/notices.py BUILD

prints them (LF line ends) for the program built in BUILD, the folder of
scripts/build-release: for each component the link took code from, what
brought it in, its Debian package, and the copyright notices and licences
that apply, from the package's copyright file, with the complete text of
each licence that file only points to. check_release.py asks uncovered()
whether a notices file covers every third-party input of the link.
"""

import re
import subprocess
import sys
import textwrap
from dataclasses import dataclass
from pathlib import Path
from typing import Callable

LINK_MAP = "ZiBLauncher.map"
HOST_HEADERS = Path("/usr/include")
COMMON_LICENCES = Path("/usr/share/common-licenses")
FROM = "In the program from: "
RULE = "=" * 72
SUBRULE = "-" * 72

# Members of an archive whose code has a licence of its own, not the
# archive's: libstdc++.a holds libiberty's demangler.
OWN_LICENCE_MEMBERS = frozenset({"libstdc++.a(cp-demangle.o)"})

# The map's sections, in ld's order: the archive members the link took come
# first, the objects it loaded ("LOAD path") after these headings.
ARCHIVE_MEMBER = re.compile(r"([^\s(][^(]*\.a)\(([^)]*)\)")
LOADED_OBJECT = re.compile(r"LOAD (.*\.o)")
AFTER_MEMBERS = ("Allocating common symbols", "Discarded input sections", "Memory Configuration")

# Where a copyright file points to a licence on the build machine, the notices
# say instead that its text follows (the line of licences_follow, which
# FOLLOWS finds), and ship that text.
REFERENCE = re.compile(r"/usr/share/common-licenses/([\w.+-]+)")
FOLLOWS = re.compile(r"The complete text of (.+?) follows at the end of this section\.")
PARAGRAPH_BREAK = re.compile(r"(\n(?: \.)?\n)")  # a blank line, or a DEP-5 " ." line

INTRODUCTION = """\
Notices of the third-party code in ZiBLauncher.exe

ZiBLauncher.exe is linked statically: it holds code of the components
below. Their copyright notices and licences follow, as the Debian
packages it was built with give them, each section with the complete
text of the licences it names."""

# The notice at the head of libiberty/cp-demangle.c in the GCC source that
# libstdc++.a was compiled from (Debian's gcc-12-source 12.2.0-14+deb12u1).
# GCC's copyright file in Debian gives none for it: its only libiberty passage
# belongs to libquadmath and names the LGPL, without the linking exception.
CP_DEMANGLE_GCC = "12.2.0"
CP_DEMANGLE_NOTICE = """\
Demangler for g++ V3 ABI.
Copyright (C) 2003-2022 Free Software Foundation, Inc.
Written by Ian Lance Taylor <ian@wasabisystems.com>.

This file is part of the libiberty library, which is part of GCC.

This file is free software; you can redistribute it and/or modify
it under the terms of the GNU General Public License as published by
the Free Software Foundation; either version 2 of the License, or
(at your option) any later version.

In addition to the permissions in the GNU General Public License, the
Free Software Foundation gives you unlimited permission to link the
compiled version of this file into combinations with other programs,
and to distribute those combinations without any restriction coming
from the use of this file.  (The General Public License restrictions
do apply in other respects; for example, they cover modification of
the file, and distribution when not linked into a combined
executable.)

This program is distributed in the hope that it will be useful,
but WITHOUT ANY WARRANTY; without even the implied warranty of
MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE.  See the
GNU General Public License for more details.

You should have received a copy of the GNU General Public License
along with this program; if not, write to the Free Software
Foundation, Inc., 51 Franklin Street - Fifth Floor, Boston, MA 02110-1301, USA."""


@dataclass(frozen=True)
class Package:
    """An installed Debian package."""
    name: str
    version: str

    def copyright_file(self) -> Path:
        return Path("/usr/share/doc", self.name, "copyright")


@dataclass(frozen=True)
class Component:
    """Third-party code the program can hold: its name, the link inputs
    (link_inputs' names) that bring it in, and its notice: what applies of
    the copyright file of a Debian package holding those inputs."""
    name: str
    inputs: frozenset[str]
    notice: Callable[[Package], str]


def link_inputs(build_dir: Path) -> dict[str, Path]:
    """What the program built in build_dir holds from outside the project
    (outside build_dir), sorted by name: each archive the link took members
    from and each object it loaded, named by file name; each member of
    OWN_LICENCE_MEMBERS it took, as "archive.a(member.o)", with the archive's
    path; each folder of /usr/include the compiler read headers from, as
    "/usr/include/NAME/", with one of those headers. Paths are resolved."""
    build = build_dir.resolve()
    inputs = {}
    for path, member in linked_files(build):
        if not path.is_relative_to(build):
            inputs[path.name] = path
            if f"{path.name}({member})" in OWN_LICENCE_MEMBERS:
                inputs[f"{path.name}({member})"] = path
    inputs.update(header_folders(build))
    return dict(sorted(inputs.items()))


def linked_files(build: Path):
    """(path, member) of each archive member the link in build took, by its
    map, and (path, None) of each object it loaded."""
    lines = (build / LINK_MAP).read_text(encoding="utf-8").splitlines()
    end = next((i for i, line in enumerate(lines) if line.startswith(AFTER_MEMBERS)), len(lines))
    for match in filter(None, map(ARCHIVE_MEMBER.match, lines[:end])):
        yield (build / match[1]).resolve(), match[2]
    for match in filter(None, map(LOADED_OBJECT.fullmatch, lines[end:])):
        yield (build / match[1]).resolve(), None


def header_folders(build: Path) -> dict[str, Path]:
    """"/usr/include/NAME/" and the first of its headers, for each folder of
    /usr/include that a dependency file under build/CMakeFiles names, also
    through a link such as build's boost-include/boost ("/usr/include/NAME"
    for a header right in /usr/include)."""
    words = set()
    for depfile in (build / "CMakeFiles").rglob("*.d"):
        words.update(depfile.read_text(encoding="utf-8").split())
    folders = {}
    for header in sorted((build / word).resolve() for word in words):
        if header.is_relative_to(HOST_HEADERS):
            top = header.relative_to(HOST_HEADERS).parts
            folders.setdefault(f"{HOST_HEADERS / top[0]}{'/' if len(top) > 1 else ''}", header)
    return folders


def owning_packages(paths: list[Path]) -> dict[Path, Package]:
    """The installed package that holds each of paths. One query for all:
    each dpkg run reads the whole package database."""
    owner_of = {}
    for line in run("dpkg", "-S", *map(str, paths)).splitlines():
        owners, _, path = line.partition(": ")
        owner_of[Path(path)] = owners.split(", ")[0].split(":")[0]  # libfoo:amd64
    versions = dict(line.split(" ", 1) for line in run(
        "dpkg-query", "-W", "-f=${Package} ${Version}\n", *set(owner_of.values())).splitlines())
    return {path: Package(name, versions[name]) for path, name in owner_of.items()}


def run(*command: str) -> str:
    """The command's output; its complaints, such as dpkg's about a file no
    package holds, go to stderr as they are."""
    return subprocess.run(command, check=True, stdout=subprocess.PIPE, text=True).stdout


def licences_follow(names: list[str]) -> str:
    """The line that makes section() ship the texts of the licences names."""
    return f"The complete text of {' and '.join(names)} follows at the end of this section."


def without_references(text: str) -> str:
    """text with each paragraph that points to a licence in
    /usr/share/common-licenses, which no player has, replaced by one line
    saying that the licence's text follows (GPL, a link, named as GPL-3)."""
    def replaced(paragraph: str) -> str:
        names = [(COMMON_LICENCES / name).resolve().name
                 for name in REFERENCE.findall(paragraph)]
        if not names:
            return paragraph
        indent = paragraph[:len(paragraph) - len(paragraph.lstrip())]
        return indent + licences_follow(list(dict.fromkeys(names)))
    return "".join(map(replaced, PARAGRAPH_BREAK.split(text)))


def dep5_stanzas(folders: tuple[str, ...],
                 leaving_out: tuple[str, ...] = ()) -> Callable[[Package], str]:
    """The notice of a machine-readable copyright file: the Copyright and
    License of each Files stanza that names a folder ("DIR/") of folders, or
    the default stanza ("*"), but not one of leaving_out; not their Files,
    which list the whole source tree's, not the program's."""
    def notice(package: Package) -> str:
        # Only rendering needs python3-debian, not uncovered().
        from debian.copyright import Copyright, License
        with package.copyright_file().open(encoding="utf-8") as file:
            parsed = Copyright(file, strict=False)
        texts = {paragraph.license.synopsis: paragraph.license
                 for paragraph in parsed.all_license_paragraphs()}
        stanzas = [[f"Copyright: {paragraph.copyright}"] +
                   [f"License: {License(name, without_references(text)).to_str()}"
                    for name, text in shown_licences(paragraph.license, texts)]
                   for paragraph in parsed.all_files_paragraphs()
                   if names_folder(paragraph.files, folders, leaving_out)]
        if not stanzas:
            raise LookupError(f"{package.copyright_file()} has no stanza for {' '.join(folders)}")
        return "\n\n".join(map("\n".join, stanzas))
    return notice


def names_folder(patterns: tuple[str, ...], folders: tuple[str, ...],
                 leaving_out: tuple[str, ...]) -> bool:
    """Whether a Files stanza's patterns name one of folders, not one of leaving_out."""
    return any(any(pattern == folder or folder.endswith("/") and pattern.startswith(folder)
                   for folder in folders) and not pattern.startswith(leaving_out)
               for pattern in patterns)


def shown_licences(licence, texts: dict) -> list[tuple[str, str]]:
    """(name, text) of the licences a Files stanza shows: its License when
    that has a text; else the licences it names, with their texts from texts
    (a License stanza's), after it when it names several ("A and B")."""
    if licence.text:
        return [licence]
    names = re.split(r" and | or ", licence.synopsis)
    named = [texts.get(name, (name, "")) for name in names]
    return named if len(names) == 1 else [licence, *named]


def passages(*ranges: tuple[str, str]) -> Callable[[Package], str]:
    """The notice of a copyright file in free form: for each (FIRST, LAST) of
    ranges, the lines from the first that matches FIRST to the next that
    matches LAST."""
    def notice(package: Package) -> str:
        lines = package.copyright_file().read_text(encoding="utf-8").splitlines()
        return "\n\n".join(without_references("\n".join(passage(lines, *bounds)))
                           for bounds in ranges)
    return notice


def passage(lines: list[str], first: str, last: str) -> list[str]:
    try:
        start = next(i for i, line in enumerate(lines) if re.search(first, line))
        end = next(i for i in range(start, len(lines)) if re.search(last, lines[i]))
    except StopIteration:
        raise LookupError(f"the copyright file has no passage from /{first}/ to /{last}/") from None
    return lines[start:end + 1]


def cp_demangle_notice(package: Package) -> str:
    """CP_DEMANGLE_NOTICE, when the package was built from the GCC it is
    taken from: another GCC's may differ."""
    gcc = package.version.split("-")[0]
    if gcc != CP_DEMANGLE_GCC:
        raise LookupError(f"{package.name} is GCC {gcc}: take CP_DEMANGLE_NOTICE"
                          " from its libiberty/cp-demangle.c")
    preface = textwrap.fill(f"The copyright file of {package.name} gives no notice for this"
                            " file. This is the one at the head of libiberty/cp-demangle.c"
                            f" in GCC {gcc}:", len(RULE))
    return f"{preface}\n\n{CP_DEMANGLE_NOTICE}\n\n{licences_follow(['GPL-2'])}"


# The components the program can hold. The runtime's profile/ is linked only
# with -pg and its testcases/, like winpthreads' tests_pthread/, are built
# into no library.
COMPONENTS = (
    Component("mingw-w64 runtime",
              frozenset({"crt2.o", "libmingw32.a", "libmingwex.a", "libmsvcrt.a",
                         "libkernel32.a", "libadvapi32.a"}),
              dep5_stanzas(("*", "mingw-w64-crt/"),
                           ("mingw-w64-crt/profile/", "mingw-w64-crt/testcases/"))),
    Component("winpthreads", frozenset({"libpthread.a"}),
              dep5_stanzas(("mingw-w64-libraries/winpthreads/",),
                           ("mingw-w64-libraries/winpthreads/tests_pthread/",))),
    Component("GCC runtime libraries (libgcc, libstdc++)",
              frozenset({"crtbegin.o", "crtend.o", "libgcc.a", "libgcc_eh.a", "libstdc++.a"}),
              passages((r"^GCC is Copyright", r"^ - libvtv$"),
                       (r"^GCC RUNTIME LIBRARY EXCEPTION$",
                        r"^requirements of the license of GCC\.$"))),
    Component("libiberty's C++ demangler (cp-demangle.o, in libstdc++)",
              OWN_LICENCE_MEMBERS, cp_demangle_notice),
    Component("Boost", frozenset({"/usr/include/boost/"}), dep5_stanzas(("*",))),
)


def render(build_dir: Path) -> str:
    """The notices (LF line ends) of the program built in build_dir: a
    section for each of COMPONENTS the link took code from. Raises
    LookupError where a copyright file no longer holds what a component
    looks for in it."""
    inputs = link_inputs(build_dir)
    owners = owning_packages(sorted(set(inputs.values())))
    sections = []
    for component in COMPONENTS:
        taken = {name: owners[path] for name, path in inputs.items() if name in component.inputs}
        if taken:
            sections.append(section(component, taken))
    return "\n\n".join([INTRODUCTION, *sections]) + "\n"


def section(component: Component, taken: dict[str, Package]) -> str:
    """The component's section, given the inputs it came in by and the
    package of each; its text from each distinct package, then the
    licences it says follow."""
    packages = list(dict.fromkeys(taken.values()))
    text = "\n\n".join(dict.fromkeys(component.notice(package) for package in packages))
    lines = [RULE, component.name, FROM + " ".join(taken)]
    for package in packages:
        inputs = [name for name, owner in taken.items() if owner == package]
        lines.append(f"Debian package: {package.name} {package.version}" +
                     (f", for {' '.join(inputs)}" if len(packages) > 1 else ""))
    lines += ["", text]
    for licence in dict.fromkeys(name for names in FOLLOWS.findall(text)
                                 for name in names.split(" and ")):
        lines += ["", SUBRULE, f"The complete text of {licence}:", "",
                  (COMMON_LICENCES / licence).read_text(encoding="utf-8").rstrip()]
    return "\n".join(lines)


def uncovered(build_dir: Path, notices_text: str) -> list[str]:
    """The link inputs of the program built in build_dir (link_inputs'
    names, sorted) that no "In the program from:" line of notices_text
    names."""
    covered = {name for line in notices_text.splitlines() if line.startswith(FROM)
               for name in line[len(FROM):].split()}
    return [name for name in link_inputs(build_dir) if name not in covered]


def main(arguments: list[str]) -> int:
    if len(arguments) != 1:
        print("usage: scripts/notices BUILD", file=sys.stderr)
        return 2
    try:
        notices = render(Path(arguments[0]))
    except (LookupError, OSError, subprocess.CalledProcessError) as error:
        print(f"notices: {error}", file=sys.stderr)
        return 1
    sys.stdout.buffer.write(notices.encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
