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
