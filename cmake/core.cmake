# fenwix_core: the terminal's logic without any GUI toolkit. It spans the folders of the
# backend client, conference, live push and local devices; it must never link a Qt module.
file(GLOB FENWIX_CORE_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/service/*.cpp
  ${PROJECT_SOURCE_DIR}/conference/*.cpp
  ${PROJECT_SOURCE_DIR}/livepush/*.cpp
  ${PROJECT_SOURCE_DIR}/devices/*.cpp)
add_library(fenwix_core STATIC ${FENWIX_CORE_SOURCES})
target_include_directories(fenwix_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(fenwix_core PUBLIC fenwix_json fenwix_log fenwix_platform PkgConfig::JSONCPP PkgConfig::CURL
  Threads::Threads)
# The conference adapter (conference/vidyoserver) calls the conference client library of sdk/.
target_link_libraries(fenwix_core PUBLIC VidyoClient)
# The digest that checks a downloaded installer (service/filedigest).
pkg_check_modules(LIBCRYPTO REQUIRED IMPORTED_TARGET libcrypto)
target_link_libraries(fenwix_core PUBLIC PkgConfig::LIBCRYPTO)
# The device check's camera preview (devices/cameralibrary) calls the camera library of sdk/.
target_link_libraries(fenwix_core PUBLIC CaptureVideo)
# The sound server client: reached only through devices/ (audio endpoints, capture, playback).
target_link_libraries(fenwix_core PUBLIC PkgConfig::PULSE)
target_compile_definitions(fenwix_core PRIVATE
  FENWIX_PROD_API_BASE_URL="${FENWIX_PROD_API_BASE_URL}"
  FENWIX_PROD_PUSH_BASE_URL="${FENWIX_PROD_PUSH_BASE_URL}"
  FENWIX_TEST_API_BASE_URL="${FENWIX_TEST_API_BASE_URL}"
  FENWIX_TEST_PUSH_BASE_URL="${FENWIX_TEST_PUSH_BASE_URL}")
# The media adapter (livepush/mediasdkserver) calls the live-streaming library of sdk/.
target_link_libraries(fenwix_core PUBLIC KelvraMedia)
