#!/usr/bin/env python3
"""The ranking benchmark's profile: every query means an item the profile holds, where the benchmark's
sources look for it, and the query file reads back as it was written."""
import importlib.util
import json
import os
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
generator = importlib.util.spec_from_file_location(
    "make_rank_profile", os.path.join(HERE, "..", "..", "bench", "make_rank_profile.py"))
profile = importlib.util.module_from_spec(generator)
generator.loader.exec_module(profile)

# The folders the benchmark searches and the files it takes there (its settings' filters).
MEDIA = (".doc", ".pdf", ".xls", ".txt", ".jpg", ".mp3", ".ogg", ".wma", ".avi", ".mpg", ".mov")
SEARCHED = {"Start Menu": (".lnk",), "Program Files": (".exe",), "Documents": MEDIA,
            "Desktop": (".exe",) + MEDIA, "Recent": (".lnk",)}


def bookmark_urls(node):
    if node.get("type") == "url":
        yield node["url"]
    for child in node.get("children", []):
        yield from bookmark_urls(child)


class RankProfile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.root = cls.folder.name
        cls.files = set()
        # Only the paths: the 55,000 empty files themselves are not needed to know what they are.
        profile.make(cls.root, 10000, touch=lambda path: cls.files.add(os.path.relpath(path, cls.root)))
        cls.queries = profile.read_queries(os.path.join(cls.root, "queries.tsv"))
        with open(os.path.join(cls.root, "Browser", "history.tsv"), encoding="utf-8") as rows:
            cls.history = [line.rstrip("\n").split("\t") for line in rows]
        with open(os.path.join(cls.root, "Browser", "Bookmarks"), encoding="utf-8") as text:
            roots = json.load(text)["roots"]
        cls.bookmarks = {url for root in roots.values() for url in bookmark_urls(root)}

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_query_file_reads_back_every_query_as_written(self):
        self.assertEqual(self.queries, [tuple(q) for q in profile.QUERIES])
        self.assertGreaterEqual(len(self.queries), 100)

    def test_every_shortcut_row_names_a_shortcut_made_and_a_target_in_the_profile_or_the_system(self):
        with open(os.path.join(self.root, "shortcuts.tsv"), encoding="utf-8") as rows:
            links = [line.rstrip("\n").split("\t") for line in rows]
        self.assertGreater(len(links), 100)
        for link, target in links:
            with self.subTest(link=link):
                self.assertIn(os.path.normpath(link), self.files)
                self.assertTrue(target.startswith("%") or target.split("/", 1)[0] in SEARCHED, target)

    def test_every_file_a_query_means_is_made_where_a_source_searches_it(self):
        for kind, text, meant in self.queries:
            if not meant.startswith("file:"):
                continue
            path = meant[len("file:"):]
            with self.subTest(text=text):
                self.assertTrue(os.path.normpath(path) in self.files, f"{path} is not made")
                folder = path.split("/", 1)[0]
                self.assertIn(folder, SEARCHED)
                self.assertTrue(path.lower().endswith(SEARCHED[folder]), path)
                self.assertNotIn("uninstall", path.lower())

    def test_every_address_a_query_means_is_in_the_history_or_the_bookmarks(self):
        history = {row[0] for row in self.history}
        for kind, text, meant in self.queries:
            if meant.startswith("url:"):
                with self.subTest(text=text):
                    self.assertTrue(meant[len("url:"):] in history | self.bookmarks, meant)

    def test_history_rows_are_distinct_addresses_with_four_fields_and_no_stray_tabs(self):
        self.assertEqual(len(self.history), 10000)
        self.assertTrue(all(len(row) == 4 and int(row[2]) >= 1 and float(row[3]) >= 0 for row in self.history))
        self.assertEqual(len({row[0] for row in self.history}), len(self.history))

    def test_the_same_seed_makes_the_same_profile(self):
        again = set()
        with tempfile.TemporaryDirectory() as other:
            profile.make(other, 10000, touch=lambda path: again.add(os.path.relpath(path, other)))
            with open(os.path.join(other, "Browser", "history.tsv"), encoding="utf-8") as rows:
                self.assertEqual([line.rstrip("\n").split("\t") for line in rows], self.history)
        self.assertEqual(again, self.files)


if __name__ == "__main__":
    sys.exit(unittest.main())
