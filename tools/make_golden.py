#!/usr/bin/env python3
"""Derives expected.txt and expected.pyxm of every converter golden case from its map.tmx with
the Python model of the classic-layout steps (tests/app/py_converter.py), which is
written apart from the converter so the two check each other.

Usage: tools/make_golden.py [CASE...]   (default: every tests/app/data/<case>/ but tmx_*)
"""
import os
import shutil
import sys
import tempfile

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "tests", "app"))
import py_converter  # noqa: E402

data = os.path.join(root, "tests", "app", "data")
cases = sys.argv[1:] or sorted(c for c in os.listdir(data) if not c.startswith("tmx_") and
                               os.path.exists(os.path.join(data, c, "map.tmx")))
for case in cases:
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "map.tmx")
        shutil.copyfile(os.path.join(data, case, "map.tmx"), source)
        text_path, binary_path = py_converter.convert(source)
        shutil.copyfile(text_path, os.path.join(data, case, "expected.txt"))
        shutil.copyfile(binary_path, os.path.join(data, case, "expected.pyxm"))
    print(case)
