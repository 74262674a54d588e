# The front door: `make run` opens the tool, `make test` runs every test.
# Both install what they need first (scripts/install-deps is idempotent).

PRESET ?= default
BUILD   = build/$(PRESET)
JOBS   ?= $(shell nproc)

.PHONY: all deps configure build run test test-default test-asan lint clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

SAMPLE = examples/rings.png

# With a display the tool opens on the sample image; without one the sample
# is converted and the OBJ's path printed.
run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
		$(BUILD)/app/embossa $(SAMPLE) || [ $$? -eq 255 ]; \
	else \
		$(BUILD)/app/embossa convert $(SAMPLE) -o $(BUILD)/rings.obj; \
	fi

lint:
	@scripts/lint

test: deps lint
	@$(MAKE) --no-print-directory test-default
	@$(MAKE) --no-print-directory test-asan

test-default:
	@cmake --preset default -DEMBOSSA_WARNINGS_AS_ERRORS=ON >/dev/null
	@cmake --build build/default -j $(JOBS)
	@cd build/default && ctest --output-on-failure -j $(JOBS)

# The sanitizer run replays the fuzz corpora and repeats the suites under ASan/UBSan.
test-asan:
	@cmake --preset asan -DEMBOSSA_WARNINGS_AS_ERRORS=ON >/dev/null
	@cmake --build build/asan -j $(JOBS)
	@cd build/asan && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf build
