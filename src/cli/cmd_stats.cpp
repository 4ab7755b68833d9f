// kalix-cli collocates and ngrams: what keeps company with a search's
// occurrences, and which word sequences a document or corpus holds
// (app/Statistics.h states what is counted and the formulas).
//
//   collocates SEARCH-OPTIONS --left L --right R [--min-freq N]
//              [--sort text|cooccurrences|frequency|g2|mi|t|logdice] [--json]
//              (DOCUMENT | --corpus FILE)
//     one collocate a line: the form, its co-occurrence frequency, its total
//     frequency, G2, MI, t-score and logDice, separated by tabs
//   ngrams --size N [WORD-OPTIONS] [--min-freq N] [--json] (DOCUMENT | --corpus FILE)
//   ngrams --size N --containing SEARCH-OPTIONS [--min-freq N] [--json] (DOCUMENT | --corpus FILE)
//     one n-gram (or cluster) a line: its forms joined by blanks, its
//     frequency and its number of documents, separated by tabs
//
// Texts are written in code page 1252 (JSON: decoded to UTF-8).

#include "app/Statistics.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/ResultOutput.h"
#include "cli/SearchCommandLine.h"
#include "document/Reader.h"
#include "platform/Cp1252.h"
#include "platform/Hash.h"
#include "platform/Parallel.h"
#include "rules/Filters.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace kalix::cli {

namespace {

// A decimal number in [low, high].
std::optional<uint64_t> ParseCount(const std::string& text, uint64_t low, uint64_t high) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

// Takes the option `name` and its number in [low, high] out of `args`;
// an error message, or nullopt.
std::optional<std::string> TakeNumber(Args& args, const char* name, uint64_t low, uint64_t high,
                                      std::optional<uint64_t>& value) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != name) continue;
    if (i + 1 >= args.size()) return std::string("missing value after ") + name;
    auto n = ParseCount(args[i + 1], low, high);
    if (!n) {
      return std::string(name) + " takes " + std::to_string(low) + " to " + std::to_string(high) + ": " + args[i + 1];
    }
    if (value) return std::string(name) + " given twice";
    value = *n;
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    --i;
  }
  return std::nullopt;
}

// Takes the flag `name` out of `args`; true when it was there.
bool TakeFlag(Args& args, const char* name) {
  bool found = false;
  for (size_t i = 0; i < args.size();) {
    if (args[i] == name) {
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
      found = true;
    } else {
      ++i;
    }
  }
  return found;
}

// A measure with six decimals, appended to `out`.
void AppendNumber(std::string& out, double value) {
  char tmp[64];
  const auto [end, ec] = std::to_chars(tmp, tmp + sizeof tmp, value, std::chars_format::fixed, 6);
  if (ec == std::errc()) {
    out.append(tmp, end);
  } else {
    out += "nan";
  }
}

void AppendCount(std::string& out, uint64_t n) {
  char tmp[24];
  const auto [end, ec] = std::to_chars(tmp, tmp + sizeof tmp, n);
  (void)ec;  // 24 characters hold every 64-bit value
  out.append(tmp, end);
}

