# Quick start: `make demo` and `make test` (both install what is missing first).
PYTHON ?= python3
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS ?= 2
APT_PACKAGES = zlib1g-dev libzstd-dev libeigen3-dev libopenblas-dev nlohmann-json3-dev libcpp-httplib-dev libssl-dev libbrotli-dev patchelf
PY_PACKAGES = numpy pytest highsbox~=1.15.1 scikit-build-core ninja cmake scipy tqdm highspy dask distributed clarabel \
	mypy cvxpy pandas matplotlib auditwheel hypothesis

export PYTHONDONTWRITEBYTECODE = 1

# Every CMake configuration below: Ninja from the pip package, and ccache as
# the compiler launcher where it is installed (rebuilds of other trees reuse
# unchanged objects).
NINJA = $$($(PYTHON) -c 'import ninja,os;print(os.path.join(ninja.BIN_DIR,"ninja"))')
LAUNCHER = $(if $(shell command -v ccache 2>/dev/null),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
CMAKE_CONFIGURE = $(PYTHON) -m cmake -G Ninja -DPython_EXECUTABLE=$$(command -v $(PYTHON)) -DCMAKE_MAKE_PROGRAM=$(NINJA) $(LAUNCHER)

.PHONY: all deps build demo test test-cpp test-py test-roundtrip-long test-asan test-tsan test-wheel bench install wheel pictures clean

all: build

# Debian packages through apt-get, Python packages through pip, each only when missing.
deps:
	@missing=""; for p in $(APT_PACKAGES); do dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing Debian packages:$$missing"; \
	  SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
	  $$SUDO apt-get update -q && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -q $$missing; \
	fi
	@$(PYTHON) tools/check_python_deps.py $(PY_PACKAGES) || $(PYTHON) -m pip install -q $$($(PYTHON) tools/check_python_deps.py --missing $(PY_PACKAGES))

$(BUILD)/build.ninja:
	$(CMAKE_CONFIGURE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/build.ninja
	$(PYTHON) -m cmake --build $(BUILD) -j $(JOBS)

demo: build
	PYTHONPATH=$(BUILD)/pkg $(PYTHON) examples/demo.py

test: build test-cpp test-py

test-cpp:
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-py:
	PYTHONPATH=$(BUILD)/pkg VLT_BUILD_DIR=$(BUILD) $(PYTHON) -m pytest -q -m "not wheel" tests

# The file round trips with many random tasks (make test runs a few, always the same).
ROUNDTRIP_EXAMPLES ?= 3000
test-roundtrip-long: build
	PYTHONPATH=$(BUILD)/pkg VLT_BUILD_DIR=$(BUILD) VLT_ROUNDTRIP_EXAMPLES=$(ROUNDTRIP_EXAMPLES) \
	  $(PYTHON) -m pytest -q tests/files/test_roundtrip_property.py

# AddressSanitizer + UndefinedBehaviorSanitizer build of module and library.
test-asan: deps
	$(CMAKE_CONFIGURE) -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVLT_SANITIZE=ON
	$(PYTHON) -m cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -Q
	LD_PRELOAD="$$(gcc -print-file-name=libasan.so) $$(gcc -print-file-name=libubsan.so)" \
	  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  PYTHONPATH=$(ASAN_BUILD)/pkg VLT_BUILD_DIR=$(ASAN_BUILD) VLT_ASAN=1 $(PYTHON) -m pytest -q -x tests

# ThreadSanitizer build of module and library; the threading tests under it.
test-tsan: deps
	$(CMAKE_CONFIGURE) -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVLT_TSAN=ON
	$(PYTHON) -m cmake --build $(TSAN_BUILD) -j $(JOBS) --target _vlt velto_py test_threads
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -R test_threads
	libdir=$$($(PYTHON) -c 'import sysconfig;print(sysconfig.get_config_var("LIBDIR"))'); \
	gcc -fsanitize=thread -O1 tools/tsan_python.c -o $(TSAN_BUILD)/python-tsan \
	  -I$$($(PYTHON) -c 'import sysconfig;print(sysconfig.get_paths()["include"])') \
	  -L$$libdir -Wl,-rpath,$$libdir -lpython$$($(PYTHON) -c 'import sysconfig;print(sysconfig.get_config_var("LDVERSION"))')
	TSAN_OPTIONS=halt_on_error=1 PYTHONPATH=$(TSAN_BUILD)/pkg VLT_BUILD_DIR=$(TSAN_BUILD) \
	  $(TSAN_BUILD)/python-tsan -m pytest -q -x tests/module/test_threads.py

# libFuzzer on every file reader, the server's request handling and the remote
# client's reading of answers (clang from Debian), seeded with the shared
# instances and random tasks in each format; FUZZ_SECONDS per reader.  Inputs
# that find a fault are left in $(FUZZ_BUILD)/findings/<reader>/.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_READERS = mps lp opf ptf json task solution parameters request answer
fuzz: build
	@dpkg -s clang libfuzzer-14-dev >/dev/null 2>&1 || { SUDO=$$( [ "$$(id -u)" = 0 ] || echo sudo ); \
	  $$SUDO apt-get update -q && DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -q clang libfuzzer-14-dev; }
	CC=clang CXX=clang++ $(CMAKE_CONFIGURE) -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVLT_FUZZ=ON -DVLT_BUILD_TESTS=OFF
	$(PYTHON) -m cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets
	PYTHONPATH=$(BUILD)/pkg $(PYTHON) tests/fuzz/seeds.py $(FUZZ_BUILD)/corpus
	@for r in $(FUZZ_READERS); do \
	  mkdir -p $(FUZZ_BUILD)/findings/$$r; \
	  echo "fuzzing the $$r reader for $(FUZZ_SECONDS) s"; \
	  ASAN_OPTIONS=detect_leaks=0 $(FUZZ_BUILD)/tests/fuzz/fuzz_$$r -max_total_time=$(FUZZ_SECONDS) -max_len=65536 \
	    -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/findings/$$r/ $(FUZZ_BUILD)/corpus/$$r 2>&1 | grep -E '^(stat::number_of_executed_units|finding|==|SUMMARY)' || true; \
	  if ls $(FUZZ_BUILD)/findings/$$r/* >/dev/null 2>&1; then echo "findings in $(FUZZ_BUILD)/findings/$$r"; exit 1; fi; \
	done

bench: build
	PYTHONPATH=$(BUILD)/pkg $(PYTHON) bench/run_all.py

# The README's pictures of a run, drawn anew into docs/images/.
pictures: build
	VELTO_PICTURES=1 PYTHONPATH=$(BUILD)/pkg VLT_BUILD_DIR=$(BUILD) $(PYTHON) -m pytest -q tests/ecosystem/test_history.py -k readme_pictures

install: deps
	$(PYTHON) -m pip install -v .

# A wheel for Linux machines of this Python: built by pip with
# scikit-build-core (in build/wheel/<tag>, kept between builds), then
# repaired by auditwheel to a manylinux tag: the system libraries it links
# (zstd, OpenSSL, Brotli, ...) are copied in and its run paths set.  HiGHS is
# not bundled: it comes from the highsbox wheel at run time, as for a source
# install.  The wheels it needs at install time (numpy, highsbox) are saved
# beside it in $(WHEEL_DIR)/deps, so that it installs without an index.
WHEEL_DIR ?= dist
wheel: deps
	rm -rf $(BUILD)/wheel/raw $(WHEEL_DIR)/velto-*.whl
	$(PYTHON) -m pip wheel -v --no-deps --no-build-isolation -w $(BUILD)/wheel/raw .
	$(PYTHON) -m auditwheel repair --exclude 'libhighs.so*' -w $(WHEEL_DIR) $(BUILD)/wheel/raw/velto-*.whl
	$(PYTHON) -m pip download -q -d $(WHEEL_DIR)/deps --only-binary :all: numpy 'highsbox~=1.15.1'

# Installs the wheel into a fresh virtual environment and solves with it.
test-wheel: wheel
	VLT_WHEEL_DIR=$(WHEEL_DIR) PYTHONPATH=$(BUILD)/pkg $(PYTHON) -m pytest -q -m wheel tests/ecosystem/test_wheel.py

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(WHEEL_DIR)
