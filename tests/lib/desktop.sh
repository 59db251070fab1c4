# Sourced after private_net.sh and checks.sh, inside the private namespace,
# once private_net_up has run: the desktop tools on the client host, the
# stand-ins that record how they were started and the real ones.
#   make_desktop_stand_ins DIR    the stand-ins in DIR/bin ($tools_bin),
#                                 their records in DIR/log ($tools_log)
#   logged TOOL TEXT / not_run TOOL   what a stand-in recorded
#   needs COMMAND...              skip the case unless these are installed
#   display_up                    an Xvfb display of the client's own, in $DISPLAY
#   box_shown_and_dismissed SHOT  find the "Sorry" box, photograph it, press Return
#   real_browser_up SHOT          the real xdg-open and a headless chromium that
#                                 photographs what it loads; a page on the server
#   page_shown SHOT               that photograph shows the server's page
# The real ones expect $work.

desktop_lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

make_desktop_stand_ins() {  # see desktop-stand-in for what each records
    tools_bin=$1/bin tools_log=$1/log
    rm -rf "$tools_bin" "$tools_log"
    mkdir -p "$tools_bin" "$tools_log"
    local tool
    for tool in xdg-open zenity kdialog xmessage; do
        ln -s "$desktop_lib/desktop-stand-in" "$tools_bin/$tool"
    done
}

logged() { [ "$(cat "$tools_log/$1" 2>/dev/null)" = "$2" ]; }
not_run() { [ ! -e "$tools_log/$1" ]; }

needs() {  # needs COMMAND...: the case is skipped (77) when one is missing
    local tool
    for tool; do command -v "$tool" > /dev/null || { echo "SKIP: $tool is not installed"; exit 77; }; done
}

display_up() {
    # Display numbers are shared through /tmp across namespaces: let Xvfb pick a free one.
    on_client Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3> "$work/display" > /dev/null 2>&1 &
    wait_for_file "$work/display" 5 nonempty || { echo "Xvfb did not start"; return 1; }
    export DISPLAY=:$(cat "$work/display")
}

# An X client on the client's display, for 5 s at most: a program that
# hangs while it holds the display must fail the case, not stall it.
on_display() { on_client timeout 5 "$@"; }

# The first visible window whose whole name is $1, in $window.
window_named() { window=$(on_display xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1); [ -n "$window" ]; }
sorry_window() { window_named Sorry && echo "$window"; }

# A picture of the screen that is not all black.
screen_painted() {  # screen_painted SHOT
    on_display import -window root "$1" && convert "$1" -format '%[fx:mean]' info: | awk '{ exit !($1 > 0) }'
}
# Return typed into window $1; true once no window named $2 is left.
closed_by_return() {
    on_display xdotool windowfocus "$1" key Return 2>/dev/null
    sleep 0.3
    ! window_named "$2"
}

# A toolkit maps the window before it paints it and may ignore keys until
# then: wait for a picture that is not all black before pressing Return.
# GTK drops keys sent to a window directly: focus it and type for real.
box_shown_and_dismissed() {
    local window shot=$1
    retry_for 20 window_named Sorry || return 1
    mkdir -p "$(dirname "$shot")"
    retry_for 10 screen_painted "$shot"
    retry_for 10 closed_by_return "$window" Sorry
}

page_colour=12ab34 page_pixel='srgb(18,171,52)'

real_browser_up() {
    rm -f "$tools_bin/xdg-open" "$1"
    mkdir -p "$work/site" "$work/home" "$work/chromium.d" "$(dirname "$1")"
    echo "<!doctype html><title>korvelin</title><body style=\"background:#$page_colour\">" > "$work/site/index.html"
    on_server python3 -u -m http.server 80 --bind "$server_address" --directory "$work/site" > "$work/http.log" 2>&1 &
    # Debian's chromium wrapper sources every file of /etc/chromium.d: in this
    # run's own mount namespace, one more gives it the test's flags and home.
    cp -a /etc/chromium.d/. "$work/chromium.d/"
    cat > "$work/chromium.d/zz-korvelin-test" <<FLAGS
export HOME=$work/home
CHROMIUM_FLAGS="\$CHROMIUM_FLAGS --headless=new --no-sandbox --disable-gpu --user-data-dir=$work/home/profile --window-size=800,500 --screenshot=$1"
FLAGS
    mount --bind "$work/chromium.d" /etc/chromium.d
    local tries=50
    until grep -q '^Serving HTTP' "$work/http.log" || [ $((tries--)) = 0 ]; do sleep 0.1; done
}

page_shown() {
    local tries=200
    until [ "$(convert "$1" -format '%[pixel:p{400,250}]' info: 2>/dev/null)" = "$page_pixel" ]; do
        [ $((tries--)) = 0 ] && return 1
        sleep 0.1
    done
}