void Write(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// Writes `count` rows, each appended to a string by `format(k, out)`:
// the rows are formatted a block at a time, two blocks at once, and
// written in order.
template <typename Format>
void WriteRows(size_t count, Format&& format) {
  constexpr size_t kBlock = size_t{1} << 15;
  std::string first, second;
  auto block = [&](size_t from, size_t to, std::string& out) {
    out.clear();
    for (size_t k = from; k < to; ++k) format(k, out);
  };
  for (size_t k = 0; k < count; k += 2 * kBlock) {
    const size_t middle = std::min(count, k + kBlock);
    const size_t end = std::min(count, k + 2 * kBlock);
    if (end - k <= kBlock) {
      block(k, end, first);
      Write(first);
      break;
    }
    RunInParallel([&] { block(k, middle, first); }, [&] { block(middle, end, second); });
    Write(first);
    Write(second);
  }
}

void WriteCollocates(const CollocateResult& r, bool json) {
  if (!json) {
    WriteRows(r.Collocates.size(), [&](size_t k, std::string& out) {
      if (k + 8 < r.Collocates.size()) Prefetch(r.Collocates[k + 8].Text.data());
      const Collocate& c = r.Collocates[k];
      out += c.Text;
      out += '\t';
      AppendCount(out, c.Cooccurrences);
      out += '\t';
      AppendCount(out, c.Frequency);
      for (double measure : {c.LogLikelihood, c.MutualInformation, c.TScore, c.LogDice}) {
        out += '\t';
        AppendNumber(out, measure);
      }
      out += '\n';
    });
    return;
  }
  JsonWriter w(stdout);
  w.BeginObject();
  w.Key("words");
  w.Int(static_cast<int64_t>(r.Words));
  w.Key("occurrences");
  w.Int(static_cast<int64_t>(r.Occurrences));
  w.Key("windowWords");
  w.Int(static_cast<int64_t>(r.WindowWords));
  w.Key("collocates");
  w.BeginArray();
  for (const Collocate& c : r.Collocates) {
    w.BeginObject();
    w.Key("text");
    w.String1252(c.Text);
    w.Key("cooccurrences");
    w.Int(static_cast<int64_t>(c.Cooccurrences));
    w.Key("frequency");
    w.Int(static_cast<int64_t>(c.Frequency));
    w.Key("logLikelihood");
    w.Double(c.LogLikelihood);
    w.Key("mutualInformation");
    w.Double(c.MutualInformation);
    w.Key("tScore");
    w.Double(c.TScore);
    w.Key("logDice");
    w.Double(c.LogDice);
    w.EndObject();
  }
  w.EndArray();
  w.EndObject();
  w.End();
}

void WriteNgrams(const NgramResult& r, bool containing, bool json) {
  if (!json) {
    WriteRows(r.Count(), [&](size_t k, std::string& out) {
      r.PrefetchRow(k + 16);
      r.PrefetchText(k + 8);
      r.AppendText(k, out);
      out += '\t';
      AppendCount(out, r.Frequency(k));
      out += '\t';
      AppendCount(out, r.Documents(k));
      out += '\n';
    });
    return;
  }
  JsonWriter w(stdout);
  w.BeginObject();
  w.Key("words");
  w.Int(static_cast<int64_t>(r.Words));
  if (containing) {
    w.Key("occurrences");
    w.Int(static_cast<int64_t>(r.Occurrences));
  }
  w.Key("ngrams");
  w.BeginArray();
  for (size_t k = 0; k < r.Count(); ++k) {
    const Ngram g = r.Row(k);
    w.BeginObject();
    w.Key("text");
    w.String1252(g.Text);
    w.Key("frequency");
    w.Int(static_cast<int64_t>(g.Frequency));
    w.Key("documents");
    w.Int(static_cast<int64_t>(g.Documents));
    w.EndObject();
  }
  w.EndArray();
  w.EndObject();
  w.End();
}

std::optional<CollocateOrder> ParseOrder(const std::string& name) {
  static const std::pair<const char*, CollocateOrder> kOrders[] = {
      {"text", CollocateOrder::Text},          {"cooccurrences", CollocateOrder::Cooccurrences},
      {"frequency", CollocateOrder::Frequency}, {"g2", CollocateOrder::LogLikelihood},
      {"mi", CollocateOrder::MutualInformation}, {"t", CollocateOrder::TScore},
      {"logdice", CollocateOrder::LogDice},
  };
  for (const auto& [text, order] : kOrders) {
    if (name == text) return order;
  }
  return std::nullopt;
}

// The corpus reports of the console, for a request.
void ReportOnConsole(SearchRequest& request) {
  const CorpusReading reading = ConsoleCorpusReading();
  request.OnUnreadable = reading.OnUnreadable;
  request.OnProgress = reading.OnProgress;
}

// WORD-OPTIONS and the document or corpus into `request`; an exit status
// (0 when ready).
int ReadWordOptions(Context& ctx, const Args& args, SearchRequest& request, Document& document) {
  int result = 2;
  bool symbols = false;
  std::vector<std::string> filterNames;
  std::optional<std::string> documentPath;
  std::optional<std::string> corpusPath;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool takesValue = arg == "--result" || arg == "--filter" || arg == "--corpus";
    if (takesValue && i + 1 >= args.size()) return UsageError("missing value after " + arg);
    if (arg == "--result") {
      const std::string& v = args[++i];
      if (v != "0" && v != "1" && v != "2") return UsageError("--result takes 0, 1 or 2, not " + v);
      result = v[0] - '0';
    } else if (arg == "--filter") {
      filterNames.push_back(Utf8OrCp1252To1252(args[++i]));
    } else if (arg == "--corpus") {
      if (corpusPath) return UsageError("--corpus given twice");
      corpusPath = args[++i];
    } else if (arg == "--symbols") {
      symbols = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option for ngrams: " + arg);
    } else {
      if (documentPath) return UsageError("more than one document: " + arg);
      documentPath = arg;
    }
  }
  if (documentPath.has_value() == corpusPath.has_value()) return UsageError("ngrams needs a DOCUMENT or --corpus FILE");
  std::vector<bool> used(filterNames.size(), false);
  for (size_t k = 0; k < ctx.Rules.FilterDefs.size(); ++k) {
    bool checked = false;
    for (size_t n = 0; n < filterNames.size(); ++n) {
      if (filterNames[n] == FilterName(ctx.Rules.FilterDefs[k])) checked = used[n] = true;
    }
    if (checked) request.CheckedFilters.push_back(k);
  }
  for (size_t n = 0; n < filterNames.size(); ++n) {
    if (!used[n]) return UsageError("unknown filter: " + filterNames[n]);
  }
  request.Settings.SetResult(false, static_cast<int16_t>(result), symbols);
  if (corpusPath) {
    if (int status = OpenCorpusArgument(ctx, *corpusPath)) return status;
    request.Settings.UseCorpus = true;
    request.Corpus = ctx.Corpus.Entries;
    ReportOnConsole(request);
    return 0;
  }
  std::string message;
  if (!OpenDocument(ctx, document, *documentPath, &message)) {
    ReportDocumentMessage(message);
    return 1;
  }
  request.WindowDocument = &document;
  return 0;
}

}  // namespace

