# shellcheck shell=bash
# The demo update server: nginx from the machine's packages, as the current
# user, on a free loopback port, serving a copy of demo/site with the demo
# package placed at every package URL of the manifest. The prefix's proxy
# setting points at it, so it answers for the update server's host name.

server_pid=
server_port=
update_host=update.velnor.example
manifest_path=vlnr/demo/all/demo_all.ini

# The manifest's package URLs that point at the update server, as site paths.
package_paths() {
    sed -n "s|^File[0-9]*=http://$update_host/\(.*[^[:space:]]\)[[:space:]]*$|\1|p" \
        "$site/$manifest_path" | sort -u
}

build_site() {
    rm -rf "$site"
    mkdir -p "$site"
    cp -r demo/site/. "$site/"
    local path
    for path in $(package_paths); do
        mkdir -p "$(dirname "$site/$path")"
        cp "$demo_package" "$site/$path"
    done
    publish_manifest
    [ "$tampered" = 1 ] && tamper_packages
    return 0
}

# As a publisher does, with scripts/publish: Channel, every list pinned from
# the files the site serves, Serial raised, Expires a week ahead, signed and
# checked strictly, with the manifest tool of the demo's build in the demo's
# prefix. The Serial it raises is the time of publishing, so that it is above
# every one an earlier demo run accepted.
publish_manifest() {
    local edit
    edit=$(mktemp)
    printf 'Full\tSerial\t%s\n' "$(date +%s)" >"$edit"
    scripts/lib/ini-edit "$edit" <"$site/$manifest_path" >"$edit.ini" &&
        mv "$edit.ini" "$site/$manifest_path"
    rm -f "$edit"
    VELNOR_TOOL_ARCH=$product_arch VELNOR_TOOL_PREFIX=$WINEPREFIX \
        scripts/publish "$site" "$manifest_path" "$demo_private_key" 7 ||
        fail "the demo manifest could not be published — see the message above"
}

# One byte of every served copy changed: what someone on the network path could do.
tamper_packages() {
    local path file
    for path in $(package_paths); do
        file=$site/$path
        python3 -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(100); b = f.read(1); f.seek(100); f.write(bytes([b[0] ^ 1]))' "$file"
    done
}

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Bytes per second that make a file take about five seconds.
five_second_rate() {
    local size
    size=$(stat -c %s "$1")
    echo $((size / 5 > 0 ? size / 5 : 1))
}

# slow=1 slows the transfers down so that the wizard's bars can be watched.
write_server_config() {
    local slow=$1 ini_rate=0 exe_rate=0
    if [ "$slow" = 1 ]; then
        ini_rate=$(five_second_rate "$site/$manifest_path")
        exe_rate=$(five_second_rate "$demo_package")
    fi
    sed -e "s|@RUN@|$server_dir|g" -e "s|@SITE@|$site|g" -e "s|@PORT@|$server_port|g" \
        -e "s|@INI_RATE@|$ini_rate|g" -e "s|@EXE_RATE@|$exe_rate|g" \
        demo/nginx.conf >"$server_dir/nginx.conf"
}

start_server() {
    local slow=$1
    build_site
    rm -rf "$server_dir"
    mkdir -p "$server_dir/temp"
    server_port=$(free_port)
    write_server_config "$slow"
    nginx -p "$server_dir" -c "$server_dir/nginx.conf" -e "$server_dir/error.log" \
        </dev/null >>"$server_dir/error.log" 2>&1 &
    server_pid=$!
    for _ in $(seq 50); do
        if curl -sf -o /dev/null -x "127.0.0.1:$server_port" "http://$update_host/$manifest_path"; then
            return
        fi
        kill -0 "$server_pid" 2>/dev/null || break
        sleep 0.1
    done
    fail "nginx did not start on 127.0.0.1:$server_port — see ${server_dir#"$PWD/"}/error.log"
}

# The requests the server answered, from the given line of its log on.
served_since() {
    tail -n +"$1" "$server_dir/access.log" 2>/dev/null || true
}

served_count() {
    wc -l <"$server_dir/access.log" 2>/dev/null || echo 0
}

stop_server() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
        server_pid=
    fi
}
