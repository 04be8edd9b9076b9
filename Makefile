# The two set-up commands of the README: `make run` and `make test`. Both install what is
# missing first, so they work on a fresh Debian 12 machine.
BUILD ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test install test-sanitize bench fuzz fuzz-image fuzz-update fuzz-cut-list clean

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

configure: deps $(BUILD)/build.ninja

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The main job: the report of the built-in sample townhouse, and its picture.
run: build
	./$(BUILD)/korvan_cli stats
	./$(BUILD)/korvan_cli still --out korvan_out/townhouse.png

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# bin/korvan_cli, share/korvan/assets, the manual page and the shell completions under PREFIX.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

test-sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVAN_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DKORVAN_BUILD_TESTS=OFF -DKORVAN_BUILD_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	@for b in $(BENCH_BUILD)/bench/*_bench; do echo "== $$b"; $$b --benchmark_min_time=0.2 || exit 1; done

# A reader fuzzer (libFuzzer, ASan, UBSan; clang-14), run for FUZZ_SECONDS on the seed files
# plus what earlier runs found: FUZZ_READER=korv (default), obj, stl, ply, gltf or dxf. Not part
# of `make test`.
FUZZ_READER ?= korv
FUZZ_SEEDS = $(if $(filter korv,$(FUZZ_READER)),fuzz/corpus,fuzz/corpus/$(FUZZ_READER))
fuzz: deps
	cmake -S fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZ_READER)_reader_fuzz
	mkdir -p $(FUZZ_BUILD)/corpus-$(FUZZ_READER)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  $(FUZZ_BUILD)/$(FUZZ_READER)_reader_fuzz -max_total_time=$(FUZZ_SECONDS) \
	  $(if $(wildcard fuzz/$(FUZZ_READER).dict),-dict=fuzz/$(FUZZ_READER).dict) \
	  -artifact_prefix=$(FUZZ_BUILD)/ $(FUZZ_BUILD)/corpus-$(FUZZ_READER) $(FUZZ_SEEDS)

# The image decoder fuzzer, the same way, on its own seeds plus what earlier runs found.
fuzz-image: deps
	cmake -S fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target image_decode_fuzz
	mkdir -p $(FUZZ_BUILD)/image_corpus
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  $(FUZZ_BUILD)/image_decode_fuzz -max_total_time=$(FUZZ_SECONDS) \
	  -artifact_prefix=$(FUZZ_BUILD)/image- $(FUZZ_BUILD)/image_corpus fuzz/corpus/image

# The update manifest fuzzer, the same way, on its own seeds plus what earlier runs found.
fuzz-update: deps
	cmake -S fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target update_manifest_fuzz
	mkdir -p $(FUZZ_BUILD)/corpus-update
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  $(FUZZ_BUILD)/update_manifest_fuzz -max_total_time=$(FUZZ_SECONDS) \
	  -artifact_prefix=$(FUZZ_BUILD)/ $(FUZZ_BUILD)/corpus-update fuzz/corpus/update_manifest

# The cut-list fuzzer (parser and nesting), the same way.
fuzz-cut-list: deps
	cmake -S fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target cut_list_fuzz
	mkdir -p $(FUZZ_BUILD)/corpus-cut-list
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  $(FUZZ_BUILD)/cut_list_fuzz -max_total_time=$(FUZZ_SECONDS) -dict=fuzz/cut_list.dict \
	  -artifact_prefix=$(FUZZ_BUILD)/ $(FUZZ_BUILD)/corpus-cut-list fuzz/corpus/cut_list

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD)
