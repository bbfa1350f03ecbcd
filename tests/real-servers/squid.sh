# The proxies: squid as a caching proxy and squid as a basic-auth proxy, each
# its own process with its configuration, logs and pid in its own folder.
# Sourced; needs processes.sh.
#
# The caching proxy keeps in memory what the origin lets it keep, up to
# 150 MB an object, and judges a file without Cache-Control by its age, as
# squid does by default: one last modified a week ago stays fresh for a day
# or so. The auth proxy keeps nothing and asks for the user and password of
# its passwd file.

rs_squid_helpers=/usr/lib/squid

rs_squid_configure() {  # FOLDER PORT NAME
  local dir=$1 port=$2 name=$3
  {
    echo "http_port 127.0.0.1:$port"
    [ "$rs_ipv6" = 1 ] && echo "http_port [::1]:$port"
    cat <<CONF
visible_hostname $name
pid_filename $dir/squid.pid
cache_log $dir/cache.log
access_log stdio:$dir/access.log squid
cache_store_log none
logfile_rotate 0
coredump_dir $dir
netdb_filename none
pinger_enable off
shutdown_lifetime 0 seconds
acl loopback src 127.0.0.1/32 ::1
CONF
    # squid leaves root for an unprivileged user of its own.
    [ "$(id -u)" = 0 ] && echo "cache_effective_user proxy"
  } >"$dir/squid.conf"
}

rs_squid_caching_rules() {  # FOLDER
  cat >>"$1/squid.conf" <<CONF
cache_mem 192 MB
maximum_object_size 150 MB
maximum_object_size_in_memory 150 MB
refresh_pattern . 0 20% 4320
http_access allow loopback
http_access deny all
CONF
}

rs_squid_auth_rules() {  # FOLDER
  cat >>"$1/squid.conf" <<CONF
auth_param basic program $rs_squid_helpers/basic_ncsa_auth $1/passwd
auth_param basic children 2 startup=1
auth_param basic realm Velnor test proxy
acl users proxy_auth REQUIRED
cache deny all
http_access deny !loopback
http_access allow users
http_access deny all
CONF
}

# Starts one squid; RULES is rs_squid_caching_rules or rs_squid_auth_rules.
# Leaves its port in rs_squid_port and its pid in rs_squid_pid.
rs_start_squid() {  # FOLDER NAME RULES
  local dir=$1 try status
  mkdir -p "$dir"
  [ "$(id -u)" = 0 ] && chown -R proxy: "$dir"
  for try in 1 2 3; do
    rs_squid_port=$(rs_free_ports 1 "$rs_ipv6")
    rs_squid_configure "$dir" "$rs_squid_port" "$2"
    "$3" "$dir"
    rs_start "$dir/output.log" squid -N -f "$dir/squid.conf"
    rs_squid_pid=$rs_last_pid
    # Ready when it answers at all: an error page about an origin that is
    # not there yet will do.
    rs_wait_ready "$rs_squid_pid" curl -s -o /dev/null -x "127.0.0.1:$rs_squid_port" \
      "http://127.0.0.1:1/" && return 0
    status=$?
    rs_stop "$rs_squid_pid"
    [ "$status" = 1 ] && grep -qi 'address already in use' "$dir/cache.log" "$dir/output.log" && continue
    break
  done
  cat "$dir/output.log" "$dir/cache.log" >&2 2>/dev/null
  rs_fail "squid ($2) did not start — see $dir/cache.log"
}

rs_start_proxies() {  # FOLDER USER PASSWORD
  rs_start_squid "$1/caching-proxy" velnor-caching-proxy rs_squid_caching_rules
  rs_caching_proxy_port=$rs_squid_port
  mkdir -p "$1/auth-proxy"
  echo "$2:$(openssl passwd -apr1 "$3")" >"$1/auth-proxy/passwd"
  rs_start_squid "$1/auth-proxy" velnor-auth-proxy rs_squid_auth_rules
  rs_auth_proxy_port=$rs_squid_port
}
