# Sourced by the scripts that drive the program's window: find_window waits (30 s at most)
# for the window titled "sorvane" and sets window, and left and top, its position on the
# screen; it returns 1 when no such window appears. focus gives that window the keyboard.
find_window() {
    window=$(timeout 30 xdotool search --sync --onlyvisible --name '^sorvane$' 2>/dev/null | head -n 1)
    [ -n "$window" ] || return 1
    geometry=$(xdotool getwindowgeometry "$window")
    left=$(echo "$geometry" | sed -n 's/.*Position: \([0-9]*\),.*/\1/p')
    top=$(echo "$geometry" | sed -n 's/.*Position: [0-9]*,\([0-9]*\).*/\1/p')
}
focus() { xdotool windowfocus --sync "$window" 2>/dev/null || true; }
