# Sourced by the scripts: start_private_display starts an Xvfb of 1920 x 1080 on a free display
# number, exports DISPLAY and sets display_pid; stop_private_display ends it.
start_private_display() {
  local numberFile
  numberFile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$numberFile" </dev/null >/dev/null 2>&1 &
  display_pid=$!
  local waited=0
  while [ ! -s "$numberFile" ]; do
    if ! kill -0 "$display_pid" 2>/dev/null || [ $waited -ge 200 ]; then
      echo "Xvfb did not start" >&2
      rm -f "$numberFile"
      return 1
    fi
    sleep 0.05
    waited=$((waited + 1))
  done
  export DISPLAY=:$(head -n 1 "$numberFile")
  rm -f "$numberFile"
  # A resource database, as a desktop session loads one: without any, libX11 reads the resource
  # files again on every lookup, and Wine looks some up each time a font is selected.
  xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "dialserver-tests.display:	Xvfb
" || { echo "cannot set the resources of display $DISPLAY" >&2; return 1; }
}

stop_private_display() {
  if [ -n "${display_pid:-}" ]; then
    kill "$display_pid" 2>/dev/null || true
    wait "$display_pid" 2>/dev/null || true
    display_pid=
  fi
}
