#!/usr/bin/env bats
# shellcheck disable=SC2154 # stderr is set by run --separate-stderr, which shellcheck does not know
# rgbatool as a user runs it: PNG files of every kind converted and read back, the default
# pictures, what it refuses and why, and what its outputs keep of the files they replace.
# Each test works in a folder of its own, rgbatool on the PATH. Bats keeps its own files (those
# of run --separate-stderr) beside that folder, not in it.

load common

bats_require_minimum_version 1.5.0 # for run --separate-stderr

setup() {
  PATH=$(dirname "$RGBATOOL"):$PATH
  mkdir "$BATS_TEST_TMPDIR/folder"
  cd "$BATS_TEST_TMPDIR/folder" || fail "no folder for the test"
}

# make_noise_png NAME.png FORMAT [OPTIONS...]: a 1024x1024 picture of random pixels, written by
# ImageMagick with those options as a PNG of that kind (PNG8, PNG24, PNG32, PNG64 or PNG), and
# beside it NAME.expected.rgba, ImageMagick's own reading of it in the menu's raw layout.
make_noise_png() {
  local file=$1 format=$2
  shift 2
  convert -size 1024x1024 xc: -alpha set -channel RGBA +noise Random "$@" "$format:$file"
  convert "$file" -depth 16 -endian LSB "rgba:${file%.png}.expected.rgba"
}

# assert_reads_exactly NAME.png: rgbatool turns it into the very raw picture that ImageMagick read
# in it (NAME.expected.rgba), and its own PNG of that picture reads back the same.
assert_reads_exactly() {
  local expected=${1%.png}.expected.rgba converted=${1%.png}.rgba written_back=${1%.png}.back.png
  run rgbatool button "$1" "$converted"
  assert_success
  cmp "$expected" "$converted"
  run rgbatool png "$converted" "$written_back"
  assert_success
  run rgbatool button "$written_back" "$converted"
  assert_success
  cmp "$expected" "$converted"
}

# folder_snapshot: all that a user could see change in the current folder: every name with its
# type, mode, owner, group and link target, and the checksum of every file.
folder_snapshot() {
  find . -printf '%p %y %m %u:%g %l\n' | sort
  find . -type f -exec md5sum {} + | sort
}

# assert_refused MESSAGE COMMAND...: COMMAND exits with status 1, prints nothing on standard
# output and the one line "rgbatool: MESSAGE" on standard error, and changes nothing in the folder.
assert_refused() {
  local message=$1
  shift
  local before
  before=$(folder_snapshot)
  run --separate-stderr "$@"
  assert_failure 1
  assert_output ""
  assert_equal "$stderr" "rgbatool: $message"
  assert_equal "$(folder_snapshot)" "$before"
}

# as_plain_user COMMAND...: runs COMMAND as root, but without root's power to read and write
# past file modes, so that a read-only file or folder stops it as it stops any user.
as_plain_user() {
  setpriv --inh-caps=-all --bounding-set=-dac_override,-dac_read_search "$@"
}

# with_file_size_limit KIB COMMAND...: runs COMMAND unable to make a file longer than KIB KiB, as
# on a nearly full disk. The signal the limit sends is ignored, so that the write fails instead.
with_file_size_limit() {
  local kib=$1
  shift
  (
    trap '' XFSZ
    ulimit -f "$kib"
    exec "$@"
  )
}

# with_memory_limit KIB COMMAND...: runs COMMAND with no more than KIB KiB of address space.
with_memory_limit() {
  local kib=$1
  shift
  (
    ulimit -v "$kib"
    exec "$@"
  )
}

# skip_if_sanitized: AddressSanitizer reserves far more address space than a memory limit leaves.
skip_if_sanitized() {
  if [ -n "${TARNWICK_PRELOAD:-}" ]; then
    skip "rgbatool is built with AddressSanitizer"
  fi
}

# opaque_box RAW: where a button picture is at least half opaque, as WIDTHxHEIGHT+LEFT+TOP.
opaque_box() {
  convert -size 1024x1024 -depth 16 -endian LSB "rgba:$1" -alpha extract -threshold 50% \
    -format "%@" info:
}

