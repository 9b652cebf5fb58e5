#!/usr/bin/env bash
# Example tick script: what a periodic run sees.
mervo=${TOVANA_MERVO_BIN:-tovana-mervo}
echo "tick at $(date -u +%Y-%m-%dT%H:%M:%SZ) in $(pwd)"
"$mervo" --canary