int RunCollocatesCommand(Context& ctx, const Args& given) {
  Args args = given;
  std::optional<uint64_t> left, right, minFrequency;
  if (auto e = TakeNumber(args, "--left", 1, 10, left)) return UsageError(*e);
  if (auto e = TakeNumber(args, "--right", 1, 10, right)) return UsageError(*e);
  if (auto e = TakeNumber(args, "--min-freq", 1, UINT32_MAX, minFrequency)) return UsageError(*e);
  CollocateOrder order = CollocateOrder::Cooccurrences;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--sort") continue;
    if (i + 1 >= args.size()) return UsageError("missing value after --sort");
    auto o = ParseOrder(args[i + 1]);
    if (!o) return UsageError("--sort takes text, cooccurrences, frequency, g2, mi, t or logdice: " + args[i + 1]);
    order = *o;
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    --i;
  }
  const bool json = TakeFlag(args, "--json");
  if (!left || !right) return UsageError("collocates needs --left L and --right R (1 to 10)");

  SearchRequest request;
  Document document;
  if (int status = ReadSearchCommandLine(ctx, args, request, document)) return status;
  CollocateOptions options;
  options.Left = static_cast<int>(*left);
  options.Right = static_cast<int>(*right);
  options.MinFrequency = minFrequency.value_or(1);
  CollocateResult result = FindCollocates(ctx, std::move(request), options);
  // The collocates come by co-occurrences already.
  if (order != CollocateOrder::Cooccurrences) SortCollocates(result.Collocates, order);
  WriteCollocates(result, json);
  return 0;
}

int RunNgramsCommand(Context& ctx, const Args& given) {
  Args args = given;
  std::optional<uint64_t> size, minFrequency;
  if (auto e = TakeNumber(args, "--size", 2, 5, size)) return UsageError(*e);
  if (auto e = TakeNumber(args, "--min-freq", 1, UINT32_MAX, minFrequency)) return UsageError(*e);
  const bool json = TakeFlag(args, "--json");
  const bool containing = TakeFlag(args, "--containing");
  if (!size) return UsageError("ngrams needs --size N (2 to 5)");

  SearchRequest request;
  Document document;
  const int status = containing ? ReadSearchCommandLine(ctx, args, request, document)
                                : ReadWordOptions(ctx, args, request, document);
  if (status != 0) return status;
  NgramOptions options;
  options.Size = static_cast<int>(*size);
  options.MinFrequency = minFrequency.value_or(1);
  options.Containing = containing;
  WriteNgrams(FindNgrams(ctx, std::move(request), options), containing, json);
  return 0;
}

}  // namespace kalix::cli
