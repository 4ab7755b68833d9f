# The core: one static library per folder of src/, from the ground up. Each
# folder links only to the folders under it, and sees only their headers:
# every folder's headers are reached through an include root of its own
# (build/layers/<folder>/<folder> -> src/<folder>), handed on to the folders
# that link to it. A folder that includes a header of a folder above it (or
# of itself through a cycle) therefore fails to build.
#
# kalix_core is the whole core, for the two front ends, tests and tools.

# Each entry: folder:the folders it links to directly.
set(KALIX_CORE_LAYERS
  "platform:"
  "i18n:platform"
  "rules:i18n"
  "lexicon:i18n"
  "context:rules,lexicon"
  "document:context"
  "search:rules"
  "targets:search,document"
  "app:targets")

set(KALIX_CORE_TOP)
foreach(layer ${KALIX_CORE_LAYERS})
  string(REPLACE ":" ";" fields "${layer}")
  list(GET fields 0 dir)
  list(LENGTH fields n)
  set(below)
  if(n GREATER 1)
    list(GET fields 1 below)
    string(REPLACE "," ";" below "${below}")
  endif()

  set(root ${CMAKE_BINARY_DIR}/layers/${dir})
  file(MAKE_DIRECTORY ${root})
  if(NOT EXISTS ${root}/${dir})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${dir} ${root}/${dir} SYMBOLIC)
  endif()

  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${dir}/*.cpp)
  if(sources)
    add_library(kalix_${dir} STATIC ${sources})
    target_include_directories(kalix_${dir} PUBLIC ${root})
    set(scope PUBLIC)
  else()
    add_library(kalix_${dir} INTERFACE)
    target_include_directories(kalix_${dir} INTERFACE ${root})
    set(scope INTERFACE)
  endif()
  foreach(b ${below})
    target_link_libraries(kalix_${dir} ${scope} kalix_${b})
  endforeach()
  set(KALIX_CORE_TOP kalix_${dir})
endforeach()

# Only the platform folder uses Qt (code page conversion, collation) and ICU
# (the character policy: code pages, normalisation, character properties).
target_link_libraries(kalix_platform PUBLIC Qt6::Core ICU::uc ICU::data)
# The document reader parses TEI, PAGE and ALTO files with libxml2.
target_link_libraries(kalix_document PUBLIC LibXml2::LibXml2)

add_library(kalix_core INTERFACE)
target_link_libraries(kalix_core INTERFACE ${KALIX_CORE_TOP})
target_include_directories(kalix_core INTERFACE ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(kalix_core INTERFACE KALIX_DATA_DIR="${CMAKE_INSTALL_FULL_DATADIR}/kalix")
