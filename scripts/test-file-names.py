#!/usr/bin/env python3
"""Keeps each test file's names its own in the test binaries' unity build.

Test binaries compile their files eight to a unit (cmake/Orv.cmake), so two
files that define the same file-local name (in an anonymous namespace, a
static, a using, a test), or one that defines a name another takes in with
`using namespace`, fail to build once a new file puts them in one unit. Each
test file therefore keeps what follows its includes in
`namespace ORV_TEST_FILE_ID { ... }`: CMake defines the macro to a name
unique to the file in its unit (a plain name when the file builds alone), so
neither its names nor its using-directives reach the files after it.

  test-file-names.py                check: every test file is wrapped, and no
                                    test name is given twice in one binary;
                                    names the files, and the names that
                                    clash among what is not wrapped
  test-file-names.py --wrap [FILE]  wraps the files given (all test files by
                                    default); a wrapped part stays as it is

A named namespace block (`namespace host::render {`) keeps its place and
gets the wrapper inside, so it still reopens the namespace it names.
Definitions of what a header declares (`void Fixture::SetUp()` of a header's
class) and blocks holding includes stay outside. Programs (a `main`) and
support files without a test of their own are left alone.
"""
import os
import re
import sys
from collections import defaultdict

WRAP = "ORV_TEST_FILE_ID"
OPEN = "namespace %s {" % WRAP
CLOSE = "}  // namespace %s" % WRAP


TOKEN_RE = re.compile(r"""(?P<num>\b\d[\w']*)
    |//[^\n]*|/\*.*?\*/
    |R"(?P<delim>[^(\s]*)\(.*?\)(?P=delim)"
    |"(?:\\.|[^"\\\n])*"|'(?:\\.|[^'\\\n])*'
    |^[ \t]*\#(?:\\\n|[^\n])*""", re.M | re.S | re.X)


def mask(text):
    """The text with comments, string and character literals and
    preprocessor lines blanked (newlines kept), so braces can be counted."""
    return TOKEN_RE.sub(lambda t: t.group(0) if t.group("num") else re.sub(r"[^\n]", " ", t.group(0)), text)


_pairs = {}


def match_brace(m, i):
    """Index just past the brace that closes the one at i."""
    pairs = _pairs.get(id(m))
    if pairs is None or pairs[0] is not m:
        stack, table = [], {}
        for t in re.finditer(r"[{}]", m):
            if t.group() == "{":
                stack.append(t.start())
            elif stack:
                table[stack.pop()] = t.start() + 1
        pairs = _pairs[id(m)] = (m, table)
    if i not in pairs[1]:
        raise ValueError("unbalanced braces")
    return pairs[1][i]


NS_RE = re.compile(r"\b(inline\s+)?namespace\b\s*([A-Za-z_][\w:]*)?\s*\{")


def line_end(text, i):
    e = text.find("\n", i)
    return len(text) if e < 0 else e + 1


def body_start(text, m, lo, hi):
    """Where a scope's own code starts: past its includes (and an #if block
    holding one) and the comments and blank lines that follow them."""
    start = lo
    depth = 0
    pos = lo
    for line in text[lo:hi].splitlines(keepends=True):
        s = line.strip()
        if re.match(r"#\s*if", s):
            depth += 1
        elif re.match(r"#\s*endif", s):
            depth -= 1
            if depth == 0 and "#include" in text[start:pos] and m[start:pos].strip() == "":
                start = pos + len(line)
        elif re.match(r"#\s*include", s) and depth == 0:
            if m[lo:pos].strip() == "":
                start = pos + len(line)
        pos += len(line)
    return start