# label_width RAW: how wide the part of a button picture that is at least half opaque is.
label_width() {
  local width height left top
  IFS="x+" read -r width height left top <<<"$(opaque_box "$1")"
  echo "$width"
}

# assert_label_inside_face RAW: the button picture is at least half opaque somewhere, and nowhere
# along its edges: its label stands whole on the face.
assert_label_inside_face() {
  local width height left top
  IFS="x+" read -r width height left top <<<"$(opaque_box "$1")"
  if [ "$width" -eq 0 ] || [ "$left" -eq 0 ] || [ "$top" -eq 0 ] ||
    [ $((left + width)) -ge 1024 ] || [ $((top + height)) -ge 1024 ]; then
    fail "$1: the label covers ${width}x$height+$left+$top, not inside the face"
  fi
}

# alpha_range RAW SIZE: the lowest and the highest alpha (0 to 65535) of a raw picture of SIZE.
alpha_range() {
  convert -size "$2" -depth 16 -endian LSB "rgba:$1" -alpha extract -format '%[min] %[max]' info:
}

@test "rgbatool reads every kind of PNG as ImageMagick does, bit for bit, and its own PNG back" {
  make_noise_png colour_8bit.png PNG24
  assert_reads_exactly colour_8bit.png
  make_noise_png colour_alpha_16bit.png PNG64
  assert_reads_exactly colour_alpha_16bit.png
  make_noise_png palette.png PNG8 -threshold 50%
  assert_reads_exactly palette.png
  make_noise_png gray_16bit.png PNG -colorspace Gray -alpha off
  assert_reads_exactly gray_16bit.png
  make_noise_png interlaced.png PNG32 -interlace PNG
  assert_reads_exactly interlaced.png
  # Its end chunk replaced by 32 GiB of zeros (a hole on disk): read up to the last row only.
  make_noise_png with_junk.png PNG32
  truncate --size=-12 with_junk.png
  truncate --size=+32G with_junk.png
  assert_reads_exactly with_junk.png
}

@test "rgbatool refuses a PNG of the wrong size and says which size it wants" {
  convert -size 1024x4096 xc: PNG:tall.png
  assert_refused "tall.png: the picture is 1024x4096, but a button picture must be 1024x1024" \
    rgbatool button tall.png button.rgba
  assert_refused "tall.png: the picture is 1024x4096, but the background must be 4096x4096" \
    rgbatool background tall.png background.rgba
}

@test "rgbatool refuses input it cannot read as a picture and says why" {
  make_noise_png picture.png PNG
  head --bytes=99999 picture.png >truncated.png
  echo "no picture" >text.txt
  rgbatool button picture.png one_byte_too_long.rgba
  echo >>one_byte_too_long.rgba
  mkfifo named_pipe
  assert_refused "missing.png: cannot open: No such file or directory" \
    rgbatool button missing.png button.rgba
  assert_refused "truncated.png: the file ends too early (truncated)" \
    rgbatool button truncated.png button.rgba
  assert_refused "text.txt: not a PNG file" \
    rgbatool button text.txt button.rgba
  assert_refused "text.txt: 11 bytes is no raw picture size: a button picture has 8388608 bytes (1024x1024), the background 134217728 bytes (4096x4096)" \
    rgbatool png text.txt picture.png
  assert_refused "one_byte_too_long.rgba: 8388609 bytes is no raw picture size: a button picture has 8388608 bytes (1024x1024), the background 134217728 bytes (4096x4096)" \
    rgbatool png one_byte_too_long.rgba picture.png
  # Refused at once, not waiting for a writer.
  assert_refused "named_pipe: not a regular file" \
    timeout 60 rgbatool png named_pipe picture.png
}

