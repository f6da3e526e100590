#!/usr/bin/env python3
"""Checks docs/commands/ and docs/cheatsheet.md against the runtime's headers, so neither
can drift.

The commands are the functions that runtime/runtime.h declares, through every header it
includes, directly in namespace `runtime` (not in classes, not in nested namespaces;
operators belong to their types). Each must have a row in a command table of a page in
docs/commands/: a table whose header is `| command | result | on failure |`, whose first
cell holds one or more signatures in backticks, `name(a, b)`, and whose other cells are not
empty ("—" says the command has no failure of its own). An argument in [brackets] or with
"= value" is optional; "..." stands for any number.

Fails when a command has no row, when a row names a command no header declares, when a
documented argument count fits no declaration, or when a declaration's argument count has
no row. Rows may also document engine operations of headers runtime.h does not include
(every header of runtime/ outside runtime/platform/ counts for them).

docs/cheatsheet.md holds one line per user command, "- `SIGNATURE` - on failure", with the
signature exactly as a public header declares it; docs/engine_internals.md names, in
backticks, the other commands of the public headers. Fails when a cheatsheet signature
matches no declaration, when a public command is in neither page or in both, or when a name
on the internals page is no public command. Usage: check_command_docs.py SOURCE_DIR
"""
import pathlib
import re
import sys

TABLE_HEADER = ["command", "result", "on failure"]


def strip_code(text):
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    text = re.sub(r"//[^\n]*", " ", text)
    text = re.sub(r'"(?:\\.|[^"\\])*"', '""', text)
    text = re.sub(r"'(?:\\.|[^'\\])*'", "''", text)
    return re.sub(r"^\s*#[^\n]*", " ", text, flags=re.M)


def header_closure(root):
    todo, found = ["runtime/runtime.h"], []
    while todo:
        header = todo.pop(0)
        if header in found:
            continue
        found.append(header)
        text = (root / header).read_text()
        todo += re.findall(r'^\s*#\s*include\s*"(runtime/[^"]+)"', text, flags=re.M)
    return found


def split_top_level(text, separator=","):
    """Splits at separators outside (), <>, [] and {}."""
    parts, depth, current = [], 0, ""
    for ch in text:
        if ch in "(<[{":
            depth += 1
        elif ch in ")>]}":
            depth -= 1
        if ch == separator and depth == 0:
            parts.append(current)
            current = ""
        else:
            current += ch
    if current.strip():
        parts.append(current)
    return [p.strip() for p in parts]


def module_headers(root):
    """Every header of the runtime's modules (the platform layer is no command source)."""
    return sorted(str(p.relative_to(root)) for p in (root / "runtime").rglob("*.h")
                  if "platform" not in p.relative_to(root).parts)


def declared_commands(root, headers=None):
    """name -> list of (least, most, signature), one per declaration."""
    commands = {}
    for header in headers if headers is not None else header_closure(root):
        text = strip_code((root / header).read_text())
        scopes, statement = [], ""
        for ch in text:
            if ch == "{":
                namespace = re.fullmatch(r"\s*(?:inline\s+)?namespace\s+([\w:]*)\s*", statement)
                if all(kind == "runtime" for kind in scopes) and not namespace:
                    record(commands, statement, scopes)  # an inline definition
                scopes.append(namespace.group(1) if namespace else "other")
                statement = ""
            elif ch == "}":
                scopes.pop()
                statement = ""
            elif ch == ";":
                if scopes and "other" not in scopes:
                    record(commands, statement, scopes)
                statement = ""
            elif not scopes or scopes[-1] != "other":
                statement += ch
    return commands


def record(commands, statement, scopes):
    if scopes != ["runtime"]:
        return
    statement = " ".join(statement.split())
    statement = re.sub(r"^template\s*<[^>]*>\s*", "", statement)
    if re.match(r"(using|typedef|struct|class|enum|static_assert|friend)\b", statement):
        return
    match = re.match(r"([\w:<>,*&\s\[\]]*?)\b(~?\w+)\s*\((.*)\)[^()]*$", statement)
    if not match or not match.group(1).strip() or "operator" in statement.split("(")[0]:
        return
    before = match.group(1).split()
    if "=" in statement.split("(")[0] or before[-1] in ("return", "new"):
        return
    parameters = [p for p in split_top_level(match.group(3)) if p and p != "void"]
    least = sum(1 for p in parameters if "=" not in p)
    commands.setdefault(match.group(2), []).append((least, len(parameters), signature_of(statement)))


