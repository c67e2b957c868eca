"""Builds the idstamp Python package's extension, idstamp._idstamp.

    /usr/bin/python3 -m build --no-isolation

By default the extension carries the library's own code, compiled from src/:
the C interface and the core beneath it, which is all the extension calls.
They are compiled without exceptions or RTTI and linked by the C compiler
driver, so no C++ runtime is linked in or needed: the extension needs only
libc, at the symbol versions of glibc 2.17. On x86-64 Linux with glibc the
wheel is therefore tagged manylinux2014 (.ci/python checks that it keeps to
that policy's rules). The version, the library's sources and the default
digit map are read from src/library.txt, which CMake reads too;
IDSTAMP_DIGIT_MAP=<ten digits> chooses another map, as -DIDSTAMP_DIGIT_MAP
does for CMake, and src/token/digit_maps.h checks it the same way. The two
headers CMake generates (export.h, version.h) are written into the build
folder.

The extension is built against CPython's stable ABI, by default that of
3.11, whose faster calls the wheel cp311-abi3 carries; IDSTAMP_ABI3=39
builds it against that of 3.9 for every version from 3.9 on (cp39-abi3),
with the same behaviour. pip prefers cp311-abi3 where both fit.

IDSTAMP_LIBRARY=system links an installed libidstamp instead (found with
pkg-config when it can be), which then brings its own map and headers, and
its own runtime; such a wheel keeps the default tag.
"""

from __future__ import annotations  # the annotations below, on Python 3.9

import os
import re
import shlex
import shutil
import subprocess
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

try:  # setuptools 70.1 and later carry bdist_wheel; before, the wheel package did
    from setuptools.command.bdist_wheel import bdist_wheel
except ImportError:
    from wheel.bdist_wheel import bdist_wheel

# Relative paths keep the build folder out of the compiled objects.
HERE = Path(__file__).parent


def read(path: str) -> str:
    return (HERE / path).read_text(encoding="utf-8")


def library_facts() -> dict[str, list[str]]:
    """src/library.txt: "name = value" lines, a name given again adding to its list."""
    facts: dict[str, list[str]] = {}
    for line in read("src/library.txt").splitlines():
        name, equals, value = line.partition(" = ")
        if equals and not line.startswith("#"):
            facts.setdefault(name, []).append(value)
    for name in ("version", "digit_map", "sources", "sources_posix"):
        if name not in facts:
            raise SystemExit(f"setup.py: no {name} in src/library.txt")
    return facts


FACTS = library_facts()
VERSION = FACTS["version"][0]


def version_header() -> str:
    major, minor, patch = VERSION.split(".")
    values = {"PROJECT_VERSION": VERSION, "PROJECT_VERSION_MAJOR": major,
              "PROJECT_VERSION_MINOR": minor, "PROJECT_VERSION_PATCH": patch}
    text = re.sub(r"@(\w+)@", lambda m: values[m.group(1)], read("cmake/version.h.in"))
    return text


# What GenerateExportHeader writes for a static library: nothing is exported.
EXPORT_HEADER = """\
/* Written by setup.py for the library's code compiled into the extension,
   as CMake's export header reads with IDSTAMP_STATIC_DEFINE. */
#ifndef IDSTAMP_EXPORT_H
#define IDSTAMP_EXPORT_H
#ifndef IDSTAMP_STATIC_DEFINE
#error "this export header is for the static embed only"
#endif
#define IDSTAMP_EXPORT
#define IDSTAMP_NO_EXPORT
#define IDSTAMP_DEPRECATED __attribute__((__deprecated__))
#define IDSTAMP_DEPRECATED_EXPORT IDSTAMP_EXPORT IDSTAMP_DEPRECATED
#define IDSTAMP_DEPRECATED_NO_EXPORT IDSTAMP_NO_EXPORT IDSTAMP_DEPRECATED
#endif
"""


def write_if_changed(path: Path, text: str) -> None:
    if not path.exists() or path.read_text(encoding="utf-8") != text:
        path.write_text(text, encoding="utf-8")


def pkg_config(*args: str) -> list[str]:
    if shutil.which("pkg-config") is None:
        return []
    run = subprocess.run(["pkg-config", *args, "idstamp"], capture_output=True, text=True)
    return shlex.split(run.stdout) if run.returncode == 0 else []


class BuildExt(build_ext):
    """Writes the generated headers and the export list before compiling."""

    def run(self) -> None:
        temp = Path(self.build_temp)
        (temp / "include" / "idstamp").mkdir(parents=True, exist_ok=True)
        # Only the module's entry point is visible: the library's code stays
        # inside.
        generated = {temp / "exports.map": "{ global: PyInit__idstamp; local: *; };\n",
                     temp / "build-settings.txt": f"{library} {macros}\n"}
        if EMBED:
            generated[temp / "include" / "idstamp" / "version.h"] = version_header()
            generated[temp / "include" / "idstamp" / "export.h"] = EXPORT_HEADER
        for path, text in generated.items():
            write_if_changed(path, text)
        # An extension is rebuilt when any header or setting it depends on
        # changed, such as the digit map.
        headers = [str(p) for p in [*HERE.glob("include/**/*.h"), *HERE.glob("src/**/*.h")]]
        for ext in self.extensions:
            ext.include_dirs.insert(0, str(temp / "include"))
            ext.extra_link_args.append(f"-Wl,--version-script={temp / 'exports.map'}")
            ext.depends += [str(path) for path in generated] + headers
        super().run()


