#!/usr/bin/python3
"""Import of files written by other programs: what a reference reader sees
against what `wab import` keeps.

For every .vcf and .csv file of a directory it counts what a reference reader
finds (vobject for vCard, Python's csv module for CSV): contacts, contacts
with a name, e-mail addresses, telephone numbers and postcodes. It then
imports the file with `wab import` into a fresh store (`wab init`), reads the
store back (`wab list`, `wab export csv`) and counts what came in:

  named     contacts with a name that are in the store with a name
  emails    e-mail addresses found in 'Email'
  phones    numbers found in '电话' or '手机' (compared by their digits)
  postcodes postcodes found in '地址'
  refused   files the reference reader reads and `wab import` refuses

A loss the six fields make unavoidable is counted apart ("by design"): only
one e-mail address and one address fit a contact, and two numbers, of which
only a Chinese 11-digit mobile may be 手机; a contact the adding rules turn
away (the same name, phone, mobile or QQ as one before it) brings nothing.
The goals are measured on what can fit: kept / (seen - by design).

Usage: bench/import_corpus.py CORPUS_DIR [--wab PATH] [--files] [--losses]
"""

import argparse
import codecs
import csv
import io
import logging
import os
import re
import subprocess
import sys
import tempfile

import vobject

for _logger in ("vobject", "vobject.base"):  # it logs every line it skips
    logging.getLogger(_logger).setLevel(logging.CRITICAL)

GOALS = {"named": 98.0, "emails": 97.0, "phones": 95.0, "postcodes": 90.0}
EMAIL = re.compile(r"^[^@\s,;<>]+@[^@\s,;<>]+\.[^@\s,;<>]+$")
REJECTED_BY_RULES = ("已经存在相同", "手机号码不是11位", "QQ号码大于9位", "内容过长")


# --- decoding ----------------------------------------------------------------------


def decode(data):
    """The text of a file as a reader that honours BOMs and falls back from
    UTF-8 to GB18030 and Latin-1 would see it."""
    for bom, codec in ((codecs.BOM_UTF8, "utf-8-sig"), (codecs.BOM_UTF16_LE, "utf-16"),
                       (codecs.BOM_UTF16_BE, "utf-16")):
        if data.startswith(bom):
            return data.decode(codec, "replace")
    if len(data) > 1 and data.count(b"\0") * 4 > len(data):
        return data.decode("utf-16-le" if data[1:2] == b"\0" else "utf-16-be", "replace")
    for codec in ("utf-8", "gb18030"):
        try:
            return data.decode(codec)
        except UnicodeDecodeError:
            pass
    return data.decode("latin-1")


def digits(text):
    return "".join(ch for ch in text if ch.isdigit())


def chinese_mobile(number):
    d = digits(number)
    written = number.strip()
    if written.startswith(("+", "00")) and not d.startswith(("86", "0086")):
        return False  # another country's number
    for prefix in ("0086", "86"):
        if len(d) == 11 + len(prefix) and d.startswith(prefix):
            d = d[len(prefix):]
    return len(d) == 11 and d.startswith("1")


# --- the reference readers -----------------------------------------------------------


class Card:
    def __init__(self):
        self.name = ""
        self.emails = []
        self.phones = []
        self.postcodes = []  # one list of postcodes an address
        self.words = set()


def text_of(value):
    if isinstance(value, str):
        return value
    if isinstance(value, vobject.vcard.Name):
        return " ".join(str(v) for v in (value.prefix, value.given, value.additional, value.family,
                                         value.suffix) if v)
    if isinstance(value, (list, tuple)):
        return " ".join(text_of(v) for v in value)
    return str(value)


def vcard_cards(text):
    cards = []
    for component in vobject.readComponents(text, allowQP=True, ignoreUnreadable=True):
        if component.name.upper() != "VCARD":
            continue
        card = Card()
        names = {}
        for line in component.lines():
            key = line.name.upper()
            value = text_of(line.value).strip()
            if key in ("FN", "N", "ORG", "NICKNAME") and value:
                names.setdefault(key, value)
            elif key == "EMAIL" and value and value not in card.emails:
                card.emails.append(value)
            elif key == "TEL" and digits(value):
                card.phones.append(value)
            elif key == "ADR":
                code = getattr(line.value, "code", "")
                code = text_of(code).strip() if code else ""
                card.postcodes.append([code] if code else [])
        for key in ("FN", "N", "ORG", "NICKNAME"):
            if key in names:
                card.name = names[key]
                break
        card.words = set(re.findall(r"\w+", " ".join(names.values()).lower()))
        cards.append(card)
    return cards


NAME_HEADING = re.compile(r"name|名|姓|company|organi[sz]ation|单位|公司|nickname", re.I)
MAIL_HEADING = re.compile(r"mail|邮件|邮箱", re.I)
PHONE_HEADING = re.compile(r"phone|mobile|tel|fax|pager|手机|电话|移动|传真|寻呼", re.I)
CODE_HEADING = re.compile(r"zip|postal ?code|post ?code|邮编|邮政编码", re.I)
NOT_A_VALUE = re.compile(r"type|label|类型", re.I)


