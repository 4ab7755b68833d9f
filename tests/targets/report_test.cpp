#include "targets/Report.h"

#include "document/Reader.h"
#include "platform/TextFile.h"
#include "targets/DocumentRef.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include <cstdio>
#include <string>

namespace kalix {
namespace {

// A folder of this test process's own, so that test runs in parallel never
// share a file.
std::string ScratchDir() {
  std::string dir = ::testing::TempDir() + "kalix_lists_" + std::to_string(::getpid());
  std::filesystem::create_directories(dir);
  return dir;
}

Occurrence Occ(int32_t page, int32_t folio, int16_t verso) {
  Occurrence o;
  o.Page = page;
  o.Folio = folio;
  o.Verso = verso;
  return o;
}

// An occurrence in a sentence [start, end] (its word and paragraph too).
Occurrence InUnit(int32_t start, int32_t end, uint16_t known = kAllEndsKnown) {
  Occurrence o;
  o.WordStart = o.SentenceStart = o.ParagraphStart = start;
  o.KnownEnds = known;
  o.WordEnd = (known & kWordEndKnown) ? end : 0;
  o.SentenceEnd = (known & kSentenceEndKnown) ? end : 0;
  o.ParagraphEnd = (known & kParagraphEndKnown) ? end : 0;
  return o;
}

Target MakeTarget(std::string text, cStarts starts, std::string ref = "") {
  Target t;
  t.Text = std::move(text);
  t.Starts = std::move(starts);
  t.DocumentRef = std::move(ref);
  return t;
}

struct Fixture {
  Context ctx;
  SearchSettings settings;
  cArrowList strings;
  cTargetList targets;
  Document document;
  std::vector<std::string> corpus;

