# The training run of the profile-guided build: runs the instrumented training program
# (TRAINING), whose objects lie under the folder FROM, then copies the counters it wrote under
# PGO_DIR/raw to PGO_DIR/use, renamed for the same objects under the folder TO.
file(REMOVE_RECURSE ${PGO_DIR}/raw ${PGO_DIR}/use)

execute_process(COMMAND ${TRAINING} RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the training run failed (${status}): ${TRAINING}")
endif()

# GCC names each counter file after its object's absolute path, with '#' for '/'.
string(REPLACE "/" "#" from "${FROM}/")
string(REPLACE "/" "#" to "${TO}/")
file(GLOB counters ${PGO_DIR}/raw/*.gcda)
if(NOT counters)
  message(FATAL_ERROR "the instrumented engine wrote no profile to ${PGO_DIR}/raw")
endif()
file(MAKE_DIRECTORY ${PGO_DIR}/use)
foreach(counter ${counters})
  get_filename_component(name ${counter} NAME)
  string(REPLACE "${from}" "${to}" name "${name}")
  file(COPY_FILE ${counter} ${PGO_DIR}/use/${name})
endforeach()
