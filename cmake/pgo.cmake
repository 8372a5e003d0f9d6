# Profile-guided optimisation with GCC, in one build. A first stage, a build of this project
# of its own under pgo/instrumented, compiles the engine library instrumented and the
# training program (tools/pgo_training.cpp); the training run writes a profile, and this
# build's engine library, which the engine, the tests and the benchmarks all link, is then
# compiled with it. Both stages compile every source to the same object path relative to
# their build folder, which GCC needs to match the profile of file-local functions.
# Included once the orvo_core target exists.

if(ORVO_PGO_INSTRUMENT)
  # The first stage. The engine ends through _exit, so it writes its counters itself (a
  # weak reference in exitProcess): make sure the routine is linked in. Atomic counters:
  # the training searches on two threads too.
  target_compile_options(orvo_core PUBLIC -fprofile-generate=${ORVO_PGO_RAW_DIR} -fprofile-update=atomic)
  target_link_options(orvo_core PUBLIC -fprofile-generate=${ORVO_PGO_RAW_DIR} -Wl,--undefined=__gcov_dump)
  add_executable(orvo_pgo_training tools/pgo_training.cpp)
  target_link_libraries(orvo_pgo_training PRIVATE orvo_core)
  return()
endif()

include(ExternalProject)
set(ORVO_PGO_DIR ${CMAKE_BINARY_DIR}/pgo)
set(ORVO_PGO_TRAINING ${ORVO_PGO_DIR}/instrumented/orvo_pgo_training)
ExternalProject_Add(orvo_pgo_instrumented
  SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR}
  BINARY_DIR ${ORVO_PGO_DIR}/instrumented
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
             "-DCMAKE_CXX_FLAGS=${CMAKE_CXX_FLAGS}" -DORVO_NATIVE=${ORVO_NATIVE} -DORVO_PGO=OFF
             -DORVO_PGO_INSTRUMENT=ON -DORVO_PGO_RAW_DIR=${ORVO_PGO_DIR}/raw
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target orvo_pgo_training
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${ORVO_PGO_TRAINING}
  INSTALL_COMMAND "")

set(ORVO_PGO_STAMP ${ORVO_PGO_DIR}/profile.stamp)
add_custom_command(
  OUTPUT ${ORVO_PGO_STAMP}
  COMMAND ${CMAKE_COMMAND} -DTRAINING=${ORVO_PGO_TRAINING} -DPGO_DIR=${ORVO_PGO_DIR}
          -DFROM=${ORVO_PGO_DIR}/instrumented -DTO=${CMAKE_BINARY_DIR}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/pgo-train.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${ORVO_PGO_STAMP}
  DEPENDS ${ORVO_PGO_TRAINING} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/pgo-train.cmake
  COMMENT "Training the instrumented engine for the profile-guided build"
  VERBATIM)
add_custom_target(orvo_pgo_profile DEPENDS ${ORVO_PGO_STAMP})
add_dependencies(orvo_pgo_profile orvo_pgo_instrumented)

# Functions the training never reached keep their ordinary optimisation
# (-fprofile-partial-training) instead of being optimised for size. The library's objects
# compile after the training, so a changed source file is compiled with a profile taken
# from the changed engine.
target_compile_options(orvo_core PRIVATE -fprofile-use=${ORVO_PGO_DIR}/use -fprofile-partial-training
                                         -Wno-missing-profile)
add_dependencies(orvo_core orvo_pgo_profile)
