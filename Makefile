# make        builds build/QVFileIO3.dll (32-bit) and build/x64/QVFileIO3.dll
#             (64-bit), installing what is missing
# make demo   registers the 32-bit DLL in the build's Wine prefix and runs the example
# make test   builds and runs every test through CTest, for both widths
# make bench  runs the benchmarks
# make soak   calls every operation 100,000 times and prints what the process holds
# make dist   builds build/dist/qvfileio-<version>.zip for Windows users
MAKEFLAGS += --no-print-directory
BUILD ?= build
BUILD64 := $(BUILD)/x64
PREFIX := $(abspath $(BUILD))/wineprefix
WINE_RUN := tools/wine-run.sh --prefix $(PREFIX)
DLL_WIN = Z:$(subst /,\,$(abspath $(BUILD))/QVFileIO3.dll)
winpath = Z:$(subst /,\,$(abspath $(1)))
VERSION := $(shell cat VERSION)

.PHONY: all deps build test demo bench soak dist clean

all: build

deps:
	@sh tools/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

$(BUILD64)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD64) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DQV_DLL32=$(abspath $(BUILD))/QVFileIO3.dll

build: deps $(BUILD)/CMakeCache.txt $(BUILD64)/CMakeCache.txt
	cmake --build $(BUILD) -j2
	cmake --build $(BUILD64) -j2

test: build
	cd $(BUILD) && ctest --output-on-failure
	cd $(BUILD64) && ctest --output-on-failure

demo: build
	$(WINE_RUN) regsvr32 /s '$(DLL_WIN)'
	$(WINE_RUN) cscript //nologo '$(call winpath,examples/demo.vbs)'

bench: build
	cmake --build $(BUILD) --target readfloor
	$(WINE_RUN) '$(call winpath,$(BUILD)/readfloor.exe)'
	$(WINE_RUN) regsvr32 /s '$(DLL_WIN)'
	$(WINE_RUN) cscript //nologo '$(call winpath,bench/read_bench.js)'
	sh bench/trees.sh $(abspath $(BUILD))/bench-trees
	$(WINE_RUN) cscript //nologo '$(call winpath,bench/listing_bench.vbs)' '$(call winpath,$(BUILD)/bench-trees)'
	rm -rf $(BUILD)/bench-trees
	$(WINE_RUN) cscript //nologo '$(call winpath,bench/write_bench.js)'

soak: build
	cmake --build $(BUILD) --target soak
	$(WINE_RUN) regsvr32 /s '$(DLL_WIN)'
	$(WINE_RUN) '$(call winpath,$(BUILD)/soak.exe)'

dist: build
	sh tools/make-dist.sh $(BUILD)/QVFileIO3.dll $(BUILD64)/QVFileIO3.dll $(BUILD)/dist/qvfileio-$(VERSION).zip

clean:
	rm -rf $(BUILD)
