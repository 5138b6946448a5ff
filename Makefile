# Front door for players, developers and CI. Everything below is plain CMake;
# these targets only add the Debian set-up and the usual build directories.
JOBS  ?= $(shell nproc)
ARGS  ?=
BUILD := build
TEST_BUILD := build-test
FUZZ_BUILD := build-fuzz

.PHONY: deps build run package test bench fuzz fuzz-smoke preview windows web serve-web clean

deps:
	@./scripts/deps.sh

# Release build of the game, the tools and packed.dat.
build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF
	cmake --build $(BUILD) -j$(JOBS)

run: build
	cd $(BUILD) && ./vantrel $(ARGS)

# build/vantrel_<version>_<arch>.deb: install it with apt install ./build/vantrel_*.deb.
package: build
	cmake --build $(BUILD) --target package

# Assertions stay on in the test build; warnings are errors. The Windows
# executable and the web build are made first so that the Wine, node and
# browser end-to-end tests have them to run.
test: windows web
	cmake -S . -B $(TEST_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g" -DVANTREL_WERROR=ON
	cmake --build $(TEST_BUILD) -j$(JOBS)
	cd $(TEST_BUILD) && ctest --output-on-failure -j$(JOBS)

bench: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF
	cmake --build $(BUILD) -j$(JOBS)
	./scripts/run_benchmarks.sh $(BUILD)

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVANTREL_FUZZ=ON -DVANTREL_TESTS=OFF -DVANTREL_BENCH=OFF
	cmake --build $(FUZZ_BUILD) --target vantrel_fuzz -j$(JOBS)

# Bounded run of every fuzz target (CI); FUZZ_SECONDS per target.
fuzz-smoke: fuzz
	./scripts/fuzz_smoke.sh $(FUZZ_BUILD) $${FUZZ_SECONDS:-60}

preview: build
	./scripts/preview.sh $(BUILD)

windows:
	./scripts/deps.sh --windows
	./scripts/build_windows.sh

# The game for web pages in dist/web/ (Emscripten), and a local server for it.
web:
	./scripts/deps.sh --web
	./scripts/build_web.sh

serve-web: web
	@echo "Serving dist/web/ on http://127.0.0.1:8000/ (Ctrl+C stops)"
	cd dist/web && python3 -m http.server 8000 --bind 127.0.0.1

clean:
	rm -rf $(BUILD) $(TEST_BUILD) $(FUZZ_BUILD) build-windows build-web dist