@test "rgbatool refuses to write where the user may not, or over what is not a picture file" {
  make_noise_png picture.png PNG
  ln picture.png same_picture.png
  touch read_only.rgba
  chmod 444 read_only.rgba
  mkdir read_only_folder
  touch read_only_folder/button.rgba
  chmod 555 read_only_folder
  mkfifo named_pipe
  mkdir folder
  assert_refused "read_only.rgba: cannot replace: Permission denied" \
    as_plain_user rgbatool button picture.png read_only.rgba
  assert_refused "read_only_folder/button.rgba: cannot write into folder read_only_folder: Permission denied" \
    as_plain_user rgbatool button picture.png read_only_folder/button.rgba
  assert_refused "read_only_folder/output_spinrgb.rgba: cannot write into folder read_only_folder: Permission denied" \
    as_plain_user rgbatool defaults read_only_folder
  assert_refused "same_picture.png: is the input file; the output must go to another file" \
    rgbatool button picture.png same_picture.png
  assert_refused "named_pipe: cannot replace: not a regular file" \
    rgbatool button picture.png named_pipe
  assert_refused "folder: cannot replace: Is a directory" \
    rgbatool button picture.png folder
  assert_refused "the output file name is empty" \
    rgbatool button picture.png ""
  assert_refused "the folder name is empty" \
    rgbatool defaults ""
}

@test "rgbatool stopped by a full disk says so and leaves the old file as it was" {
  make_noise_png picture.png PNG
  rgbatool button picture.png button.rgba
  echo "old picture" >old_picture.png
  assert_refused "button.rgba: cannot write: File too large" \
    with_file_size_limit 2048 rgbatool button picture.png button.rgba
  assert_refused "old_picture.png: cannot write: File too large" \
    with_file_size_limit 2048 rgbatool png button.rgba old_picture.png
}

