#!/bin/sh
# The drawing pipeline in a real window under Xvfb and Mesa: sorvane-drawtest's frame of
# boxes in theme colours, a line and text, drawn into the 16-bit float frame buffer and
# resolved through "gamma", must reach the screen as data/theme.txt writes the colours
# (within 2 of 255), blended in linear light, and with no glyph past the clip rectangle.
. "$(dirname "$0")/lib/script.sh"
tolerance=2
use_window
cd "$source/data" || fail "no data folder"
height=768

# "r g b" of a theme colour, 0 to 255.
theme_rgb() {
    awk -v key="$1" '$1 == key && NF >= 5 {
        printf "%d %d %d\n", $2 * 255 + 0.5, $3 * 255 + 0.5, $4 * 255 + 0.5; found = 1 }
        END { if (!found) exit 1 }' theme.txt || fail "no $1 in theme.txt"
}
theme_values() { awk -v key="$1" '$1 == key && NF >= 5 { print $2, $3, $4, $5 }' theme.txt; }

# expect NAME X Y "R G B", x and y in interface pixels (origin at the lower left, as the
# program draws).
expect() {
    [ "$(count_near "$2" $((height - 1 - $3)) 1 1 "$4" $tolerance)" -eq 1 ] ||
        fail "$1 at ($2, $3): got $(pixel "$2" $((height - 1 - $3))), want $4"
}

# Pixels of a rectangle in interface pixels (x, y, width, height) within 3 of the colour
# "r g b" in every channel, or further than 3 from it.
near() { count_near "$1" $((height - $2 - $4)) "$3" "$4" "$5" 3; }
far() { count_far "$1" $((height - $2 - $4)) "$3" "$4" "$5" 3; }

background=$(theme_rgb menu_background_color)
text=$(theme_rgb text_color)
title="sorvane drawtest" start_program "$build/sorvane-drawtest"
expect "background" 1000 20 "$background"
expect "note_object_color box" 230 90 "$(theme_rgb note_object_color)"
expect "key_object_color box" 370 90 "$(theme_rgb key_object_color)"
expect "text_color box" 510 90 "$text"
expect "close_color box" 650 90 "$(theme_rgb close_color)"
# Box edges: [40, 140) covers pixels 40 to 139.
expect "color box corner" 40 40 "$(theme_rgb color)"
expect "color box far corner" 139 139 "$(theme_rgb color)"
expect "left of the color box" 39 90 "$background"
expect "above the color box" 90 140 "$background"

# hover_color over color, mixed in linear light with the display gamma 2.2.
blend=$( (theme_values color; theme_values hover_color) | awk '
    NR == 1 { for (i = 1; i <= 3; i++) b[i] = $i }
    NR == 2 { a = $4; for (i = 1; i <= 3; i++) {
        l = (1 - a) * b[i] ^ 2.2 + a * $i ^ 2.2; printf "%d ", l ^ (1 / 2.2) * 255 + 0.5 } }')
expect "hover_color over color" 790 90 "$blend"

# A 60 x 60 box with its pivot at its centre, drawn at (930, 90): pixels 900 to 959.
expect "centred box lower left" 900 60 "$(theme_rgb open_color)"
expect "left of the centred box" 899 90 "$background"
expect "right of the centred box" 960 90 "$background"

# A line from (40, 200) to (940, 200), 3 on either side.
expect "line" 490 200 "$(theme_rgb tempo_object_color)"
expect "line edge" 490 198 "$(theme_rgb tempo_object_color)"
expect "below the line" 490 192 "$background"

# The text sits on y = 400, one line box (19 pixels) high, starting at x = 40.
glyphs=$(near 40 396 420 28 "$text")
[ "$glyphs" -ge 80 ] || fail "only $glyphs glyph pixels in text colour where the text was drawn"
stray=$(far 520 390 480 40 "$background")
[ "$stray" -eq 0 ] || fail "$stray pixels drawn right of the text, where nothing was"

# The clipped text is cut at x = 160: glyphs inside the box, nothing right of it.
inside=$(near 40 500 120 40 "$text")
[ "$inside" -ge 30 ] || fail "only $inside glyph pixels inside the clip rectangle"
outside=$(far 160 490 500 60 "$background")
[ "$outside" -eq 0 ] || fail "$outside pixels drawn past the clip rectangle"

quit
echo "ok: theme colours, linear blending, pivots, a line and text reach the screen as drawn"
