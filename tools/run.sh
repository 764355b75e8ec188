#!/usr/bin/env bash
# Sets up a fresh Debian machine if needed, builds what the desk needs, and
# starts the desk in the work folder ./work, which dbcreate fills on the
# first start (database, tree, phrase, log and settings files; files already
# there are kept).
set -euo pipefail

usage() {
  cat <<'EOF'
usage: tools/run.sh [PORT | --sim | -h | --help]

  tools/run.sh            real modem if work/smsset.ini names one, else the
                          modem simulator
  tools/run.sh ttyUSB0    use the modem on /dev/ttyUSB0 from now on (a name
                          without a path means /dev/<name>; a full path works)
  tools/run.sh --sim      go back to the modem simulator
  tools/run.sh --help     this text
EOF
}

# The device a port name stands for, as the desk resolves it.
device_of() {
  if [[ $1 == /* ]]; then
    echo "$1"
  elif [[ $1 =~ ^[Cc][Oo][Mm]([0-9]{1,6})$ ]] && (( 10#${BASH_REMATCH[1]} >= 1 )); then
    echo "/dev/ttyS$(( 10#${BASH_REMATCH[1]} - 1 ))"
  else
    echo "/dev/$1"
  fi
}

new_port=""
case "${1:-}" in
  "") ;;
  -h|--help) usage; exit 0 ;;
  --sim) new_port=COM1 ;;
  -*) echo "tools/run.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
  *)
    if [ $# -gt 1 ]; then usage >&2; exit 2; fi
    device=$(device_of "$1")
    if [ ! -c "$device" ]; then
      echo "tools/run.sh: there is no serial port $device; nothing was changed." >&2
      echo "Plug the modem in and look for it with: ls /dev/ttyUSB* /dev/ttyACM* /dev/ttyS*" >&2
      exit 1
    fi
    if [ ! -r "$device" ] || [ ! -w "$device" ]; then
      echo "Warning: you may not open $device; add yourself to its group" \
           "(sudo usermod -aG dialout $USER) and log in again." >&2
    fi
    # COM1 means "no modem configured" in smsset.ini: store the device instead.
    case "$1" in [Cc][Oo][Mm]1) new_port=$device ;; *) new_port=$1 ;; esac
    ;;
esac

cd "$(dirname "$0")/.."
top=$PWD
bash tools/install-deps.sh
# Only what this script runs; tools/test.sh builds the tests and benchmarks.
echo "Building the desk, dbcreate and the modem simulator (the first build takes a few minutes) ..."
bash tools/build.sh smsdesk dbcreate modemsim
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

[ -n "$new_port" ] && set_comport "$new_port"

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