@test "rgbatool out of memory says so and adds nothing; with the background kept the labels fit" {
  skip_if_sanitized
  assert_refused "out of memory" \
    with_memory_limit 120000 rgbatool defaults
  ln -s my_own_background.rgba output_spinrgb.rgba
  run with_memory_limit 120000 rgbatool defaults
  assert_success
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

@test "rgbatool writes through a symbolic link and keeps the replaced file's mode, owner and group" {
  make_noise_png picture.png PNG
  echo "old picture" >target.rgba
  chmod 666 target.rgba
  chown 1:2 target.rgba
  mkdir links
  ln -s ../target.rgba links/button.rgba
  run rgbatool button picture.png links/button.rgba
  assert_success
  cmp picture.expected.rgba target.rgba
  run stat --format="%a %u %g" target.rgba
  assert_output "666 1 2"
  run readlink links/button.rgba
  assert_output "../target.rgba"
}

@test "a new output gets the mode the umask gives, also under the longest name a file may have" {
  make_noise_png picture.png PNG
  local long_name
  long_name=$(printf "%0250d" 0).rgba
  assert_equal "${#long_name}" 255
  umask 027
  run rgbatool button picture.png "$long_name"
  assert_success
  cmp picture.expected.rgba "$long_name"
  run stat --format="%a" "$long_name"
  assert_output "640"
}

@test "rgbatool help, -h and --help print the usage on standard output; --version its version" {
  run --separate-stderr rgbatool help
  assert_success
  assert_equal "$stderr" ""
  assert_line --index 0 "usage: rgbatool defaults [DIR]            add the default pictures DIR lacks (default .)"
  assert_line --index 1 "       rgbatool button IN.png OUT.rgba      convert a 1024x1024 PNG into a button picture"
  assert_line --index 2 "       rgbatool background IN.png OUT.rgba  convert a 4096x4096 PNG into the background"
  assert_line --index 3 "       rgbatool png IN.rgba OUT.png         convert a raw picture into a 16-bit PNG"
  assert_line --index 4 "       rgbatool --version                   print the version"
  local usage=$output
  run rgbatool -h
  assert_output "$usage"
  run rgbatool --help
  assert_output "$usage"
  run --separate-stderr rgbatool --version
  assert_success
  assert_output --regexp "^rgbatool [0-9]+\.[0-9]+\.[0-9]+$"
}

# assert_usage_error ARGUMENTS...: rgbatool with these arguments prints the usage on standard
# error and nothing on standard output, and exits with status 2.
assert_usage_error() {
  run --separate-stderr rgbatool "$@"
  assert_failure 2
  assert_output ""
  assert_equal "$stderr" "$(rgbatool help)"
}

@test "rgbatool with a wrong command line prints the usage on standard error and exits with 2" {
  assert_usage_error
  assert_usage_error defaults one_folder another_folder
  assert_usage_error button picture.png
  assert_usage_error button picture.png button.rgba extra.rgba
  assert_usage_error help me
  assert_usage_error --verbose
  run ls -A
  assert_output ""
}

@test "rgbatool defaults keeps every picture and link already there and says so" {
  echo "my own start" >output_start.rgba
  ln -s my_own_background.rgba output_spinrgb.rgba
  run --separate-stderr rgbatool defaults
  assert_success
  assert_equal "$stderr" ""
  assert_line "rgbatool: kept ./output_start.rgba"
  assert_line "rgbatool: kept ./output_spinrgb.rgba"
  assert_line "rgbatool: added ./output_blank.rgba"
  assert_line "rgbatool: added ./output_coord.rgba"
  assert_line "rgbatool: added ./output_observe.rgba"
  assert_line "rgbatool: added ./output_edit.rgba"
  assert_line "rgbatool: added ./output_quit.rgba"
  assert_equal "${#lines[@]}" 7
  run cat output_start.rgba
  assert_output "my own start"
  run readlink output_spinrgb.rgba
  assert_output "my_own_background.rgba"
}

@test "rgbatool defaults draws each label whole on its face, a clear blank and an opaque background" {
  run alpha_range "$PICTURES/output_blank.rgba" 1024x1024
  assert_output "0 0"
  run alpha_range "$PICTURES/output_spinrgb.rgba" 4096x4096
  assert_output "65535 65535"
  local label
  for label in start coord observe edit quit; do
    assert_label_inside_face "$PICTURES/output_$label.rgba"
  done
  # Each button its own word: five different pictures, and the longest word, Observe, the widest.
  local different_labels
  different_labels=$(md5sum "$PICTURES"/output_{start,coord,observe,edit,quit}.rgba |
    cut --delimiter=" " --fields=1 | sort --unique | wc --lines)
  assert_equal "$different_labels" 5
  local observe_width
  observe_width=$(label_width "$PICTURES/output_observe.rgba")
  for label in start coord edit quit; do
    assert [ "$(label_width "$PICTURES/output_$label.rgba")" -lt "$observe_width" ]
  done
}

@test "a label that rgbatool defaults draws alone is the same as in a whole set" {
  copy_pictures menu
  rm menu/output_coord.rgba
  run rgbatool defaults menu
  assert_success
  assert_line "rgbatool: added menu/output_coord.rgba"
  cmp "$PICTURES/output_coord.rgba" menu/output_coord.rgba
}

@test "rgbatool defaults makes the folder it is given, with its parents, and says so" {
  run --separate-stderr rgbatool defaults menus/mine
  assert_success
  assert_equal "$stderr" ""
  assert_line --index 0 "rgbatool: made folder menus/mine"
  assert_line --index 1 "rgbatool: added menus/mine/output_spinrgb.rgba"
  assert_equal "${#lines[@]}" 8
  local picture
  for picture in "$PICTURES"/*.rgba; do
    cmp "$picture" "menus/mine/${picture##*/}"
  done
  mkdir read_only_folder
  chmod 555 read_only_folder
  assert_refused "read_only_folder/menu: cannot make folder: Permission denied" \
    as_plain_user rgbatool defaults read_only_folder/menu/mine
}

@test "a defaults run that fails half-way keeps what it added and names it on standard error" {
  mkdir menu
  ln -s my_own_background.rgba menu/output_spinrgb.rgba
  echo "<fontconfig></fontconfig>" >no_fonts.conf
  run --separate-stderr env FONTCONFIG_FILE="$PWD/no_fonts.conf" rgbatool defaults menu
  assert_failure 1
  assert_line --index 0 "rgbatool: kept menu/output_spinrgb.rgba"
  assert_line --index 1 "rgbatool: added menu/output_blank.rgba"
  assert_equal "${#lines[@]}" 2
  assert_equal "$stderr" "rgbatool: font DejaVu Sans Bold not found (Debian package fonts-dejavu-core)
rgbatool: before failing, added menu/output_blank.rgba"
  cmp "$PICTURES/output_blank.rgba" menu/output_blank.rgba

  run --separate-stderr with_file_size_limit 65536 rgbatool defaults new_menu
  assert_failure 1
  assert_output "rgbatool: made folder new_menu"
  assert_equal "$stderr" "rgbatool: new_menu/output_spinrgb.rgba: cannot write: File too large
rgbatool: before failing, made folder new_menu"
}
