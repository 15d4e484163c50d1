# make        builds build/QVFileIO3.dll (32-bit) and build/x64/QVFileIO3.dll
#             (64-bit), installing what is missing
# make demo   registers the DLL in the build's Wine prefix and runs the example
#             (the 32-bit build, or the 64-bit one where the host runs no
#             32-bit code)
# make test   builds and runs every test through CTest, for both widths
# make bench  runs the benchmarks
# make soak   calls every operation 100,000 times and prints what the process holds
# make dist   builds build/dist/qvfileio-<version>.zip for Windows users and
#             qvfileio-<version>.msi for administrators, with SHA256SUMS, on
#             any host; SIGN_CERT=file.pfx SIGN_PASSWORD_FILE=file (or a PEM
#             SIGN_CERT with SIGN_KEY) signs them, SIGN_TIMESTAMP=url adds a
#             time stamp (tools/release.sh)
# make reproducible  builds the DLLs and packages a second time in a scratch
#             folder and compares them with this tree's, file by file
# QV_WIDTHS=64 takes the 64-bit-only path on any host (tools/widths.sh).
MAKEFLAGS += --no-print-directory
START := $(shell date +%s)
BUILD ?= build
BUILD64 := $(BUILD)/x64
winpath = Z:$(subst /,\,$(abspath $(1)))

# Which widths this host runs, decided once, on first use: after deps has
# installed Wine, so that a fresh machine is probed with its loaders present.
PROBE = $(eval PROBE := $(shell sh tools/widths.sh))$(PROBE)
WIDTHS = $(or $(filter both emulated 64,$(firstword $(PROBE))),$(error the widths this host runs cannot be decided))
RUN32 = $(if $(filter 64,$(WIDTHS)),OFF,ON)
# Where 32-bit code cannot run here, the tests that run it run in an
# emulated machine kept in this folder (tools/vm/machine.py).
MACHINE = $(if $(filter emulated,$(WIDTHS)),$(abspath $(BUILD))/vm)
# The widths measured and demonstrated here.
RUN_WIDTHS = $(if $(filter both,$(WIDTHS)),32 64,64)
# The tree, the prefix and the loader of a width.
tree = $(if $(filter 64,$(1)),$(BUILD64),$(BUILD))
wine_in = tools/wine-run.sh --arch $(if $(filter 64,$(1)),win64,win32) --prefix $(abspath $(call tree,$(1)))/wineprefix
# The demo shows the 32-bit build where it can run, the 64-bit one elsewhere.
DEMO = $(firstword $(RUN_WIDTHS))

.PHONY: all deps widths machine build test demo bench soak dist reproducible clean

all: build

deps:
	@sh tools/install-deps.sh

widths: deps
	@echo '$(wordlist 2,1000,$(PROBE))'

# Each tree knows whether its 32-bit programs can run (QV_RUN32), and
# whether in the emulated machine (QV_MACHINE); a tree configured on another
# host, or with another QV_WIDTHS, is told anew.
configure = { grep -qx 'QV_RUN32:BOOL=$(RUN32)' $(1)/CMakeCache.txt && \
	grep -qx 'QV_MACHINE:PATH=$(MACHINE)' $(1)/CMakeCache.txt; } 2>/dev/null || \
	cmake -S . -B $(1) -DQV_RUN32:BOOL=$(RUN32) -DQV_MACHINE:PATH=$(MACHINE) $(if $(wildcard $(1)/CMakeCache.txt),,$(2))

build: deps
	@$(call configure,$(BUILD),-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake)
	@$(call configure,$(BUILD64),-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake -DQV_DLL32=$(abspath $(BUILD))/QVFileIO3.dll)
	cmake --build $(BUILD) -j2
	cmake --build $(BUILD64) -j2

# The emulated machine, where it is needed, is made while the trees build:
# the first time, from Debian's packages (tools/vm/machine.py).
machine: widths
	@$(if $(MACHINE),mkdir -p $(MACHINE) && python3 tools/vm/machine.py $(MACHINE) --share $(abspath .) \
		--share $(abspath $(BUILD)) --prepare &)

# Where the 32-bit tree runs in the emulated machine, which takes one
# processor, the 64-bit tree runs here meanwhile; the 32-bit tree's output
# follows the 64-bit tree's.
test: widths machine build
ifeq ($(MACHINE),)
	sh tools/ctest-tree.sh $(BUILD)
	sh tools/ctest-tree.sh $(BUILD64)
else
	@echo "The 32-bit tree's tests run in the emulated machine while the 64-bit tree's run here; their output follows."
	@sh tools/ctest-tree.sh $(BUILD) >$(BUILD)/ctest-tree.log 2>&1 & tree32=$$!; status=0; \
	sh tools/ctest-tree.sh $(BUILD64) || status=$$?; \
	wait $$tree32 || status=$$?; \
	echo "== $(BUILD): the 32-bit tree, in the emulated machine"; cat $(BUILD)/ctest-tree.log; exit $$status
endif
	@echo "make test took $$((($$(date +%s) - $(START)) / 60)) min $$((($$(date +%s) - $(START)) % 60)) s"

demo: widths build
	@[ $(DEMO) = 32 ] || echo 'The demo shows the 64-bit build, $(BUILD64)/QVFileIO3.dll, in the 64-bit script host, since the 32-bit build is not run here.'
	$(call wine_in,$(DEMO)) regsvr32 /s '$(call winpath,$(call tree,$(DEMO))/QVFileIO3.dll)'
	$(call wine_in,$(DEMO)) cscript //nologo '$(call winpath,examples/demo.vbs)'

bench: widths build
	@for w in $(RUN_WIDTHS); do \
		echo "== The $$w-bit build"; \
		sh bench/run.sh bench $$w $(BUILD) || exit 1; \
	done

soak: widths build
	@for w in $(RUN_WIDTHS); do \
		echo "== The $$w-bit build"; \
		sh bench/run.sh soak $$w $(BUILD) || exit 1; \
	done

# SIGN_CERT, SIGN_KEY, SIGN_PASSWORD_FILE and SIGN_TIMESTAMP reach the
# script through the environment, spaces in their paths and all.
dist: build
	sh tools/release.sh $(BUILD)/QVFileIO3.dll $(BUILD64)/QVFileIO3.dll $(BUILD64)/register32.exe $(BUILD)/dist

reproducible: build
	sh tools/reproducible.sh $(BUILD)

clean:
	rm -rf $(BUILD)