  std::string Report(const ReportOptions& options, std::vector<std::string>* errors = nullptr) {
    std::string out;
    ReportSource source{settings, strings, targets, document, corpus};
    WriteReport(ctx, source, options, out, [&](const std::string& m) {
      if (errors) errors->push_back(m);
    });
    return TextModeOutput(out);
  }
};

Fixture WorkedExample() {
  Fixture f;
  f.document.path = "/textes/lettre.rtf";
  f.settings.Context = 1;
  f.settings.SetSpelling(1);
  f.settings.ResultSpelling = 1;
  SearchString roi("ROI");
  f.strings.push_back(roi);
  f.targets.push_back(MakeTarget("ROI", {Occ(1, 1, 0), Occ(2, 1, 1)}));
  return f;
}

TEST(Report, WorkedExample) {
  Fixture f = WorkedExample();
  ReportOptions options;
  options.Extracts = PreselectedExtractKind(f.settings.Context);
  EXPECT_EQ(options.Extracts, kNoExtracts);
  EXPECT_EQ(f.Report(options),
            "DOCUMENT: lettre.rtf\r\n"
            "CONTEXTE: Mot\r\n"
            "ORTHOGRAPHE: Majuscule, SEPARATEURS: avec\r\n"
            "FILTRE: sans\r\n"
            "CHAINES: 1 ou plus, ORDRE: non\r\n"
            "RESULTATS :Majuscule, SYMBOLES :non\r\n"
            "\r\n"
            "ROI, POSITION :Indiff\xe9rente, EXCLURE :non\r\n"
            "\r\n"
            "ROI\t2\tp:1 f:1R, p:2 f:1V\r\n"
            "\r\n");
}

TEST(Report, InformationVariants) {
  Fixture f = WorkedExample();
  f.settings.Context = 3;
  f.settings.SetSpelling(3);
  f.settings.IgnoreSeparators = true;
  f.settings.FilterNames = "FdVoyelles, FeFin";
  f.settings.AllStrings = true;
  f.settings.InOrder = true;
  f.settings.ResultSpelling = 2;
  f.settings.ShowSymbols = true;
  f.settings.UseCorpus = true;
  f.corpus = {"/a/un.rtf", "deux.txt", "/b/c/trois.rtf"};
  SearchString s2("100%s %d");
  s2.Position = 4;
  s2.Exclude = 1;
  f.strings.push_back(s2);
  ReportOptions options;
  options.List = false;
  EXPECT_EQ(f.Report(options),
            "DOCUMENT: un.rtf, deux.txt, trois.rtf\r\n"
            "CONTEXTE: Paragraphe\r\n"
            "ORTHOGRAPHE: G\xe9n\xe9r\xe9" "e, SEPARATEURS: sans\r\n"
            "FILTRE: FdVoyelles, FeFin\r\n"
            "CHAINES: toutes, ORDRE: oui\r\n"
            "RESULTATS :Modifi\xe9" "e, SYMBOLES :oui\r\n"
            "\r\n"
            "ROI, POSITION :Indiff\xe9rente, EXCLURE :non\r\n"
            "100%s %d, POSITION :Mot entier, EXCLURE :oui\r\n"
            "\r\n");

  // Translated labels and names: an English report speaks English only.
  f.ctx.Language.Loaded = true;
  f.ctx.Language.MessageKeys = {"CONTEXTE: ", "Paragraphe", "RESULTATS :", "Modifi\xe9" "e", "oui", "EXCLURE :",
                                "G\xe9n\xe9r\xe9" "e", "Mot entier"};
  f.ctx.Language.MessageTexts = {"CONTEXT: ", "Paragraph", "RESULTS :", "Modified", "yes", "EXCLUDE :",
                                 "Generated", "Whole word"};
  std::string r = f.Report(options);
  EXPECT_NE(r.find("CONTEXT: Paragraph\r\n"), std::string::npos);
  EXPECT_NE(r.find("RESULTS :Modified, SYMBOLES :yes\r\n"), std::string::npos);
  EXPECT_NE(r.find("ORTHOGRAPHE: Generated,"), std::string::npos);
  EXPECT_NE(r.find("POSITION :Whole word, EXCLUDE :yes\r\n"), std::string::npos);
}

TEST(Report, ListReferences) {
  Fixture f;
  f.targets.push_back(MakeTarget("A%n%s", {Occ(1, 1, 0), Occ(1, 1, 0), Occ(1, 1, 0), Occ(2, 1, 0)}));
  f.targets.push_back(MakeTarget("B", {Occ(0, 0, 0), Occ(0, 0, 1), Occ(0, 0, 0)}));
  f.targets.push_back(MakeTarget("C", {Occ(3, 2, 1)}, "c.rtf | /d/"));
  ReportOptions options;
  options.Informations = false;
  EXPECT_EQ(f.Report(options),
            "A%n%s\t4\tp:1 f:1R, p:2 f:1R\r\n"
            "B\t3\tp:0 f:0R, p:0 f:0V, p:0 f:0R\r\n"
            "C\t1\tc.rtf\tp:3 f:2V\r\n"
            "\r\n");
  options.ListReferences = false;
  EXPECT_EQ(f.Report(options), "A%n%s\r\nB\r\nC\r\n\r\n");
}

// An extract that opens with page or folio markers is cited by the page and
// folio they open; a marker byte that opened no mark is ordinary text.
TEST(Report, ExtractReferencesPassOverOpeningMarkers) {
  Fixture f;
  f.ctx.Rules = DefaultRules();
  // offsets:        0   1   2                 16 17 18
  const std::string text = "\xb1\xf2 Cy commence.\n\xbe Et en ceste isle.\n\xad" "Fin.\n";
  f.document.path = "/t/isle.txt";
  ReadDocument(f.ctx.Rules, text, f.document);
  f.targets.push_back(MakeTarget("CY", {InUnit(0, 13)}));
  f.targets.push_back(MakeTarget("ISLE", {InUnit(16, 33)}));
  f.targets.push_back(MakeTarget("FIN", {InUnit(36, 39)}));
  ReportOptions options;
  options.Informations = false;
  options.List = false;
  options.Extracts = kSentenceExtracts;
  EXPECT_EQ(f.Report(options),
            "\xb1\xf2 Cy commence\r\nisle.txt p:1 f:1R\r\n\r\n"
            "\xbe Et en ceste isle\r\nisle.txt p:1 f:1V\r\n\r\n"
            "\xad" "Fin\r\nisle.txt p:1 f:1V\r\n\r\n");
  // The same bytes without marks (as an XML transcription that types them):
  // nothing is passed over.
  f.document.marks.clear();
  EXPECT_EQ(f.Report(options),
            "\xb1\xf2 Cy commence\r\nisle.txt p:0 f:0R\r\n\r\n"
            "\xbe Et en ceste isle\r\nisle.txt p:0 f:0R\r\n\r\n"
            "\xad" "Fin\r\nisle.txt p:0 f:0R\r\n\r\n");
}

TEST(Report, ExtractsOfOneDocument) {
  Fixture f;
  //                       0123456789012345678901234567
  std::string text = "Le roi dort.\nLa reine veille.\n";
  f.document.path = "/t/lettre.txt";
  f.document.text = text + '\0';
  // A page mark at view 0, a verso folio mark before "La" (view 14 = offset 13 + 1 LF).
  f.document.marks = {{0, kPageMark, 1, 0, nullptr}, {14, kFolioMark, 5, 1, nullptr}};
  // Two targets in the first sentence (same extract: written once), one in
  // the second, listed first.
  f.targets.push_back(MakeTarget("REINE", {InUnit(13, 27)}));
  f.targets.push_back(MakeTarget("ROI", {InUnit(0, 10)}));
  f.targets.push_back(MakeTarget("DORT", {InUnit(0, 10)}));
  ReportOptions options;
  options.Informations = false;
  options.List = false;
  options.Extracts = kSentenceExtracts;
  EXPECT_EQ(f.Report(options),
            "Le roi dort\r\n"
            "lettre.txt p:0 f:0R\r\n"  // the page mark stands at the start: not yet in effect
            "\r\n"
            "La reine veille\r\n"
            "lettre.txt p:1 f:0R\r\n"  // the folio mark stands at the start of the extract
            "\r\n");
  options.ExtractReferences = false;
  EXPECT_EQ(f.Report(options), "Le roi dort\r\n\r\nLa reine veille\r\n\r\n");
  // Words: each occurrence's word.
  f.targets[1].Starts.Change(0).WordStart = 3;
  f.targets[1].Starts.Change(0).WordEnd = 5;
  options.Extracts = kWordExtracts;
  EXPECT_EQ(f.Report(options), "Le roi dort\r\n\r\nroi\r\n\r\nLa reine veille\r\n\r\n");
}

TEST(Report, ExtractOrderIsNumeric) {
  Fixture f;
  std::string text(12000, 'x');
  f.document.path = "doc.txt";
  f.document.text = text + '\0';
  f.targets.push_back(MakeTarget("A", {InUnit(10000, 10001), InUnit(9998, 9999), InUnit(5, 5)}));
  ReportOptions options;
  options.Informations = false;
  options.List = false;
  options.Extracts = kParagraphExtracts;
  EXPECT_EQ(f.Report(options),
            "x\r\ndoc.txt p:0 f:0R\r\n\r\n"
            "xx\r\ndoc.txt p:0 f:0R\r\n\r\n"
            "xx\r\ndoc.txt p:0 f:0R\r\n\r\n");
}

TEST(Report, UnknownAndBackwardEndsGiveEmptyExtracts) {
  Fixture f;
  f.document.path = "doc.txt";
  f.document.text = std::string("abc def\n") + '\0';
  f.targets.push_back(MakeTarget("A", {InUnit(4, 0, kWordEndKnown), InUnit(0, 2), InUnit(6, 3)}));
  ReportOptions options;
  options.Informations = false;
  options.List = false;
  options.ExtractReferences = false;
  options.Extracts = kSentenceExtracts;
  EXPECT_EQ(f.Report(options), "abc\r\n\r\n\r\n\r\n\r\n\r\n");
  // An end that is really offset 0 is an extract of one byte.
  f.targets[0].Starts = {InUnit(0, 0)};
  EXPECT_EQ(f.Report(options), "a\r\n\r\n");
}

TEST(Report, ExtractsOfACorpus) {
  Fixture f;
  std::string dir = ScratchDir();
  std::string one = dir + "/kalix_report_one.txt", two = dir + "/kalix_report_two.txt";
  std::string missing = dir + "/kalix_report_missing.txt";
  ASSERT_TRUE(WriteBinaryFile(one, "alpha beta\n"));
  ASSERT_TRUE(WriteBinaryFile(two, "gamma\n"));
  f.settings.UseCorpus = true;
  f.corpus = {two, missing, one};
  f.document.path = "/window/shown.txt";
  f.document.text = std::string("window text\n") + '\0';
  std::string refOne = MakeDocumentRef(one), refTwo = MakeDocumentRef(two), refMissing = MakeDocumentRef(missing);
  // Documents come in reference order: kalix_report_missing, _one, _two.
  f.targets.push_back(MakeTarget("BETA", {InUnit(6, 9)}, refOne));
  f.targets.push_back(MakeTarget("GAMMA", {InUnit(0, 4)}, refTwo));
  f.targets.push_back(MakeTarget("ALPHA", {InUnit(0, 4)}, refOne));
  f.targets.push_back(MakeTarget("GONE", {InUnit(0, 3)}, refMissing));
  ReportOptions options;
  options.Informations = false;
  options.List = false;
  options.Extracts = kWordExtracts;
  std::vector<std::string> errors;
  EXPECT_EQ(f.Report(options, &errors),
            "\r\nkalix_report_missing.txt p:0 f:0R\r\n\r\n"
            "alpha\r\nkalix_report_one.txt p:0 f:0R\r\n\r\n"
            "beta\r\nkalix_report_one.txt p:1 f:0R\r\n\r\n"  // after the automatic page 1 at 0
            "gamma\r\nkalix_report_two.txt p:0 f:0R\r\n\r\n");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "Fichier non trouv\xe9 :\n" + missing);
  EXPECT_EQ(f.document.path, "/window/shown.txt");  // the window's document is untouched
  std::remove(one.c_str());
  std::remove(two.c_str());
}

TEST(Report, ReferencesThatDifferInCaseAreTwoDocuments) {
  Fixture f;
  f.targets.push_back(MakeTarget("A", {InUnit(0, 0)}, "b.txt | /nowhere/"));
  f.targets.push_back(MakeTarget("A", {InUnit(0, 0)}, "B.txt | /nowhere/"));
  f.targets.push_back(MakeTarget("A", {InUnit(0, 0)}, "a.txt | /nowhere/"));
  ReportOptions options;
  options.Informations = false;
  options.List = false;
  options.Extracts = kWordExtracts;
  std::vector<std::string> errors;
  EXPECT_EQ(f.Report(options, &errors),
            "\r\na.txt p:0 f:0R\r\n\r\n"
            "\r\nB.txt p:0 f:0R\r\n\r\n"
            "\r\nb.txt p:0 f:0R\r\n\r\n");
  EXPECT_EQ(errors.size(), 3u);
}

TEST(Report, Files) {
  Fixture f = WorkedExample();
  ReportOptions options;
  options.Informations = false;
  std::string report;
  ReportSource source{f.settings, f.strings, f.targets, f.document, f.corpus};
  WriteReport(f.ctx, source, options, report);
  EXPECT_EQ(report, "ROI\t2\tp:1 f:1R, p:2 f:1V\n\n");
  std::string path = ScratchDir() + "/kalix_report.txt";
  ASSERT_TRUE(WriteBinaryFile(path, "old\r\n"));
  ASSERT_TRUE(SaveReportText(path, report, true));
  EXPECT_EQ(*ReadBinaryFile(path), "old\r\nROI\t2\tp:1 f:1R, p:2 f:1V\r\n\r\n");
  ASSERT_TRUE(SaveReportText(path, report, false));
  EXPECT_EQ(*ReadBinaryFile(path), "ROI\t2\tp:1 f:1R, p:2 f:1V\r\n\r\n");
  std::remove(path.c_str());
  EXPECT_TRUE(SaveReportText("/dev/null", report, false));  // a device is written to, not replaced
  EXPECT_TRUE(SaveReportText("/dev/null", report, true));
  std::string bad = ScratchDir() + "/no/such/dir/r.txt";
  EXPECT_FALSE(SaveReportText(bad, report, false));
  EXPECT_FALSE(SaveReportText(bad, report, true));
  EXPECT_EQ(CannotWriteMessage(f.ctx.Language, bad), "Impossible d'\xe9\x63rire le fichier :\n" + bad);
}

TEST(Report, Preselection) {
  EXPECT_EQ(PreselectedExtractKind(0), kNoExtracts);
  EXPECT_EQ(PreselectedExtractKind(1), kNoExtracts);
  EXPECT_EQ(PreselectedExtractKind(2), kSentenceExtracts);
  EXPECT_EQ(PreselectedExtractKind(3), kParagraphExtracts);
}

}  // namespace
}  // namespace kalix

