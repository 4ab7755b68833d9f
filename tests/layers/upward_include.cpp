// Built by the layering tests (tests/CMakeLists.txt): a file of a lower
// folder that includes a header of a folder above it must not build; the
// same file built where that header is below it must.
#include "targets/Target.h"

int LayerCheck() { return static_cast<int>(sizeof(kalix::Target)); }
