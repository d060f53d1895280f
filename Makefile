# make test   - install what is missing, build both toolchains, run every test
# make demo   - the navigator under Wine against the bundled demo service host
# make dist   - the installed copy in build/dist
# make bench  - benchmarks against curl and aria2c (not part of make test)
# make tsan   - the download tests under ThreadSanitizer
# make fuzz   - a bounded libFuzzer run of the ZIP extractor

JOBS  ?= 2
BUILD := build
HOST  := $(BUILD)/host
WIN32 := $(BUILD)/win32
DIST  := $(BUILD)/dist

.PHONY: all setup host win32 dist test demo bench tsan fuzz clean

all: dist host

setup:
	@scripts/setup $(BUILD)

host: setup
	@cmake -S . -B $(HOST) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(HOST) -j$(JOBS)

win32: setup
	@cmake -S . -B $(WIN32) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake \
	       -DCMAKE_BUILD_TYPE=Release -DVELMORA_DEPS_PREFIX=$(CURDIR)/$(BUILD)/deps/win32 >/dev/null
	@cmake --build $(WIN32) -j$(JOBS)

dist: win32
	@cmake --install $(WIN32) --prefix $(CURDIR)/$(DIST) >/dev/null
	@echo "installed copy: $(DIST)"

test: host dist
	@cd $(HOST) && ctest --output-on-failure -j$(JOBS) --timeout 900

demo: host dist
	@scripts/demo $(BUILD)

bench: host dist
	@bench/run $(BUILD)

tsan: setup
	@cmake -S . -B $(BUILD)/host-tsan -DVELMORA_TSAN=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD)/host-tsan -j$(JOBS)
	@cd $(BUILD)/host-tsan && ctest --output-on-failure -L tsan --timeout 900

fuzz: setup
	@scripts/fuzz $(BUILD)

clean:
	rm -rf $(HOST) $(WIN32) $(DIST)