namespace kalix {
namespace {

TEST(Report, FileNamesAreWrittenInCodePage1252) {
  struct Case {
    const char* path;
    const char* written;
  };
  const Case cases[] = {
      {"/t/lettre.txt", "lettre.txt"},
      {"/t/lettr\xc3\xa9.txt", "lettr\xe9.txt"},         // UTF-8 from the file system
      {"/t/\xe2\x82\xac" "uro.txt", "\x80uro.txt"},       // the euro sign has a 1252 byte
      {"/t/\xe4\xb8\xad.txt", "?.txt"},                   // no 1252 byte
      {"/t/lettr\xe9.txt", "lettr\xe9.txt"},              // not UTF-8: as it stands
      {"/t/a\xc3.txt", "a\xc3.txt"},                      // cut sequence: as it stands
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Fixture f;
    f.document.path = c.path;
    f.document.text = std::string("mot\n") + '\0';
    f.targets.push_back(MakeTarget("MOT", {InUnit(0, 2)}, MakeDocumentRef(c.path)));
    ReportOptions options;
    options.Extracts = kWordExtracts;
    std::string r = f.Report(options);
    EXPECT_EQ(r.substr(0, r.find("\r\n")), std::string("DOCUMENT: ") + c.written);
    EXPECT_NE(r.find(std::string("MOT\t1\t") + c.written + "\tp:"), std::string::npos);
    EXPECT_NE(r.find(std::string("\r\n") + c.written + " p:"), std::string::npos);
  }
}

}  // namespace
}  // namespace kalix
