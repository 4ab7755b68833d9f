// kalix-cli --help and --version.

#include "cli/Commands.h"

#include <cstdio>

#ifndef KALIX_VERSION
#define KALIX_VERSION "unknown"
#endif

namespace kalix::cli {

namespace {

// Every command and option that kalix-cli accepts; the manual page
// kalix-cli(1) describes the same list (a test keeps them in step with the
// parsers).
const char kHelp[] =
    "usage: kalix-cli [-R RULES] [-L LANGUAGE] [--layer LAYER] COMMAND ...\n"
    "       kalix-cli --help | --version\n"
    "\n"
    "Searches transcribed documents (rich text or plain text, code page 1252)\n"
    "as the Kalix desktop program does, without a window.\n"
    "\n"
    "Global options:\n"
    "  -R RULES       the rules file (default: nac.rul in the current folder)\n"
    "  --translit FILE  the user's transliteration table, UTF-8 (default:\n"
    "                 translit.txt in the current folder, when there is one)\n"
    "  -L LANGUAGE    a language file (.lng) for the messages\n"
    "  --layer LAYER  XML documents: diplomatic (default) or normalised reading\n"
    "  --help         print this help and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "Commands:\n"
    "  rules                          the rule set and generation rules, as JSON\n"
    "  text DOCUMENT                  the document text, bytes as read\n"
    "  marks DOCUMENT                 marks and notes, as JSON\n"
    "  variants [--level N] [--] STRING...\n"
    "                                 generated variants of each key, one a line\n"
    "  search SEARCH-OPTIONS (DOCUMENT | --corpus FILE)\n"
    "                                 search a document or a corpus\n"
    "  words WORD-OPTIONS (DOCUMENT | --corpus FILE)\n"
    "                                 list the words of a document or a corpus\n"
    "  variants --level N --attested [--filter NAME] [--json] (DOCUMENT | --corpus FILE)\n"
    "           -- STRING...\n"
    "                                 each variant with its number of occurrences\n"
    "  collocates SEARCH-OPTIONS --left L --right R [--min-freq N] [--sort KEY]\n"
    "             [--json] (DOCUMENT | --corpus FILE)\n"
    "                                 the word forms near the occurrences, with\n"
    "                                 their counts and association measures\n"
    "  ngrams --size N [WORD-OPTIONS] [--min-freq N] [--json] (DOCUMENT | --corpus FILE)\n"
    "  ngrams --size N --containing SEARCH-OPTIONS [--min-freq N] [--json] (DOCUMENT | --corpus FILE)\n"
    "                                 word sequences (clusters: those holding an\n"
    "                                 occurrence) with frequencies and documents\n"
    "\n"
    "variants options:\n"
    "  --level N              generation level, from 1 (default 1)\n"
    "  --                     the arguments that follow are strings\n"
    "  --attested             count each variant's occurrences (generated search)\n"
    "  --json                 one JSON object (UTF-8)\n"
    "  --corpus FILE          count in every document of a corpus file\n"
    "  --filter NAME          with --attested: a filter of the search (repeatable)\n"
    "\n"
    "collocates and ngrams options:\n"
    "  --left L, --right R    the words before and after an occurrence, 1 to 10\n"
    "  --min-freq N           leave out rows counted fewer than N times\n"
    "  --sort KEY             text, cooccurrences (default), frequency, g2, mi,\n"
    "                         t or logdice\n"
    "  --size N               words per sequence, 2 to 5\n"
    "  --containing           clusters: the sequences holding an occurrence of\n"
    "                         the search of SEARCH-OPTIONS\n"
    "  --json                 one JSON object (UTF-8), a row an object\n"
    "\n"
    "SEARCH-OPTIONS (as the search dialog):\n"
    "  --string TEXT          a search string (repeatable)\n"
    "  --position 0..4        where the previous string stands in its word:\n"
    "                         0 anywhere, 1 start, 2 end, 3 inside, 4 whole word\n"
    "  --exclude              the previous string excludes its context\n"
    "  --spelling 0..3        0 identical, 1 upper case, 2 modified (default),\n"
    "                         3 generated\n"
    "  --level N              generation level of spelling 3, from 1\n"
    "  --ignore-separators    ignore the separators\n"
    "  --context 0..3         0 text, 1 word, 2 sentence, 3 paragraph\n"
    "  --no-all               one string or more instead of all the strings\n"
    "  --in-order             the strings in order\n"
    "  --result as-spelling|0|1|2\n"
    "                         the form of the results: as the spelling mode\n"
    "                         (default), 0 identical, 1 upper case, 2 modified\n"
    "  --no-symbols           leave the symbols out of the results\n"
    "  --filter NAME          a filter of the rules file (repeatable)\n"
    "  --corpus FILE          search every document of a corpus file\n"
    "\n"
    "WORD-OPTIONS (as the word-list dialog):\n"
    "  --result 0..2          the form of the words: 0 identical, 1 upper case,\n"
    "                         2 modified (default)\n"
    "  --symbols              keep the symbols\n"
    "  --filter NAME          a filter of the rules file (repeatable)\n"
    "  --corpus FILE          list the words of every document of a corpus file\n"
    "\n"
    "Output of search and words (default: the result report, code page 1252):\n"
    "  --extracts none|words|sentences|paragraphs\n"
    "                         the extracts of the report (default from --context)\n"
    "  --no-info              without the information header\n"
    "  --no-list              without the target list\n"
    "  --no-refs              without the references of the list\n"
    "  --no-extract-refs      without the references of the extracts\n"
    "  --output FILE          write the report to FILE instead of stdout\n"
    "  --append               append to FILE instead of replacing it\n"
    "  --summary              only the status line\n"
    "  --json                 one JSON object (UTF-8): status and targets\n"
    "\n"
    "Tables of search and words (UTF-8), instead of the report:\n"
    "  --format csv|tsv|xlsx|jsonl\n"
    "                         search: one row per occurrence; words: one row\n"
    "                         per form with its counts; written to --output\n"
    "                         FILE (replaced whole) or stdout (xlsx needs\n"
    "                         --output); cells starting with = + - @ get a '\n"
    "  --context-words N      words of context on each side (default 10)\n"
    "  --context-cut none|paragraph\n"
    "                         stop the context at the end of its paragraph\n"
    "  --occurrences          words: one row per occurrence instead\n"
    "\n"
    "Exit status: 0 success, 1 a file that cannot be read or written,\n"
    "2 a usage error. See kalix-cli(1).\n";

}  // namespace

int PrintHelp() {
  std::fputs(kHelp, stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int PrintVersion() {
  std::printf("kalix-cli %s\n", KALIX_VERSION);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace kalix::cli
