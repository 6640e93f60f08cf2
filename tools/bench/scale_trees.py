"""The trees of the scale table: `count` small files (100 to 2,000 bytes,
text-like) in folders of at most 100 files, two folders deep, as real
program trees are laid out. The same files come under two namings:

- plain: every path fits an entry name's 31 bytes (g01\\d07\\f000712.dat);
- long: every path is longer, so each file goes through the name table
  (program-modules-01\\component-resources-07\\resource-file-000712.dat).

Both namings have the same folders, depth and bytes, so their figures
differ only by the name table. The same seed gives the same trees.
"""

import os
import random

from make_corpus import make_vocabulary, text_bytes

FILES_PER_FOLDER = 100
FOLDERS_PER_FOLDER = 100
SMALLEST = 100
LARGEST = 2000
NAMINGS = ("plain", "long")


def relative_path(index, naming):
    """The path of file `index`, with '/' between its parts: 19 bytes plain,
    65 long, for up to 1,000,000 files."""
    folder = index // FILES_PER_FOLDER
    top, leaf = divmod(folder, FOLDERS_PER_FOLDER)
    if naming == "plain":
        return "g%02d/d%02d/f%06d.dat" % (top, leaf, index)
    return "program-modules-%02d/component-resources-%02d/resource-file-%06d.dat" % (
        top, leaf, index)


def make_tree(root, count, naming, seed):
    """Writes the tree under `root`; gives the number of bytes written."""
    rng = random.Random(seed)
    vocabulary = make_vocabulary(rng, 2000)
    total = 0
    for index in range(count):
        path = os.path.join(root, *relative_path(index, naming).split("/"))
        if index % FILES_PER_FOLDER == 0:
            os.makedirs(os.path.dirname(path), exist_ok=True)
        data = text_bytes(rng, vocabulary, rng.randint(SMALLEST, LARGEST))
        with open(path, "wb") as out:
            out.write(data)
        total += len(data)
    return total
