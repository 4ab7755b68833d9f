// The scan passes over runs of bytes that can start no match (and over
// substitution rules whose output starts no key) without comparing them,
// and does the word bookkeeping once per run. Checked here against scans
// where every comparison character starts a key (one-character strings for
// all of them are added), so that every letter is compared one by one: the
// hits of the first string, their fields, and the sentence and paragraph
// closings the sink sees must be the same.
#include "search/Engine.h"
#include "search/HitSink.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace kalix {
namespace {

struct Recorder final : HitSink {
  std::vector<std::string> events;
  void AddTarget(const PendingHit& h, int32_t wordLength) override {
    if (h.String != 0) return;
    events.push_back("hit " + std::to_string(h.StartAt) + " " + std::to_string(h.ByteLength) + " " +
                     std::to_string(h.StartView) + " " + std::to_string(h.ViewLength) + " w" +
                     std::to_string(h.WordStartAt) + "-" + std::to_string(h.WordEndAt) + " " +
                     std::to_string(wordLength) + " p" + std::to_string(h.ParagraphStart) + "/" +
                     std::to_string(h.ParagraphEnd) + " s" + std::to_string(h.SentenceStart) + "/" +
                     std::to_string(h.SentenceEnd) + " W" + std::to_string(h.WordStart) + "/" +
                     std::to_string(h.WordEnd) + " k" + std::to_string(h.KnownEnds) + " a" +
                     std::to_string(h.AtWordStart) + " c" + std::to_string(h.ContextStartView) + "/" +
                     std::to_string(h.ContextStartOffset) + "+" + std::to_string(h.ContextViewLength) + "/" +
                     std::to_string(h.ContextOffsetLength));
  }
  void CloseOccurrences(int32_t lastLetterOffset, int cls) override {
    events.push_back("close " + std::to_string(lastLetterOffset) + " " + std::to_string(cls));
  }
};

RuleSet RunRules(bool cr) {
  RuleSet r = DefaultRules();
  r.SeparatorClass[' '] = kWordSeparator;
  r.SeparatorClass[','] = kWordSeparator;
  r.SeparatorClass['\r'] = cr ? kWordSeparator : kLetter;
  r.SeparatorClass['.'] = kSentenceSeparator;
  r.SeparatorClass['\n'] = kParagraphSeparator;
  r.SeparatorClass['\''] = kSymbol;
  r.SubstRules.push_back({"PH", "F"});
  r.SubstRules.push_back({"EAU", "O"});
  r.SubstRules.push_back({"AU", "O"});
  r.SubstRules.push_back({"AB", "K"});
  r.SubstRules.push_back({"QU", "K"});
  r.SubstRules.push_back({"HA", ""});
  r.SubstRules.push_back({"TE", "TTT"});  // more output than input
  r.SubstRules.push_back({"A'U", "X"});   // across a symbol
  r.SubstMap['Y'] = 0;
  return r;
}

std::vector<std::string> Events(const RuleSet& rules, const SearchSettings& settings, const std::string& key,
                                int16_t position, bool everyCharacter, const std::string& text) {
  cArrowList strings;
  SearchString first(key);
  first.Position = position;
  if (settings.Substitute) {
    SubstituteString(rules, first);
  } else if (settings.FoldCase) {
    FoldString(rules, first);
  }
  strings.push_back(first);
  if (everyCharacter) {
    for (int c = 1; c < 256; ++c) {
      SearchString s;
      s.SetKey(std::string(1, static_cast<char>(c)));
      s.Index = static_cast<int32_t>(strings.size());
      strings.push_back(s);
    }
  }
  Recorder sink;
  SearchDocument(rules, settings, strings, {}, text, sink);
  return sink.events;
}

TEST(QuietRun, SameHitsAsLetterByLetter) {
  const std::vector<std::string> keys = {"chat", "at", "fa", "o", "ko", "ttt", "x", "h", "c'a", "ee"};
  const std::string alphabet = "chatCHApqueoyx'b";
  std::mt19937 rng(7);
  for (int round = 0; round < 800; ++round) {
    const bool cr = rng() % 2;
    const RuleSet rules = RunRules(cr);
    std::string text;
    const int length = 1 + static_cast<int>(rng() % 300);
    for (int k = 0; k < length; ++k) {
      const unsigned r = rng() % 100;
      if (r < 8) {
        // Pieces where rules begin, in front of characters that begin keys.
        static const char* const pieces[] = {"abo", "quo", "phat", "eaux", "a'uo", "tete", "hat", "auko"};
        text += pieces[rng() % 8];
      } else if (r < 70) {
        text += alphabet[rng() % alphabet.size()];
      } else if (r < 85) {
        text += ' ';
      } else if (r < 90) {
        text += '.';
      } else if (r < 94) {
        text += "\r\n";
      } else if (r < 97) {
        text += ',';
      } else {
        text += '\r';
      }
    }
    SearchSettings settings;
    settings.SetSpelling(static_cast<int16_t>(rng() % 3));
    // Without "all strings" every context with a hit is accepted: the added
    // strings change no hit of the first.
    settings.Context = static_cast<int16_t>(rng() % 4);
    settings.SetResult(true, 0, true);
    const std::string& key = keys[rng() % keys.size()];
    const int16_t position = static_cast<int16_t>(rng() % 5);
    SCOPED_TRACE("round " + std::to_string(round) + " key " + key + " text [" + text + "]");
    EXPECT_EQ(Events(rules, settings, key, position, false, text),
              Events(rules, settings, key, position, true, text));
  }
}

}  // namespace
}  // namespace kalix
