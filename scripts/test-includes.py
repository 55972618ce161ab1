#!/usr/bin/env python3
"""Each test file includes what it uses: a quick check without a compiler.

Test binaries compile their files eight to a unit (cmake/Orv.cmake), so a
file that names something only another file of its unit includes builds
today and breaks once a file added ahead of it moves the batches. This
reads every project header once, and for each test file (a .cpp or .h under
tests/) the headers it includes, directly or through others. These names of
the file must appear in one of those headers or be declared by the file
itself:
  - a project namespace it qualifies a name with (character_slots::Take),
  - a project class (CBattleScene),
  - a name only one project header declares at namespace scope (a type, an
    alias, a macro, a k-constant), unless the file calls it;
a file that names one without is reported with the headers that declare it.

It reads names, not C++, and leaves out what it cannot tell from a name of
the file's own: scripts/test-files-alone.py compiles each file on its own
for the full check.

  test-includes.py [--root DIR] [FILE...]
"""
import bisect
import os
import re
import sys

COMMENT_OR_LITERAL = re.compile(r"""//[^\n]*|/\*.*?\*/
    |(?:\b(?:u8|u|U|L))?R"(?P<delim>[^(\s]*)\(.*?\)(?P=delim)"
    |(?:\b(?:u8|u|U|L))?"(?:\\.|[^"\\\n])*"|'(?:\\.|[^'\\\n])*'""", re.S | re.X)
INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]*"([^"]+)"', re.M)
DECLARED = [
    re.compile(r"\b(?:class|struct|union|enum(?:\s+class|\s+struct)?)\s+(?:\[\[[^\]]*\]\]\s*)?([A-Za-z_]\w*)\s*(?:final\b\s*)?[:{]"),
    re.compile(r"\bnamespace\s+([A-Za-z_][\w:]*)\s*\{"),
    re.compile(r"\busing\s+([A-Za-z_]\w*)\s*="),
    re.compile(r"\btypedef\b[^;{}]*?\b([A-Za-z_]\w*)\s*(?:\[[^\]]*\])?\s*;"),
    re.compile(r"^[ \t]*#[ \t]*define[ \t]+([A-Za-z_]\w*)", re.M),
    re.compile(r"\b(k[A-Z]\w*)\s*(?:=|\{|,|\}|\[|\()"),
]
# What a file declares for itself besides: forward declarations, template
# parameters, functions it defines, variables of deduced type.
OWN = [
    re.compile(r"\b(?:class|struct|union|enum(?:\s+class|\s+struct)?)\s+([A-Za-z_]\w*)\s*;"),
    re.compile(r"\b(?:class|typename)\s+([A-Za-z_]\w*)\s*[,>=]"),
    re.compile(r"\b([A-Za-z_]\w*)\s*\([^;{}()]*(?:\([^;{}()]*\)[^;{}()]*)*\)\s*(?:const\s*)?(?:noexcept\s*)?(?:override\s*)?\{"),
    re.compile(r"\bauto\s*[&*]*\s*([A-Za-z_]\w*)\s*="),
]
# The project's classes: CBattleScene, CGameApp.
CLASS_NAME = re.compile(r"C[A-Z][a-z]")
# A call may be of a function or member of the file's own.
CALLED = re.compile(r"\s*\(")
# A test's suite name is no use of a name.
SUITE = re.compile(r"\b(?:TEST|TEST_P|TYPED_TEST|INSTANTIATE_TEST_SUITE_P)\(\s*$")
TOKEN = re.compile(r"(?<![\w.>:])(?<!->)([A-Za-z_]\w*)")
# Names the standard library and GoogleTest give too: a file may take them
# from there.
COMMON = {"std", "testing", "detail", "internal", "Test", "Type", "Value", "Result", "State", "Mode", "Kind",
          "Entry", "Item", "Node", "Data", "Info", "Config", "Options", "Settings", "Error", "Status", "Event",
          "Header", "Record", "Frame", "Rect", "Point", "Size", "Color", "Flags", "Id", "Key", "Handle"}


def mask(text):
    """Comments and literals blanked: names in them are no uses."""
    return COMMENT_OR_LITERAL.sub(lambda t: re.sub(r"[^\n]", " ", t.group(0)), text)


