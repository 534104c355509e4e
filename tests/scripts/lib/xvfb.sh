# Sourced by the scripts that need a real window: starts Xvfb on a free display with a
# 24-bit 1280x1024 screen and, once the server answers, exports DISPLAY and sets xvfb_pid;
# returns 1 when it does not start. The caller kills $xvfb_pid when it is done.
start_xvfb() {
    ready=$(mktemp -u)
    mkfifo "$ready" || return 1
    # Xvfb writes the display's number to descriptor 3 once it takes connections.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$ready" >/dev/null 2>&1 &
    xvfb_pid=$!
    read -r display <"$ready"
    rm -f "$ready"
    [ -n "$display" ] && export DISPLAY=":$display"
}
