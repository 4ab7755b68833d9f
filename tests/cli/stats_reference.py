#!/usr/bin/env python3
"""A second, independent computation of kalix-cli's collocates, n-grams,
clusters and attested variants, from the word list (`words --json`) and the
search (`search --json`) of the same documents.

usage: stats_reference.py KALIX_CLI RULES FOLDER

Writes a few seeded random documents and a corpus file into FOLDER, compares
and prints every difference; exits 0 when there is none.
"""
import json
import math
import random
import subprocess
import sys
from collections import Counter, defaultdict

CLI, RULES, FOLDER = sys.argv[1:4]
problems = []


def run(*args):
    done = subprocess.run([CLI, "-R", RULES, *args], capture_output=True, check=True)
    return json.loads(done.stdout.decode("utf-8"))


def write_documents():
    rng = random.Random(26)
    vocabulary = ["le", "roy", "roi", "chat", "chats", "noir", "la", "mer", "isle", "estoile", "de", "et",
                  "l'ami", "ensemble", "ensanble", "cité", "cite"]
    weights = [12, 3, 3, 6, 2, 3, 8, 2, 2, 2, 9, 8, 2, 3, 1, 1, 1]
    paths = []
    for d in range(3):
        words = rng.choices(vocabulary, weights, k=1500 + 400 * d)
        text = ""
        for w in words:
            text += w + rng.choice([" "] * 10 + [". ", ", ", "\n"])
        path = f"{FOLDER}/doc{d}.txt"
        with open(path, "wb") as f:
            f.write((text + ".\n").encode("cp1252"))
        paths.append(path)
    corpus = f"{FOLDER}/docs.cor"
    with open(corpus, "wb") as f:
        f.write("\r\n".join(paths).encode("cp1252") + b"\r\n")
    return paths, corpus


def filters_of(search):
    """The --filter options among search options."""
    out = []
    for k, a in enumerate(search or []):
        if a == "--filter":
            out += ["--filter", search[k + 1]]
    return out


def word_sequence(doc, result, filters=()):
    """The words of a document in text order: (form, paragraph start)."""
    words = []
    for t in run("words", "--json", "--result", result, *filters, doc)["targets"]:
        for o in t["occurrences"]:
            words.append((o["wordStart"], t["text"], o["paragraphStart"]))
    words.sort()
    return [w[0] for w in words], [w[1] for w in words], [w[2] for w in words]


def occurrence_words(doc, search, starts):
    """The place in the word sequence of each occurrence's word."""
    places = []
    for t in run("search", "--json", *search, doc)["targets"]:
        for o in t["occurrences"]:
            places.append(starts.index(o["wordStart"]))
    return places


def measures(o, f, n, node, w):
    e = w * f / n
    cells = [(o, w * f / n), (w - o, w * (n - f) / n), (f - o, (n - w) * f / n), (n - w - f + o, (n - w) * (n - f) / n)]
    g2 = 2 * sum(x * math.log(x / y) for x, y in cells if x > 0 and y > 0)
    return {"logLikelihood": g2, "mutualInformation": math.log2(o / e), "tScore": (o - e) / math.sqrt(o),
            "logDice": 14 + math.log2(2 * o / (node + f))}


