#!/usr/bin/env bats
# shellcheck disable=SC2154 # stderr is set by run --separate-stderr, which shellcheck does not know
# rgbatool as a user runs it. Each test works in a folder of its own, rgbatool on the PATH; bats
# keeps its own files (those of run --separate-stderr) beside that folder, not in it.

load common

bats_require_minimum_version 1.5.0 # for run --separate-stderr

setup() {
  PATH=$(dirname "$RGBATOOL"):$PATH
  mkdir "$BATS_TEST_TMPDIR/folder"
  cd "$BATS_TEST_TMPDIR/folder" || fail "no folder for the test"
}

# make_noise_png NAME.png FORMAT [OPTIONS...]: 1024x1024 random pixels, written by ImageMagick
# with those options as a PNG of that kind, and its own reading of it in NAME.expected.rgba.
make_noise_png() {
  local file=$1 format=$2
  shift 2
  convert -size 1024x1024 xc: -alpha set -channel RGBA +noise Random "$@" "$format:$file"
  convert "$file" -depth 16 -endian LSB "rgba:${file%.png}.expected.rgba"
}

# folder_snapshot: what a user could see change here: names, types, modes, owners, links, contents.
folder_snapshot() {
  find . -printf '%p %y %m %u:%g %l\n' | sort
  find . -type f -exec md5sum {} + | sort
}

# assert_refused MESSAGE COMMAND...: COMMAND exits with status 1, prints nothing on standard
# output and the one line "rgbatool: MESSAGE" on standard error, and changes nothing in the folder.
assert_refused() {
  local message=$1 before
  shift
  before=$(folder_snapshot)
  run --separate-stderr "$@"
  assert_failure 1
  assert_output ""
  assert_equal "$stderr" "rgbatool: $message"
  assert_equal "$(folder_snapshot)" "$before"
}

# as_plain_user COMMAND...: COMMAND without root's power to pass file modes, as any user runs it.
as_plain_user() {
  setpriv --inh-caps=-all --bounding-set=-dac_override,-dac_read_search "$@"
}

# on_full_disk COMMAND...: runs COMMAND unable to make a file longer than 2 MiB, as on a nearly
# full disk. The signal that limit sends is ignored, so that the write fails instead.
on_full_disk() {
  env --ignore-signal=XFSZ prlimit --fsize=2097152 "$@"
}

# label_box RAW: where a button picture is at least half opaque, as "WIDTH HEIGHT LEFT TOP".
label_box() {
  convert -size 1024x1024 -depth 16 -endian LSB "rgba:$1" -alpha extract -threshold 50% \
    -format "%@" info: | tr "x+" "  "
}

# word_width WORD: how wide ImageMagick draws WORD in the labels' font, DejaVu Sans Bold.
word_width() {
  convert -font DejaVu-Sans-Bold -pointsize 300 "label:$1" -trim -format "%w" info:
}

# assert_label RAW WORD: the button picture's label stands whole on its face, touching no edge,
# and says WORD: against the Observe label beside it, as wide as WORD against Observe, within 4%.
assert_label() {
  local width height left top observe_width expected_width
  read -r width height left top <<<"$(label_box "$1")"
  assert [ "$left" -gt 0 ]
  assert [ "$top" -gt 0 ]
  assert [ $((left + width)) -lt 1024 ]
  assert [ $((top + height)) -lt 1024 ]
  read -r observe_width _ <<<"$(label_box "$(dirname "$1")/output_observe.rgba")"
  expected_width=$((observe_width * $(word_width "$2") / $(word_width Observe)))
  assert [ $((width * 100)) -ge $((expected_width * 96)) ]
  assert [ $((width * 100)) -le $((expected_width * 104)) ]
}

# alpha_range RAW SIZE: the lowest and the highest alpha (0 to 65535) of a raw picture of SIZE.
alpha_range() {
  convert -size "$2" -depth 16 -endian LSB "rgba:$1" -alpha extract -format '%[min] %[max]' info:
}

