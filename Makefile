# One-command set-up on Debian 12: every target installs what it needs first.
.PHONY: all setup build run test bench dist screenshots lint format clean

all: build

setup:
	@tools/setup-debian.sh

build: setup
	cmake --preset win32 >/dev/null
	cmake --build build/win32
	cmake --preset win64 >/dev/null
	cmake --build build/win64

run: setup
	cmake --preset win64 >/dev/null
	cmake --build build/win64 --target brivelconfig
	tools/run-wine.sh build/win64/BRIVELCONFIG.EXE

# The players' 32-bit build runs under 32-bit Wine; where this machine cannot set that
# up, its test says why and is skipped (under CI it fails instead).
# CTest lists each Windows test program's tests by running it under Wine, before any test
# runs, so the Wine prefixes must exist first.
test: build
	@tools/setup-i386.sh || true
	tests/wine/prepare
	ctest --test-dir build/win64 --output-on-failure

# The tool's start-up, clicks, exit, size and memory against a bare dialog, under Wine.
bench: build
	bench/run.py

dist: build
	rm -rf dist
	tools/make_dist.py dist win32=build/win32/BRIVELCONFIG.EXE win64=build/win64/BRIVELCONFIG.EXE
	@cat dist/SHA256SUMS

screenshots: setup
	cmake --preset win64 >/dev/null
	cmake --build build/win64 --target brivelconfig
	tools/screenshots.sh docs/screenshots

SOURCES := $(shell git ls-files '*.cpp' '*.h')

# Handlers reached only through message-map tables look unused to cppcheck; a class's
# message map hides its base's on purpose; a loop that returns early reads better here.
lint: build
	cppcheck --language=c++ --quiet --error-exitcode=1 --enable=warning,style,performance,portability \
		--std=c++20 --inline-suppr --suppress=missingIncludeSystem --suppress=unusedFunction \
		--suppress=duplInheritedMember --suppress=unusedPrivateFunction --suppress=useStlAlgorithm \
		-I . $(filter %.cpp,$(filter-out tests/%,$(SOURCES)))
	clang-format --dry-run --Werror $(SOURCES)
	tools/tidy.sh build/win64 $(filter %.cpp,$(filter-out tests/%,$(SOURCES)))

format:
	clang-format -i $(SOURCES)

clean:
	rm -rf build dist
