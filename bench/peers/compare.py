#!/usr/bin/env python3
"""Compare a peer's report with the page's ground truth.

    compare.py PEER REPORT EXPECTED.json          (one peer, prints a summary line)
    compare.py --markdown REPORT... --expected-dir DIR
        (REPORT names are PEER-SETTING-N.txt as run-peers.sh writes them; the
         expected file for N and port P is DIR/expected-P-N.json)

Ground truth: the anchors of /page-N.html (site-server.js --expected N). Every
distinct http(s) URL is expected as: 200, 301 (redirect to a 200), 404, 500 or
'refused' (nothing listens). A peer is right for a URL when it reports that
status; for a redirect both "301" and "followed to 200" count as right; for
'refused' only a connection error without an HTTP status counts as right.
A peer that lists only problems (checklink) is taken to say "ok" for every URL
it does not list.
"""
import csv
import io
import json
import os
import re
import sys
import urllib.parse
from collections import Counter, defaultdict


def parse_linkinator(text):
    d = json.loads(text[text.index("{"):])
    out = {}
    for x in d["links"]:
        if "parent" not in x:
            continue  # the page itself
        st = x.get("state")
        if st == "SKIPPED":
            out[x["url"]] = ("skipped", "")
        elif x.get("status", 0) == 0:
            det = x.get("failureDetails") or [""]
            out[x["url"]] = ("error", str(det[0])[:80])
        else:
            out[x["url"]] = (int(x["status"]), st)
    return out, False


BLC_LINE = re.compile(r"^[├└]─+([A-Z]+)─+ (\S+)(?: \(([^)]*)\))?")


def parse_blc(text):
    out = {}
    for line in text.splitlines():
        m = BLC_LINE.match(line)
        if not m:
            continue
        state, url, why = m.groups()
        if state == "OK":
            out[url] = ("ok", "")
        elif state == "BROKEN":
            mm = re.match(r"HTTP_(\d+)", why or "")
            out[url] = (int(mm.group(1)), why) if mm else ("error", why or "")
        else:
            out[url] = ("skipped", state + " " + (why or ""))
    return out, False


def parse_linkchecker(text):
    lines = [l for l in text.splitlines() if l and not l.startswith("#") and not l.startswith("WARNING ")]
    start = next(i for i, l in enumerate(lines) if l.startswith("urlname;"))
    out = {}
    for r in csv.DictReader(io.StringIO("\n".join(lines[start:])), delimiter=";"):
        if r.get("level") == "0" or not r.get("parentname"):
            continue
        # "url" is where LinkChecker ended up (after redirects); key by the link itself
        url = urllib.parse.urljoin(r["parentname"], r["urlname"]) if r["urlname"] else r["url"]
        res = r["result"] or ""
        m = re.match(r"(\d{3}) ", res)
        if m:
            out[url] = (int(m.group(1)), res)
        elif r["valid"] == "True":
            out[url] = ("skipped" if url.startswith("mailto:") else "ok", res)
        else:
            out[url] = ("error", res[:80])
    return out, False


def parse_checklink(text):
    out = {}
    lines = text.splitlines()
    for i, l in enumerate(lines):
        m = re.match(r"^\s+Code: (.*)$", l)
        if not m:
            continue
        code = m.group(1)
        # the URL is on the first line of the block (a redirect block adds "-> URL")
        j = i - 1
        while j > 0 and not re.match(r"^\S", lines[j]):
            j -= 1
        if lines[j].startswith("-> "):
            j -= 1
        url = lines[j].split("\t")[0].strip()
        mm = re.match(r"(\d{3})(?: -> (\d{3}))?", code)
        if "Access to 'mailto' URIs has been disabled" in code:
            out[url] = ("skipped", code)
        elif mm:
            out[url] = (int(mm.group(1)), code[:80])
        else:
            out[url] = ("error", code[:80])
    return out, True  # True: unlisted URLs are "ok"


def parse_quorvel(text):
    # quorvel-cli check --format json: one array, one object per row in page order,
    # {"link","follow","type","anchor","response","time","icon"}; "response" is the raw
    # status line ("HTTP/1.1 200 OK"), "" when no answer arrived (connection error),
    # "EMAIL" for mail links. Redirects are not followed: a 301 row shows its own 301.
    items = json.loads(text[text.index("["):])
    out = {}
    for x in items:
        resp = (x.get("response") or "").strip()
        url = x["link"]
        if resp == "EMAIL" or url.startswith("mailto:"):
            out[url] = ("skipped", "mail link")
            continue
        m = re.match(r"HTTP/[\d.]+ (\d{3})", resp)
        if m:
            out[url] = (int(m.group(1)), resp)
        elif resp == "":
            out[url] = ("error", "no answer")
        else:
            out[url] = ("error", resp[:80])
    return out, False


