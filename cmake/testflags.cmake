# Compile options for the code of a test program (not for the engine library it links).
# The tests check the library, which keeps the flags users get, or the sanitizers in full.
# The test code itself, mostly GoogleTest's assertion macros, needs neither full
# optimisation nor full debug information: with light optimisation, and line tables and no
# UndefinedBehaviorSanitizer under the sanitizers, it compiles in about half the time there
# and four fifths of it in the optimised build. It keeps AddressSanitizer or
# ThreadSanitizer; UndefinedBehaviorSanitizer stays on the engine's code.
function(orvo_test_compile_options target)
  target_compile_options(${target} PRIVATE -O1)
  if(ORVO_SANITIZE OR ORVO_TSAN)
    target_compile_options(${target} PRIVATE -g1)
  endif()
  if(ORVO_SANITIZE)
    target_compile_options(${target} PRIVATE -fno-sanitize=undefined)
  endif()
endfunction()
