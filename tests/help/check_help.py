#!/usr/bin/env python3
"""Checks the help on the Linux side, where no help viewer can show it.

  check_help.py pages HELP_DIR        the HTML project as written
  check_help.py chm CHM_FILE HELP_DIR the compiled file built from it

pages: every page is well-formed HTML with a title; every link, anchor and
picture resolves; the project lists exactly the files of the folder; the
table of contents names every topic once and nothing else; the index points
at existing topics; a picture still to come is only marked, never linked;
every message text of the program's sources is quoted on the troubleshooting
page.

chm: the file exists, is newer than every source, starts with a valid ITSF
header, and unpacked (7z) holds every listed file and a table of contents
that lists every topic it holds.
"""
import configparser
import html.parser
import os
import re
import struct
import subprocess
import sys
import tempfile

VOID = {"area", "base", "br", "col", "hr", "img", "input", "link", "meta", "param"}
# Left open by the HTML Help sitemap format (.hhc, .hhk) and by HTML itself.
OPTIONAL_END = {"li", "p", "dt", "dd", "tr", "td", "th"}

errors = []


def fail(message):
    errors.append(message)


class Page(html.parser.HTMLParser):
    """Collects links, anchors, sitemap entries and tag balance of one file."""

    def __init__(self, name, strict):
        super().__init__(convert_charrefs=True)
        self.name = name
        self.strict = strict
        self.stack = []
        self.ids = set()
        self.links = []        # (attribute, value)
        self.sitemap = []      # [{"Name": ..., "Local": ...}]
        self.title = ""
        self.in_title = False
        self.figures = []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        for key in ("id", "name"):
            if key in attrs and tag != "param":
                if attrs[key] in self.ids and key == "id":
                    fail(f"{self.name}: duplicate id {attrs[key]}")
                self.ids.add(attrs[key])
        for key in ("href", "src"):
            if key in attrs:
                self.links.append((key, attrs[key]))
        if tag == "img" and not attrs.get("alt"):
            fail(f"{self.name}: picture {attrs.get('src')} without alt text")
        if tag == "object" and attrs.get("type", "").lower() == "text/sitemap":
            self.sitemap.append({})
        if tag == "param" and self.sitemap and "name" in attrs:
            self.sitemap[-1][attrs["name"]] = attrs.get("value", "")
        if tag == "title":
            self.in_title = True
        if tag not in VOID:
            self.stack.append((tag, self.getpos()[0]))

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID:
            self.stack.pop()

    def handle_endtag(self, tag):
        if tag == "title":
            self.in_title = False
        if tag in VOID:
            return
        while self.stack and self.stack[-1][0] != tag and (self.stack[-1][0] in OPTIONAL_END or not self.strict):
            self.stack.pop()
        if not self.stack or self.stack[-1][0] != tag:
            fail(f"{self.name}:{self.getpos()[0]}: </{tag}> closes nothing open"
                 + (f" (open: <{self.stack[-1][0]}> of line {self.stack[-1][1]})" if self.stack else ""))
            return
        self.stack.pop()

    def handle_data(self, data):
        if self.in_title:
            self.title += data

    def handle_comment(self, data):
        match = re.match(r"\s*FIGURE\s+(\S+)", data)
        if match:
            self.figures.append(match.group(1))

    def finish(self):
        self.close()
        left = [t for t, _ in self.stack if t not in OPTIONAL_END]
        if left and self.strict:
            fail(f"{self.name}: never closed: {', '.join('<%s>' % t for t in left)}")


def parse(path, strict=True):
    page = Page(os.path.basename(path), strict)
    with open(path, "rb") as f:
        raw = f.read()
    try:
        text = raw.decode("ascii")
    except UnicodeDecodeError:
        fail(f"{page.name}: not plain ASCII (write entities)")
        text = raw.decode("latin-1")
    page.feed(text)
    page.finish()
    return page


def read_project(help_dir):
    project = configparser.ConfigParser(allow_no_value=True, delimiters=("=",), strict=False)
    project.optionxform = str
    project.read(os.path.join(help_dir, "Tapestrix.hhp"))
    files = [f.replace("\\", "/") for f in project["FILES"]] if project.has_section("FILES") else []
    return project["OPTIONS"], files


