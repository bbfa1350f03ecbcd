# The test certificates of one run, made with openssl: a private authority,
# trusted only where a test trusts it (the test prefix's Root store), and the
# server certificates nginx shows. Sourced; needs processes.sh.

rs_certificates_conf=$(dirname "${BASH_SOURCE[0]}")/certificates.cnf
# The names every good certificate is for.
rs_loopback_names="DNS:localhost,IP:127.0.0.1,IP:::1"

# The settings file names two variables, which must be set whatever the command.
rs_openssl() {  # ARGS...
  RS_CA_DIR=${RS_CA_DIR:-.} RS_CERT_NAMES=${RS_CERT_NAMES:-DNS:unused} \
    OPENSSL_CONF=$rs_certificates_conf openssl "$@" >>"$rs_tls/openssl.log" 2>&1 ||
    rs_fail "openssl $1 failed — see $rs_tls/openssl.log"
}

rs_utc() {  # DATE-TEXT
  date -u -d "$1" +%Y%m%d%H%M%SZ
}

# An authority valid from long ago (so that an expired certificate still nests
# in it) until two days from now: one left behind by a crashed run soon
# expires.
rs_make_authority() {  # NAME COMMON-NAME
  local dir=$rs_tls/$1
  mkdir -p "$dir/issued"
  : >"$dir/index.txt"
  echo 1000 >"$dir/serial"
  rs_openssl genrsa -out "$dir/key.pem" 2048
  rs_openssl req -new -key "$dir/key.pem" -subj "/CN=$2" -out "$dir/request.pem"
  RS_CA_DIR=$dir rs_openssl ca -batch -notext -selfsign -config "$rs_certificates_conf" \
    -keyfile "$dir/key.pem" -in "$dir/request.pem" -extensions authority \
    -startdate 20200101000000Z -enddate "$(rs_utc '+2 days')" -out "$dir/cert.pem"
}

# A server certificate on the one server key, issued by AUTHORITY for NAMES
# (openssl's subjectAltName syntax), valid from START to END.
rs_make_server_certificate() {  # OUT AUTHORITY NAMES START END
  local dir=$rs_tls/$2 cn=${3%%,*}
  rs_openssl req -new -key "$rs_tls/server-key.pem" -subj "/CN=${cn#*:}" -out "$rs_tls/$1.csr"
  RS_CA_DIR=$dir RS_CERT_NAMES=$3 rs_openssl ca -batch -notext -config "$rs_certificates_conf" \
    -cert "$dir/cert.pem" -keyfile "$dir/key.pem" -in "$rs_tls/$1.csr" -extensions server \
    -startdate "$4" -enddate "$5" -out "$rs_tls/$1.pem"
  # The server shows its authority too, as one with a private authority does:
  # a client then knows the whole chain and judges its root, where with the
  # leaf alone it has only a chain that ends early.
  cat "$dir/cert.pem" >>"$rs_tls/$1.pem"
}

# Makes in FOLDER: trusted/cert.pem and ca.der (the authority a test trusts),
# and good.pem, untrusted.pem, wrong-name.pem, expired.pem with their key
# server-key.pem.
rs_make_certificates() {  # FOLDER
  rs_tls=$1
  mkdir -p "$rs_tls"
  chmod 700 "$rs_tls"
  rs_make_authority trusted "Velnor test authority $(date -u +%Y%m%d%H%M%S) $$"
  rs_make_authority untrusted "Velnor untrusted test authority $$"
  openssl x509 -in "$rs_tls/trusted/cert.pem" -outform DER -out "$rs_tls/ca.der"
  rs_openssl genrsa -out "$rs_tls/server-key.pem" 2048
  local now_minus_day now_plus_day
  now_minus_day=$(rs_utc '-1 day')
  now_plus_day=$(rs_utc '+1 day')
  rs_make_server_certificate good trusted "$rs_loopback_names" "$now_minus_day" "$now_plus_day"
  rs_make_server_certificate untrusted untrusted "$rs_loopback_names" "$now_minus_day" "$now_plus_day"
  rs_make_server_certificate wrong-name trusted "DNS:wrong-name.example" "$now_minus_day" "$now_plus_day"
  rs_make_server_certificate expired trusted "$rs_loopback_names" 20200101000000Z 20200201000000Z
}
