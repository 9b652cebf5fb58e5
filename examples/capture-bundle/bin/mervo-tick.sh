#!/usr/bin/env bash
# Example tick script: what a periodic run sees. It calls the program named by
# TOVANA_MERVO_BIN when its caller sets that, else the tovana-mervo on the PATH,
# and ends with the program's Full Disk Access answer.
mervo=${TOVANA_MERVO_BIN:-tovana-mervo}
echo "tick at $(date -u +%Y-%m-%dT%H:%M:%SZ) in $(pwd)"
"$mervo" --canary
