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

# Export the first face the scan reports, as the real bundle does for each.
id=$("$mervo" --contact-faces-scan | grep -o '"id":"[^"]*"' | head -n 1 | cut -d '"' -f 4)
if [ -n "$id" ]; then
  face="${TMPDIR:-/tmp}/mervo-example-face"
  echo
  echo "--contact-face --id $id --out $face:"
  "$mervo" --contact-face --id "$id" --out "$face"
  echo "(--contact-face exited $?)"
fi

echo
echo "Setup finished." >&2
