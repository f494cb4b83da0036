# make run   installs what is missing, builds, lays out the program folder and starts the program
# make test  the same set-up, then every test
# make sanitize  builds with AddressSanitizer and UndefinedBehaviorSanitizer
#            in build-asan and runs the tests that do not start LibreOffice
# make fuzz  builds the libFuzzer targets with clang and runs each a while
# make deb   builds the Debian package quillmer_*.deb here (in build-deb/)
# make test-package  builds, installs and tries the package, then purges it (root)
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_SECONDS ?= 60
CMAKE_FLAGS ?=

.PHONY: run test setup build clean format sanitize fuzz deb test-package

run: build
	cd $(BUILD)/Quillmer && ./Quillmer

test: build
	scripts/run-tests.sh $(BUILD)

setup:
	scripts/setup.sh

build: setup
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD) --parallel

sanitize: setup
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DQUILLMER_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) --parallel
	LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp scripts/run-tests.sh $(ASAN_BUILD) -LE office

fuzz: setup
	scripts/fuzz.sh $(FUZZ_SECONDS)

deb:
	scripts/build-deb.sh

test-package:
	scripts/test-package.sh

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz build-deb

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i
