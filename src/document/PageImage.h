// The image of a page of a document: the one an XML document names for the
// page, else an image file beside the document named by the page's folio or
// by its number.
//
// Names recognised beside the document (any letter case, extensions .jpg,
// .jpeg, .png, .tif, .tiff): a folio side as "12r", "012v", "f12r", "f012v",
// "fol12r", "folio_12v" (a blank, "_", "-" or "." may follow the prefix), and
// a page as "p3", "p003", "page3", "page_003". A name may carry anything
// before it that ends with a blank, "_", "-" or "." ("ms_fr_123_f012r.jpg").
#pragma once

#include "document/Document.h"

#include <string>
#include <string_view>

namespace kalix {

// What an image file's name says: a folio side, a page, or nothing.
struct ImageName {
  int32_t folio = 0;  // 0: none
  bool verso = false;
  int32_t page = 0;   // 0: none
};

// Reads a file name (with or without its extension) as above.
ImageName ParseImageName(std::string_view fileName);

// The path of the image of `page` (1-based); empty when none is known or
// found. A folio side is looked for before a page number.
std::string PageImagePath(const Document& document, int32_t page);

}  // namespace kalix
