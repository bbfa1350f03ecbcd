# Server processes of one run of tests/with-real-servers: free loopback ports,
# start and readiness, and the stop by pid. Sourced; every function is rs_*.

rs_pids=()
# Debian's, which setup installs: a python3 found first on the PATH (a version
# manager's shim) can take seconds to start.
rs_python=python3
[ -x /usr/bin/python3 ] && rs_python=/usr/bin/python3

rs_say() { echo "with-real-servers: $*" >&2; }
rs_fail() { rs_say "$*"; exit 1; }

# Whether this machine has an IPv6 loopback; the servers listen on [::1] too
# where it does.
rs_has_ipv6_loopback() {
  "$rs_python" -c 'import socket; socket.socket(socket.AF_INET6).bind(("::1", 0))' 2>/dev/null
}

# COUNT distinct ports, free on 127.0.0.1 (and on [::1] with IPV6=1) at the
# time of asking. Another run may take one before the server binds it: the
# start functions then try again with new ports.
rs_free_ports() {  # COUNT IPV6
  "$rs_python" - "$1" "$2" <<'PY'
import socket, sys
count, ipv6 = int(sys.argv[1]), sys.argv[2] == "1"
held, ports = [], []
while len(ports) < count:
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    held.append(s)
    if ipv6:
        t = socket.socket(socket.AF_INET6)
        try:
            t.bind(("::1", port))
        except OSError:
            continue
        held.append(t)
    ports.append(port)
print(" ".join(map(str, ports)))
PY
}

# Starts a server in the background with its output in LOG and remembers its
# pid for rs_stop_all; the pid is left in rs_last_pid.
rs_start() {  # LOG COMMAND [ARGS...]
  local log=$1
  shift
  "$@" >>"$log" 2>&1 </dev/null &
  rs_last_pid=$!
  rs_pids+=("$rs_last_pid")
}

# Waits until CHECK succeeds while PID lives: 0 when ready, 1 when the
# process ended, 2 when it did not become ready in about ten seconds.
rs_wait_ready() {  # PID CHECK [ARGS...]
  local pid=$1 try
  shift
  for try in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || return 1
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 2
}

# Stops one server by its pid: politely, then for good after five seconds.
# Never fails: it also runs in the exit trap, under set -e.
rs_stop() {  # PID
  local pid=$1 try
  kill "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null || true; return 0; }
  for try in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# Stops every server of the run, all at once: each is told first, then each
# is waited for.
rs_stop_all() {
  local pid
  for pid in "${rs_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${rs_pids[@]}"; do rs_stop "$pid"; done
  rs_pids=()
}

# Listen lines for nginx: 127.0.0.1 always, [::1] where the machine has it.
rs_nginx_listen() {  # PORT [PARAMETERS]
  echo "listen 127.0.0.1:$1 ${2:-};"
  [ "$rs_ipv6" = 1 ] && echo "listen [::1]:$1 ${2:-};"
  return 0
}