def looks_like_heading(row):
    return not any(EMAIL.match(cell.strip()) or len(digits(cell)) >= 5 for cell in row)


def csv_cards(text):
    sample = text[:8192]
    try:
        dialect = csv.Sniffer().sniff(sample, delimiters=",;\t")
    except csv.Error:
        dialect = csv.excel
    rows = [row for row in csv.reader(io.StringIO(text), dialect) if any(c.strip() for c in row)]
    if not rows:
        return []
    heading = rows[0] if looks_like_heading(rows[0]) else None
    body = rows[1:] if heading else rows
    cards = []
    for row in body:
        card = Card()
        names = []
        for i, cell in enumerate(row):
            value = cell.strip()
            if not value:
                continue
            title = heading[i] if heading and i < len(heading) else ""
            if heading and NOT_A_VALUE.search(title):
                continue
            if (not heading or MAIL_HEADING.search(title)) and EMAIL.match(value):
                if value not in card.emails:
                    card.emails.append(value)
            elif heading and PHONE_HEADING.search(title) and digits(value):
                card.phones.append(value)
            elif heading and CODE_HEADING.search(title):
                card.postcodes.append([value])
            elif (heading and NAME_HEADING.search(title)) or (not heading and i == 0):
                names.append(value)
        card.name = names[0] if names else ""
        card.words = set(re.findall(r"\w+", " ".join(names).lower()))
        cards.append(card)
    return cards


def reference(path):
    """(cards, None) or (None, why the reference reader refused the file)."""
    with open(path, "rb") as f:
        text = decode(f.read())
    try:
        if path.lower().endswith(".csv"):
            return csv_cards(text), None
        return vcard_cards(text), None
    except Exception as error:  # the reference reader refused the file
        return None, "%s: %s" % (type(error).__name__, error)


# --- our side ------------------------------------------------------------------------


def run(wab, *args):
    return subprocess.run([wab, *args], stdin=subprocess.DEVNULL, capture_output=True, text=True)


def imported(wab, path):
    """(exit code, report, records as lists of the six fields)."""
    with tempfile.TemporaryDirectory() as work:
        store = os.path.join(work, "wab.vdb")
        made = run(wab, "init", store)
        if made.returncode != 0:
            sys.exit("wab init failed: " + made.stdout + made.stderr)
        result = run(wab, "import", path, store)
        listed = run(wab, "list", store)
        out = os.path.join(work, "out.csv")
        exported = run(wab, "export", "csv", out, store)
        records = []
        if exported.returncode == 0 and os.path.exists(out):
            with open(out, encoding="utf-8-sig", newline="") as f:
                records = list(csv.reader(f))[1:]
        if listed.returncode != 0 or (not records and listed.stdout.strip()):
            sys.exit("wab list and wab export disagree on " + path)
        return result.returncode, result.stdout + result.stderr, records


def phone_kept(number, record):
    d = digits(number)
    for stored in (record[1], record[2]):
        s = digits(stored)
        if s and (s == d or (len(s) >= 7 and d.endswith(s))):
            return True
    return False


def match_score(card, record):
    score = 0
    if any(e.lower() == record[4].lower() for e in card.emails if record[4]):
        score += 4
    if any(phone_kept(p, record) for p in card.phones):
        score += 2
    words = set(re.findall(r"\w+", record[0].lower()))
    if card.words & words:
        score += 1 + len(card.words & words)
    return score


def pair(cards, records):
    """Each card with the stored record that holds it, or None."""
    pairs = [None] * len(cards)
    taken = set()
    scored = sorted(((match_score(c, r), -abs(i - j), i, j) for i, c in enumerate(cards)
                     for j, r in enumerate(records)), reverse=True)
    for score, _, i, j in scored:
        if score <= 0:
            break
        if pairs[i] is None and j not in taken:
            pairs[i] = records[j]
            taken.add(j)
    # what is left goes by order (a card whose every value was rewritten)
    rest = [j for j in range(len(records)) if j not in taken]
    for i in range(len(cards)):
        if pairs[i] is None and rest and cards[i].name:
            pairs[i] = records[rest.pop(0)]
    return pairs


def rule_skips(report):
    return sum(int(n) for reason, n in re.findall(r"　(.+?)：(\d+) 个", report)
               if reason.startswith(REJECTED_BY_RULES))


# --- counting ------------------------------------------------------------------------


class Tally:
    KINDS = ("named", "emails", "phones", "postcodes")

    def __init__(self):
        self.contacts = 0
        self.seen = dict.fromkeys(self.KINDS, 0)
        self.kept = dict.fromkeys(self.KINDS, 0)
        self.design = dict.fromkeys(self.KINDS, 0)
        self.extra = 0
        self.refused = 0
        self.unread = 0

    def add(self, other):
        self.contacts += other.contacts
        for kind in self.KINDS:
            self.seen[kind] += other.seen[kind]
            self.kept[kind] += other.kept[kind]
            self.design[kind] += other.design[kind]
        self.extra += other.extra
        self.refused += other.refused
        self.unread += other.unread

    def percent(self, kind):
        fits = self.seen[kind] - self.design[kind]
        return 100.0 * self.kept[kind] / fits if fits else 100.0

    def raw_percent(self, kind):
        return 100.0 * self.kept[kind] / self.seen[kind] if self.seen[kind] else 100.0