def segments(text, m, lo, hi):
    """Splits [lo, hi) of one scope into runs of code and named namespace
    blocks: [('code', a, b) | ('ns', a, open_end, close_start, b)]."""
    parts = []
    i = lo
    run = lo
    while i < hi:
        nxt = m.find("{", i, hi)
        if nxt < 0:
            break
        # The statement this brace belongs to starts after the last ; or }.
        stmt = max(m.rfind(";", run, nxt), m.rfind("}", run, nxt)) + 1
        stmt = max(stmt, run)
        head = m[stmt:nxt + 1]
        ns = NS_RE.search(head)
        end = match_brace(m, nxt)
        if ns and ns.end() == len(head) and ns.group(2) and ns.group(2) != WRAP and not ns.group(1):
            a = stmt + ns.start()
            # Keep comments written just above the block with it.
            if m[run:a].strip():
                parts.append(("code", run, a))
            parts.append(("ns", a, nxt + 1, end - 1, end))
            run = end
        i = end
    if run < hi:
        parts.append(("code", run, hi))
    return parts


def code_runs(text, m):
    """The file's runs of code past its includes, at its own level or in a
    named namespace block, as (start, end, namespace path)."""
    out = []

    def scan(lo, hi, path):
        for p in segments(text, m, lo, hi):
            if p[0] == "ns":
                scan(p[2], p[3], path + NS_RE.search(m, p[1]).group(2) + "::")
            else:
                out.append((p[1], p[2], path))

    scan(body_start(text, m, 0, len(text)), len(text), "")
    return out


def is_wrapper(head):
    return re.fullmatch(r"namespace %s" % WRAP, head) is not None


def unwrapped(text):
    """Declarations that belong in the wrapper but are outside it, as
    (start, end, namespace path)."""
    m = mask(text)
    own = own_names(m)
    return [(s, e, path) for a, b, path in code_runs(text, m) for s, e, h in statements(m, a, b)
            if not is_wrapper(h) and not stays_outside(text, m, s, e, h, own)]


def statements(m, a, b):
    """The declarations of [a, b) at its own level, as (start, end, head):
    each runs from the end of the one before (so comments above it come
    along) past its ; or its braces (a constructor's initializers too)."""
    i = a
    while i < b:
        start = i
        head = None
        while i < b:
            brace = m.find("{", i, b)
            semi = m.find(";", i, b)
            if brace < 0 and semi < 0:
                i = b
                break
            if semi >= 0 and (brace < 0 or semi < brace):
                head = m[start:semi] if head is None else head
                i = semi + 1
                break
            head = m[start:brace] if head is None else head
            i = match_brace(m, brace)
            rest = m[i:b].lstrip()
            if rest.startswith(";"):
                i = m.index(";", i) + 1
                break
            nxt = re.search(r"[{;]", m[i:b])
            # A constructor's next initializer or its body.
            if not (rest.startswith(",") or (nxt and nxt.group() == "{" and m[i:i + nxt.start()].strip() == "")):
                break
        if m[start:i].strip():
            yield start, i, " ".join((head or "").split())


QUALIFIED_RE = re.compile(r"((?:\w+(?:<[^<>]*>)?::)+)~?(?:\w+|operator\b.*)$")


def defines_elsewhere_declared(head, own):
    """Whether a declaration defines a member of a class or namespace the
    file does not define itself (a header's): that is no file-local name."""
    head = re.sub(r"^template\s*<[^{]*?>\s*", "", head)
    if re.match(r"(using|typedef|namespace|friend|static_assert|class|struct|union|enum)\b", head):
        return False
    decl = re.split(r"\(|=|\[", head, 1)[0].strip() if not head.startswith("operator") else head
    q = QUALIFIED_RE.search(decl)
    if not q:
        return False
    first = q.group(1).split("::")[0].split("<")[0]
    return first not in own and first != ""


INCLUDE_RE = re.compile(r"^[ \t]*#[ \t]*include\b", re.M)


OPERATOR_RE = re.compile(r"\b(?:operator\s*(?:==|!=|<=>|<<|>>|<=|>=|<|>|\+|-|\*|/)|PrintTo)\s*\((.*)\)")


def operator_for_others(head, own):
    """An operator or gtest printer for types the file does not define: only
    where it was (their namespace, or the global one) does lookup from the
    library's templates find it."""
    o = OPERATOR_RE.search(re.sub(r"^template\s*<[^{]*?>\s*", "", head))
    return o is not None and not set(re.findall(r"\w+", o.group(1))) & own


