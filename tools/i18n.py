#!/usr/bin/env python3
"""Keeps the translation catalogues in step with the code.

The catalogues are split by subsystem (resources/i18n/<subsystem>_<lang>.ts) so that
work on one subsystem never touches another's files; the build merges them into one
catalogue per language.

  tools/i18n.py update [subsystem ...]   re-extract the texts marked for translation
  tools/i18n.py todo [subsystem ...]     print the untranslated texts as JSON
  tools/i18n.py apply FILE.json          fill translations: {"en": {"source": "text"}, ...};
                                         a plural text ("%n") takes ["one", "many"]
  tools/i18n.py check                    exit 1 when any catalogue has unfinished entries
"""
import json
import os
import subprocess
import sys
import xml.etree.ElementTree as ET

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
I18N = os.path.join(ROOT, "resources", "i18n")
SUBSYSTEMS = ["app", "store", "device", "scan", "exam", "anamnesis", "cloud"]
LANGUAGES = {"en": "en", "it": "it", "pt": "pt", "pt-br": "pt_BR"}
LUPDATE = os.environ.get("LUPDATE", "/usr/lib/qt6/bin/lupdate")


def ts_path(sub, lang):
    return os.path.join(I18N, f"{sub}_{lang}.ts")


def sources_of(sub):
    paths = [os.path.join(ROOT, sub)]
    forms = os.path.join(ROOT, "resources", "forms", sub)
    if os.path.isdir(forms):
        paths.append(forms)
    return paths


def update(subs):
    os.makedirs(I18N, exist_ok=True)
    for sub in subs:
        for lang, target in LANGUAGES.items():
            subprocess.run([LUPDATE, "-silent", "-no-obsolete", "-locations", "none",
                            "-extensions", "cpp,h,ui", "-source-language", "it",
                            "-target-language", target, "-I", ROOT, *sources_of(sub),
                            "-ts", ts_path(sub, lang)], check=True)
        # Italian is the source language: its catalogue repeats the source texts.
        fill(ts_path(sub, "it"), lambda source: source)


def messages(path):
    tree = ET.parse(path)
    for context in tree.getroot().iter("context"):
        for message in context.iter("message"):
            yield tree, message


def is_unfinished(message):
    t = message.find("translation")
    if t is None or t.get("type") == "unfinished":
        return True
    if message.get("numerus") == "yes":
        forms = t.findall("numerusform")
        return not forms or any(not (f.text or "").strip() for f in forms)
    return not (t.text or "").strip()


def set_translation(message, text):
    """Sets a message's translation; a plural message ("%n") takes a list of forms (one
    text stands for every form). True when something changed."""
    t = message.find("translation")
    if t is None:
        t = ET.SubElement(message, "translation")
    if message.get("numerus") == "yes":
        forms = text if isinstance(text, list) else [text, text]
        if [f.text for f in t.findall("numerusform")] == forms and t.get("type") is None:
            return False
        for child in list(t):
            t.remove(child)
        t.text = None
        for form in forms:
            ET.SubElement(t, "numerusform").text = form
    else:
        if t.text == text and t.get("type") is None:
            return False
        t.text = text
    t.attrib.pop("type", None)
    return True


def fill(path, translate):
    tree = ET.parse(path)
    changed = False
    for message in tree.getroot().iter("message"):
        source = message.findtext("source") or ""
        text = translate(source)
        if text is None:
            continue
        changed = set_translation(message, text) or changed
    if changed:
        tree.write(path, encoding="utf-8", xml_declaration=True)


def todo(subs):
    out = {}
    for lang in LANGUAGES:
        if lang == "it":
            continue
        for sub in subs:
            path = ts_path(sub, lang)
            if not os.path.exists(path):
                continue
            for _, message in messages(path):
                if is_unfinished(message):
                    out.setdefault(lang, {})[message.findtext("source")] = ""
    print(json.dumps(out, ensure_ascii=False, indent=1))


def apply(json_path):
    with open(json_path, encoding="utf-8") as f:
        table = json.load(f)
    for lang, mapping in table.items():
        for sub in SUBSYSTEMS:
            path = ts_path(sub, lang)
            if os.path.exists(path):
                fill(path, lambda source: mapping.get(source) or None)


def check():
    bad = 0
    for name in sorted(os.listdir(I18N)):
        if not name.endswith(".ts"):
            continue
        for _, message in messages(os.path.join(I18N, name)):
            if is_unfinished(message):
                print(f"{name}: unfinished: {message.findtext('source')!r}")
                bad += 1
    return 1 if bad else 0


def main(argv):
    if len(argv) < 2:
        print(__doc__)
        return 2
    command, rest = argv[1], argv[2:]
    if command == "update":
        update(rest or SUBSYSTEMS)
    elif command == "todo":
        todo(rest or SUBSYSTEMS)
    elif command == "apply" and len(rest) == 1:
        apply(rest[0])
    elif command == "check":
        return check()
    else:
        print(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
