# shellcheck shell=bash
# The demo's module is built with the demo's public key, in a build tree of
# its own (the test builds stay without a key): a keyed module uses only a
# manifest signed with that key, and fetches only pinned packages.

demo_public_key=$PWD/demo/keys/demo-public.pem
demo_private_key=$PWD/demo/keys/demo-key.pem

build_keyed_module() {
    local tree=$demo_dir/keyed-$product_arch toolchain=cmake/mingw-x86_64.cmake
    [ "$product_arch" = win32 ] && toolchain=cmake/mingw-i686.cmake
    cmake -S . -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/$toolchain" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
        -DVELNOR_UPDATE_PUBLIC_KEY="$demo_public_key" >/dev/null &&
        cmake --build "$tree" --target productupdate
    keyed_module=$tree/bin/productupdate.dll
}
