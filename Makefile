# make run   installs what is missing, builds, lays out the program folder and starts the program
# make test  the same set-up, then every test
BUILD ?= build
CMAKE_FLAGS ?=

.PHONY: run test setup build clean format

run: build
	cd $(BUILD)/Quillmer && ./Quillmer

test: build
	scripts/run-tests.sh $(BUILD)

setup:
	scripts/setup.sh

build: setup
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)
	cmake --build $(BUILD) --parallel

clean:
	rm -rf $(BUILD)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i
