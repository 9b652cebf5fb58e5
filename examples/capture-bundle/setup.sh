#!/usr/bin/env bash
# Example setup script: shows what the program hands a bundle script, then
# asks the program itself what it can read. The real bundle does its work here.
mervo=${TOVANA_MERVO_BIN:-tovana-mervo}

echo "Setting up from $(pwd)"
echo "PATH is $PATH"
[ "${TOVANA_INSTALL_MODE:-}" = 1 ] && echo "Install mode is on"

echo
echo "Full Disk Access:"
"$mervo" --canary
echo "(--canary exited $?)"

for mode in --calendar-dump --contacts-dump --contact-faces-scan; do
  echo
  echo "$mode:"
  "$mervo" "$mode"
  echo "($mode exited $?)"
done

echo
echo "Setup finished." >&2
