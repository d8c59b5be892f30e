#!/usr/bin/env bash
# The code must build warning-free and pass its tests with clang++ too.
set -euo pipefail
. scripts/prereqs.sh
need clang++ clang
install_needed
cmake --workflow --preset clang
