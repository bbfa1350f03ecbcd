# The rig's own check, with curl, once the servers run: each server answers as
# the tests expect, so that a test's failure is never the rig's. Sourced.

# The status line and headers of one answer, lower-cased, without CRs.
rs_headers() {  # CURL-ARGS...
  local h
  h=$(curl -s -o /dev/null -D - "$@" || true)
  h=${h,,}
  echo "${h//$'\r'/}"
}

# PATTERN is an extended regular expression that must match (or not) at the
# start of a line of HEADERS.
rs_expect() {  # WHAT HEADERS PATTERN
  [[ $'\n'$2 =~ $'\n'$3 ]] || rs_fail "rig check: $1: no \"$3\" in the answer:
$2"
}

rs_expect_not() {  # WHAT HEADERS PATTERN
  ! [[ $'\n'$2 =~ $'\n'$3 ]] || rs_fail "rig check: $1: \"$3\" in the answer:
$2"
}

rs_expect_tls_refused() {  # WHAT URL CURL-TEXT
  local out
  if out=$(curl -sS -o /dev/null --cacert "$VELNOR_CA_PEM" "$2" 2>&1); then
    rs_fail "rig check: $1: curl accepted $2"
  fi
  grep -qi -- "$3" <<<"$out" || rs_fail "rig check: $1: curl refused $2 for another reason: $out"
}

rs_check_rig() {
  local h plain=$VELNOR_NGINX_URL tls=$VELNOR_HTTPS_URL code
  h=$(rs_headers --cacert "$VELNOR_CA_PEM" "$tls/manifest.ini")
  rs_expect "the trusted TLS server" "$h" 'http/1.1 200'
  rs_expect_tls_refused "the untrusted authority" "$VELNOR_HTTPS_UNTRUSTED_URL/manifest.ini" 'self-signed certificate in certificate chain'
  rs_expect_tls_refused "the wrong name" "$VELNOR_HTTPS_WRONG_NAME_URL/manifest.ini" 'subject name'
  rs_expect_tls_refused "the expired certificate" "$VELNOR_HTTPS_EXPIRED_URL/manifest.ini" 'expired'
  if [ "$VELNOR_IPV6_LOOPBACK" = 1 ]; then
    h=$(rs_headers --cacert "$VELNOR_CA_PEM" "$VELNOR_HTTPS_URL6/manifest.ini")
    rs_expect "the trusted TLS server on [::1]" "$h" 'http/1.1 200'
  fi

  for code in 301 302 303 307 308; do
    h=$(rs_headers "$plain/$code/pack.bin")
    rs_expect "/$code/" "$h" "http/1.1 $code"
    rs_expect "/$code/" "$h" "location: ${tls,,}/pack.bin"
  done
  rs_expect "/relative/" "$(rs_headers "$plain/relative/pack.bin")" 'location: /pack.bin'
  rs_expect "/relative-dir/" "$(rs_headers "$plain/relative-dir/pack.bin")" 'location: \.\./pack.bin'
  rs_expect "/to-http/" "$(rs_headers --cacert "$VELNOR_CA_PEM" "$tls/to-http/pack.bin")" "location: $plain/pack.bin"
  local hops
  for hops in 5 6; do
    h=$(curl -s -o /dev/null -L --max-redirs 10 -w '%{num_redirects} %{http_code}' "$plain/hops$hops/1/pack.bin")
    [ "$h" = "$hops 200" ] || rs_fail "rig check: /hops$hops/ gave $h redirects and status"
  done
  h=$(curl -s -o /dev/null -L --max-redirs 20 -w '%{num_redirects}' "$plain/loop/a/pack.bin" || true)
  [ "$h" = 20 ] || rs_fail "rig check: /loop/ stopped after $h redirects"

  local name
  for name in pack.bin manifest.ini; do
    h=$(rs_headers "$plain/chunked/$name")
    rs_expect "/chunked/$name" "$h" 'transfer-encoding: chunked'
    rs_expect_not "/chunked/$name" "$h" 'content-length'
    cmp -s <(curl -s "$plain/chunked/$name") "$VELNOR_REAL_SERVER_FILES/$name" ||
      rs_fail "rig check: /chunked/$name is not the file"
    h=$(rs_headers "$plain/gzip/$name")
    rs_expect "/gzip/$name" "$h" 'content-encoding: gzip'
    rs_expect "/gzip/$name" "$h" 'content-length'
    h=$(rs_headers "$plain/gzip-chunked/$name")
    rs_expect "/gzip-chunked/$name" "$h" 'content-encoding: gzip'
    rs_expect "/gzip-chunked/$name" "$h" 'transfer-encoding: chunked'
    cmp -s <(curl -s "$plain/gzip-chunked/$name" | gzip -dc) "$VELNOR_REAL_SERVER_FILES/$name" ||
      rs_fail "rig check: /gzip-chunked/$name is not the file, gzipped"
    rs_expect_not "/gzip-if-asked/$name" "$(rs_headers "$plain/gzip-if-asked/$name")" 'content-encoding'
  done
  rs_expect "/max-age/" "$(rs_headers "$plain/max-age/pack.bin")" 'cache-control: max-age=3600'
  # A file a week old without Cache-Control: the cache keeps it on its own judgement.
  rs_headers -x "$VELNOR_CACHING_PROXY" "$plain/rig-check.bin" >/dev/null
  rs_expect "the caching proxy's second answer" \
    "$(rs_headers -x "$VELNOR_CACHING_PROXY" "$plain/rig-check.bin")" 'x-cache: hit'

  h=$(rs_headers "$VELNOR_HTTP10_URL/pack.bin")
  rs_expect "the HTTP/1.0 server" "$h" 'http/1.0 200'
  rs_expect_not "the HTTP/1.0 server" "$h" 'content-length'
  cmp -s <(curl -s "$VELNOR_HTTP10_URL/pack.bin") "$VELNOR_REAL_SERVER_FILES/pack.bin" ||
    rs_fail "rig check: the HTTP/1.0 server's body is not the file"

  rs_expect "the caching proxy" "$(rs_headers -x "$VELNOR_CACHING_PROXY" "$plain/ready")" 'via: .*velnor-caching-proxy'
  rs_expect "the auth proxy without credentials" "$(rs_headers -x "$VELNOR_AUTH_PROXY" "$plain/ready")" 'http/1.1 407'
  rs_expect "the auth proxy with credentials" \
    "$(rs_headers -x "$VELNOR_AUTH_PROXY" -U "$VELNOR_PROXY_USER:$VELNOR_PROXY_PASSWORD" "$plain/ready")" 'http/1.1 204'
}
