#!/usr/bin/env python3
"""Builds the dialog control tables (RCDATA) from their readable source and
checks them against the dialog templates.

  gen_dlgtables.py [--source FILE] [--templates FILE...] [--out FILE] (--check | --update)

Checks: each record names exactly one known section; the control and key ids
are 1..65535 and exist in the table's template (where the section makes them
controls); ids in the bound ranges sit on controls of the matching class
(160-199 labels, 250-259 edits, 270-279 combo boxes, 280-284 lists and
trees). The terminating record is written by the generator. --check fails
when a rule is broken or the generated file is not current; --update writes it.
"""
import argparse
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SECTIONS = {0x1, 0x2, 0x4, 0x8, 0x10, 0x20, 0x40, 0x80, 0x100, 0x1000, 0x4000, 0x8000}
# Sections whose key is another control of the dialog.
KEY_IS_CONTROL = {0x1, 0x2, 0x4, 0x10, 0x40}
TEXT_FIRST = {"LTEXT", "CTEXT", "RTEXT", "PUSHBUTTON", "DEFPUSHBUTTON", "GROUPBOX", "CHECKBOX",
              "AUTOCHECKBOX", "RADIOBUTTON", "AUTORADIOBUTTON", "STATE3", "AUTO3STATE", "ICON"}
ID_FIRST = {"EDITTEXT": "edit", "COMBOBOX": "combobox", "LISTBOX": "listbox"}
STATIC_WORDS = {"LTEXT", "CTEXT", "RTEXT", "ICON"}
RANGES = [((160, 199), {"static", "msctls_progress32"}), ((250, 259), {"edit"}),
          ((270, 279), {"combobox"}), ((280, 284), {"listbox", "systreeview32", "syslistview32"})]


def num(text):
    return int(text, 0)


def parse_templates(paths):
    """{template id: {control id: class name (lower case)}}"""
    out = {}
    for path in paths:
        current = None
        with open(path, encoding="utf-8") as f:
            for line in f:
                s = line.split("//")[0].strip()
                m = re.match(r"^(\d+)\s+DIALOG(EX)?\b", s)
                if m:
                    current = out.setdefault(int(m.group(1)), {})
                    continue
                if current is None or not s:
                    continue
                if s == "END":
                    current = None
                    continue
                word = s.split()[0]
                rest = s[len(word):]
                fields = [x.strip() for x in re.findall(r'\s*("[^"]*"|[^,]+)', rest)]
                if word == "CONTROL" and len(fields) >= 3:
                    current[num(fields[1])] = fields[2].strip('"').lower()
                elif word in TEXT_FIRST and len(fields) >= 2:
                    current[num(fields[1])] = "static" if word in STATIC_WORDS else "button"
                elif word in ID_FIRST and fields:
                    current[num(fields[0])] = ID_FIRST[word]
    return out


def parse_tables(path):
    """[(table id, template id, [(line, record)])]"""
    tables = []
    with open(path, encoding="utf-8") as f:
        for n, line in enumerate(f, 1):
            s = line.split("#")[0].strip()
            if not s:
                continue
            words = s.split()
            if words[0] == "table":
                tid = num(words[1])
                tmpl = num(words[3]) if len(words) >= 4 and words[2] == "template" else tid
                tables.append((tid, tmpl, []))
                continue
            if not tables or len(words) != 5:
                raise SystemExit(f"{path}:{n}: expected 'table ID' or five numbers")
            tables[-1][2].append((n, [num(w) for w in words]))
    return tables


def check(tables, templates, source):
    errors = []
    for tid, tmpl, records in tables:
        controls = templates.get(tmpl)
        if controls is None:
            errors.append(f"table {tid}: no template {tmpl}")
            continue
        for n, (section, control, key, flags, extra) in records:
            where = f"{source}:{n}: table {tid}"
            for name, v in (("section", section), ("control", control), ("key", key), ("flags", flags), ("extra", extra)):
                if not 0 <= v <= 0xFFFF:
                    errors.append(f"{where}: {name} {v} is not a 16-bit word")
            if section not in SECTIONS:
                errors.append(f"{where}: section 0x{section:X} is not one known section bit")
            if control == 0:
                errors.append(f"{where}: control id 0 would end the table")
                continue
            own = control == tmpl and section in (0x20, 0x1000, 0x4000)
            kind_default = section == 0x4 and control in (7, 8)
            page = section == 0x4000
            if not (own or kind_default or page) and control not in controls:
                errors.append(f"{where}: control {control} is not in template {tmpl}")
            help_context = section == 0x4 and (flags & 0x8000)
            if section in KEY_IS_CONTROL and not help_context and not kind_default and key not in controls:
                errors.append(f"{where}: key {key} is not in template {tmpl}")
    for tmpl, controls in templates.items():
        for cid, cls in controls.items():
            for (lo, hi), classes in RANGES:
                if lo <= cid <= hi and cls not in classes:
                    errors.append(f"template {tmpl}: control {cid} is a {cls}, not one of {sorted(classes)}")
    return errors


def render(tables):
    lines = ["// Generated by scripts/gen_dlgtables.py from res/dialogs/tables.txt: do not edit.",
             "// Dialog control tables: records of five 16-bit words, ended by a zero record."]
    for tid, _tmpl, records in tables:
        lines.append(f"{tid} RCDATA")
        lines.append("BEGIN")
        for _n, r in records:
            lines.append("    " + ", ".join(f"0x{w:X}" if i in (0, 3) else str(w) for i, w in enumerate(r)) + ",")
        lines.append("    0, 0, 0, 0, 0")
        lines.append("END")
        lines.append("")
    return "\n".join(lines)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--source", default=os.path.join(ROOT, "res/dialogs/tables.txt"))
    ap.add_argument("--templates", nargs="+", default=[os.path.join(ROOT, "res/dialogs/templates.rc")])
    ap.add_argument("--out", default=os.path.join(ROOT, "res/dialogs/tables.rc"))
    mode = ap.add_mutually_exclusive_group(required=True)
    mode.add_argument("--check", action="store_true")
    mode.add_argument("--update", action="store_true")
    a = ap.parse_args()
    tables = parse_tables(a.source)
    errors = check(tables, parse_templates(a.templates), os.path.basename(a.source))
    for e in errors:
        print(e, file=sys.stderr)
    if errors:
        return 1
    text = render(tables)
    if a.update:
        with open(a.out, "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
        return 0
    try:
        with open(a.out, encoding="utf-8") as f:
            current = f.read()
    except OSError:
        current = None
    if current != text:
        print(f"{a.out} is not current: run {os.path.basename(__file__)} --update", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
