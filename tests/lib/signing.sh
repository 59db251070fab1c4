# Sourced by the package checks: a vendor's signing set-up made from
# nothing, in folder $keys: a key generated on a SoftHSM2 token and never
# exported, a PKCS#12 file, and an RFC 3161 time-stamp authority on
# 127.0.0.1 (run it inside a private network namespace). Every
# certificate is a throwaway one, valid for two days.

softhsm_module=/usr/lib/softhsm/libsofthsm2.so
token_pin=pin-$RANDOM$RANDOM-of-the-token

# A token of its own (SOFTHSM2_CONF), an RSA key made on it, and a
# certificate over that key, signed on the token; an EC key and its
# certificate beside them, which Smart App Control would not accept; and
# both certificates in one file, in either order.
make_token() {
    mkdir -p "$keys/tokens" &&
        printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' \
            "$keys/tokens" > "$keys/softhsm2.conf" &&
        export SOFTHSM2_CONF=$keys/softhsm2.conf &&
        printf '%s' "$token_pin" > "$keys/pin" &&
        softhsm2-util --init-token --free --label korvelin-test --so-pin 31415926 \
            --pin "$token_pin" > /dev/null || return 1
    local kind id label cert
    while read -r kind id label cert; do
        pkcs11-tool --module "$softhsm_module" --token-label korvelin-test --login \
            --pin "$token_pin" --keypairgen --key-type "$kind" --id "$id" --label "$label" \
            > /dev/null 2>&1 &&
            OPENSSL_CONF=/dev/null openssl req -new -x509 -days 2 -engine pkcs11 -keyform engine \
                -key "pkcs11:token=korvelin-test;object=$label;pin-value=$token_pin" \
                -subj "/CN=Korvelin Detect test vendor" -addext extendedKeyUsage=codeSigning \
                -out "$keys/$cert" 2> /dev/null || return 1
    done <<KEYS
rsa:3072 01 codesign token-cert.pem
EC:prime256v1 02 codesign-ec ec-token-cert.pem
KEYS
    cat "$keys/token-cert.pem" "$keys/ec-token-cert.pem" > "$keys/rsa-then-ec.pem" &&
        cat "$keys/ec-token-cert.pem" "$keys/token-cert.pem" > "$keys/ec-then-rsa.pem"
}
# The variables a vendor sets for a key on a token.
token_settings=(KORVELIN_SIGN_PKCS11_MODULE=$softhsm_module
                "KORVELIN_SIGN_PKCS11_KEY=pkcs11:token=korvelin-test;object=codesign"
                KORVELIN_SIGN_PASSWORD_FILE=${keys:?}/pin KORVELIN_SIGN_CERTS=$keys/token-cert.pem)

make_pkcs12() {  # vendor.p12 with an RSA key, ec.p12 with an EC one, other.p12 (below)
    printf 'throwaway\n' > "$keys/password" &&
        openssl req -x509 -newkey rsa:2048 -noenc -days 2 -subj "/CN=Korvelin Detect test vendor" \
            -addext extendedKeyUsage=codeSigning -keyout "$keys/key.pem" -out "$keys/cert.pem" 2> /dev/null &&
        openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -noenc -days 2 -subj "/CN=Korvelin Detect test vendor" \
            -addext extendedKeyUsage=codeSigning -keyout "$keys/ec-key.pem" -out "$keys/ec-cert.pem" 2> /dev/null &&
        openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" -out "$keys/vendor.p12" \
            -passout "file:$keys/password" &&
        openssl pkcs12 -export -inkey "$keys/ec-key.pem" -in "$keys/ec-cert.pem" -out "$keys/ec.p12" \
            -passout "file:$keys/password" &&
        # Someone else's key, certified by the vendor's, its chain carrying
        # the vendor's certificate.
        openssl req -new -newkey rsa:2048 -noenc -subj "/CN=Someone else" -keyout "$keys/other-key.pem" 2> /dev/null |
        openssl x509 -req -days 2 -CA "$keys/cert.pem" -CAkey "$keys/key.pem" \
            -extfile <(echo extendedKeyUsage=codeSigning) -out "$keys/other-cert.pem" 2> /dev/null &&
        openssl pkcs12 -export -inkey "$keys/other-key.pem" -in "$keys/other-cert.pem" -certfile "$keys/cert.pem" \
            -out "$keys/other.p12" -passout "file:$keys/password"
}
pkcs12_settings=(KORVELIN_SIGN_PKCS12=$keys/vendor.p12 KORVELIN_SIGN_PASSWORD_FILE=$keys/password)

tsa_url=http://127.0.0.1:31610
# A time-stamp authority: openssl ts answers each request that a few lines
# of HTTP server hand it. Ends with the script (start it inside a private
# network namespace).
start_tsa() {
    local tsa=$keys/tsa
    mkdir -p "$tsa" && echo 01 > "$tsa/serial" &&
        openssl req -x509 -newkey rsa:2048 -noenc -days 2 -subj "/CN=Korvelin test TSA" \
            -addext extendedKeyUsage=critical,timeStamping -keyout "$tsa/key.pem" \
            -out "$keys/tsa-cert.pem" 2> /dev/null &&
        cat > "$tsa/openssl.cnf" <<EOF || return 1
[tsa]
default_tsa = tsa_config
[tsa_config]
serial = $tsa/serial
signer_cert = $keys/tsa-cert.pem
signer_key = $tsa/key.pem
signer_digest = sha256
default_policy = 1.3.6.1.4.1.4146.2.3
digests = sha256, sha384, sha512
ess_cert_id_alg = sha256
EOF
    python3 -c '
import http.server, subprocess, sys
class Authority(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1],
                                "-queryfile", "/dev/stdin", "-out", "/dev/stdout"],
                               input=query, capture_output=True).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
    def log_message(self, *arguments):
        pass
http.server.HTTPServer(("127.0.0.1", int(sys.argv[2])), Authority).serve_forever()
' "$tsa/openssl.cnf" "${tsa_url##*:}" &
    tsa_pid=$!
    retry_for 10 bash -c "exec 3<>/dev/tcp/127.0.0.1/${tsa_url##*:}" 2> /dev/null
}
stop_tsa() { [ -z "${tsa_pid:-}" ] || kill "$tsa_pid" 2> /dev/null || true; }
