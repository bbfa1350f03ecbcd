# The publisher's keys of a keyed build: checked when the build is
# configured, and embedded as RCDATA through a generated resource script.

# The first 27 bytes of every P-256 SubjectPublicKeyInfo (id-ecPublicKey,
# prime256v1, a 66-byte bit string, 0x04 of an uncompressed point) in base64:
# 36 characters, since 27 bytes are whole groups of three. The 64 bytes of
# the point follow, 88 characters ending in "==": 124 in all. This is the one
# form the module reads.
set(VELNOR_P256_SPKI_BASE64 "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE")

# Stops the configure unless PATH holds an ECDSA P-256 public key in PEM, as
# `openssl ec -pubout` writes it. OPTION names the setting in the message.
function(velnor_check_public_key option path)
    file(READ "${path}" pem)
    if(pem MATCHES "PRIVATE KEY-----")
        message(FATAL_ERROR "${option}: ${path} is a private key. Give the public key "
            "(openssl ec -in KEY.pem -pubout -out KEY-public.pem); the private key must "
            "never be built into the module.")
    endif()
    string(FIND "${pem}" "-----BEGIN PUBLIC KEY-----" begin)
    string(FIND "${pem}" "-----END PUBLIC KEY-----" end)
    if(begin EQUAL -1 OR end LESS begin)
        message(FATAL_ERROR "${option}: ${path} is not a PEM public key "
            "(no BEGIN/END PUBLIC KEY lines).")
    endif()
    math(EXPR first "${begin} + 26")
    math(EXPR length "${end} - ${first}")
    string(SUBSTRING "${pem}" ${first} ${length} body)
    string(REGEX REPLACE "[ \t\r\n]" "" body "${body}")
    string(LENGTH "${body}" size)
    string(FIND "${body}" "${VELNOR_P256_SPKI_BASE64}" prefix)
    if(NOT size EQUAL 124 OR NOT prefix EQUAL 0 OR NOT body MATCHES "^[A-Za-z0-9+/]+[AQgw]==$")
        message(FATAL_ERROR "${option}: ${path} is not an ECDSA P-256 public key "
            "(an RSA key, another curve, or a damaged file). Make one with "
            "openssl ecparam -name prime256v1 -genkey -noout -out KEY.pem and "
            "openssl ec -in KEY.pem -pubout -out KEY-public.pem.")
    endif()
endfunction()

# Writes DIR/update_keys.rc, with one RCDATA of resource id ID for each
# OPTION that names a key file, and makes RC_SOURCE, which includes it, depend
# on it and on the key files: a changed, rotated or removed key rebuilds the
# module. A key file that changes reconfigures the build, which checks it again.
#   velnor_embed_update_keys(RC_SOURCE DIR OPTION_1 ID_1 [OPTION_2 ID_2 ...])
function(velnor_embed_update_keys rc_source dir)
    set(script "// The update keys of this build; none: it trusts the network.\n")
    set(depends "${dir}/update_keys.rc")
    set(pairs ${ARGN})
    while(pairs)
        list(POP_FRONT pairs option id)
        if(${option})
            get_filename_component(path "${${option}}" ABSOLUTE)
            if(NOT EXISTS "${path}")
                message(FATAL_ERROR "${option}: ${path} does not exist")
            endif()
            velnor_check_public_key(${option} "${path}")
            string(APPEND script "${id} RCDATA \"${path}\"\n")
            list(APPEND depends "${path}")
            set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${path}")
        endif()
    endwhile()
    file(WRITE "${dir}/update_keys.rc.new" "${script}")
    file(COPY_FILE "${dir}/update_keys.rc.new" "${dir}/update_keys.rc" ONLY_IF_DIFFERENT)
    set_source_files_properties("${rc_source}" PROPERTIES OBJECT_DEPENDS "${depends}")
endfunction()
