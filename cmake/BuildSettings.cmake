# One place for the language level, warnings, hardening and sanitizers; every target links it.
add_library(vantrel_build_settings INTERFACE)
target_compile_features(vantrel_build_settings INTERFACE cxx_std_20)
target_compile_options(vantrel_build_settings INTERFACE
  $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wsuggest-override>)
target_compile_definitions(vantrel_build_settings INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CONTEXTLESS_CONNECT QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  VANTREL_VERSION=${PROJECT_VERSION})

set(VANTREL_SANITIZE "" CACHE STRING "Sanitizers: empty, 'address' (address+undefined) or 'thread'")
if(VANTREL_SANITIZE STREQUAL "address")
  target_compile_options(vantrel_build_settings INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
  target_link_options(vantrel_build_settings INTERFACE -fsanitize=address,undefined)
elseif(VANTREL_SANITIZE STREQUAL "thread")
  target_compile_options(vantrel_build_settings INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(vantrel_build_settings INTERFACE -fsanitize=thread)
elseif(NOT VANTREL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "Unknown VANTREL_SANITIZE value '${VANTREL_SANITIZE}'")
endif()

# The hardening Debian builds its packages with: position-independent executables, a
# read-only relocation table bound at start, stack protection, and checked string and memory
# functions (these need optimisation, so not in debug builds, and they stay out of the
# sanitizers' way).
include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
target_compile_options(vantrel_build_settings INTERFACE -fstack-protector-strong
  -Wformat -Werror=format-security)
target_link_options(vantrel_build_settings INTERFACE -Wl,-z,relro -Wl,-z,now)
if(VANTREL_SANITIZE STREQUAL "")
  target_compile_definitions(vantrel_build_settings INTERFACE
    $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
endif()
