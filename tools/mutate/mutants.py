"""Finding the places in a C++ source file where a small, plausible fault can be written.

The sources are clang-formatted, and that is what makes a token-level reading enough: a
binary operator always has a space on each side, while a pointer or reference declarator
hugs its type (`Foo* p`), a unary minus hugs its operand and template brackets hug their
arguments. Whatever this reading gets wrong the compiler refuses, and such a mutant is
reported as not compiling rather than judged.
"""

import hashlib
import re
from dataclasses import dataclass, field
from typing import Dict, List, Optional, Tuple

# Longest first, so that `<=` is one token and never `<` followed by `=`.
_PUNCT = sorted(
    """>>= <<= ... ->* <=> -> ++ -- << >> <= >= == != && || += -= *= /= %= &= |= ^= :: .*
    { } [ ] ( ) ; : , . ? ~ ! + - * / % ^ & | = < > #""".split(),
    key=len,
    reverse=True,
)

_NUMBER = re.compile(
    r"""(0[xX][0-9a-fA-F']+|(\d[\d']*\.?[\d']*|\.\d[\d']*)([eE][+-]?\d+)?)[uUlLfF]*"""
)
_IDENT = re.compile(r"[A-Za-z_]\w*")

# Statements that print or log are left alone: a fault there changes no behaviour that the
# tests should be asked to see.
LOGGING = re.compile(r"\b(qDebug|qInfo|qWarning|qCritical|std::cerr|std::clog|fprintf|printf|assert)\b")

KEYWORDS_NOT_CALLS = {"if", "while", "for", "switch", "return", "sizeof", "alignof", "decltype",
                      "static_assert", "catch", "noexcept", "throw", "new", "delete", "operator",
                      "static_cast", "const_cast", "reinterpret_cast", "dynamic_cast", "alignas"}
STATEMENT_KEYWORDS = {"return", "break", "continue", "case", "default", "using", "typedef", "goto",
                      "static", "const", "constexpr", "auto", "template", "namespace", "class",
                      "struct", "enum", "public", "private", "protected", "friend", "virtual",
                      "explicit", "inline", "extern", "thread_local", "do", "else", "if", "for",
                      "while", "switch", "try", "throw", "delete", "co_return"}


@dataclass
class Token:
    kind: str  # "ident", "number", "string", "punct"
    text: str
    start: int
    end: int
    line: int


@dataclass
class Mutant:
    path: str  # relative to the repository root, "/" separated
    line: int
    operator: str
    description: str
    edits: List[Tuple[int, int, str]]  # (start, end, replacement) offsets into the original text
    site: str  # mutants of one site are variants of each other; sampling draws sites
    id: str = field(default="")

    def apply(self, text: str) -> str:
        out = text
        for start, end, repl in sorted(self.edits, key=lambda e: e[0], reverse=True):
            out = out[:start] + repl + out[end:]
        return out


def tokenize(text: str) -> List[Token]:
    """Tokens of the code only: comments, preprocessor lines and literals' insides are gone."""
    tokens: List[Token] = []
    i, line, n = 0, 1, len(text)
    at_line_start = True
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            i += 1
            at_line_start = True
            continue
        if c in " \t\r\f\v":
            i += 1
            continue
        if at_line_start and c == "#":
            # A directive, with its continuation lines.
            while i < n and text[i] != "\n":
                if text[i] == "\\" and i + 1 < n and text[i + 1] == "\n":
                    line += 1
                    i += 1
                i += 1
            continue
        at_line_start = False
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
            continue
        if text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            line += text.count("\n", i, j)
            i = j
            continue
        m = re.match(r'(u8|u|U|L)?R"([^(\s]*)\(', text[i:i + 24])
        if m:
            close = ")" + m.group(2) + '"'
            j = text.find(close, i + m.end())
            j = n if j < 0 else j + len(close)
            tokens.append(Token("string", text[i:j], i, j, line))
            line += text.count("\n", i, j)
            i = j
            continue
        if c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
            tokens.append(Token("string", text[i:j], i, j, line))
            i = j
            continue
        if c.isdigit() or (c == "." and i + 1 < n and text[i + 1].isdigit()):
            m = _NUMBER.match(text, i)
            tokens.append(Token("number", m.group(0), i, m.end(), line))
            i = m.end()
            continue
        m = _IDENT.match(text, i)
        if m:
            # String literal prefixes are part of the literal that follows.
            if m.group(0) in ("u8", "u", "U", "L") and m.end() < n and text[m.end()] in "\"'":
                i = m.end()
                continue
            tokens.append(Token("ident", m.group(0), i, m.end(), line))
            i = m.end()
            continue
        for p in _PUNCT:
            if text.startswith(p, i):
                tokens.append(Token("punct", p, i, i + len(p), line))
                i += len(p)
                break
        else:
            tokens.append(Token("punct", c, i, i + 1, line))
            i += 1
    return tokens


