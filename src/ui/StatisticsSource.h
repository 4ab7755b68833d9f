// What the statistics dialogs (collocates, n-grams) compute on: a copy of a
// main window's strings, settings and filters, with its document or its
// corpus, taken when the dialog opens.
#pragma once

#include "app/RunSearch.h"
#include "document/Document.h"
#include "rules/Filters.h"
#include "search/SearchSpec.h"

#include <memory>
#include <string>
#include <vector>

namespace kalix::ui {

struct StatisticsSource {
  cArrowList Strings;  // empty after a word list
  SearchSettings Settings;
  cFilterList Filters;
  std::shared_ptr<const Document> Doc;  // without the corpus
  std::vector<std::string> Corpus;      // with Settings.UseCorpus

  // The search request the statistics run through.
  SearchRequest Request() const {
    SearchRequest r;
    r.Strings = Strings;
    r.Settings = Settings;
    r.WindowDocument = Doc.get();
    r.Corpus = Corpus;
    return r;
  }
};

}  // namespace kalix::ui
