# The part of the program that needs Qt Core alone: settings, text
# decoding, cutting text for speech and reducing the advertisement page. The program, the tests, the
# benchmarks and the fuzzers (tests/fuzz) all link it.
#   TALVERO_ROOT: the source tree's root.
find_package(PkgConfig REQUIRED)
pkg_check_modules(UCHARDET REQUIRED IMPORTED_TARGET uchardet)
pkg_check_modules(LIBXML2 REQUIRED IMPORTED_TARGET libxml-2.0)

add_library(talvero_core STATIC
  ${TALVERO_ROOT}/app/AppSettings.cpp ${TALVERO_ROOT}/app/AppSettings.h
  ${TALVERO_ROOT}/app/ConfigLocation.cpp ${TALVERO_ROOT}/app/ConfigLocation.h
  ${TALVERO_ROOT}/app/NumberText.cpp ${TALVERO_ROOT}/app/NumberText.h
  ${TALVERO_ROOT}/app/ReaderState.h
  ${TALVERO_ROOT}/platform/AdPageFilter.cpp ${TALVERO_ROOT}/platform/AdPageFilter.h
  ${TALVERO_ROOT}/platform/AdPageRules.cpp ${TALVERO_ROOT}/platform/AdPageRules.h
  ${TALVERO_ROOT}/platform/AtomicFile.cpp ${TALVERO_ROOT}/platform/AtomicFile.h
  ${TALVERO_ROOT}/platform/DisplayMap.cpp ${TALVERO_ROOT}/platform/DisplayMap.h
  ${TALVERO_ROOT}/platform/LineCounts.cpp ${TALVERO_ROOT}/platform/LineCounts.h
  ${TALVERO_ROOT}/platform/ProfileEncoding.cpp ${TALVERO_ROOT}/platform/ProfileEncoding.h
  ${TALVERO_ROOT}/platform/ProfileFile.cpp ${TALVERO_ROOT}/platform/ProfileFile.h
  ${TALVERO_ROOT}/platform/Gb18030Decoder.cpp ${TALVERO_ROOT}/platform/Gb18030Decoder.h
  ${TALVERO_ROOT}/platform/TextDecoding.cpp ${TALVERO_ROOT}/platform/TextDecoding.h
  ${TALVERO_ROOT}/platform/TextPages.cpp ${TALVERO_ROOT}/platform/TextPages.h
  ${TALVERO_ROOT}/speech/SpeechSegmenter.cpp ${TALVERO_ROOT}/speech/SpeechSegmenter.h
  ${TALVERO_ROOT}/speech/SsmlText.cpp ${TALVERO_ROOT}/speech/SsmlText.h
  ${TALVERO_ROOT}/speech/WordEventFilter.cpp ${TALVERO_ROOT}/speech/WordEventFilter.h
)
target_include_directories(talvero_core PUBLIC ${TALVERO_ROOT})
target_compile_definitions(talvero_core PUBLIC TALVERO_APP_ID="${TALVERO_APP_ID}")
target_compile_options(talvero_core PRIVATE ${TALVERO_WARNINGS})
target_link_libraries(talvero_core PUBLIC Qt6::Core PkgConfig::UCHARDET PkgConfig::LIBXML2)