class Tree:
    def __init__(self, root):
        self.root = root
        self.files = {}      # path: (masked text, include paths resolved)
        self.closures = {}

    def read(self, path):
        if path not in self.files:
            try:
                with open(path, encoding="utf-8", errors="replace") as fh:
                    text = fh.read()
            except OSError:
                self.files[path] = ("", [])
                return self.files[path]
            includes = []
            for name in INCLUDE.findall(text):
                for base in (self.root, os.path.dirname(path)):
                    p = os.path.normpath(os.path.join(base, name))
                    if os.path.isfile(p):
                        includes.append(p)
                        break
            self.files[path] = (mask(text), includes)
        return self.files[path]

    def closure(self, path):
        """The project headers path includes, directly or through others."""
        if path not in self.closures:
            seen, todo = set(), list(self.read(path)[1])
            while todo:
                p = todo.pop()
                if p not in seen:
                    seen.add(p)
                    todo.extend(self.read(p)[1])
            self.closures[path] = seen
        return self.closures[path]


BLOCK_HEAD = re.compile(r"(?:\bnamespace\s*[\w:]*|\bextern\s*|\benum(?!\s+(?:class|struct)\b)[^;{}]*)\s*$")


def outer_scopes(masked):
    """Whether each brace-delimited stretch is at namespace scope: the
    offsets where a block opens or closes, and for each stretch after one
    whether it is outside every class, function and initialiser."""
    marks, stack, last = [0], [], 0
    flags = [True]
    for m in re.finditer(r"[{};]", masked):
        c = m.group()
        if c == "{":
            stack.append(bool(BLOCK_HEAD.search(masked[last:m.start()])))
        elif c == "}" and stack:
            stack.pop()
        last = m.end()
        if c != ";":
            marks.append(m.end())
            flags.append(all(stack))
    return marks, flags


def declared(masked, anywhere=False):
    """The names the text declares at namespace scope (enumerators of an
    unscoped enum too), or at any scope."""
    marks, flags = outer_scopes(masked)
    names = set()
    for r in DECLARED:
        for m in r.finditer(masked):
            if anywhere or flags[bisect.bisect_right(marks, m.start()) - 1]:
                names.update(m.group(1).split("::"))
    return names


def source_files(root):
    for top in sorted(os.listdir(root)):
        if top.startswith(".") or top.startswith("build") or not os.path.isdir(os.path.join(root, top)):
            continue
        for d, dirs, files in os.walk(os.path.join(root, top)):
            dirs[:] = sorted(x for x in dirs if not x.startswith("."))
            for f in sorted(files):
                if f.endswith((".h", ".cpp")):
                    yield os.path.join(d, f)


def check(root, only):
    tree = Tree(root)
    everything = list(source_files(root))
    # name: the headers that declare it
    declarers = {}
    for p in everything:
        if p.endswith(".h"):
            for name in declared(tree.read(p)[0]):
                declarers.setdefault(name, set()).add(p)
    namespaces = set()
    for p in everything:
        for m in re.finditer(r"\bnamespace\s+([A-Za-z_][\w:]*)\s*\{", tree.read(p)[0]):
            namespaces.update(m.group(1).split("::"))
    tests = [p for p in everything if "/tests/" in p]
    if only:
        tests = [p for p in tests if os.path.realpath(p) in only]
    tokens_of = {}

    def tokens(p):
        if p not in tokens_of:
            tokens_of[p] = set(re.findall(r"[A-Za-z_]\w*", tree.read(p)[0]))
        return tokens_of[p]

    failed = 0
    for p in tests:
        masked = tree.read(p)[0]
        own = declared(masked, anywhere=True)
        for r in OWN:
            own.update(r.findall(masked))
        seen = tree.closure(p)
        available = set(own)
        for h in seen:
            available |= tokens(h)
        missing = {}
        for m in TOKEN.finditer(masked):
            name = m.group(1)
            if name in namespaces:
                if not masked.startswith("::", m.end()):
                    continue
            elif not CLASS_NAME.match(name) and (len(declarers.get(name, ())) != 1 or CALLED.match(masked, m.end())
                                                 or SUITE.search(masked, 0, m.start())):
                continue
            if name in available or name in COMMON or name not in declarers or name in missing:
                continue
            # Declared only in files that include this one, or this one.
            if declarers[name] <= {p}:
                continue
            missing[name] = masked.count("\n", 0, m.start()) + 1
        if missing:
            failed += 1
            rel = os.path.relpath(p, root)
            for name, line in sorted(missing.items(), key=lambda kv: kv[1]):
                where = sorted(os.path.relpath(h, root) for h in declarers[name])
                print("%s:%d: uses %s without including a header that declares it (%s)"
                      % (rel, line, name, ", ".join(where[:3]) + (" ..." if len(where) > 3 else "")))
    return failed


def main(argv):
    root = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    args = argv[1:]
    if args[:1] == ["--root"]:
        root, args = args[1], args[2:]
    failed = check(root, {os.path.realpath(a) for a in args})
    if failed:
        print("%d test files use names they do not include (each file includes what it uses: the unity build "
              "joins them in batches that move)" % failed)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
