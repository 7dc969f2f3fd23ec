#!/usr/bin/env bash
# The test command: set-up, both targets' builds, then every test through Wine under a virtual display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" i686 x86_64
# The program's own test starts it from the portable folder.
bash "$root/scripts/dist.sh" i686 x86_64
exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$root/scripts/run-ctest.sh" i686 x86_64
