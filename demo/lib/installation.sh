# shellcheck shell=bash
# The demo installation, in the demo's own Wine prefix (never the user's):
# the host, the module and its companions in the product's folder under
# Program Files, registered through the product's component so that the
# module's start-up takes that folder as its install directory; config.ini
# with the language; VLNR.INI in the common data folder with the installed
# version and the company; and the user's proxy setting pointing at the demo
# server.

installed_version=2.3.0.17
company=demo
component_clsid='{6D2B8E41-7F3A-4C95-A1E6-0B5C9D2F4A73}'
update_key='HKEY_CURRENT_USER\Software\Velnor\Update'

# Wine commands run with the product's code page 936 and language 2052.
wine_cn() {
    env LC_ALL=zh_CN.UTF-8 wine "$@"
}

make_prefix() {
    scripts/wine-prefix "$WINEPREFIX" >"$logs/prefix.log" 2>&1 ||
        fail "the Wine prefix ${WINEPREFIX#"$PWD/"} could not be made — see $logs/prefix.log; remove that folder and run scripts/demo again"
    # A server left by an interrupted demo may still hold a display that is gone.
    wineserver -k 2>/dev/null || true
    wineserver -p 2>/dev/null || true
}

# A 64-bit prefix keeps 32-bit programs and their registry view apart: the
# 32-bit product goes where 64-bit Windows puts it, and writes its registry
# through the 32-bit view.
runs_on_wow64() {
    [ "$product_arch" = win32 ] && [ -d "$WINEPREFIX/drive_c/windows/syswow64" ]
}

settle_paths() {
    if runs_on_wow64; then
        install_win='C:\Program Files (x86)\Velnor'
        regedit_win='C:\windows\syswow64\regedit.exe'
    else
        install_win='C:\Program Files\Velnor'
        regedit_win=regedit
    fi
    install_dir=$(winepath -u "$install_win" 2>/dev/null)
    host_win="$install_win\\updatehost.exe"
    vlnr_ini_win='C:\ProgramData\Velnor\VLNR.INI'
    vlnr_ini=$(winepath -u "$vlnr_ini_win" 2>/dev/null)
}

# A .reg text: backslashes doubled inside its quoted values.
reg_quote() {
    printf '"%s"' "${1//\\/\\\\}"
}

write_registry() {
    local reset=$1 file=$demo_dir/installation.reg
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        printf '[HKEY_CLASSES_ROOT\\CLSID\\%s\\InprocServer32]\r\n' "$component_clsid"
        printf '@=%s\r\n' "$(reg_quote "$install_win\\OrlithEWA.OCX")"
        printf '"ThreadingModel"="Apartment"\r\n\r\n'
        printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings]\r\n'
        printf '"ProxyEnable"=dword:00000001\r\n'
        printf '"ProxyServer"="127.0.0.1:%s"\r\n' "$server_port"
        if [ "$reset" = 1 ]; then
            printf '\r\n[-%s]\r\n' "$update_key"
        fi
    } >"$file"
    wine "$regedit_win" /S "$(winepath -w "$file" 2>/dev/null)" >>"$logs/prefix.log" 2>&1 ||
        fail "the demo's registry settings could not be written — see $logs/prefix.log"
}

# The copy of an earlier run goes with the record when the demo starts clean.
remove_copy() {
    local appdata
    appdata=$(wine reg query 'HKCU\Volatile Environment' /v APPDATA 2>/dev/null |
        sed -n 's/^ *APPDATA *REG_[A-Z_]* *\(.*[^[:space:]]\).*$/\1/p')
    [ -n "$appdata" ] || return 0
    rm -rf "$(winepath -u "$appdata\\Velnor\\VLNRUpdate" 2>/dev/null)"
}

lay_out_installation() {
    local lang=$1 reset=$2
    settle_paths
    mkdir -p "$install_dir" "$(dirname "$vlnr_ini")"
    cp -r "$product/." "$install_dir/"
    printf '[Other_Param]\r\nLanguageID=%s\r\n' "$lang" >"$install_dir/config.ini"
    printf '[Version]\r\npacket=%s\r\ncompany=%s\r\n' "$installed_version" "$company" >"$vlnr_ini"
    write_registry "$reset"
    if [ "$reset" = 1 ]; then
        remove_copy
    fi
}
