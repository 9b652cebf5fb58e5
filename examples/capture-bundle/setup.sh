#!/usr/bin/env bash
# Example setup script: shows what the program hands a bundle script, then
# asks the program itself what it can read. The real bundle does its work here.
# It calls the program named by TOVANA_MERVO_BIN when its caller sets that
# (tools/run-example does, for a checkout), else the tovana-mervo on the PATH.
mervo=${TOVANA_MERVO_BIN:-tovana-mervo}

# In install mode, turns on the systemd user timer that runs the tick every
# five minutes, when this user's service manager answers (never waiting on it).
turn_on_tick_timer() {
  local state
  state=$(timeout 5 systemctl --user is-system-running 2>/dev/null) || true
  case $state in
    "" | offline | unknown)
      echo "No systemd user manager is reachable: the tick timer was not turned on"
      ;;
    *)
      if timeout 10 systemctl --user enable --now tovana-mervo-tick.timer >/dev/null 2>&1; then
        echo "Turned on the tick timer (systemctl --user enable --now tovana-mervo-tick.timer)"
      else
        echo "Could not turn on tovana-mervo-tick.timer (is the program installed?)"
      fi
      ;;
  esac
}

echo "Setting up from $(pwd)"
echo "PATH is $PATH"
if [ "${TOVANA_INSTALL_MODE:-}" = 1 ]; then
  echo "Install mode is on"
  turn_on_tick_timer
fi

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
