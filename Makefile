# The engine alone, for tools that build with make: distributed testing (OpenBench) runs
#   make -j EXE=<name> [CXX=<compiler>]
# in the source folder and then "./<name> bench". This builds the same optimised,
# profile-guided engine as the CMake build (profile-guided with GCC 10 or later; another
# compiler gives the optimised build without a profile) and copies it to EXE. The tests and
# benchmarks are left out, so only CMake and a C++20 compiler are needed; Ninja is used
# when it is installed.

EXE ?= orvo
# Each compiler gets a build folder of its own: CMake keeps the compiler of a folder.
BUILD_DIR ?= build-make-$(notdir $(CXX))
GENERATOR := $(if $(shell command -v ninja 2>/dev/null),-G Ninja,)

.PHONY: all clean $(EXE)

all: $(EXE)

$(EXE):
	cmake -S . -B "$(BUILD_DIR)" $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
	    -DCMAKE_CXX_COMPILER="$(CXX)" -DORVO_TESTS=OFF
	cmake --build "$(BUILD_DIR)" --target orvo
	cp "$(BUILD_DIR)/orvo" "$(EXE)"

clean:
	rm -rf build-make-*
