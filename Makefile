# Front door: every target sets up what it needs (packages, Wine prefix, build) by itself.
.PHONY: test build bench setup search

test:
	bash scripts/test.sh

build:
	bash scripts/setup.sh && bash scripts/build.sh

bench:
	bash scripts/bench.sh

setup:
	bash scripts/setup.sh

# make search Q="some text" [ARGS=--live]
# Exit status 1 means "nothing found", which vxsearch explains itself: not a failure of make's.
search:
	@bash scripts/search.sh $(ARGS) -- "$(Q)"; status=$$?; [ $$status -le 1 ] || exit $$status
