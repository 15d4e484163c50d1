# make        builds build/QVFileIO3.dll (installing what is missing)
# make demo   registers the DLL in the build's Wine prefix and runs the example
# make test   builds and runs every test through CTest
# make bench  runs the benchmarks
# make soak   calls every operation 100,000 times and prints what the process holds
MAKEFLAGS += --no-print-directory
BUILD ?= build
PREFIX := $(abspath $(BUILD))/wineprefix
WINE_RUN := tools/wine-run.sh --prefix $(PREFIX)
DLL_WIN = Z:$(subst /,\,$(abspath $(BUILD))/QVFileIO3.dll)
winpath = Z:$(subst /,\,$(abspath $(1)))

.PHONY: all deps build test demo bench soak clean

all: build

deps:
	@sh tools/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j2

test: build
	cd $(BUILD) && ctest --output-on-failure

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

soak: build
	cmake --build $(BUILD) --target soak
	$(WINE_RUN) regsvr32 /s '$(DLL_WIN)'
	$(WINE_RUN) '$(call winpath,$(BUILD)/soak.exe)'

clean:
	rm -rf $(BUILD)
