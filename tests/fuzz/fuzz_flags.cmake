# Included from the top level before any target: when the compiler can build libFuzzer
# targets, every library is compiled with coverage and the sanitizers at -O1, so the fuzzers
# see (and check) the code they drive. Sets RZL_FUZZ_SUPPORTED.
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_FLAGS "-fsanitize=fuzzer,address,undefined")
set(CMAKE_REQUIRED_LINK_OPTIONS "-fsanitize=fuzzer,address,undefined")
check_cxx_source_compiles([[
#include <cstddef>
#include <cstdint>
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }
]] RZL_FUZZ_SUPPORTED)
unset(CMAKE_REQUIRED_FLAGS)
unset(CMAKE_REQUIRED_LINK_OPTIONS)

if(RZL_FUZZ_SUPPORTED)
  set(RZL_FUZZ_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(-O1 -g -fsanitize=fuzzer-no-link ${RZL_FUZZ_SANITIZERS})
  add_link_options(${RZL_FUZZ_SANITIZERS})
else()
  message(WARNING "RZL_FUZZ: ${CMAKE_CXX_COMPILER_ID} cannot build libFuzzer targets; configure with clang++")
endif()
