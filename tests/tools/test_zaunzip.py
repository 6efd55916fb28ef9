#!/usr/bin/env python3
"""End-to-end tests of zaunzip against archives made by Python's zipfile and,
when installed, Info-ZIP zip: listing (table and JSON), extraction options,
masks, exit statuses, passwords and testing."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile
import zlib

ZAUNZIP = None


def run(*args, cwd=None, stdin=subprocess.DEVNULL):
    p = subprocess.run([ZAUNZIP, *args], cwd=cwd, stdin=stdin,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


class ZaunzipTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="zaunzip-test-")
        self.files = {
            "a.txt": b"hello world\n" * 100,
            "docs/readme.md": b"# readme\n",
            "docs/deep/data.bin": bytes(range(256)) * 40,
            "empty.txt": b"",
        }
        self.zip = os.path.join(self.tmp, "t.zip")
        with zipfile.ZipFile(self.zip, "w") as z:
            z.comment = b"archive comment"
            z.writestr(zipfile.ZipInfo("docs/", date_time=(2020, 1, 2, 3, 4, 6)), b"")
            for name, data in self.files.items():
                info = zipfile.ZipInfo(name, date_time=(2021, 5, 6, 7, 8, 10))
                info.compress_type = zipfile.ZIP_STORED if name.endswith(".md") else zipfile.ZIP_DEFLATED
                z.writestr(info, data)

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def out(self, name):
        return os.path.join(self.tmp, "out", name)

    def test_json_listing_matches_zipfile(self):
        rc, out, err = run("-l", "--json", self.zip)
        self.assertEqual(rc, 0, err)
        doc = json.loads(out)
        self.assertEqual(doc["comment"], "archive comment")
        self.assertFalse(doc["zip64"])
        self.assertEqual(doc["stub_size"], 0)
        with zipfile.ZipFile(self.zip) as z:
            infos = z.infolist()
        self.assertEqual([e["name"] for e in doc["entries"]], [i.filename for i in infos])
        for e, i in zip(doc["entries"], infos):
            self.assertEqual(e["size"], i.file_size)
            self.assertEqual(e["compressed_size"], i.compress_size)
            self.assertEqual(e["crc32"], "%08x" % i.CRC)
            self.assertEqual(e["method"], i.compress_type)
            self.assertEqual(e["encryption"], "none")
            self.assertEqual(e["is_dir"], i.is_dir())
            self.assertEqual(e["mtime"], "%04d-%02d-%02d %02d:%02d:%02d" % i.date_time)
            self.assertEqual(e["attributes"], i.external_attr)

    def test_table_listing_has_totals(self):
        rc, out, _ = run("-l", self.zip)
        self.assertEqual(rc, 0)
        self.assertIn("docs/readme.md", out)
        total = sum(len(v) for v in self.files.values())
        self.assertRegex(out, r"\s%d\s+5 files" % total)

    def test_extracts_byte_for_byte(self):
        rc, _, err = run("-q", "-d", os.path.join(self.tmp, "out"), self.zip)
        self.assertEqual(rc, 0, err)
        for name, data in self.files.items():
            with open(self.out(name), "rb") as f:
                self.assertEqual(f.read(), data, name)
        self.assertTrue(os.path.isdir(self.out("docs")))

    def test_masks_exclusions_and_junk(self):
        rc, _, err = run("-q", "-j", "-d", os.path.join(self.tmp, "out"), self.zip, "*.md", "*.bin")
        self.assertEqual(rc, 0, err)
        self.assertEqual(sorted(os.listdir(os.path.join(self.tmp, "out"))), ["data.bin", "readme.md"])
        shutil.rmtree(os.path.join(self.tmp, "out"))
        rc, _, err = run("-q", "-d", os.path.join(self.tmp, "out"), self.zip, "-x", "docs*")
        self.assertEqual(rc, 0, err)
        self.assertTrue(os.path.exists(self.out("a.txt")))
        self.assertFalse(os.path.exists(self.out("docs/readme.md")))

    def test_never_overwrite_keeps_existing(self):
        os.makedirs(os.path.join(self.tmp, "out"))
        with open(self.out("a.txt"), "wb") as f:
            f.write(b"mine")
        rc, _, _ = run("-q", "-n", "-d", os.path.join(self.tmp, "out"), self.zip)
        self.assertEqual(rc, 0)
        with open(self.out("a.txt"), "rb") as f:
            self.assertEqual(f.read(), b"mine")
        rc, _, _ = run("-q", "-o", "-d", os.path.join(self.tmp, "out"), self.zip)
        with open(self.out("a.txt"), "rb") as f:
            self.assertEqual(f.read(), self.files["a.txt"])

    def test_exit_statuses(self):
        cases = [
            (["-l", os.path.join(self.tmp, "missing.zip")], 2),
            (["--bogus", self.zip], 3),
            ([], 3),
            (["-d"], 3),
            (["-q", "-d", os.path.join(self.tmp, "out"), self.zip, "nomatch*.xyz"], 11),
        ]
        garbage = os.path.join(self.tmp, "garbage.zip")
        with open(garbage, "wb") as f:
            f.write(b"this is not a zip archive at all" * 10)
        cases.append((["-l", garbage], 2))
        for args, want in cases:
            rc, _, _ = run(*args)
            self.assertEqual(rc, want, args)
        rc, out, _ = run("--help")
        self.assertEqual(rc, 0)
        for opt in ["-l", "--json", "-t", "-d", "-o", "-n", "-j", "-q", "-P", "--stop-on-error",
                    "-x", "--oem", "--ansi"]:
            self.assertIn(opt, out)

    def test_empty_archive(self):
        empty = os.path.join(self.tmp, "empty.zip")
        with zipfile.ZipFile(empty, "w"):
            pass
        rc, _, err = run("-q", "-d", os.path.join(self.tmp, "out"), empty)
        self.assertEqual(rc, 0, err)

    def damaged(self):
        """The same archive with the CRC of a.txt broken in both headers."""
        bad = os.path.join(self.tmp, "bad.zip")
        with open(self.zip, "rb") as f:
            data = bytearray(f.read())
        crc = zlib.crc32(self.files["a.txt"]).to_bytes(4, "little")
        wrong = (zlib.crc32(self.files["a.txt"]) ^ 1).to_bytes(4, "little")
        data = bytearray(bytes(data).replace(crc, wrong))
        with open(bad, "wb") as f:
            f.write(data)
        return bad

    def test_failed_entry_reported_and_run_goes_on(self):
        bad = self.damaged()
        rc, _, err = run("-q", "-d", os.path.join(self.tmp, "out"), bad)
        self.assertEqual(rc, 1)
        self.assertIn("a.txt", err)
        self.assertFalse(os.path.exists(self.out("a.txt")))
        self.assertTrue(os.path.exists(self.out("docs/readme.md")))

    def test_test_mode(self):
        rc, out, _ = run("-t", self.zip)
        self.assertEqual(rc, 0, out)
        rc, out, err = run("-t", self.damaged())
        self.assertEqual(rc, 1)
        self.assertIn("a.txt", err)

    @unittest.skipUnless(shutil.which("zip"), "Info-ZIP zip not installed")
    def test_classic_password(self):
        src = os.path.join(self.tmp, "src")
        os.makedirs(src)
        with open(os.path.join(src, "secret.txt"), "wb") as f:
            f.write(b"classified " * 500)
        enc = os.path.join(self.tmp, "enc.zip")
        subprocess.run(["zip", "-q", "-P", "pw123", enc, "secret.txt"], cwd=src, check=True)
        rc, out, _ = run("-l", "--json", enc)
        self.assertEqual(json.loads(out)["entries"][0]["encryption"], "pkzip")
        rc, _, err = run("-q", "-P", "pw123", "-d", os.path.join(self.tmp, "out"), enc)
        self.assertEqual(rc, 0, err)
        with open(self.out("secret.txt"), "rb") as f:
            self.assertEqual(f.read(), b"classified " * 500)
        shutil.rmtree(os.path.join(self.tmp, "out"))
        rc, _, err = run("-q", "-d", os.path.join(self.tmp, "out"), enc)
        self.assertEqual(rc, 1)
        self.assertIn("secret.txt", err)
        self.assertFalse(os.path.exists(self.out("secret.txt")))

    @unittest.skipUnless(shutil.which("zip"), "Info-ZIP zip not installed")
    def test_split_set_through_its_last_volume(self):
        src = os.path.join(self.tmp, "src")
        os.makedirs(src)
        blob = os.urandom(300000)
        with open(os.path.join(src, "r.bin"), "wb") as f:
            f.write(blob)
        with open(os.path.join(src, "h.txt"), "wb") as f:
            f.write(b"hello\n")
        subprocess.run(["zip", "-q", "-s", "64k", os.path.join(self.tmp, "set.zip"), "r.bin", "h.txt"],
                       cwd=src, check=True)
        self.assertTrue(os.path.exists(os.path.join(self.tmp, "set.z02")))
        rc, out, err = run("-t", os.path.join(self.tmp, "set.zip"))
        self.assertEqual(rc, 0, out + err)
        rc, _, err = run("-q", "-d", os.path.join(self.tmp, "out"), os.path.join(self.tmp, "set.zip"))
        self.assertEqual(rc, 0, err)
        with open(self.out("r.bin"), "rb") as f:
            self.assertEqual(f.read(), blob)
        # A missing middle volume fails the entry that spans it (native error 45).
        os.remove(os.path.join(self.tmp, "set.z02"))
        shutil.rmtree(os.path.join(self.tmp, "out"))
        rc, _, err = run("-q", "-d", os.path.join(self.tmp, "out"), os.path.join(self.tmp, "set.zip"))
        self.assertEqual(rc, 1)
        self.assertIn("00045", err)
        self.assertFalse(os.path.exists(self.out("r.bin")))


if __name__ == "__main__":
    ZAUNZIP = sys.argv.pop(1)
    unittest.main(verbosity=2)
