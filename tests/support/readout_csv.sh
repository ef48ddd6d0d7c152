# What the shell tests of watch read from its CSV files; sourced.

# The readout rows of a CSV file (the header and other lines left out).
readout_rows() { grep -c '^20[0-9][0-9]-' "$1"; }

# Readouts a second over a CSV file's rows, from its elapsed_s column.
readout_rate() {
  awk -F, '/^20[0-9][0-9]-/ { rows++; last = $2 } END { if (last > 0) printf "%d", (rows - 1) / last; else print 0 }' "$1"
}

# interrupt_after_first_rows PID CSV: Ctrl-C for the watch PID once CSV has rows (10 s at
# most) and half a second more; its exit status.
interrupt_after_first_rows() {
  local pid=$1 csv=$2
  for _ in $(seq 100); do
    [[ $(readout_rows "$csv" 2>/dev/null) -gt 0 ]] && break
    sleep 0.1
  done
  sleep 0.5
  kill -INT "$pid"
  wait "$pid"
}