def stays_outside(text, m, s, e, head, own):
    """Declarations the wrapper leaves alone: definitions of what a header
    declares, operators for types of others, and blocks holding includes
    (extern "C" { #include ... })."""
    return (defines_elsewhere_declared(head, own) or operator_for_others(head, own)
            or INCLUDE_RE.search(text, s + len(m[s:e]) - len(m[s:e].lstrip()), e) is not None)


def own_names(m):
    return {d.group(1) for d in re.finditer(r"\b(?:class|struct|union|enum)\s+(\w+)\s*(?:final\s*)?[:{]", m)}


def wrap_text(text):
    m = mask(text)
    own = own_names(m)
    runs = []
    for a, b, path in code_runs(text, m):
        group = None
        for s, e, head in statements(m, a, b):
            # Includes above a declaration end the run before them.
            inc = [i for i in INCLUDE_RE.finditer(text, s, e) if not m[s:i.start()].strip()]
            if inc:
                if group:
                    runs.append(group)
                group = None
                s = line_end(text, inc[-1].start())
            if is_wrapper(head) or stays_outside(text, m, s, e, head, own):
                if group:
                    runs.append(group)
                group = None
            elif group:
                group = (group[0], e)
            else:
                group = (s, e)
        if group:
            runs.append(group)
    for a, b in reversed(runs):
        # A comment on the closing line stays with its line.
        eol = line_end(text, b)
        if not m[b:eol].strip():
            b = eol
        # Leading and trailing blank lines stay outside.
        while a < b and text[a] == "\n":
            a += 1
        while b > a and text[b - 1] in " \t\n":
            b -= 1
        prefix = "" if a == 0 or text[a - 1] == "\n" else "\n"
        tail = text[b:] if text[b:].strip() else "\n"
        text = text[:a] + prefix + OPEN + "\n\n" + text[a:b] + "\n\n" + CLOSE + tail
    if not text.endswith("\n"):
        text += "\n"
    return text


def left_alone(text):
    """Programs (a main) and support files without a test of their own:
    those define what a header declares for the tests, not names of theirs."""
    m = mask(text)
    return re.search(r"^\s*int\s+main\s*\(", m, re.M) is not None or not TEST_RE.search(m)


def test_files(root):
    """Test binary files by folder: a binary builds one folder's files."""
    groups = defaultdict(list)
    for top in ("host", "engine", "game", "tool"):
        for d, dirs, files in os.walk(os.path.join(root, top)):
            dirs.sort()
            rel = os.path.relpath(d, root)
            if "tests" not in rel.split(os.sep):
                continue
            for f in sorted(files):
                if f.endswith(".cpp"):
                    p = os.path.join(d, f)
                    with open(p, encoding="utf-8") as fh:
                        if not left_alone(fh.read()):
                            groups[rel].append(p)
    return groups


DECL_RE = re.compile(r"\b(?:class|struct|union|enum(?:\s+class|\s+struct)?)\s+([A-Za-z_]\w*)\s*(?:final\s*)?[:{]"
                     r"|\busing\s+([A-Za-z_]\w*)\s*="
                     r"|\bnamespace\s+([A-Za-z_]\w*)\s*=")
TEST_RE = re.compile(r"\b(TEST|TEST_F|TEST_P|TYPED_TEST|TYPED_TEST_P)\s*\(\s*(\w+)\s*,\s*(\w+)\s*\)")


KEYWORDS = {"operator", "return", "void", "auto", "const", "constexpr", "static", "inline", "int",
            "bool", "char", "float", "double", "unsigned", "signed", "long", "short", "typename"}


