# Sourced by the scripts: installs the Debian packages a step needs when
# they are missing. Must run before any private namespace is entered:
# inside one, no package registry is reachable.

build_packages=(cmake make g++ libgtest-dev googletest g++-mingw-w64-x86-64)
# The exe under Wine on a display of its own; Wine's fonts draw the box as
# Windows would (its title bar buttons need Marlett).
wine_packages=(wine64 fonts-wine xvfb xdotool imagemagick)
# The real tools of the end-to-end cases: xdg-open with a browser behind
# it, a dialog tool, and the web page the server host serves.
desktop_packages=(xdg-utils chromium zenity python3)
# The Windows installer: scripts/package makes it where these are installed
# and skips it otherwise; faketime pins the summary's times, python3 derives
# its codes. The tests want it.
msi_packages=(wixl msitools faketime python3)
# A vendor's release signed with a key on a token: SoftHSM2 stands in for
# the token.
signing_test_packages=(softhsm2)
# The tests hold the Unicode tables against Unicode's own files, and lay
# the report out with the bidirectional algorithm (fribidi); Node.js runs
# the CycloneDX project's validator of the SBOMs, jq reads them.
test_packages=(unicode-data libfribidi-bin iproute2 util-linux "${wine_packages[@]}" "${desktop_packages[@]}" icoutils
               clang libclang-rt-14-dev "${msi_packages[@]}" "${signing_test_packages[@]}" nodejs jq)
# CPack's Debian generator asks dpkg-shlibdeps (which asks file) for the
# library dependencies; osslsigncode signs a vendor's release, through
# OpenSSL's PKCS#11 engine where the key is on a token, whose public half
# OpenSC's pkcs11-tool reads (the tests make their key with it); the rest
# check what comes out, openssl making throwaway certificates and answering
# for a time-stamp authority.
package_packages=(dpkg-dev file osslsigncode libengine-pkcs11-openssl opensc desktop-file-utils lintian
                  appstream openssl)

ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" != 0 ]; then
        echo "missing Debian packages: ${missing[*]} (run as root to install them)" >&2
        return 1
    fi
    echo "installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" > /dev/null
}

# The CycloneDX project's own validator of the SBOMs, from npm, at pinned
# versions: installed once per machine, as the Debian packages are, in a
# folder named by those versions, so that a clone needs no registry where
# an earlier run installed it.
sbom_validator_packages=(@cyclonedx/cyclonedx-library@10.3.0 ajv@8.17.1 ajv-formats@3.0.1 ajv-formats-draft2019@1.6.1)
sbom_validator_dir=$([ "$(id -u)" = 0 ] && echo /var/cache || echo "${XDG_CACHE_HOME:-$HOME/.cache}")/korvelin-detect/sbom-validator-$(
    printf '%s\n' "${sbom_validator_packages[@]}" | sha256sum | cut -c1-12)

ensure_sbom_validator() {
    [ -d "$sbom_validator_dir/node_modules/@cyclonedx/cyclonedx-library" ] && return 0
    command -v npm > /dev/null || ensure_packages npm
    echo "installing the SBOM validator into $sbom_validator_dir"
    rm -rf "$sbom_validator_dir.partial" && mkdir -p "$sbom_validator_dir.partial"
    # Bounded: where no registry answers, this fails within 30 s, never hangs.
    if ! timeout 30 npm install --prefix "$sbom_validator_dir.partial" --no-audit --no-fund --loglevel=error \
            --fetch-timeout=10000 --fetch-retries=0 "${sbom_validator_packages[@]}" > /dev/null; then
        rm -rf "$sbom_validator_dir.partial"
        echo "the SBOM validator (${sbom_validator_packages[*]}) is not in $sbom_validator_dir, and npm could not install it: reach the npm registry once, or copy that folder from a machine where scripts/test ran" >&2
        return 1
    fi
    mv "$sbom_validator_dir.partial" "$sbom_validator_dir"
}