def signature_of(statement):
    """A declaration as the cheatsheet writes it: one line, no attributes or specifiers."""
    statement = re.sub(r"\[\[\w+\]\]|\b(?:inline|constexpr|static|extern)\b", " ", statement)
    statement = " ".join(statement.split())
    statement = re.sub(r"\s*([(),&*])\s*", r"\1", statement).replace(",", ", ")
    return re.sub(r"([&*]+)(?=\w)", r"\1 ", statement)


def documented_commands(root):
    """name -> list of (least, most, where); problems found on the way."""
    documented, problems = {}, []
    for page in sorted((root / "docs" / "commands").glob("*.md")):
        header = None
        for number, line in enumerate(page.read_text().splitlines(), 1):
            where = f"{page.relative_to(root)}:{number}"
            if not line.startswith("|"):
                header = None
                continue
            cells = [c.strip() for c in re.split(r"(?<!\\)\|", line.strip().strip("|"))]
            if header is None:
                header = [c.lower() for c in cells]
                continue
            if header != TABLE_HEADER or set(line) <= set("|-: "):
                continue
            if len(cells) != 3 or not cells[1] or not cells[2]:
                problems.append(f"{where}: a command row needs a result and a failure result")
            signatures = re.findall(r"`(~?\w+)\(([^`]*)\)`", cells[0])
            if not signatures:
                problems.append(f"{where}: no `name(arguments)` in the first cell")
            for name, arguments in signatures:
                documented.setdefault(name, []).append((*argument_range(arguments), where))
    return documented, problems


def argument_range(arguments):
    if "..." in arguments:
        return 0, 1 << 30
    optional = re.sub(r"\[.*\]", "", arguments)
    required = [a for a in split_top_level(optional) if a and "=" not in a]
    total = [a for a in split_top_level(arguments.replace("[", "").replace("]", "")) if a]
    return len(required), len(total)


def check(root):
    declared = declared_commands(root)
    every = declared_commands(root, module_headers(root))
    documented, problems = documented_commands(root)
    for name, overloads in sorted(declared.items()):
        rows = documented.get(name)
        if not rows:
            problems.append(f"{name}: declared in the headers, documented in no command table")
            continue
        for least, most, _ in overloads:
            if not any(r_least <= most and least <= r_most for r_least, r_most, _ in rows):
                problems.append(f"{name}: no row documents the form with {least}..{most} arguments")
    for name, rows in sorted(documented.items()):
        overloads = every.get(name)
        for least, most, where in rows:
            if not overloads:
                problems.append(f"{where}: {name} is declared in no header")
            elif not any(least <= o_most and o_least <= most for o_least, o_most, _ in overloads):
                problems.append(f"{where}: {name} takes no {least}..{most} arguments")
    return declared, problems + check_cheatsheet(root, declared)


def check_cheatsheet(root, declared):
    problems, listed = [], {}
    sheet = root / "docs" / "cheatsheet.md"
    for number, line in enumerate(sheet.read_text().splitlines(), 1):
        match = re.match(r"- `([^`]+)` (?:-|—) \S", line)
        if not line.startswith("- `"):
            continue
        where = f"{sheet.relative_to(root)}:{number}"
        if not match:
            problems.append(f"{where}: a command line is \"- `signature` - on failure\"")
            continue
        signature = signature_of(match.group(1))
        name = re.search(r"(\w+)\(", signature)
        overloads = declared.get(name.group(1) if name else "", [])
        if not any(signature == s for _, _, s in overloads):
            problems.append(f"{where}: `{signature}` is not declared so in the public headers")
            continue
        listed.setdefault(name.group(1), set()).add(signature)
    internals_page = root / "docs" / "engine_internals.md"
    internals = set(re.findall(r"`(\w+)`", internals_page.read_text()))
    for name, overloads in sorted(declared.items()):
        if name in internals and name in listed:
            problems.append(f"{name}: on the cheatsheet and on the internals page")
        elif name not in internals and name not in listed:
            problems.append(f"{name}: a public command on neither the cheatsheet nor the internals page")
        elif name in listed:
            for signature in sorted({s for _, _, s in overloads} - listed[name]):
                problems.append(f"{name}: the cheatsheet lacks `{signature}`")
    for name in sorted(internals - set(declared)):
        problems.append(f"{internals_page.relative_to(root)}: {name} is no public command")
    return problems


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    declared, problems = check(root)
    for problem in problems:
        print(problem)
    print(f"{len(declared)} commands, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