def _spaced(text: str, tok: Token) -> bool:
    before = text[tok.start - 1] if tok.start > 0 else "\n"
    after = text[tok.end] if tok.end < len(text) else "\n"
    return before in " \t" and after in " \t\n"


def _matching(tokens: List[Token], i: int) -> Optional[int]:
    """Index of the bracket closing the one at i."""
    pairs = {"(": ")", "[": "]", "{": "}"}
    opening = tokens[i].text
    depth = 0
    for j in range(i, len(tokens)):
        t = tokens[j].text
        if t == opening:
            depth += 1
        elif t == pairs[opening]:
            depth -= 1
            if depth == 0:
                return j
    return None


def _number_value(literal: str):
    body = literal.replace("'", "").rstrip("uUlLfF")
    if body.lower().startswith("0x"):
        return int(body, 16), False
    if re.fullmatch(r"\d+", body):
        return int(body), False
    try:
        return float(body), True
    except ValueError:
        return None, False


def _format_number(value, is_float: bool, literal: str) -> str:
    if is_float:
        # Rounded so that 1.57 + 1 reads 2.57, not its binary neighbour.
        s = repr(round(float(value), 12))
        if literal.rstrip("lL").endswith(("f", "F")):
            s += "f"
    else:
        s = str(int(value))
        suffix = re.search(r"[uUlL]*$", literal).group(0)
        if value < 0 and "u" in suffix.lower():
            return ""  # an unsigned literal has no negative spelling
        s += suffix
    return "(" + s + ")" if value < 0 else s


SWAPS = {
    "+": ("-", "arith"), "-": ("+", "arith"), "*": ("/", "arith"), "/": ("*", "arith"),
    "+=": ("-=", "arith"), "-=": ("+=", "arith"), "*=": ("/=", "arith"), "/=": ("*=", "arith"),
    "<": ("<=", "compare"), "<=": ("<", "compare"), ">": (">=", "compare"), ">=": (">", "compare"),
    "==": ("!=", "compare"), "!=": ("==", "compare"),
    "&&": ("||", "logic"), "||": ("&&", "logic"),
}


def _simple_argument(toks: List[Token]) -> Optional[str]:
    """'name' for a variable or member chain, 'number' for a literal, else None."""
    if len(toks) == 1 and toks[0].kind == "number":
        return "number"
    if len(toks) == 2 and toks[0].text == "-" and toks[1].kind == "number":
        return "number"
    if not toks or toks[0].kind != "ident" or len(toks) % 2 == 0:
        return None
    for k, t in enumerate(toks):
        if k % 2 == 0 and t.kind != "ident":
            return None
        if k % 2 == 1 and t.text not in (".", "->", "::"):
            return None
    if toks[-1].text in ("true", "false", "nullptr"):
        return None
    return "name"


def _is_declaration(stmt: List[Token]) -> bool:
    """A statement that declares something: removing it would not compile."""
    prev = None
    for t in stmt:
        if t.text in ("(", "=", "+=", "-=", "*=", "/=", "%=", "|=", "&=", "^=", "<<=", ">>=", "++",
                      "--", "{", ";", "[", "<<"):
            return False
        if t.kind == "ident" and prev is not None and (
                prev.kind == "ident" or prev.text in (">", ">>", "*", "&", "&&")):
            return True
        prev = t
    return False


_NOT_TYPES = {"return", "case", "else", "delete", "new", "throw", "goto", "auto", "const", "static",
              "constexpr", "mutable", "volatile", "inline", "typename", "struct", "class", "enum", "using",
              "template", "operator", "co_return", "co_yield", "sizeof"}


def declared_types(tokens: List[Token]) -> Dict[str, str]:
    """Name -> the type it is declared with, for the names of a file (and its header)
    whose declaration reads `Type name` followed by `=`, `,`, `)`, `;`, `{` or `[`."""
    out: Dict[str, str] = {}
    for i, t in enumerate(tokens):
        if t.kind != "ident" or i + 1 >= len(tokens) or tokens[i + 1].text not in ("=", ",", ")", ";", "{", "["):
            continue
        j = i - 1
        while j >= 0 and (tokens[j].kind == "ident" or tokens[j].text in ("::", "<", ">", "*", "&", "&&")):
            j -= 1
        words = [x.text for x in tokens[j + 1:i] if x.text not in ("&", "&&") and x.text not in _NOT_TYPES]
        if not words or words[-1] in ("::", "<") or tokens[i - 1].text in _NOT_TYPES:
            continue
        out.setdefault(t.text, " ".join(words))
    return out


