#!/usr/bin/env python3
"""Checks the help on the Linux side, where no help viewer can show it.

  check_help.py pages HELP_DIR        the HTML project as written
  check_help.py chm CHM_FILE HELP_DIR the compiled file built from it

pages: the topics, project, contents and index agree and every link
resolves; chm: the compiled file is current and holds every listed file.
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
LOCAL = re.compile(r"(https?|mailto|ms-its|mk):", re.I)
errors = []
fail = errors.append


class Page(html.parser.HTMLParser):
    """Links, anchors, sitemap entries, title, marked figures and tag balance of one file."""

    def __init__(self, path, strict=True):
        super().__init__(convert_charrefs=True)
        self.name, self.strict = os.path.basename(path), strict
        self.stack, self.ids, self.links, self.sitemap = [], set(), [], []
        raw = open(path, "rb").read()
        if not raw.isascii():
            fail(f"{self.name}: not plain ASCII (write entities)")
        text = raw.decode("latin-1")
        self.title = re.search(r"<title>\s*[^\s<]", text, re.I)
        self.figures = re.findall(r"<!--\s*FIGURE\s+([^\s:]+)", text)
        self.feed(text)
        self.close()
        left = [t for t, _ in self.stack if t not in OPTIONAL_END]
        if left and strict:
            fail(f"{self.name}: never closed: {', '.join('<%s>' % t for t in left)}")

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag != "param" and attrs.get("id") in self.ids:
            fail(f"{self.name}: duplicate id {attrs['id']}")
        self.ids.update(attrs[k] for k in ("id", "name") if k in attrs and tag != "param")
        self.links += [(k, attrs[k]) for k in ("href", "src") if k in attrs]
        if tag == "img" and not attrs.get("alt"):
            fail(f"{self.name}: picture {attrs.get('src')} without alt text")
        if tag == "object" and attrs.get("type", "").lower() == "text/sitemap":
            self.sitemap.append({})
        if tag == "param" and self.sitemap and "name" in attrs:
            self.sitemap[-1][attrs["name"]] = attrs.get("value", "")
        if tag not in VOID:
            self.stack.append((tag, self.getpos()[0]))

    def handle_endtag(self, tag):
        if tag in VOID:
            return
        while self.stack and self.stack[-1][0] != tag and (self.stack[-1][0] in OPTIONAL_END or not self.strict):
            self.stack.pop()
        if not self.stack or self.stack[-1][0] != tag:
            fail(f"{self.name}:{self.getpos()[0]}: </{tag}> closes nothing open"
                 + (f" (open: <{self.stack[-1][0]}> of line {self.stack[-1][1]})" if self.stack else ""))
            return
        self.stack.pop()


def read_project(help_dir):
    project = configparser.ConfigParser(allow_no_value=True, delimiters=("=",), strict=False)
    project.optionxform = str
    project.read(os.path.join(help_dir, "Tapestrix.hhp"))
    files = [f.replace("\\", "/") for f in project["FILES"]] if project.has_section("FILES") else []
    return project["OPTIONS"], files


def files_under(folder, endings=None):
    return sorted(os.path.relpath(os.path.join(root, f), folder).replace(os.sep, "/")
                  for root, _, names in os.walk(folder) for f in names if not endings or f.endswith(endings))


def check_pages(help_dir):
    options, listed = read_project(help_dir)
    on_disk = files_under(help_dir, (".htm", ".css", ".png", ".gif", ".jpg"))
    errors.extend(f"Tapestrix.hhp: {f} is not listed under [FILES]" for f in sorted(set(on_disk) - set(listed)))
    errors.extend(f"Tapestrix.hhp: {f} is listed but missing" for f in sorted(set(listed) - set(on_disk)))
    if options.get("Compiled file") != "Tapestrix.chm":
        fail("Tapestrix.hhp: the compiled file must be Tapestrix.chm")

    topics = [f for f in listed if f.endswith(".htm")]
    pages = {f: Page(os.path.join(help_dir, f)) for f in topics}
    if options.get("Default topic") not in topics:
        fail("Tapestrix.hhp: the default topic is not a topic")
    for name, page in pages.items():
        if not page.title:
            fail(f"{name}: no title")
        for attr, value in (link for link in page.links if not LOCAL.match(link[1])):
            target, _, anchor = value.partition("#")
            target = os.path.normpath(os.path.join(os.path.dirname(name), target)).replace(os.sep, "/") if target else name
            if target not in listed:
                fail(f"{name}: {attr}=\"{value}\" leads to a file not in the help")
            elif anchor and target in pages and anchor not in pages[target].ids:
                fail(f"{name}: {attr}=\"{value}\": no anchor '{anchor}' there")
        errors.extend(f"{name}: {figure} is both a marked place and a link"
                      for figure in page.figures if any(v == figure for _, v in page.links))

    toc = Page(os.path.join(help_dir, options.get("Contents file", "")), strict=False)
    in_toc = [e["Local"] for e in toc.sitemap if e.get("Local")]
    errors.extend(f"table of contents: an entry without a name ({e})" for e in toc.sitemap if not e.get("Name"))
    errors.extend(f"table of contents: {local} is not a topic of the help"
                  for local in in_toc if local.split("#")[0] not in topics)
    for topic in topics:
        if in_toc.count(topic) != 1:
            fail(f"table of contents: topic {topic} is listed {in_toc.count(topic)} times")

    index = Page(os.path.join(help_dir, options.get("Index file", "")), strict=False)
    for e in index.sitemap:
        target, _, anchor = e.get("Local", "").partition("#")
        if target not in topics:
            fail(f"index: '{e.get('Name')}' leads to {e.get('Local', '')!r}, not a topic")
        elif anchor and anchor not in pages[target].ids:
            fail(f"index: '{e.get('Name')}' leads to a missing anchor {e['Local']}")
    check_messages(help_dir)


# Where the program's own texts live, and what marks a text as one the user
# may see in a message box.
PRODUCT_DIRS = ("app", "engine", "flow", "sheet", "controls", "framework")
MESSAGE_START = re.compile(r"(Unable to|Error |Can not |Cannot |Popup menu |This is not |IPicture )")


def check_messages(help_dir):
    """Every message text of the program is quoted, exactly, in the help."""
    root = os.path.dirname(os.path.abspath(help_dir))
    with open(os.path.join(help_dir, "troubleshooting.htm"), encoding="ascii", errors="replace") as f:
        page = html.unescape(re.sub(r"\s+", " ", re.sub(r"<[^>]+>", "", f.read())))
    for folder in PRODUCT_DIRS:
        for source in files_under(os.path.join(root, folder), (".cpp", ".h")):
            for line in open(os.path.join(root, folder, source), encoding="latin-1"):
                code = line.split("//")[0]
                for literal in re.findall(r'"((?:[^"\\]|\\.)*)"', code):
                    text = literal.replace("\\t", "").replace('\\"', '"').replace("\\\\", "\\").strip()
                    if len(text) >= 4 and (MESSAGE_START.match(text) or "MessageBox" in code) and text not in page:
                        fail(f"troubleshooting.htm: the program's message \"{text}\" ({folder}/{source}) is not explained")


def check_chm(chm, help_dir):
    if not os.path.isfile(chm):
        return fail(f"{chm} was not built")
    header = open(chm, "rb").read(0x60)
    if len(header) < 12 or struct.unpack_from("<4sII", header) != (b"ITSF", 3, 0x60):
        return fail(f"{chm}: not a compiled help file (ITSF header {header[:12]!r})")
    _, listed = read_project(help_dir)
    errors.extend(f"{chm} is older than {f}: it was not rebuilt"
                  for f in listed + ["Tapestrix.hhp", "Tapestrix.hhc", "Tapestrix.hhk"]
                  if os.path.getmtime(os.path.join(help_dir, f)) > os.path.getmtime(chm))
    with tempfile.TemporaryDirectory() as out:
        run = subprocess.run(["7z", "x", "-y", f"-o{out}", chm], capture_output=True, text=True)
        if run.returncode != 0:
            return fail(f"7z cannot unpack {chm}: {run.stdout}{run.stderr}")
        inside = files_under(out)
        errors.extend(f"{chm}: {f} is not inside" for f in listed + ["#SYSTEM"] if f not in inside)


def main(argv):
    if len(argv) == 3 and argv[1] == "pages":
        check_pages(argv[2])
    elif len(argv) == 4 and argv[1] == "chm":
        check_chm(argv[2], argv[3])
    else:
        print(__doc__)
        return 2
    print("\n".join(errors + [f"{argv[1]}: {'FAILED, %d problems' % len(errors) if errors else 'ok'}"]))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
