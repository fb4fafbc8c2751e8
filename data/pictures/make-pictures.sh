#!/usr/bin/env bash
# Draws the pictures of the picture store (PICTR rows 1, 3, 5, 6, 7, 9) with ImageMagick.
# The PNGs are committed; run this again after changing a drawing:
#   bash data/pictures/make-pictures.sh
set -euo pipefail
cd "$(dirname "$0")"

fonts=/usr/share/fonts/truetype/dejavu
bold=$fonts/DejaVuSans-Bold.ttf
regular=$fonts/DejaVuSans.ttf

# The house colours: deep blue to steel blue, an amber accent, pale blues for text and lines.
dark='#17324f'
mid='#2f5d8a'
accent='#f2a541'
pale='#eaf1f8'
soft='#b9cde2'

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Small, reproducible files: no timestamps or profiles, a palette of at most 256 colours (dithered, so the gradients do not band).
finish() { # drawn-file output
    convert "$1" -strip -colors 256 -define png:compression-level=9 \
        -define png:exclude-chunks=date,time "$2"
}

# Appends to the array "draw" a person (head and shoulders) centred on x,y; s 1 is 60 px tall.
person() { # x y s colour
    local x=$1 y=$2 s=$3
    local r hy yb bx by
    r=$(awk "BEGIN{print $x + 11*$s}")
    hy=$(awk "BEGIN{print $y - 14*$s}")
    yb=$(awk "BEGIN{print $y + 26*$s}")
    bx=$(awk "BEGIN{print 21*$s}")
    by=$(awk "BEGIN{print 19*$s}")
    draw+=(-fill "$4" -draw "circle $x,$hy $r,$hy" -draw "ellipse $x,$yb $bx,$by 180,360")
}

# A portrait picture (300x400): gradient, soft circles behind the emblem in "draw", a title
# under an amber rule, and the product name in the corner.
card() { # output title subtitle
    convert -size 300x400 "gradient:$mid-$dark" \
        -fill 'rgba(255,255,255,0.06)' -draw 'circle 150,165 150,35' \
        -fill 'rgba(255,255,255,0.05)' -draw 'circle 150,165 150,65' \
        "${draw[@]}" \
        -stroke none -fill "$accent" -draw 'rectangle 50,314 250,317' \
        -font "$bold" -pointsize 23 -fill "$pale" -gravity north -annotate +0+329 "$2" \
        -font "$regular" -pointsize 13 -fill "$soft" -annotate +0+364 "$3" \
        -gravity northwest -font "$bold" -pointsize 12 -fill 'rgba(234,241,248,0.55)' \
        -annotate +14+12 'Кадролог' \
        "$tmp/$1"
    finish "$tmp/$1" "$1"
}

# 1: the start-up splash.
draw=()
person 86 112 1.4 "$pale"
person 136 100 1.75 "$accent"
person 186 112 1.4 "$pale"
convert -size 480x300 "gradient:#4f80b2-$dark" \
    -fill 'rgba(255,255,255,0.06)' -draw 'circle 410,50 410,-100' \
    -fill 'rgba(255,255,255,0.05)' -draw 'circle 50,290 50,170' \
    "${draw[@]}" \
    -font "$bold" -pointsize 40 -fill "$pale" -annotate +226+127 'Кадролог' \
    -fill "$accent" -draw 'rectangle 48,196 432,199' \
    -font "$regular" -pointsize 20 -fill "$pale" -gravity north -annotate +0+214 \
    'Система подбора персонала' \
    -font "$regular" -pointsize 12 -fill "$soft" -gravity southeast -annotate +18+14 'Версия 1.01' \
    "$tmp/splash.png"
finish "$tmp/splash.png" splash.png

# 9: the main window's background, light so that the toolbar above it stays the eye-catcher.
draw=()
person 250 112 1.3 "$mid"
person 320 96 1.7 "$accent"
person 390 112 1.3 "$mid"
convert -size 640x360 "gradient:#e3ecf5-#a9c2dc" \
    -fill 'rgba(47,93,138,0.10)' -draw 'circle 570,60 570,-130' \
    -fill 'rgba(47,93,138,0.08)' -draw 'circle 60,340 60,200' \
    "${draw[@]}" \
    -font "$bold" -pointsize 48 -fill "$dark" -gravity north -annotate +0+186 'Кадролог' \
    -fill "$accent" -draw 'rectangle 200,256 440,259' \
    -font "$regular" -pointsize 20 -fill "$mid" -gravity north -annotate +0+272 \
    'Система подбора персонала' \
    "$tmp/background.png"
finish "$tmp/background.png" background.png

# 3: the requests hub: a request form on a clipboard, ticked.
draw=(-fill '#d7e3ef' -draw 'roundrectangle 95,80 205,255 10,10'
    -fill "$accent" -draw 'roundrectangle 125,70 175,96 6,6'
    -fill "$mid" -draw 'rectangle 112,120 188,126' -draw 'rectangle 112,140 176,146'
    -draw 'rectangle 112,160 188,166' -draw 'rectangle 112,180 160,186'
    -fill "$accent" -draw 'circle 178,222 194,222'
    -fill none -stroke "$pale" -strokewidth 4 -draw 'polyline 170,222 176,229 187,214')
card requests.png 'Заявки' 'фирмы и их вакансии'

# 5: the candidate list: a group of people.
draw=()
person 100 180 1.2 "$soft"
person 200 180 1.2 "$soft"
person 150 166 1.55 "$accent"
card candidates.png 'Кандидаты' 'кадровый резерв агентства'

# 6: the vacancy catalog hub: the four levels of the catalog as a tree.
draw=(-stroke "$soft" -strokewidth 3
    -draw 'line 150,110 150,138' -draw 'line 90,138 210,138'
    -draw 'line 90,138 90,160' -draw 'line 210,138 210,160'
    -draw 'line 90,186 90,206' -draw 'line 210,186 210,206' -draw 'line 170,206 250,206'
    -draw 'line 170,206 170,222' -draw 'line 250,206 250,222'
    -stroke none
    -fill "$accent" -draw 'roundrectangle 106,80 194,110 7,7'
    -fill "$pale" -draw 'roundrectangle 56,160 124,186 5,5' -draw 'roundrectangle 176,160 244,186 5,5'
    -fill "$soft" -draw 'roundrectangle 66,206 114,228 4,4'
    -draw 'roundrectangle 146,222 194,244 4,4' -draw 'roundrectangle 226,222 274,244 4,4')
card catalog.png 'Каталог вакансий' 'сферы, группы, специальности'

# 7: the service window: a bar chart under a magnifying glass.
draw=(-fill "$soft" -draw 'rectangle 82,200 108,250' -draw 'rectangle 118,160 144,250'
    -fill "$pale" -draw 'rectangle 154,118 180,250' -draw 'rectangle 190,180 216,250'
    -draw 'rectangle 72,252 228,256'
    -stroke "$accent" -strokewidth 7 -fill 'rgba(242,165,65,0.18)' -draw 'circle 188,132 188,94'
    -fill none -draw 'line 215,159 242,186' -stroke none)
card service.png 'Выборки' 'отбор по любым критериям'

ls -l ./*.png
