# Sourced by the serial Wine tests, after scripts/wine-env.sh: serial lines
# for the prefix, made of the pseudo-terminals serial_responder.py opens.
#
#   serial_ports_map <names-file>   COM1, COM2... are the listed terminals
#                                   (while no wineserver runs for the prefix)
#   serial_device_map_only <count>  once the prefix runs: the serial device
#                                   map lists COM1..COM<count> and no other
#                                   (Wine also maps the machine's own ports)
#   serial_wait_file <file> [s]     waits for a file to appear

SERIAL_REPO=${SERIAL_REPO:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}

serial_wait_file() {  # file [seconds]
  local tries=$(( ${2:-30} * 20 ))
  while [ ! -s "$1" ] && [ "$tries" -gt 0 ]; do sleep 0.05; tries=$((tries - 1)); done
  [ -s "$1" ]
}

# Wine's mount manager makes a COM port of each value under
# HKLM\Software\Wine\Ports when the prefix starts. Written into the
# registry file while the prefix is down, they take effect at the next start.
serial_ports_map() {  # names-file
  local reg="$WINEPREFIX/system.reg"
  [ -f "$reg" ] || { echo "serial_ports_map: no prefix at $WINEPREFIX" >&2; return 1; }
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w >/dev/null 2>&1 || true
  python3 - "$reg" "$1" <<'PY'
import sys, time
reg, names = sys.argv[1], sys.argv[2]
with open(reg, encoding="utf-8", errors="surrogateescape") as f:
    lines = f.read().split("\n")
out, skipping = [], False
for line in lines:
    if line.startswith("["):
        skipping = line.lower().startswith("[software\\\\wine\\\\ports]")
    if not skipping:
        out.append(line)
while out and out[-1] == "":
    out.pop()
ports = [p.strip() for p in open(names) if p.strip()]
out += ["", "[Software\\\\Wine\\\\Ports] %d" % int(time.time())]
out += ['"COM%d"="%s"' % (i, p) for i, p in enumerate(ports, start=1)]
with open(reg, "w", encoding="utf-8", errors="surrogateescape") as f:
    f.write("\n".join(out) + "\n\n")
PY
}

# The values the mount manager wrote last, as "name=data" lines.
serial_device_map() {
  local file line
  file=$(mktemp)
  "$WINE" reg query 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' >"$file" 2>/dev/null
  tr -d '\r' <"$file" | sed -n 's/^ *\(\\Device\\[^ ]*\) *REG_SZ *\(.*\)$/\1=\2/p'
  rm -f "$file"
}

serial_device_map_only() {  # count
  local count=$1 tries=200 entry name data
  # The mount manager writes the mapped ports first, the machine's own after.
  until serial_device_map | grep -q "=COM$count\$"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || { echo "serial_device_map_only: COM$count never appeared" >&2; return 1; }
    sleep 0.1
  done
  for entry in $(serial_device_map); do
    name=${entry%%=*}
    data=${entry#*=}
    if [ "${data#COM}" -gt "$count" ] 2>/dev/null; then
      "$WINE" reg delete 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "$name" /f >/dev/null 2>&1
      rm -f "$WINEPREFIX/dosdevices/$(echo "$data" | tr 'A-Z' 'a-z')"
    fi
  done
}
