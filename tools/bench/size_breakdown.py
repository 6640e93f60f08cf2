"""What takes the space in PATCH.EXE, the stub every update carries.

PATCH.EXE is linked without a map, so a copy is linked again in a
temporary folder with the build's own link command plus -Wl,-Map; its
size must equal the shipped file's, or the breakdown would describe
another program. The map's input sections are then summed by where they
come from.

Usage (alone): size_breakdown.py BUILD_DIR
"""

import collections
import pathlib
import re
import shlex
import subprocess
import sys
import tempfile

from timing import BenchFailure

# The x86_64 binutils read both the PE32 and the PE32+ stub.
TOOL_PREFIX = "x86_64-w64-mingw32-"
# An input section's placement: address, size and the file it comes from.
# The section's name is on the same line or on the line before.
PLACED = re.compile(r"^\s+(?:(\S+)\s+)?(0x[0-9a-f]+)\s+(0x[0-9a-f]+)\s+(\S.*)$")
FILL = re.compile(r"^\s\*fill\*\s+0x[0-9a-f]+\s+(0x[0-9a-f]+)")
OUTPUT_SECTION = re.compile(r"^(\.\S+)\s+0x[0-9a-f]+\s+0x[0-9a-f]+")


def _link_command(build):
    """The link step of PATCH.EXE as ninja would run it, as an argument list."""
    commands = subprocess.run(["ninja", "-C", str(build), "-t", "commands", "PATCH.EXE"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60,
                              check=True).stdout.decode().splitlines()
    for line in reversed(commands):
        for step in line.split(" && "):
            args = shlex.split(step)
            if args and args[0].endswith("g++-posix") and "-o" in args and \
                    args[args.index("-o") + 1] == "PATCH.EXE":
                return args
    raise BenchFailure("no link step for PATCH.EXE in %s's build.ninja" % build)


def link_with_map(build, folder):
    """Links PATCH.EXE again into `folder` with a map; gives (exe, map)."""
    args = _link_command(build)
    exe, map_file = pathlib.Path(folder) / "PATCH.EXE", pathlib.Path(folder) / "PATCH.map"
    args[args.index("-o") + 1] = str(exe)
    args = [a for a in args if not a.startswith("-Wl,--out-implib")]
    args.append("-Wl,-Map=" + str(map_file))
    result = subprocess.run(args, cwd=build, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            timeout=300, check=False)
    if result.returncode != 0:
        raise BenchFailure("linking PATCH.EXE with a map failed: "
                           + result.stdout.decode("utf-8", "replace")[-500:])
    return exe, map_file


def component(source, section):
    """Who a map line's bytes belong to, in words a reader knows."""
    if section.startswith(".idata"):
        return "imports (DLL names, import tables)"
    if source.endswith(".res"):
        return "resources (dialog, icon, version, manifest)"
    if source == "dll stuff":
        return "base relocations"
    match = re.search(r"libbrx\.a\((\w+)\.cpp\.obj\)", source)
    if match:
        return "installer: " + match.group(1)
    if "PATCH.dir" in source:
        return "installer: " + pathlib.Path(source).name.split(".")[0]
    if "libz.a" in source:
        return "zlib (inflate, Adler-32, and CRC-32 it links)"
    if "libstdc++" in source or "libsupc++" in source:
        return "C++ runtime (operator new/delete)"
    if "libgcc" in source:
        return "libgcc"
    return "MinGW start-up and C runtime glue"


def contributions(map_text):
    """{(component, output section): bytes} of the memory map part."""
    totals = collections.Counter()
    body = map_text.split("Linker script and memory map", 1)[-1].splitlines()
    output_section, pending_name = None, None
    for line in body:
        found = OUTPUT_SECTION.match(line)
        if found:
            output_section = found.group(1)
            continue
        fill = FILL.match(line)
        placed = PLACED.match(line)
        if fill and output_section:
            totals[("alignment fill", output_section)] += int(fill.group(1), 16)
        elif placed and output_section:
            name = placed.group(1) or pending_name or ""
            size, source = int(placed.group(3), 16), placed.group(4).strip()
            if size:
                totals[(component(source, name), output_section)] += size
            pending_name = None
        elif line.startswith(" .") and len(line.split()) == 1:
            pending_name = line.strip()  # the placement follows on the next line
    return totals


def section_table(exe):
    """[(name, raw bytes in the file)] from objdump -h."""
    text = subprocess.run([TOOL_PREFIX + "objdump", "-h", str(exe)], stdout=subprocess.PIPE,
                          timeout=60, check=True).stdout.decode()
    rows = []
    for line in text.splitlines():
        word = line.split()
        if len(word) >= 7 and word[0].isdigit():
            rows.append((word[1], int(word[2], 16)))
    return rows


def breakdown(build):
    """Lines of text describing PATCH.EXE's size."""
    build = pathlib.Path(build)
    shipped = build / "PATCH.EXE"
    size = shipped.stat().st_size
    lines = ["PATCH.EXE: %s bytes (%.1f KB; goal under 80 KB = 81,920 bytes, never above "
             "120,832)" % (format(size, ","), size / 1024.0)]
    size_text = subprocess.run([TOOL_PREFIX + "size", str(shipped)], stdout=subprocess.PIPE,
                               timeout=60, check=True).stdout.decode().rstrip()
    lines += ["  " + row for row in size_text.splitlines()]
    lines.append("  sections: " + ", ".join("%s %s" % (name, format(raw, ","))
                                            for name, raw in section_table(shipped)))
    with tempfile.TemporaryDirectory(prefix="brx-size-") as folder:
        exe, map_file = link_with_map(build, folder)
        if exe.stat().st_size != size:
            raise BenchFailure("the map link gave %d bytes, not PATCH.EXE's %d: the build "
                               "changed meanwhile?" % (exe.stat().st_size, size))
        totals = contributions(map_file.read_text(errors="replace"))
    by_component = collections.Counter()
    sections_of = collections.defaultdict(collections.Counter)
    for (owner, section), bytes_ in totals.items():
        owner_group = "installer's own code" if owner.startswith("installer: ") else owner
        by_component[owner_group] += bytes_
        sections_of[owner_group][section] += bytes_
    placed = sum(by_component.values())
    lines.append("  what takes the space (bytes placed by the linker; the rest of the file, "
                 "%s bytes, is headers and section alignment):" % format(size - placed, ","))
    for owner, bytes_ in by_component.most_common():
        detail = ", ".join("%s %s" % (s, format(b, ",")) for s, b in sections_of[owner].most_common(3))
        lines.append("    %-48s %7s  (%s)" % (owner, format(bytes_, ","), detail))
    own = collections.Counter()
    for (owner, _), bytes_ in totals.items():
        if owner.startswith("installer: "):
            own[owner[len("installer: "):]] += bytes_
    lines.append("    installer's own code by file: " + ", ".join(
        "%s %s" % (name, format(b, ",")) for name, b in own.most_common(8)) + ", ...")
    return lines


if __name__ == "__main__":
    print("\n".join(breakdown(sys.argv[1] if len(sys.argv) > 1 else "build/win32")))