def check_pages(help_dir):
    options, listed = read_project(help_dir)
    on_disk = sorted(os.path.relpath(os.path.join(root, f), help_dir).replace(os.sep, "/")
                     for root, _, names in os.walk(help_dir) for f in names
                     if f.endswith((".htm", ".css", ".png", ".gif", ".jpg")))
    for f in sorted(set(on_disk) - set(listed)):
        fail(f"Tapestrix.hhp: {f} is not listed under [FILES]")
    for f in sorted(set(listed) - set(on_disk)):
        fail(f"Tapestrix.hhp: {f} is listed but missing")
    for key in ("Contents file", "Index file", "Default topic", "Compiled file", "Title"):
        if key not in options:
            fail(f"Tapestrix.hhp: no '{key}'")
    if options.get("Compiled file") != "Tapestrix.chm":
        fail("Tapestrix.hhp: the compiled file must be Tapestrix.chm")

    topics = [f for f in listed if f.endswith(".htm")]
    pages = {f: parse(os.path.join(help_dir, f)) for f in topics}
    for name, page in pages.items():
        if not page.title.strip():
            fail(f"{name}: no title")
        for attr, value in page.links:
            if re.match(r"(https?|mailto|ms-its|mk):", value, re.I):
                continue
            target, _, anchor = value.partition("#")
            target = os.path.normpath(os.path.join(os.path.dirname(name), target)) if target else name
            target = target.replace(os.sep, "/")
            if target not in listed:
                fail(f"{name}: {attr}=\"{value}\" leads to a file not in the help")
            elif anchor and target in pages and anchor not in pages[target].ids:
                fail(f"{name}: {attr}=\"{value}\": no anchor '{anchor}' there")
        for figure in page.figures:
            if any(v == figure for _, v in page.links):
                fail(f"{name}: {figure} is both a marked place and a link")

    toc = parse(os.path.join(help_dir, options.get("Contents file", "")), strict=False)
    in_toc = [e.get("Local", "") for e in toc.sitemap if e.get("Local")]
    for e in toc.sitemap:
        if not e.get("Name"):
            fail(f"table of contents: an entry without a name ({e})")
    for local in in_toc:
        if local.split("#")[0] not in topics:
            fail(f"table of contents: {local} is not a topic of the help")
    for topic in topics:
        if topic not in in_toc:
            fail(f"table of contents: topic {topic} is missing")
        elif in_toc.count(topic) > 1:
            fail(f"table of contents: topic {topic} is listed {in_toc.count(topic)} times")

    index = parse(os.path.join(help_dir, options.get("Index file", "")), strict=False)
    if len(index.sitemap) < len(topics):
        fail(f"index: only {len(index.sitemap)} entries for {len(topics)} topics")
    for e in index.sitemap:
        local = e.get("Local", "")
        target, _, anchor = local.partition("#")
        if target not in topics:
            fail(f"index: '{e.get('Name')}' leads to {local!r}, not a topic")
        elif anchor and anchor not in pages[target].ids:
            fail(f"index: '{e.get('Name')}' leads to a missing anchor {local}")
    if options.get("Default topic") not in topics:
        fail("Tapestrix.hhp: the default topic is not a topic")
    check_messages(help_dir)


# Where the program's own texts live, and what marks a text as one the user
# may see in a message box.
PRODUCT_DIRS = ("app", "engine", "sheet", "controls", "framework")
MESSAGE_START = re.compile(r"(Unable to|Error |Can not |Cannot |Popup menu |This is not |IPicture )")


def check_messages(help_dir):
    """Every message text of the program is quoted, exactly, in the help."""
    root = os.path.dirname(os.path.abspath(help_dir))
    with open(os.path.join(help_dir, "troubleshooting.htm"), encoding="ascii", errors="replace") as f:
        page = html.unescape(re.sub(r"\s+", " ", re.sub(r"<[^>]+>", "", f.read())))
    for folder in PRODUCT_DIRS:
        for dirpath, _, names in os.walk(os.path.join(root, folder)):
            for name in (n for n in names if n.endswith((".cpp", ".h"))):
                with open(os.path.join(dirpath, name), encoding="latin-1") as f:
                    for line in f:
                        code = line.split("//")[0]
                        for literal in re.findall(r'"((?:[^"\\]|\\.)*)"', code):
                            text = literal.replace("\\t", "").replace('\\"', '"').replace("\\\\", "\\").strip()
                            if len(text) < 4 or not (MESSAGE_START.match(text) or "MessageBox" in code):
                                continue
                            if text not in page:
                                fail(f"troubleshooting.htm: the program's message \"{text}\" "
                                     f"({folder}/{os.path.relpath(os.path.join(dirpath, name), os.path.join(root, folder))}) is not explained")


def check_chm(chm, help_dir):
    if not os.path.isfile(chm):
        fail(f"{chm} was not built")
        return
    with open(chm, "rb") as f:
        header = f.read(0x60)
    signature, version, length = struct.unpack_from("<4sII", header)
    if signature != b"ITSF" or version != 3 or length != 0x60:
        fail(f"{chm}: not a compiled help file (ITSF header {header[:12]!r})")
        return
    _, listed = read_project(help_dir)
    built = os.path.getmtime(chm)
    for f in listed + ["Tapestrix.hhp", "Tapestrix.hhc", "Tapestrix.hhk"]:
        if os.path.getmtime(os.path.join(help_dir, f)) > built:
            fail(f"{chm} is older than {f}: it was not rebuilt")
    with tempfile.TemporaryDirectory() as out:
        run = subprocess.run(["7z", "x", "-y", f"-o{out}", chm], capture_output=True, text=True)
        if run.returncode != 0:
            fail(f"7z cannot unpack {chm}: {run.stdout}{run.stderr}")
            return
        inside = sorted(os.path.relpath(os.path.join(root, f), out).replace(os.sep, "/")
                        for root, _, names in os.walk(out) for f in names)
        for f in listed:
            if f not in inside:
                fail(f"{chm}: {f} is not inside")
        if "#SYSTEM" not in inside:
            fail(f"{chm}: no #SYSTEM stream")
        tocs = [f for f in inside if f.lower().endswith(".hhc")]
        if len(tocs) != 1:
            fail(f"{chm}: {len(tocs)} tables of contents inside")
            return
        toc = parse(os.path.join(out, tocs[0]), strict=False)
        in_toc = {e.get("Local", "").split("#")[0] for e in toc.sitemap}
        for topic in (f for f in inside if f.endswith(".htm")):
            if topic not in in_toc:
                fail(f"{chm}: its table of contents does not list {topic}")


def main(argv):
    if len(argv) == 3 and argv[1] == "pages":
        check_pages(argv[2])
    elif len(argv) == 4 and argv[1] == "chm":
        check_chm(argv[2], argv[3])
    else:
        print(__doc__)
        return 2
    for e in errors:
        print(e)
    print(f"{argv[1]}: {'FAILED, %d problems' % len(errors) if errors else 'ok'}")
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
