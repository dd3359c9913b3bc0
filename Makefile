# The two set-up commands: `make run` and `make test`. `make bench` runs every benchmark in Release.
JOBS ?= $(shell nproc)
CMAKE_COMMON = -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
SAMPLE = examples/Street.zrv
# GL and end-to-end tests need a display; without one they run on a virtual framebuffer.
ifeq ($(DISPLAY),)
XVFB = xvfb-run -a -s "-screen 0 1600x1000x24"
endif
# intercept_tls_get_addr=0: this compiler's sanitizer runtime mistakes a dynamic TLS block that happens to
# start at a certain page offset for an old glibc header and reads garbage from it; the leak checker's
# thread then dies at exit ("Tracer caught signal 11") in a test that passed, now and then, in GL tests
# whose driver libraries carry dynamic TLS.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:intercept_tls_get_addr=0 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

.PHONY: run test bench deps build-release build-check clean

deps:
	@scripts/install-deps

build-release: deps
	cmake -S . -B build/release $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Release -DSTREETPLAN_TESTS=OFF
	cmake --build build/release -j$(JOBS)

run: build-release
	$(if $(wildcard $(SAMPLE)),build/release/streetplan $(SAMPLE),build/release/streetplan)

build-check: deps
	cmake -S . -B build/check $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
		-DCMAKE_C_FLAGS_DEBUG="-O1 -g" -DSTREETPLAN_SANITIZE=ON
	cmake --build build/check -j$(JOBS)

test: build-check
	cd build/check && $(SANITIZER_ENV) $(XVFB) ctest -j$(JOBS) --output-on-failure --timeout 600

bench: build-release
	cmake -S . -B build/release -DSTREETPLAN_BENCH=ON
	cmake --build build/release -j$(JOBS)
	@# Only the benchmark programs (the folder also holds CMake's own); one that fails does not stop the rest.
	@failed=""; for b in build/release/bench/*; do \
		[ -f "$$b" ] && [ -x "$$b" ] || continue; \
		echo "== $$b"; $(XVFB) "$$b" || { echo "== $$b FAILED (exit $$?)"; failed="$$failed $${b##*/}"; }; \
	done; \
	if [ -n "$$failed" ]; then echo "Benchmarks failed:$$failed"; exit 1; fi

clean:
	rm -rf build
