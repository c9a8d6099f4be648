#!/usr/bin/env python3
"""Builds the command table's generated files from commands/cmdtable.def.

  gen_cmdtable.py --inc OUT.inc      write the C++ data of the table
                  --check            fail when res/strings_cmdtable.rc or
                                     config/lang_qwk.xxx differ from the data
                  --update           rewrite those two files

The format of the data file is described at its top.
"""
import argparse
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEF = os.path.join(ROOT, "commands", "cmdtable.def")
RC = os.path.join(ROOT, "res", "strings_cmdtable.rc")
DICT = os.path.join(ROOT, "config", "lang_qwk.xxx")

FIRST, LAST = 301, 693
NAME_MAX = 99          # K_cmd_id_from_name copies at most 99 characters
ENTRY_MAX = 200        # K_cmd_get_name reads at most 200 characters
STRING_BASE = 1199     # string id = command id + 1199
CATEGORY_BASE = 1280

BITS = {
    "caret": 0x1, "undo": 0x2, "minimized": 0x4, "special": 0x8,
    "editable": 0x10, "readonly": 0x20, "listed": 0x40, "noview": 0x80,
    "title1": 0x100, "title0": 0x200, "owned": 0x400, "column": 0x800,
    "assist": 0x1000, "extendcall": 0x2000, "extend": 0x4000,
    "catstart": 0x40000, "list2": 0x80000, "list1": 0x100000,
    "list32": 0x400000, "check": 0x800000, "profile": 0x1000000,
    "decimal": 0x4000000,
}
# Bits that only the running program sets.
RUNTIME_BITS = 0x8000 | 0x10000 | 0x20000 | 0x2000000


class DefError(Exception):
    pass


def parse(path):
    records, categories, dictwords = {}, [], []
    with open(path, encoding="ascii") as f:
        for lineno, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            fields = [x.strip() for x in line.split("|")]
            where = f"{path}:{lineno}"
            if fields[0] == "@category":
                categories.append((int(fields[1]), fields[2]))
                continue
            if fields[0] == "@dictword":
                dictwords.append((fields[1], int(fields[2])))
                continue
            if len(fields) != 6:
                raise DefError(f"{where}: expected 6 fields")
            cid = int(fields[0])
            if not FIRST <= cid <= LAST or cid in records:
                raise DefError(f"{where}: bad or repeated id {cid}")
            name = None if fields[1] == "-" else fields[1].replace("\\t", "\t")
            attr = 0
            for w in fields[4].split():
                if w not in BITS:
                    raise DefError(f"{where}: unknown attribute {w}")
                attr |= BITS[w]
            handler = fields[2]
            kind, _, arg = handler.partition(":")
            if kind not in ("-", "title", "fn", "slot", "placeholder"):
                raise DefError(f"{where}: unknown handler {handler}")
            desc = fields[5]
            if name is not None:
                bare = name.lstrip("\t")
                if not bare or len(bare) > NAME_MAX or " " in bare:
                    raise DefError(f"{where}: bad name {name!r}")
                if not desc or "\t" in desc or '"' in desc:
                    raise DefError(f"{where}: bad description")
                if len(desc) + 1 + len(name) > ENTRY_MAX:
                    raise DefError(f"{where}: entry longer than {ENTRY_MAX}")
            elif desc:
                raise DefError(f"{where}: a description without a name")
            if kind == "title" and not attr & (BITS["title1"] | BITS["title0"]):
                raise DefError(f"{where}: a title record needs title1 or title0")
            if kind in ("fn", "slot", "-") and attr & (BITS["title1"] | BITS["title0"]):
                raise DefError(f"{where}: title bits on a record without a title")
            if attr & BITS["owned"] and attr & (BITS["title1"] | BITS["title0"]):
                # A static title is never a heap copy; 0x400 beside a title
                # bit would make the program free it.
                raise DefError(f"{where}: owned beside a title bit")
            records[cid] = dict(id=cid, name=name, kind=kind, arg=arg,
                                value=int(fields[3]), attr=attr, desc=desc)
    missing = [i for i in range(FIRST, LAST + 1) if i not in records]
    if missing:
        raise DefError(f"missing records: {missing}")
    names = [r["name"].lstrip("\t") for r in records.values() if r["name"]]
    if len(set(names)) != len(names):
        raise DefError("a name is used twice")
    starts = [r["id"] for r in sorted(records.values(), key=lambda r: r["id"])
              if r["attr"] & BITS["catstart"]]
    if starts != [c[0] for c in categories]:
        raise DefError("@category lines and catstart attributes disagree")
    return [records[i] for i in range(FIRST, LAST + 1)], categories, dictwords


