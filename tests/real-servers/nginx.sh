# The origin: one nginx with a plain HTTP/1.1 server and four TLS servers,
# one for each certificate of certificates.sh. The plain server and the good
# TLS server share what they serve (bodies.conf); the plain one also sends the
# redirects. Sourced; needs processes.sh and certificates.sh.
#
# Paths, each followed by the name of a served file (pack.bin, manifest.ini):
#   /NAME                 the file: Content-Length, ETag, Last-Modified a week
#                         ago and no Cache-Control (a cache keeps it by heuristics)
#   /max-age/NAME         the same with Cache-Control: max-age=3600
#   /chunked/NAME         Transfer-Encoding: chunked, no Content-Length
#   /gzip/NAME            NAME.gz as Content-Encoding: gzip with Content-Length,
#                         asked or not
#   /gzip-chunked/NAME    Content-Encoding: gzip and chunked, asked or not
#   /gzip-if-asked/NAME   gzip and chunked only when the request accepts gzip
#   /301/NAME ... /308/NAME   that redirect to https://localhost:TLS/NAME   (plain)
#   /relative/NAME        302 with the relative Location "/NAME"           (plain)
#   /relative-dir/NAME    302 with the relative Location "../NAME"         (plain)
#   /hops5/1/NAME         302s through /hops5/2 ... /hops5/5, then /NAME   (plain)
#   /hops6/1/NAME         the same with six redirects                      (plain)
#   /loop/a/NAME          302 to /loop/b/NAME, which sends it back         (plain)
#   /to-http/NAME         302 from the good TLS server to http://127.0.0.1:PLAIN/NAME
#   /ready                204, for readiness checks

# Writes the configuration into FOLDER for the ports in rs_nginx_ports
# (plain, good, untrusted, wrong-name, expired).
rs_nginx_configure() {  # FOLDER WWW
  local dir=$1 www=$2
  local plain good untrusted wrong expired
  read -r plain good untrusted wrong expired <<<"$rs_nginx_ports"
  local redirects=$dir/redirects.conf code n k
  : >"$redirects"
  for code in 301 302 303 307 308; do
    echo "location ~ ^/$code/(.+)\$ { return $code https://localhost:$good/\$1; }" >>"$redirects"
  done
  cat >>"$redirects" <<CONF
location ~ ^/relative/(.+)\$ { absolute_redirect off; return 302 /\$1; }
location ~ ^/relative-dir/(.+)\$ { return 302 ../\$1; }
location ~ ^/loop/a/(.+)\$ { return 302 /loop/b/\$1; }
location ~ ^/loop/b/(.+)\$ { return 302 /loop/a/\$1; }
CONF
  for n in 5 6; do
    for k in $(seq "$n"); do
      if [ "$k" -lt "$n" ]; then
        echo "location ~ ^/hops$n/$k/(.+)\$ { return 302 /hops$n/$((k + 1))/\$1; }"
      else
        echo "location ~ ^/hops$n/$k/(.+)\$ { return 302 /\$1; }"
      fi
    done >>"$redirects"
  done

  # nginx sends chunked whenever it cannot know the length: sub_filter drops
  # it (its pattern never occurs, so the bytes pass unchanged). A gzip body
  # the client did not ask for comes from gzip_static always; a chunked one
  # from a proxied request that asks for gzip for the client.
  cat >"$dir/bodies.conf" <<CONF
root $www;
location = /ready { return 204; }
location /max-age/ { alias $www/; add_header Cache-Control "max-age=3600"; }
location /chunked/ {
    alias $www/;
    sub_filter_types *;
    sub_filter "velnor-pattern-that-never-occurs-7d1c" "";
}
location /gzip/ { alias $www/; gzip_static always; }
location /gzip-chunked/ {
    proxy_pass http://127.0.0.1:$plain/gzip-if-asked/;
    proxy_http_version 1.1;
    proxy_set_header Accept-Encoding gzip;
}
location /gzip-if-asked/ {
    alias $www/;
    gzip on;
    gzip_types *;
    gzip_min_length 0;
    gzip_proxied any;
}
CONF

  local tls=$rs_tls
  cat >"$dir/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/error.log warn;
events { worker_connections 256; }
http {
    log_format origin '\$remote_addr \$server_port "\$request" \$status \$body_bytes_sent \$bytes_sent "\$http_via"';
    access_log $dir/access.log origin;
    client_body_temp_path $dir/temp/body;
    proxy_temp_path $dir/temp/proxy;
    fastcgi_temp_path $dir/temp/fastcgi;
    uwsgi_temp_path $dir/temp/uwsgi;
    scgi_temp_path $dir/temp/scgi;
    default_type application/octet-stream;
    ssl_certificate_key $tls/server-key.pem;
    server {
        $(rs_nginx_listen "$plain")
        include $dir/bodies.conf;
        include $dir/redirects.conf;
    }
    server {
        $(rs_nginx_listen "$good" ssl)
        ssl_certificate $tls/good.pem;
        include $dir/bodies.conf;
        location ~ ^/to-http/(.+)\$ { return 302 http://127.0.0.1:$plain/\$1; }
    }
    server {
        $(rs_nginx_listen "$untrusted" ssl)
        ssl_certificate $tls/untrusted.pem;
        root $www;
    }
    server {
        $(rs_nginx_listen "$wrong" ssl)
        ssl_certificate $tls/wrong-name.pem;
        root $www;
    }
    server {
        $(rs_nginx_listen "$expired" ssl)
        ssl_certificate $tls/expired.pem;
        root $www;
    }
}
CONF
}

# Starts the origin, with new ports when another process took one first.
rs_start_nginx() {  # FOLDER WWW
  local dir=$1 try status
  mkdir -p "$dir/temp"
  for try in 1 2 3; do
    rs_nginx_ports=$(rs_free_ports 5 "$rs_ipv6")
    rs_nginx_configure "$@"
    rs_start "$dir/output.log" nginx -e "$dir/error.log" -p "$dir" -c "$dir/nginx.conf"
    rs_nginx_pid=$rs_last_pid
    rs_wait_ready "$rs_nginx_pid" curl -sf -o /dev/null "http://127.0.0.1:${rs_nginx_ports%% *}/ready" &&
      return 0
    status=$?
    rs_stop "$rs_nginx_pid"
    [ "$status" = 1 ] && grep -q 'Address already in use' "$dir/error.log" && continue
    break
  done
  cat "$dir/error.log" >&2
  rs_fail "nginx did not start — see $dir/error.log"
}
