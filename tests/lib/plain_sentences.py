"""Sentence lengths of the pages for users, the desk and IT.

    plain_sentences.py MEDIAN MAX PAGE...

Prints each page's lines, median and longest sentence in words, and every
sentence over MAX; fails when a page's median is over MEDIAN, a sentence
over MAX, or the word "alone" stands where "only" is meant. Code blocks,
tables and headings are left out; a list item starts a sentence.
"""
import re
import statistics
import sys

median_limit, max_limit = int(sys.argv[1]), int(sys.argv[2])
failed = False
for page in sys.argv[3:]:
    lines = open(page, encoding="utf-8").read().splitlines()
    text, fenced = [], False
    for line in lines:
        if line.startswith("```"):
            fenced = not fenced
        elif not fenced and not line.startswith(("    ", "\t", "|", "#", "===", "---")):
            # A list item, a blank line or a heading ends what came before.
            text.append("\n" if not line.strip() or re.match(r"\s*([-*]|\d+\.) ", line) else "")
            text.append(re.sub(r"^\s*([-*]|\d+\.) ", "", line) + " ")
    sentences = [s for part in "".join(text).split("\n")
                 for s in re.split(r"(?<=[.!?])[\"')]*\s+(?=[A-Z\"'(`])", part) if len(s.split()) > 0]
    words = [len(s.split()) for s in sentences]
    median = statistics.median(words) if words else 0
    print(f"{page}: {len(lines)} lines, {len(words)} sentences, median {median} words, longest {max(words, default=0)}")
    for sentence, count in zip(sentences, words):
        if count > max_limit:
            print(f"  {count} words: {sentence.strip()[:120]}...")
    alone = [line for line in lines if re.search(r"\balone\b", line)]
    for line in alone:
        print(f"  'alone': {line.strip()[:100]}")
    failed |= median > median_limit or max(words, default=0) > max_limit or bool(alone)
sys.exit(1 if failed else 0)
