# Front door: every target sets up what it needs (packages, Wine prefix, build) by itself.
.PHONY: run test build bench setup search dist

run:
	bash scripts/run.sh

test:
	bash scripts/test.sh

dist:
	bash scripts/setup.sh && bash scripts/build.sh && bash scripts/dist.sh

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
