#!/usr/bin/env python3
"""Checks the 32-bit Windows build from its PE tables, as objdump -p prints
them: the programs are i386 programs; caldrose.exe imports MAPI32 and
ACTIVEDS by exactly the ordinals below and by no name; every other DLL the
programs import is one that Windows Server itself ships; and each of those
ordinals is exported, under the platform's name for it, by the emulated
mapi32.dll and activeds.dll beside them.

Usage: check_imports.py BUILD_DIR [PROGRAM ...]
The programs default to caldrose.exe, Verrick.exe and caldrose-report.exe.
Exits 1 with a line for every difference found."""

import re
import shutil
import subprocess
import sys
from pathlib import Path

# What the tool calls, by ordinal, with the name each ordinal has in the
# platform's 32-bit export table.
ORDINAL_IMPORTS = {
    "mapi32.dll": {
        11: "MAPILogonEx@20",
        13: "MAPIAllocateBuffer@8",
        17: "MAPIFreeBuffer@4",
        21: "MAPIInitialize@4",
        23: "MAPIUninitialize@0",
        75: "HrQueryAllRows@24",
        135: "HrGetOneProp@12",
        139: "FreePadrlist@4",
        174: "ScDupPropset@16",
    },
    "activeds.dll": {
        3: "ADsGetObject",
        7: "ADsBuildVarArrayStr",
        14: "AllocADsMem",
        15: "FreeADsMem",
    },
}

# DLLs that come with Windows Server itself; a mingw runtime DLL
# (libgcc_s_*, libstdc++-6, libwinpthread-1) is not among them.
SYSTEM_DLLS = {
    "advapi32.dll", "bcrypt.dll", "crypt32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll", "ntdll.dll",
    "ole32.dll", "oleaut32.dll", "rpcrt4.dll", "secur32.dll", "shell32.dll", "shlwapi.dll", "user32.dll",
    "version.dll", "ws2_32.dll",
}

# The host's objdump reads PE files of either width, so that a program of
# the wrong width is named as such.
OBJDUMP = shutil.which("objdump") or "i686-w64-mingw32-objdump"


def objdump(*arguments):
    run = subprocess.run([OBJDUMP, *arguments], capture_output=True, text=True)
    if run.returncode != 0:
        raise SystemExit(f"{OBJDUMP} {' '.join(arguments)} failed: {run.stderr.strip()}")
    return run.stdout


def file_format(path):
    match = re.search(r"file format (\S+)", objdump("-f", str(path)))
    return match.group(1) if match else "unknown"


def imports(path):
    """{dll (lower case): ([ordinals], [names])} from the import tables."""
    found = {}
    current = None
    for line in objdump("-p", str(path)).splitlines():
        match = re.match(r"\s*DLL Name: (\S+)", line)
        if match:
            current = found.setdefault(match.group(1).lower(), ([], []))
            continue
        if current is None:
            continue
        # A thunk with its top bit set imports by ordinal; else it holds the
        # address of a hint and name.
        match = re.match(r"\t([0-9a-f]+)\t\s*(\d+)\s+(\S+)", line)
        if match:
            thunk = match.group(1)
            if len(thunk) in (8, 16) and int(thunk, 16) >> (len(thunk) * 4 - 1):
                current[0].append(int(thunk, 16) & 0xFFFF)
            else:
                current[1].append(match.group(3))
        elif line.strip() == "" and current[0] + current[1]:
            current = None
    return found


def exports(path):
    """{ordinal: name or None} from the export tables."""
    text = objdump("-p", str(path))
    base_match = re.search(r"Export Address Table -- Ordinal Base (\d+)", text)
    if not base_match:
        return {}
    base = int(base_match.group(1))
    table = {int(m.group(1)): None for m in re.finditer(r"\+base\[\s*(\d+)\]", text)}
    names = text.split("[Ordinal/Name Pointer] Table", 1)
    if len(names) == 2:
        for match in re.finditer(r"^\t\[\s*(\d+)\] (\S+)$", names[1], re.MULTILINE):
            table[int(match.group(1)) + base] = match.group(2)
    return table


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    build = Path(sys.argv[1])
    programs = sys.argv[2:] or ["caldrose.exe", "Verrick.exe", "caldrose-report.exe"]
    problems = []

    for program in programs:
        path = build / program
        if not path.is_file():
            problems.append(f"{path}: missing")
            continue
        form = file_format(path)
        if form != "pei-i386":
            problems.append(f"{path}: {form}, not a 32-bit (pei-i386) program")
        for dll, (ordinals, names) in sorted(imports(path).items()):
            expected = ORDINAL_IMPORTS.get(dll)
            if expected is None:
                if dll not in SYSTEM_DLLS:
                    problems.append(f"{path}: imports {dll}, which Windows Server does not ship")
                continue
            if program != "caldrose.exe":
                problems.append(f"{path}: imports {dll}, which only caldrose.exe uses")
                continue
            if names:
                problems.append(f"{path}: imports {dll} by name: {', '.join(sorted(names))}")
            if sorted(ordinals) != sorted(expected):
                problems.append(f"{path}: imports {dll} by ordinals {sorted(ordinals)}, expected {sorted(expected)}")
        if program == "caldrose.exe":
            for dll in sorted(set(ORDINAL_IMPORTS) - set(imports(path))):
                problems.append(f"{path}: does not import {dll}")

    # The emulated DLLs beside the tool bind its imports as the platform's do.
    for dll, expected in sorted(ORDINAL_IMPORTS.items()):
        path = build / dll
        if not path.is_file():
            problems.append(f"{path}: missing")
            continue
        table = exports(path)
        for ordinal, name in sorted(expected.items()):
            if ordinal not in table:
                problems.append(f"{path}: exports no ordinal {ordinal} ({name})")
            elif table[ordinal] != name:
                problems.append(f"{path}: ordinal {ordinal} is exported as {table[ordinal] or 'no name'}, "
                                f"expected {name}")

    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"32-bit PE tables as expected: {', '.join(programs)}; "
          f"{', '.join(f'{dll} by ordinals {sorted(o)}' for dll, o in sorted(ORDINAL_IMPORTS.items()))}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
