// The search options of `kalix-cli search`, read for other commands that
// run a search (collocates, clusters).
#pragma once

#include "app/RunSearch.h"
#include "cli/Commands.h"
#include "document/Document.h"

namespace kalix::cli {

// Reads SEARCH-OPTIONS and the document or --corpus FILE from `args` as
// `search` reads them, checks the filters and opens the document or corpus
// (into `document` or the context's corpus). Returns 0 with `request`
// ready to run, or the exit status after the message.
int ReadSearchCommandLine(Context& ctx, const Args& args, SearchRequest& request, Document& document);

}  // namespace kalix::cli