def report_port(text, n):
    """The port of the page: from its URL in the report, else the most frequent
    127.0.0.1 port in it (quorvel's rows list the links only, not the page)."""
    m = re.search(r"http://127\.0\.0\.1:(\d+)/page-" + n + r"\.html", text)
    if m:
        return m.group(1)
    ports = Counter(re.findall(r"http://127\.0\.0\.1:(\d+)/", text))
    return ports.most_common(1)[0][0] if ports else None


PARSERS = {"linkinator": parse_linkinator, "blc": parse_blc, "linkchecker": parse_linkchecker,
           "checklink": parse_checklink, "quorvel": parse_quorvel}


def judge(expected, got):
    if expected == "refused":
        return got == "error"
    if expected == 301:
        return got in (301, 200, "ok")
    if expected == 200:
        return got in (200, "ok")
    return got == expected


def compare(peer, report_text, exp):
    got, unlisted_ok = PARSERS[peer](report_text)
    truth = {}
    for a in exp["anchors"]:
        if a["url"].startswith("http"):
            truth[a["url"]] = a["expect"]
    per = defaultdict(Counter)
    wrong = []
    for url, e in truth.items():
        key = {200: "200", 301: "301", 404: "404", 500: "500", "refused": "refused"}[e]
        if url in got:
            g, why = got[url]
        elif unlisted_ok:
            g, why = "ok", "not listed"
        else:
            per[key]["missing"] += 1
            wrong.append((url, e, "not reported", ""))
            continue
        if g == "skipped":
            per[key]["skipped"] += 1
            wrong.append((url, e, "skipped", why))
        elif judge(e, g):
            per[key]["right"] += 1
            if e == 301:
                per[key]["as 301" if g == 301 else "followed"] += 1
        else:
            per[key]["wrong"] += 1
            wrong.append((url, e, g, why))
    extra = [u for u in got if u not in truth and not u.startswith("mailto:")]
    return truth, per, wrong, extra


def cell(c):
    s = f"{c['right']}"
    bits = []
    for k in ("wrong", "missing", "skipped"):
        if c[k]:
            bits.append(f"{c[k]} {k}")
    if c["as 301"] or c["followed"]:
        bits.append(f"{c['followed']} followed" if not c["as 301"] else f"{c['as 301']} as 301")
    return s + (f" ({', '.join(bits)})" if bits else "")


def main():
    if sys.argv[1] != "--markdown":
        peer, rep, expf = sys.argv[1:4]
        truth, per, wrong, extra = compare(peer, open(rep, encoding="utf-8", errors="replace").read(), json.load(open(expf)))
        print(peer, {k: dict(v) for k, v in per.items()}, "extra:", len(extra))
        for w in wrong[:20]:
            print("  ", w)
        return
    args = sys.argv[2:]
    d = args.index("--expected-dir")
    reports, expdir = args[:d], args[d + 1]
    totals = Counter(a for a in [])
    print("| report | 200 (ok) | 301 (to 200) | 404 | 500 | refused | URLs not in the page |")
    print("|---|---|---|---|---|---|---|")
    notes = []
    for rep in reports:
        name = os.path.basename(rep)[:-4]
        peer, setting, n = name.rsplit("-", 2)
        text = open(rep, encoding="utf-8", errors="replace").read()
        port = report_port(text, n)
        if not port:
            print(f"| {name} | (no page URL in the report) ||||||")
            continue
        expf = os.path.join(expdir, f"expected-{port}-{n}.json")
        try:
            truth, per, wrong, extra = compare(peer, text, json.load(open(expf)))
        except Exception as e:  # a report cut short, a format we do not know
            print(f"| {name} | (unreadable report: {type(e).__name__}: {e}) ||||||")
            continue
        cnt = Counter(truth.values())
        cols = [f"{cell(per[k])} / {cnt[e]}" for k, e in
                (("200", 200), ("301", 301), ("404", 404), ("500", 500), ("refused", "refused"))]
        print(f"| {name} | " + " | ".join(cols) + f" | {len(extra)} |")
        kinds = Counter((str(e), str(g)) for _, e, g, _ in wrong)
        for (e, g), k in sorted(kinds.items()):
            ex = next(w for w in wrong if (str(w[1]), str(w[2])) == (e, g))
            notes.append(f"- {name}: expected {e}, reported {g}: {k} URL(s), e.g. {ex[0]} ({ex[3]})")
    if notes:
        print()
        print("\n".join(notes))


if __name__ == "__main__":
    main()
