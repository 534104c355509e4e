# Sourced by the scripts that need a real window: starts Xvfb on a free display with a
# 24-bit 1280x1024 screen, exports DISPLAY, sets xvfb_pid, and waits until the server
# answers. Returns 1 when it does not. The caller kills $xvfb_pid when it is done.
start_xvfb() {
    display=90
    while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do
        display=$((display + 1))
    done
    Xvfb :$display -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=:$display
    for _ in $(seq 50); do
        xdpyinfo >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}
