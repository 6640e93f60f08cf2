"""Checks that an extractor or installer wrote exactly the corpus: a fast
program that writes the wrong bytes must not pass for a fast one."""

import filecmp
import os
import pathlib

from timing import BenchFailure


def _files(root, ignore):
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = pathlib.Path(folder) / name
            relative = path.relative_to(root).as_posix()
            if relative not in ignore:
                found[relative] = path
    return found


def expect_same_tree(written, corpus, what, ignore=()):
    """Every corpus file is in `written` with the same bytes, and nothing
    else is (names in `ignore`, relative with '/', are left out)."""
    got = _files(written, set(ignore))
    want = _files(corpus, set())
    missing = sorted(set(want) - set(got))
    extra = sorted(set(got) - set(want))
    differing = [name for name in sorted(set(want) & set(got))
                 if not filecmp.cmp(want[name], got[name], shallow=False)]
    if missing or extra or differing:
        raise BenchFailure("%s did not write the corpus in %s: %d missing %s, %d extra %s, "
                           "%d differing %s" % (what, written, len(missing), missing[:3],
                                                len(extra), extra[:3], len(differing),
                                                differing[:3]))
