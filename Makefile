# The two commands of the README. Both install what is missing first.

.PHONY: run test build

run:
	scripts/run-editor

test:
	scripts/run-tests

build:
	scripts/install-deps
	cmake --preset default >/dev/null
	cmake --build --preset default
