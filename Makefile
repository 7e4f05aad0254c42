# Quillmere: `make run` starts the program, `make test` runs every test.
# Both install missing Debian packages and build first.

BUILD ?= build
DATA_DIR := $(if $(QUILLMERE_DATA_DIR),$(QUILLMERE_DATA_DIR),$(if $(XDG_DATA_HOME),$(XDG_DATA_HOME),$(HOME)/.local/share)/quillmere)
SQLCMD := $(BUILD)/tools/quillmere-sqlcmd

.PHONY: all deps configure build test run sample-db bench clean

all: build

deps:
	@bash tools/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja

configure: $(BUILD)/build.ninja

build: deps configure
	cmake --build $(BUILD)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 600

# Creates the embedded sample database Quillmere when it does not exist yet.
sample-db: build
	@if ! ls "$(DATA_DIR)" 2>/dev/null | grep -qix 'quillmere.db'; then \
	  echo "Creating the sample database in $(DATA_DIR)"; \
	  $(SQLCMD) -S "(embedded)" -b -Q "CREATE DATABASE Quillmere" && \
	  $(SQLCMD) -S "(embedded)" -d Quillmere -b -i db/schema.sql,db/sample-data.sql > /dev/null || \
	  { rm -f "$(DATA_DIR)/Quillmere.db"; exit 1; }; \
	fi

run: sample-db
	$(BUILD)/app/quillmere

bench: build
	$(BUILD)/bench/quillmere-bench

clean:
	rm -rf $(BUILD)
