#!/usr/bin/env bash
# Builds the browser page's test build (the synthetic releases' digests and patches) and serves
# it on 127.0.0.1, printing the address to open. The synthetic release files to try it with are
# in build/web/synthetic/releases.
# Usage: tools/serve-web.sh [PORT] [SITE]   (defaults: 8080, site-synthetic; SITE=site serves the
#   product's build, which carries whatever patches/data held)
set -euo pipefail
cd "$(dirname "$0")/.."
port=${1:-8080}
site=${2:-site-synthetic}
tools/install-deps.sh web
cmake --preset web >/dev/null
cmake --build --preset web -j2 --target "$site" "${site}_page"
echo "Synthetic releases to try: build/web/synthetic/releases/"
exec node tests/web/serve.mjs "build/web/web/$site" "$port"