@test "rgbatool reads every kind of PNG as ImageMagick does, bit for bit, and its own PNG back" {
  make_noise_png colour_8bit.png PNG24
  make_noise_png colour_alpha_16bit.png PNG64
  make_noise_png palette.png PNG8 -threshold 50%
  make_noise_png gray_16bit.png PNG -colorspace Gray -alpha off
  make_noise_png interlaced_with_junk.png PNG32 -interlace PNG
  # Its end chunk replaced by 32 GiB of zeros (a hole on disk): read up to the last row only.
  truncate --size=-12 interlaced_with_junk.png
  truncate --size=+32G interlaced_with_junk.png
  local png
  for png in *.png; do
    rgbatool button "$png" "${png%.png}.rgba"
    cmp "${png%.png}.expected.rgba" "${png%.png}.rgba"
  done
  rgbatool png colour_alpha_16bit.rgba written_back.png
  rgbatool button written_back.png read_back.rgba
  cmp colour_alpha_16bit.expected.rgba read_back.rgba
}

@test "rgbatool refuses what it cannot read or may not write, says why, and leaves every file as it was" {
  make_noise_png picture.png PNG
  convert -size 1024x4096 xc: PNG:tall.png
  head --bytes=99999 picture.png >truncated.png
  echo "no picture" >text.txt
  truncate --size=8388609 one_byte_too_long.rgba
  mkfifo named_pipe
  echo "old picture" >old_picture.png
  ln picture.png same_picture.png
  touch read_only.rgba
  chmod 444 read_only.rgba
  mkdir --mode=555 read_only_folder
  assert_refused "tall.png: the picture is 1024x4096, but a button picture must be 1024x1024" \
    rgbatool button tall.png button.rgba
  assert_refused "tall.png: the picture is 1024x4096, but the background must be 4096x4096" \
    rgbatool background tall.png background.rgba
  assert_refused "missing.png: cannot open: No such file or directory" \
    rgbatool button missing.png button.rgba
  assert_refused "truncated.png: the file ends too early (truncated)" \
    rgbatool button truncated.png button.rgba
  assert_refused "text.txt: not a PNG file" rgbatool button text.txt button.rgba
  assert_refused "one_byte_too_long.rgba: 8388609 bytes is no raw picture size: a button picture has 8388608 bytes (1024x1024), the background 134217728 bytes (4096x4096)" \
    rgbatool png one_byte_too_long.rgba picture.png
  # Refused at once, not waiting for a writer.
  assert_refused "named_pipe: not a regular file" timeout 60 rgbatool png named_pipe picture.png
  assert_refused "read_only.rgba: cannot replace: Permission denied" \
    as_plain_user rgbatool button picture.png read_only.rgba
  assert_refused "read_only_folder/button.rgba: cannot write into folder read_only_folder: Permission denied" \
    as_plain_user rgbatool button picture.png read_only_folder/button.rgba
  assert_refused "read_only_folder/menu: cannot make folder: Permission denied" \
    as_plain_user rgbatool defaults read_only_folder/menu/mine
  assert_refused "same_picture.png: is the input file; the output must go to another file" \
    rgbatool button picture.png same_picture.png
  assert_refused "named_pipe: cannot replace: not a regular file" rgbatool button picture.png named_pipe
  assert_refused "the output file name is empty" rgbatool button picture.png ""
  assert_refused "the folder name is empty" rgbatool defaults ""
  assert_refused "picture.rgba: cannot write: File too large" \
    on_full_disk rgbatool button picture.png picture.rgba
  assert_refused "old_picture.png: cannot write: File too large" \
    on_full_disk rgbatool png picture.expected.rgba old_picture.png
}

@test "rgbatool out of memory says so and adds nothing; with the background kept the labels fit" {
  [ -z "${TARNWICK_PRELOAD:-}" ] || skip "AddressSanitizer reserves more address space than the limit"
  assert_refused "out of memory" prlimit --as=122880000 rgbatool defaults
  ln -s my_own_background.rgba output_spinrgb.rgba
  prlimit --as=122880000 rgbatool defaults
}

@test "rgbatool stopped by SIGTERM leaves the old file as it was and no temporary file" {
  truncate --size=128M black_background.rgba
  echo "old picture" >background.png
  local before
  before=$(folder_snapshot)
  rgbatool png black_background.rgba background.png 3>&- &
  local converter=$!
  local deadline=$((SECONDS + 30))
  until compgen -G ".rgbatool-*" >/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || fail "rgbatool began no file in 30 seconds"
    sleep 0.01
  done
  kill -TERM "$converter"
  local status=0
  wait "$converter" || status=$?
  assert_equal "$status" 143
  assert_equal "$(folder_snapshot)" "$before"
}

