#!/usr/bin/env bash
# Installs what is missing, builds and starts Tavrell on the embedded database.
# The program keeps its settings file and embedded database beside the executable (build/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
exec build/tavrell "$@"