def _same_type(a: List[Token], b: List[Token], types: Dict[str, str]) -> bool:
    """Two different arguments a fault could plausibly swap: literals of one kind, names
    declared with one type, or members of one object (`p.x`, `p.y`)."""
    kind_a, kind_b = _simple_argument(a), _simple_argument(b)
    if kind_a is None or kind_a != kind_b:
        return False
    ta, tb = "".join(t.text for t in a), "".join(t.text for t in b)
    if ta == tb:
        return False
    if kind_a == "number":
        return _number_value(a[-1].text)[1] == _number_value(b[-1].text)[1]
    if len(a) == 1 and len(b) == 1:
        known = types.get(ta)
        return known is not None and known == types.get(tb)
    return len(a) == len(b) and [t.text for t in a[:-1]] == [t.text for t in b[:-1]]


def find_mutants(path: str, text: str, header: str = "") -> List[Mutant]:
    tokens = tokenize(text)
    types = declared_types(tokenize(header) + tokens)
    lines = text.split("\n")
    skip_lines = {k + 1 for k, l in enumerate(lines) if LOGGING.search(l)}
    out: List[Mutant] = []

    def add(tok: Token, operator: str, desc: str, edits, site_suffix: str = ""):
        if tok.line in skip_lines:
            return
        out.append(Mutant(path, tok.line, operator, desc, edits,
                          site=f"{path}:{tok.start}:{operator}{site_suffix}"))

    for i, tok in enumerate(tokens):
        # Operator swaps.
        if tok.kind == "punct" and tok.text in SWAPS and _spaced(text, tok):
            to, op = SWAPS[tok.text]
            if tok.text == "&&" and i + 1 < len(tokens) and tokens[i + 1].text in (")", ",", ";"):
                continue
            add(tok, op, f"{tok.text} -> {to}", [(tok.start, tok.end, to)])

        # Constants.
        if tok.kind == "number":
            value, is_float = _number_value(tok.text)
            if value is None:
                continue
            # A literal under a unary minus is changed with its sign.
            negative = i > 0 and tokens[i - 1].text == "-" and not _spaced(text, tokens[i - 1]) and \
                i > 1 and (tokens[i - 2].kind == "punct" and tokens[i - 2].text not in (")", "]"))
            start = tokens[i - 1].start if negative else tok.start
            current = -value if negative else value
            seen = {current}
            for new in (0, 1, -1, current + 1, current - 1):
                if new in seen:
                    continue
                seen.add(new)
                spelled = _format_number(new, is_float, tok.text)
                if not spelled:
                    continue
                add(tok, "constant", f"{text[start:tok.end]} -> {spelled}", [(start, tok.end, spelled)])

        if tok.kind == "ident" and tok.text in ("if", "while") and i + 1 < len(tokens) \
                and tokens[i + 1].text == "(":
            close = _matching(tokens, i + 1)
            if close is not None and close > i + 2:
                first, last = tokens[i + 2], tokens[close - 1]
                cond = text[first.start:last.end]
                add(tok, "negate", f"{tok.text} ({cond}) -> {tok.text} (!({cond}))",
                    [(first.start, first.start, "!("), (last.end, last.end, ")")])

        # Swapped arguments of a call.
        if tok.text == "(" and i > 0 and tokens[i - 1].kind == "ident" \
                and tokens[i - 1].text not in KEYWORDS_NOT_CALLS:
            close = _matching(tokens, i)
            if close is None:
                continue
            args, cur, depth = [], [], 0
            for t in tokens[i + 1:close]:
                if t.text in "([{":
                    depth += 1
                elif t.text in ")]}":
                    depth -= 1
                if t.text == "," and depth == 0:
                    args.append(cur)
                    cur = []
                else:
                    cur.append(t)
            args.append(cur)
            for k in range(len(args) - 1):
                a, b = args[k], args[k + 1]
                if not _same_type(a, b, types):
                    continue
                ta = text[a[0].start:a[-1].end]
                tb = text[b[0].start:b[-1].end]
                if ta == tb:
                    continue
                add(tok, "swap-args", f"{tokens[i - 1].text}(..{ta}, {tb}..) -> (..{tb}, {ta}..)",
                    [(a[0].start, a[-1].end, tb), (b[0].start, b[-1].end, ta)], site_suffix=f":{k}")

    out.extend(_statement_removals(path, text, tokens, skip_lines))
    for m in out:
        m.id = mutant_id(m, text)
    return out