def c_string(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"').replace("\t", "\\t") + '"'


def make_inc(records, categories):
    slots = []
    for r in records:
        if r["kind"] == "slot" and r["arg"] not in slots:
            slots.append(r["arg"])
    out = ["// Generated by scripts/gen_cmdtable.py from commands/cmdtable.def; do not edit.",
           f"#define QW_CMD_SLOT_COUNT {len(slots)}",
           "static const char* const k_slot_names[QW_CMD_SLOT_COUNT] = {"]
    out += [f"    {c_string(s)}," for s in slots]
    out.append("};")
    for i, _ in enumerate(slots):
        out.append(f"static int slot_fn_{i}(int id, K_cmd_params* p) {{ return K_cmd_call_slot({i}, id, p); }}")
    out.append("static const K_cmd_fn k_slot_fns[QW_CMD_SLOT_COUNT] = {")
    out += [f"    &slot_fn_{i}," for i in range(len(slots))]
    out.append("};")
    out.append(f"K_cmd_record K_cmd_table[{len(records)}] = {{")
    for r in records:
        k = r["kind"]
        if k == "title":
            h = f"{{ .title = {c_string(r['arg'])} }}"
        elif k == "fn":
            h = f"{{ .fn = &{r['arg']} }}"
        elif k == "slot":
            h = f"{{ .fn = &slot_fn_{slots.index(r['arg'])} }}"
        elif k == "placeholder":
            h = "{ .fn = &K_cmd_placeholder }"
        else:
            h = "{ .fn = nullptr }"
        out.append(f"    /* {r['id']} */ {{ {h}, {r['value']}, 0x{r['attr']:08X}u }},")
    out.append("};")
    out.append(f"static const K_cmd_text k_cmd_text[{len(records)}] = {{")
    for r in records:
        if r["name"]:
            out.append(f"    {{ {c_string(r['name'])}, {c_string(r['desc'])} }},")
        else:
            out.append("    { nullptr, nullptr },")
    out.append("};")
    out.append(f"static const K_cmd_category_info k_categories[{len(categories)}] = {{")
    out += [f"    {{ {cid}, {c_string(n)} }}," for cid, n in categories]
    out.append("};")
    return "\n".join(out) + "\n"


def rc_string(s):
    return '"' + s.replace('"', '""').replace("\t", "\\t") + '"'


def make_rc(records, categories):
    out = ["// Generated by scripts/gen_cmdtable.py from commands/cmdtable.def; do not edit.",
           "// Command categories and the \"description<TAB>name\" entry of each command.",
           "STRINGTABLE", "BEGIN"]
    for i, (_, n) in enumerate(categories):
        out.append(f"    {CATEGORY_BASE + i} {rc_string(n)}")
    for r in records:
        if r["name"]:
            out.append(f"    {r['id'] + STRING_BASE} {rc_string(r['desc'] + chr(9) + r['name'])}")
    out.append("END")
    return "\r\n".join(out) + "\r\n"


def make_dict(records, dictwords):
    out = ["; The editor's command dictionary: each command name and its number.",
           "; Generated from the command table; changes here are replaced on update.",
           "[QW Commands]"]
    for name, cid in dictwords:
        out.append(f"{name} {cid}")
    for r in records:
        if r["name"]:
            out.append(f"{r['name'].lstrip(chr(9))} {r['id']}")
    return "\r\n".join(out) + "\r\n"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--def", dest="deffile", default=DEF)
    ap.add_argument("--inc")
    ap.add_argument("--check", action="store_true")
    ap.add_argument("--update", action="store_true")
    a = ap.parse_args()
    try:
        records, categories, dictwords = parse(a.deffile)
    except DefError as e:
        print(f"gen_cmdtable: {e}", file=sys.stderr)
        return 1
    if len(categories) != 27:
        print("gen_cmdtable: expected 27 categories", file=sys.stderr)
        return 1
    made = {RC: make_rc(records, categories), DICT: make_dict(records, dictwords)}
    if a.update:
        for path, text in made.items():
            with open(path, "w", encoding="ascii", newline="") as f:
                f.write(text)
    if a.check:
        for path, text in made.items():
            try:
                with open(path, encoding="ascii", newline="") as f:
                    current = f.read()
            except OSError:
                current = None
            if current != text:
                print(f"gen_cmdtable: {os.path.relpath(path, ROOT)} is out of date with "
                      "commands/cmdtable.def; run python3 scripts/gen_cmdtable.py --update",
                      file=sys.stderr)
                return 1
    if a.inc:
        text = make_inc(records, categories)
        old = None
        if os.path.exists(a.inc):
            with open(a.inc, encoding="ascii") as f:
                old = f.read()
        if old != text:
            os.makedirs(os.path.dirname(os.path.abspath(a.inc)), exist_ok=True)
            with open(a.inc, "w", encoding="ascii") as f:
                f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