def check_collocates(docs, corpus, search, left, right):
    together, totals = Counter(), Counter()
    n = node = w = 0
    for doc in docs:
        starts, forms, _ = word_sequence(doc, "2", filters_of(search))
        totals.update(forms)
        n += len(forms)
        for k in occurrence_words(doc, search, starts):
            node += 1
            for j in range(max(0, k - left), min(len(forms), k + right + 1)):
                if j != k:
                    together[forms[j]] += 1
                    w += 1
    got = run("collocates", *search, "--left", str(left), "--right", str(right), "--json", "--corpus", corpus)
    name = f"collocates {search} {left}/{right}"
    if (got["words"], got["occurrences"], got["windowWords"]) != (n, node, w):
        problems.append(f"{name}: totals {got['words'], got['occurrences'], got['windowWords']} != {(n, node, w)}")
    rows = {c["text"]: c for c in got["collocates"]}
    if set(rows) != set(together):
        problems.append(f"{name}: forms {sorted(set(rows) ^ set(together))}")
    for form, o in together.items():
        c = rows.get(form)
        if c is None:
            continue
        if (c["cooccurrences"], c["frequency"]) != (o, totals[form]):
            problems.append(f"{name} {form}: {c['cooccurrences'], c['frequency']} != {(o, totals[form])}")
        for key, value in measures(o, totals[form], n, node, w).items():
            if not math.isclose(c[key], value, rel_tol=1e-9, abs_tol=1e-9):
                problems.append(f"{name} {form} {key}: {c[key]} != {value}")
    order = [c["cooccurrences"] for c in got["collocates"]]
    if order != sorted(order, reverse=True):
        problems.append(f"{name}: not sorted by co-occurrence frequency")


def check_ngrams(docs, corpus, size, search=None):
    frequency, documents = Counter(), Counter()
    for doc in docs:
        starts, forms, paragraphs = word_sequence(doc, "2", filters_of(search))
        held = set(occurrence_words(doc, search, starts)) if search else None
        seen = set()
        for k in range(len(forms) - size + 1):
            if len(set(paragraphs[k:k + size])) != 1:
                continue
            if held is not None and not held.intersection(range(k, k + size)):
                continue
            gram = " ".join(forms[k:k + size])
            frequency[gram] += 1
            seen.add(gram)
        documents.update(seen)
    args = ["ngrams", "--size", str(size), "--json", "--corpus", corpus]
    if search:
        args += ["--containing", *search]
    got = {g["text"]: (g["frequency"], g["documents"]) for g in run(*args)["ngrams"]}
    want = {g: (frequency[g], documents[g]) for g in frequency}
    if got != want:
        diff = sorted(set(got.items()) ^ set(want.items()))[:10]
        problems.append(f"ngrams {size} {search}: {diff}")


def check_attested(docs, corpus, strings, level, filters=()):
    searched = 0
    for doc in docs:
        for t in run("search", "--json", "--spelling", "3", "--level", str(level), *filters,
                     *sum((["--string", s] for s in strings), []), doc)["targets"]:
            searched += len(t["occurrences"])
    got = run("variants", "--level", str(level), "--attested", *filters, "--json", "--corpus", corpus, "--",
              *strings)
    counts = {}
    for lst in got["lists"]:
        for v in lst["variants"]:
            counts[v["text"]] = v["occurrences"]
    if got["occurrences"] != searched or sum(counts.values()) != searched:
        problems.append(f"attested {strings} {level}: {got['occurrences']}, {sum(counts.values())} != {searched}")


docs, corpus = write_documents()
check_collocates(docs, corpus, ["--string", "chat"], 5, 5)
check_collocates(docs, corpus, ["--string", "roi", "--position", "4"], 2, 1)
check_collocates(docs, corpus, ["--string", "ensemble", "--spelling", "3", "--level", "3"], 1, 10)
check_collocates(docs, corpus, ["--string", "e", "--context", "2"], 3, 1)
check_collocates(docs, corpus, ["--string", "chat", "--filter", "Pluriels"], 4, 4)
for size in (2, 3, 5):
    check_ngrams(docs, corpus, size)
check_ngrams(docs, corpus, 3, ["--string", "roi"])
check_ngrams(docs, corpus, 2, ["--string", "chat", "--string", "mer", "--context", "3", "--no-all"])
check_attested(docs, corpus, ["ensemble", "cite"], 3)
check_attested(docs, corpus, ["roi", "es"], 1)
check_attested(docs, corpus, ["chat", "ensemble"], 2, ["--filter", "Pluriels"])
for p in problems:
    print(p)
sys.exit(1 if problems else 0)