def local_names(m, a, b):
    """Names a run of code defines at its own level (or in an anonymous
    namespace there): types, aliases, functions, variables, tests."""
    names = set()
    i = a
    while i < b:
        brace = m.find("{", i, b)
        semi = m.find(";", i, b)
        if brace < 0 and semi < 0:
            break
        if semi >= 0 and (brace < 0 or semi < brace):
            stmt, i = m[i:semi], semi + 1
            body = None
        else:
            stmt = m[i:brace]
            end = match_brace(m, brace)
            body = (brace + 1, end - 1)
            i = end
            if m[i:i + 1] == ";":
                i += 1
        s = " ".join(stmt.split())
        if re.fullmatch(r"(inline )?namespace", s):
            names |= local_names(m, *body)
            continue
        if re.match(r"(inline )?namespace \w", s) or s.startswith("extern"):
            continue
        t = TEST_RE.search(s)
        if t:
            names.add("%s_%s_Test" % (t.group(2), t.group(3)))
            continue
        d = DECL_RE.search(s + ("{" if body else ""))
        if d:
            names.add(next(g for g in d.groups() if g))
            continue
        if s.startswith(("using namespace", "using ::", "static_assert", "template", "INSTANTIATE", "REGISTER", "TYPED_TEST_SUITE")):
            continue
        s = re.sub(r"\[\[.*?\]\]", "", s)
        f = re.match(r"([\w:<>,*&\s]+?)\b([A-Za-z_]\w*)\s*(\(|=|\{|\[|$)", s)
        if f and not f.group(1).strip().endswith("::") and f.group(2) not in KEYWORDS:
            if f.group(3) == "(" and f.group(2) == "PrintTo":
                continue
            names.add(f.group(2))
    return names


def check(root):
    failed = False
    for folder, files in sorted(test_files(root).items()):
        where = defaultdict(list)
        tests = defaultdict(list)
        fixtures = defaultdict(set)
        for p in files:
            with open(p, encoding="utf-8") as fh:
                text = fh.read()
            m = mask(text)
            outside = unwrapped(text)
            for a, b, path in outside:
                for name in sorted(local_names(m, a, b)):
                    where[path + name].append(os.path.basename(p))
            if outside:
                a = outside[0][0]
                line = text.count("\n", 0, a + len(m[a:]) - len(m[a:].lstrip())) + 1
                print("%s:%d: declarations outside `%s`: run scripts/test-file-names.py --wrap %s"
                      % (os.path.relpath(p, root), line, OPEN, os.path.relpath(p, root)))
                failed = True
            for t in TEST_RE.finditer(m):
                tests["%s.%s" % (t.group(2), t.group(3))].append(os.path.basename(p))
                if t.group(1) != "TEST" and re.search(r"\b(class|struct)\s+%s\b[^;]*\{" % t.group(2), m):
                    fixtures[t.group(2)].add(os.path.basename(p))
        for name, fs in sorted(where.items()):
            if len(fs) > 1:
                print("%s: %s each define `%s` outside the wrapper: they clash when one unit holds both"
                      % (folder, " and ".join(fs), name))
        for name, fs in sorted(tests.items()):
            if len(fs) > 1:
                print("%s: test %s is defined %d times (%s)" % (folder, name, len(fs), ", ".join(sorted(set(fs)))))
                failed = True
        for suite, own in sorted(fixtures.items()):
            users = {f for n, fs in tests.items() if n.split(".")[0] == suite for f in fs}
            if len(users) > 1:
                print("%s: test suite %s has a fixture of %s's own but tests in %s too: one suite, one fixture"
                      % (folder, suite, " and ".join(sorted(own)), " and ".join(sorted(users))))
                failed = True
    return failed


def main(argv):
    root = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    args = argv[1:]
    if args[:1] == ["--root"]:
        root, args = args[1], args[2:]
    if args[:1] == ["--wrap"]:
        paths = args[1:] or [p for fs in test_files(root).values() for p in fs]
        for p in paths:
            with open(p, encoding="utf-8") as fh:
                text = fh.read()
            if left_alone(text):
                continue
            new = wrap_text(text)
            if new != text:
                with open(p, "w", encoding="utf-8") as fh:
                    fh.write(new)
                print("wrapped", os.path.relpath(p, root))
        return 0
    return 1 if check(root) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
