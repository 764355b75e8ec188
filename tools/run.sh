#!/usr/bin/env bash
# Sets up a fresh Debian machine if needed, builds, and starts the desk in the
# work folder ./work, which dbcreate fills on the first start (database, tree,
# phrase, log and settings files; files already there are kept).
#
#   tools/run.sh            real modem if work/smsset.ini names one, else the
#                           modem simulator
#   tools/run.sh ttyUSB0    use the modem on /dev/ttyUSB0 from now on
#   tools/run.sh --sim      go back to the simulator
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
bash tools/install-deps.sh
bash tools/build.sh
./build/tools/dbcreate/dbcreate work >/dev/null

ini=work/smsset.ini
sim_link=$top/work/modem-sim

# COMPORT of [CH1], as the desk reads it (CR LF lines).
comport() {
  awk '/^\[/{s=tolower($0)} s ~ /^\[ch1\]/ && tolower($0) ~ /^comport *=/{
       sub(/^[^=]*= */, ""); sub(/\r$/, ""); print; exit}' "$ini"
}
set_comport() {
  awk -v port="$1" '/^\[/{s=tolower($0)}
       s ~ /^\[ch1\]/ && tolower($0) ~ /^comport *=/{print "COMPORT=" port "\r"; next}
       {print}' "$ini" > "$ini.tmp" && mv "$ini.tmp" "$ini"
}

case "${1:-}" in
  "") ;;
  --sim) set_comport COM1 ;;
  *) set_comport "$1" ;;
esac

port=$(comport)
# The shipped COM1 means no modem was configured yet.
if [ "$port" = "COM1" ] || [ "$port" = "$sim_link" ]; then
  rm -f work/modemsim.ctl
  ./build/tools/modemsim/modemsim --link "$sim_link" --control work/modemsim.ctl \
      --log work/modemsim.log --scenario tools/modemsim/demo.scenario &
  sim=$!
  trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
  for _ in $(seq 50); do [ -e "$sim_link" ] && break; sleep 0.1; done
  set_comport "$sim_link"
  echo "No modem configured: using the modem simulator ($sim_link)."
  echo "Its control socket is work/modemsim.ctl (see tools/modemsim/README.md)."
else
  echo "Using the modem on $port."
fi

cd work
../build/desk/smsdesk