def measure(wab, path, losses):
    tally = Tally()
    cards, why = reference(path)
    code, report, records = imported(wab, path)
    if cards is None:
        tally.unread = 1
        return tally, "reference reader refused it (%s); wab import exit %d" % (why, code)
    tally.contacts = len(cards)
    if code != 0 and not records:
        tally.refused = 1
    pairs = pair(cards, records)
    skipped_by_rules = rule_skips(report)
    lost = []
    for card, record in zip(cards, pairs):
        # the adding rules turn away a contact without a name, and one that
        # repeats the name or a number of a contact before it
        by_rules = record is None and (not card.name or skipped_by_rules > 0)
        if by_rules and card.name:
            skipped_by_rules -= 1
        fits_phones = min(len(card.phones), 2 if any(chinese_mobile(p) for p in card.phones) else 1)
        coded = [codes for codes in card.postcodes if codes]
        counts = {
            "named": (1 if card.name else 0, 1 if card.name else 0),
            "emails": (len(card.emails), min(len(card.emails), 1)),
            "phones": (len(card.phones), fits_phones),
            "postcodes": (len(coded), min(len(coded), 1)),
        }
        for kind, (seen, fits) in counts.items():
            tally.seen[kind] += seen
            tally.design[kind] += seen if by_rules else seen - fits
        if record is None:
            if card.name and not by_rules:
                lost.append("contact %s" % card.name)
            continue
        if card.name and record[0].strip():
            tally.kept["named"] += 1
        if any(e.lower() == record[4].strip().lower() for e in card.emails):
            tally.kept["emails"] += 1
        elif card.emails:
            lost.append("email %s (%s)" % (card.emails[0], card.name))
        kept_phones = sum(1 for p in card.phones if phone_kept(p, record))
        tally.kept["phones"] += min(kept_phones, fits_phones)
        if kept_phones < fits_phones:
            lost.append("phone of %s: %s -> %r %r" % (card.name, card.phones, record[1], record[2]))
        if any(code in record[5] for codes in coded for code in codes):
            tally.kept["postcodes"] += 1
        elif coded:
            lost.append("postcode %s (%s) -> %r" % (coded[0][0], card.name, record[5]))
    tally.extra = max(0, len(records) - sum(1 for r in pairs if r is not None))
    note = ""
    if tally.refused:
        note = "refused: " + report.strip().splitlines()[0] if report.strip() else "refused"
    if losses and lost:
        note += ("\n" if note else "") + "\n".join("    lost " + l for l in lost)
    return tally, note


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("corpus")
    parser.add_argument("--wab", default=os.path.join(here, "..", "build", "program", "wab"))
    parser.add_argument("--files", action="store_true", help="a line for every file")
    parser.add_argument("--losses", action="store_true", help="list every loss that could fit")
    args = parser.parse_args()
    wab = os.path.abspath(args.wab)
    files = sorted(f for f in os.listdir(args.corpus) if f.lower().endswith((".vcf", ".csv")))
    total = Tally()
    if args.files or args.losses:
        print("%-44s %5s %9s %9s %9s %9s" % ("file", "cards", "named", "emails", "phones", "postcodes"))
    for name in files:
        tally, note = measure(wab, os.path.join(args.corpus, name), args.losses)
        total.add(tally)
        if args.files or args.losses:
            cells = ["%4d/%-4d" % (tally.kept[k], tally.seen[k] - tally.design[k]) for k in Tally.KINDS]
            print("%-44s %5d %s" % (name, tally.contacts, " ".join(cells)))
            if note:
                print("    " + note.strip())
    print()
    print("%d files, %d contacts seen by the reference readers" % (len(files), total.contacts))
    print("%-10s %6s %6s %6s %6s %9s %9s" % ("", "seen", "design", "fits", "kept", "of fits", "of seen"))
    for kind in Tally.KINDS:
        fits = total.seen[kind] - total.design[kind]
        mark = "ok" if total.percent(kind) >= GOALS[kind] else "BELOW %.0f %%" % GOALS[kind]
        print("%-10s %6d %6d %6d %6d %8.1f%% %8.1f%%  %s" % (kind, total.seen[kind], total.design[kind], fits,
                                                         total.kept[kind], total.percent(kind),
                                                         total.raw_percent(kind), mark))
    print("refused by wab import, read by the reference reader: %d" % total.refused)
    print("refused by the reference reader: %d" % total.unread)
    print("contacts in the store that match no reference card: %d" % total.extra)
    return 0


if __name__ == "__main__":
    sys.exit(main())
