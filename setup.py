"""Builds the idstamp Python package's extension, idstamp._idstamp.

    /usr/bin/python3 -m build --no-isolation

By default the extension carries the library's own code, compiled from src/,
with the C++ runtime linked statically, so it needs only libc and libm. The
version, the library's sources and the default digit map are read from
src/library.txt, which CMake reads too; IDSTAMP_DIGIT_MAP=<ten digits>
chooses another map, as -DIDSTAMP_DIGIT_MAP does for CMake, and
src/token/digit_maps.h checks it the same way. The two headers CMake
generates (export.h, version.h) are written into the build folder.

IDSTAMP_LIBRARY=system links an installed libidstamp instead (found with
pkg-config when it can be), which then brings its own map and headers.
"""

import os
import re
import shlex
import shutil
import subprocess
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

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
        # Only the module's entry point is visible: the library's code and the
        # static C++ runtime stay inside.
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


library = os.environ.get("IDSTAMP_LIBRARY", "embedded")
if library not in ("embedded", "system"):
    raise SystemExit(f"setup.py: IDSTAMP_LIBRARY is 'embedded' or 'system', not '{library}'")
EMBED = library == "embedded"

compile_args = ["-std=c++17", "-fvisibility=hidden", "-fvisibility-inlines-hidden", "-Wextra"]
macros = [("Py_LIMITED_API", "0x030B0000")]
if EMBED:
    digit_map = os.environ.get("IDSTAMP_DIGIT_MAP") or FACTS["digit_map"][0]
    # The library with the POSIX clock.
    sources = ["python/ext/module.cc",
               *(f"src/{name}" for name in FACTS["sources"] + FACTS["sources_posix"])]
    macros += [("IDSTAMP_STATIC_DEFINE", None), ("IDSTAMP_DIGIT_MAP", f'"{digit_map}"')]
    include_dirs = ["include", "src"]
    libraries: list[str] = []
    library_dirs: list[str] = []
    # A wheel carries no debug information: it would be most of its size.
    link_args = ["-static-libstdc++", "-static-libgcc", "-Wl,--as-needed", "-Wl,--strip-debug"]
else:
    if os.environ.get("IDSTAMP_DIGIT_MAP"):
        raise SystemExit("setup.py: with IDSTAMP_LIBRARY=system the library's own digit map applies")
    sources = ["python/ext/module.cc"]
    flags = pkg_config("--cflags", "--libs") or ["-lidstamp"]
    include_dirs = [f[2:] for f in flags if f.startswith("-I")]
    libraries = [f[2:] for f in flags if f.startswith("-l")]
    library_dirs = [f[2:] for f in flags if f.startswith("-L")]
    link_args = ["-Wl,--as-needed"]

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
            language="c++",
            py_limited_api=True,
        )
    ],
    cmdclass={"build_ext": BuildExt},
    options={"bdist_wheel": {"py_limited_api": "cp311"}},
)