def glibc_version() -> str | None:
    """The version of the C library this Python runs on when it is glibc."""
    try:
        return os.confstr("CS_GNU_LIBC_VERSION")  # "glibc 2.36"
    except (AttributeError, ValueError, OSError):
        return None  # not glibc, or not a POSIX system


# The platform tag of a wheel whose extension keeps to the manylinux2014
# policy for x86-64: glibc symbols up to 2.17, and libraries from its list
# alone (here libc, and libm when used). Both names of the tag, so that pip
# before 20.3 finds it too. Set through get_tag, since Debian's wheel
# package turns each "." of --plat-name into "_".
MANYLINUX_X86_64 = "manylinux_2_17_x86_64.manylinux2014_x86_64"


class BdistWheel(bdist_wheel):
    """Tags the wheel manylinux2014 on x86-64 Linux with glibc."""

    def get_tag(self) -> tuple[str, str, str]:
        python, abi, platform = super().get_tag()
        if EMBED and platform == "linux_x86_64" and (glibc_version() or "").startswith("glibc "):
            platform = MANYLINUX_X86_64
        return python, abi, platform


def limited_api() -> tuple[str, str]:
    """The stable ABI IDSTAMP_ABI3 names ("39", "311"; by default 311), as
    the Py_LIMITED_API value and the wheel's Python tag."""
    value = os.environ.get("IDSTAMP_ABI3") or "311"
    match = re.fullmatch(r"3([1-9][0-9]?)", value)
    if match is None or int(match.group(1)) < 9:
        raise SystemExit(f"setup.py: IDSTAMP_ABI3 is a CPython version from 39 on, "
                         f"such as 39 or 311, not '{value}'")
    return f"0x03{int(match.group(1)):02X}0000", f"cp{value}"


LIMITED_API, ABI3_TAG = limited_api()

library = os.environ.get("IDSTAMP_LIBRARY", "embedded")
if library not in ("embedded", "system"):
    raise SystemExit(f"setup.py: IDSTAMP_LIBRARY is 'embedded' or 'system', not '{library}'")
EMBED = library == "embedded"

# Nothing in the extension or the code beneath it throws or asks for a
# type at run time, and without exceptions or RTTI the compiled code names
# no part of the C++ runtime.
compile_args = ["-std=c++17", "-fno-exceptions", "-fno-rtti", "-fvisibility=hidden",
                "-fvisibility-inlines-hidden", "-Wextra"]
macros = [("Py_LIMITED_API", LIMITED_API)]
if EMBED:
    digit_map = os.environ.get("IDSTAMP_DIGIT_MAP") or FACTS["digit_map"][0]
    # The C interface and the core with the POSIX clock; not the C++
    # interface (sources_cxx), whose std::string results need the C++ runtime.
    sources = ["python/ext/module.cc",
               *(f"src/{name}" for name in FACTS["sources"] + FACTS["sources_posix"])]
    macros += [("IDSTAMP_STATIC_DEFINE", None), ("IDSTAMP_DIGIT_MAP", f'"{digit_map}"')]
    include_dirs = ["include", "src"]
    libraries: list[str] = []
    library_dirs: list[str] = []
    # Each function in a section of its own, so that the linker drops those
    # the extension does not reach (the C functions that return heap texts).
    compile_args += ["-ffunction-sections", "-fdata-sections"]
    # A wheel carries no debug information: it would be most of its size.
    # --no-undefined is not for a Python extension, whose Py* symbols the
    # interpreter provides; .ci/python reads the symbols the extension needs.
    link_args = ["-Wl,--gc-sections", "-Wl,--as-needed", "-Wl,--strip-debug"]
    # Linked by the C compiler driver (language "c" below), which, unlike the
    # C++ one, names no C++ runtime; it compiles the .cc files as C++ all the
    # same.
    language = "c"
else:
    if os.environ.get("IDSTAMP_DIGIT_MAP"):
        raise SystemExit("setup.py: with IDSTAMP_LIBRARY=system the library's own digit map applies")
    sources = ["python/ext/module.cc"]
    flags = pkg_config("--cflags", "--libs") or ["-lidstamp"]
    include_dirs = [f[2:] for f in flags if f.startswith("-I")]
    libraries = [f[2:] for f in flags if f.startswith("-l")]
    library_dirs = [f[2:] for f in flags if f.startswith("-L")]
    link_args = ["-Wl,--as-needed"]
    language = "c++"

setup(
    version=VERSION,
    ext_modules=[
        Extension(
            "idstamp._idstamp",
            sources=sources,
            include_dirs=include_dirs,
            define_macros=macros,
            libraries=libraries,
            library_dirs=library_dirs,
            extra_compile_args=compile_args,
            extra_link_args=link_args,
            language=language,
            py_limited_api=True,
        )
    ],
    cmdclass={"build_ext": BuildExt, "bdist_wheel": BdistWheel},
    options={"bdist_wheel": {"py_limited_api": ABI3_TAG}},
)
