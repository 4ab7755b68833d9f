// kalix-cli text DOCUMENT and kalix-cli marks DOCUMENT: the document model as
// the reader builds it.

#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/ResultOutput.h"
#include "document/PageImage.h"
#include "document/Reader.h"
#include "i18n/Messages.h"
#include "platform/Cp1252.h"
#include "platform/Metafile.h"

#include <cstdio>

namespace kalix::cli {

namespace {

// Reads the one DOCUMENT argument; returns the exit status on failure, -1 on
// success.
int Load(Context& ctx, const Args& args, const char* command, Document& document) {
  if (args.size() != 1) return UsageError(std::string(command) + " takes one DOCUMENT");
  std::string message;
  if (!OpenDocument(ctx, document, args[0], &message)) {
    ReportDocumentMessage(message);
    return 1;
  }
  WarnReadNotice(ctx, document);
  // What the reading passed over or changed (XML documents).
  for (const std::string& warning : document.warnings) ReportDocumentMessage(warning);
  return -1;
}

}  // namespace

int RunTextCommand(Context& ctx, const Args& args) {
  Document document;
  if (int status = Load(ctx, args, "text", document); status >= 0) return status;
  std::string_view text = document.Text();  // without the terminating zero
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) return 1;
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int RunMarksCommand(Context& ctx, const Args& args) {
  Document document;
  if (int status = Load(ctx, args, "marks", document); status >= 0) return status;
  JsonWriter json(stdout);
  json.BeginObject();
  // textLength: the length of the text without its terminating zero.
  json.Key("textLength");
  json.Int(static_cast<int64_t>(document.Text().size()));
  json.Key("marks");
  json.BeginArray();
  for (const Mark& mark : document.marks) {
    json.BeginObject();
    json.Key("position");
    json.Int(mark.position);
    json.Key("kind");
    json.Int(mark.kind);
    json.Key("number");
    json.Int(mark.number);
    json.Key("value");
    json.Int(mark.value);
    json.Key("picture");
    if (mark.picture) {
      json.BeginObject();
      if (mark.picture->format != PictureFormat::Metafile) {
        // Metafiles, the pictures the format knew first, have no "kind".
        json.Key("kind");
        json.StringUtf8(mark.picture->format == PictureFormat::Png ? "png" : "jpeg");
      }
      json.Key("left");
      json.Int(mark.picture->left);
      json.Key("top");
      json.Int(mark.picture->top);
      json.Key("right");
      json.Int(mark.picture->right);
      json.Key("bottom");
      json.Int(mark.picture->bottom);
      json.EndObject();
    } else {
      json.Null();
    }
    json.EndObject();
  }
  json.EndArray();
  json.Key("notes");
  json.BeginArray();
  for (const Note& note : document.notes) {
    json.BeginObject();
    json.Key("page");
    json.Int(note.page);
    json.Key("text");
    if (note.text.empty()) {
      json.Null();
    } else {
      json.String1252(note.text);
    }
    json.EndObject();
  }
  json.EndArray();
  WriteReplacedJson(json, document, true);
  // Documents read from XML: each page's label, image and line zones.
  if (!document.pages.empty()) {
    json.Key("pages");
    json.BeginArray();
    for (size_t k = 0; k < document.pages.size(); ++k) {
      const PageFacsimile& page = document.pages[k];
      json.BeginObject();
      json.Key("page");
      json.Int(static_cast<int64_t>(k + 1));
      json.Key("label");
      json.String1252(page.label);
      // The image the document names, else one found beside it.
      const std::string image = PageImagePath(document, static_cast<int32_t>(k + 1));
      json.Key("image");
      if (image.empty()) {
        json.Null();
      } else {
        json.String1252(Utf8OrCp1252To1252(image));
      }
      json.Key("lines");
      json.BeginArray();
      for (const LineZone& line : page.lines) {
        json.BeginObject();
        json.Key("position");
        json.Int(line.position);
        json.Key("left");
        json.Int(line.left);
        json.Key("top");
        json.Int(line.top);
        json.Key("right");
        json.Int(line.right);
        json.Key("bottom");
        json.Int(line.bottom);
        json.EndObject();
      }
      json.EndArray();
      json.EndObject();
    }
    json.EndArray();
  }
  json.EndObject();
  json.End();
  return std::ferror(stdout) ? 1 : 0;
}

}  // namespace kalix::cli