def _statement_removals(path, text, tokens, skip_lines) -> List[Mutant]:
    """Expression statements (calls, assignments) that start a line inside a function body."""
    out = []
    brace_kinds = []  # for each open brace: True when it opens a block of statements
    i = 0
    while i < len(tokens):
        t = tokens[i]
        if t.text == "{":
            prev = tokens[i - 1] if i else None
            # A block of statements follows `)` (function, if, loop), `else`, `do`, `try`,
            # another statement or a block; braces after `=`, `(`, `,` or a name are
            # initializers, and class or namespace bodies hold declarations.
            block = prev is not None and (prev.text in (")", "else", "do", "try", ";", "{", "}", "const",
                                                        "override", "noexcept", "mutable", "final")) \
                and (not brace_kinds or brace_kinds[-1] or prev.text == ")")
            if prev is not None and prev.text == ")":
                # `) {` of a class member initializer list or a lambda also starts code.
                block = True
            brace_kinds.append(block)
            i += 1
            continue
        if t.text == "}":
            if brace_kinds:
                brace_kinds.pop()
            i += 1
            continue
        in_block = bool(brace_kinds) and brace_kinds[-1]
        prev = tokens[i - 1] if i else None
        starts_line = text[text.rfind("\n", 0, t.start) + 1:t.start].strip() == ""
        if in_block and starts_line and prev is not None and (prev.text in (";", "{", "}", "else")
                                                              or _closes_control_header(tokens, i - 1)) \
                and (t.kind == "ident" or t.text in ("*", "++", "--")) and t.text not in STATEMENT_KEYWORDS:
            # The statement runs to the first `;` outside brackets.
            depth, j = 0, i
            while j < len(tokens):
                x = tokens[j].text
                if x in "([{":
                    depth += 1
                elif x in ")]}":
                    depth -= 1
                    if depth < 0:
                        break
                elif x == ";" and depth == 0:
                    break
                j += 1
            if j < len(tokens) and tokens[j].text == ";":
                stmt = tokens[i:j]
                has_effect = any(s.text in ("(", "=", "+=", "-=", "*=", "/=", "%=", "|=", "&=", "^=",
                                            "<<=", ">>=", "++", "--") for s in stmt)
                lambda_body = any(s.text == "{" for s in stmt)
                if has_effect and not lambda_body and not _is_declaration(stmt) and t.line not in skip_lines:
                    end = tokens[j].end
                    snippet = " ".join(text[t.start:end].split())
                    if len(snippet) > 70:
                        snippet = snippet[:67] + "..."
                    out.append(Mutant(path, t.line, "remove", f"removed: {snippet}",
                                      [(t.start, end, "{}")], site=f"{path}:{t.start}:remove"))
                i = j
                continue
        i += 1
    return out


def _closes_control_header(tokens, i) -> bool:
    """Whether tokens[i] is the `)` ending `if (...)`, `while (...)` or `for (...)`."""
    if tokens[i].text != ")":
        return False
    depth = 0
    for j in range(i, -1, -1):
        t = tokens[j].text
        if t == ")":
            depth += 1
        elif t == "(":
            depth -= 1
            if depth == 0:
                return j > 0 and tokens[j - 1].text in ("if", "while", "for")
    return False


def mutant_id(m: Mutant, text: str) -> str:
    """An id that survives edits elsewhere in the file: the mutated line's own text, the
    change, and which of the file's identical lines it is."""
    lines = text.split("\n")
    own = lines[m.line - 1].strip()
    nth = sum(1 for l in lines[:m.line - 1] if l.strip() == own)
    mutated = m.apply(text)
    line_start = sum(len(l) + 1 for l in lines[:m.line - 1])
    first = min(e[0] for e in m.edits)
    last = max(e[1] for e in m.edits)
    delta = len(mutated) - len(text)
    region_after = mutated[min(first, line_start):last + delta]
    region_before = text[min(first, line_start):last]
    h = hashlib.sha1("\0".join([m.path, m.operator, own, str(nth), region_before, region_after,
                                str(first - line_start)]).encode()).hexdigest()[:10]
    return f"{m.path}:{h}"


def diff(m: Mutant, text: str, context: int = 1) -> str:
    """The changed lines as a small unified diff."""
    import difflib
    a = text.split("\n")
    b = m.apply(text).split("\n")
    out = difflib.unified_diff(a, b, fromfile=f"a/{m.path}", tofile=f"b/{m.path}", n=context, lineterm="")
    return "\n".join(out)