@test "rgbatool writes through a symbolic link, keeps a replaced file's mode and owner, gives a new one the umask's" {
  make_noise_png picture.png PNG
  echo "old picture" >target.rgba
  chmod 666 target.rgba
  chown 1:2 target.rgba
  mkdir links
  ln -s ../target.rgba links/button.rgba
  umask 027
  rgbatool button picture.png links/button.rgba
  cmp picture.expected.rgba target.rgba
  assert_equal "$(stat --format="%a %u %g" target.rgba)" "666 1 2"
  assert_equal "$(readlink links/button.rgba)" "../target.rgba"
  # A new file, under the longest name a file may have: 255 characters.
  local longest_name
  longest_name=$(printf "%0250d" 0).rgba
  rgbatool button picture.png "$longest_name"
  cmp picture.expected.rgba "$longest_name"
  assert_equal "$(stat --format="%a" "$longest_name")" "640"
}

# assert_usage_error ARGUMENTS...: rgbatool exits with status 2, the usage alone on standard error.
assert_usage_error() {
  run --separate-stderr rgbatool "$@"
  assert_failure 2
  assert_output ""
  assert_equal "$stderr" "$(rgbatool help)"
}

@test "rgbatool prints the usage on standard output when asked, on standard error with status 2 for a wrong command line" {
  local usage="usage: rgbatool defaults [DIR]            add the default pictures DIR lacks (default .)
       rgbatool button IN.png OUT.rgba      convert a 1024x1024 PNG into a button picture
       rgbatool background IN.png OUT.rgba  convert a 4096x4096 PNG into the background
       rgbatool png IN.rgba OUT.png         convert a raw picture into a 16-bit PNG
       rgbatool --version                   print the version"
  local way_to_ask
  for way_to_ask in help -h --help; do
    run --separate-stderr rgbatool "$way_to_ask"
    assert_success
    assert_output "$usage"
  done
  run --separate-stderr rgbatool --version
  assert_success
  assert_output --regexp "^rgbatool [0-9]+\.[0-9]+\.[0-9]+$"
  assert_usage_error
  assert_usage_error defaults one_folder another_folder
  assert_usage_error button picture.png
  assert_usage_error help me
  assert_usage_error --verbose
  assert_equal "$(ls -A)" ""
}

@test "rgbatool defaults draws each word whole on its own face, a clear blank and an opaque background" {
  assert_equal "$(alpha_range "$PICTURES/output_blank.rgba" 1024x1024)" "0 0"
  assert_equal "$(alpha_range "$PICTURES/output_spinrgb.rgba" 4096x4096)" "65535 65535"
  assert_label "$PICTURES/output_start.rgba" Start
  assert_label "$PICTURES/output_coord.rgba" Coord
  assert_label "$PICTURES/output_observe.rgba" Observe
  assert_label "$PICTURES/output_edit.rgba" Edit
  assert_label "$PICTURES/output_quit.rgba" Quit
}

@test "rgbatool defaults keeps every picture and link there, and what it added before failing" {
  echo "my own observe" >output_observe.rgba
  ln -s my_own_background.rgba output_spinrgb.rgba
  # Without fonts it adds the blank face, then stops at the labels.
  echo "<fontconfig></fontconfig>" >no_fonts.conf
  run --separate-stderr env FONTCONFIG_FILE="$PWD/no_fonts.conf" rgbatool defaults
  assert_failure 1
  assert_output "rgbatool: kept ./output_spinrgb.rgba
rgbatool: kept ./output_observe.rgba
rgbatool: added ./output_blank.rgba"
  assert_equal "$stderr" "rgbatool: font DejaVu Sans Bold not found (Debian package fonts-dejavu-core)
rgbatool: before failing, added ./output_blank.rgba"
  # Run again with its font, it adds the other labels, each as it is in a whole set.
  rgbatool defaults
  local picture
  for picture in blank start coord edit quit; do
    cmp "$PICTURES/output_$picture.rgba" "output_$picture.rgba"
  done
  assert_equal "$(cat output_observe.rgba)" "my own observe"
  assert_equal "$(readlink output_spinrgb.rgba)" "my_own_background.rgba"
}

@test "rgbatool defaults makes the folder it is given, with its parents, and names it when it fails" {
  run --separate-stderr on_full_disk rgbatool defaults menus/mine
  assert_failure 1
  assert_output "rgbatool: made folder menus/mine"
  assert_equal "$stderr" "rgbatool: menus/mine/output_spinrgb.rgba: cannot write: File too large
rgbatool: before failing, made folder menus/mine"
}
