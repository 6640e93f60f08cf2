"""Registry set-up and reading, byte for byte, through reg_tool: one Wine
run per batch of commands."""

import pathlib
import struct

from wine import BenchError, program, run_windows_program

REG_SZ = 1
REG_DWORD = 4


def _hex(value):
    data = value.encode("cp1251") if isinstance(value, str) else bytes(value)
    return data.hex() if data else "-"


class Registry:
    """Changes are queued and sent with the next read or flush()."""

    def __init__(self, work):
        self.work = work
        self.pending = []
        self.runs = 0

    def delete_key(self, root, key):
        self.pending.append("delete %s %s" % (root, _hex(key)))

    def set_value(self, root, key, name, value_type, data):
        self.pending.append("set %s %s %s %d %s" % (root, _hex(key), _hex(name), value_type,
                                                     _hex(data)))

    def set_dword(self, root, key, name, number):
        self.set_value(root, key, name, REG_DWORD, struct.pack("<i", number))

    def set_text(self, root, key, name, value):
        data = value.encode("cp1251") if isinstance(value, str) else bytes(value)
        self.set_value(root, key, name, REG_SZ, data + b"\0")

    def flush(self):
        if self.pending:
            self._run(self.pending)
            self.pending = []

    def read(self, queries):
        """Values for (root, key, name) queries: (type, bytes), or None when absent."""
        self.flush()
        values = []
        for line in self._run(["get %s %s %s" % (root, _hex(key), _hex(name))
                               for root, key, name in queries]):
            word = line.split()
            if word[0] == "value":
                values.append((int(word[1]), b"" if word[2] == "-" else bytes.fromhex(word[2])))
            else:
                values.append(None)
        return values

    def _run(self, commands):
        self.runs += 1
        stem = self.work / ("reg_tool.%d" % self.runs)
        script = pathlib.Path(str(stem) + ".script")
        result = pathlib.Path(str(stem) + ".result")
        script.write_text("\n".join(commands) + "\n")
        code, _, err = run_windows_program(program("reg_tool"), [script, result], stem)
        lines = result.read_text().splitlines() if result.exists() else []
        if code != 0 or len(lines) != len(commands):
            raise BenchError("reg_tool failed (exit %d): %s\n%s" % (
                code, list(zip(commands, lines)), err.decode("utf-8", "replace")[-500:]))
        return lines
