#!/usr/bin/env bash
# Times `quillmark-cli run` on two corpora against `cp -r` of the same files and against ExifTool doing the
# nearest job it can, each followed by `sync` (Quillmark puts every output on the device before its input
# leaves; the others are timed until their files are on the device too), and prints the figures and their
# ratios. It asserts nothing.
#
#   batch_bench.sh QUILLMARK_CLI CACHE_FOLDER [REPEATS]
#
# Corpora, made once with ImageMagick and ExifTool and kept in CACHE_FOLDER: 200 camera-size JPEGs (4000 x 3000,
# about 5.5 MB) and 1,000 small ones (800 x 600, about 220 KB), each with Mac OS Roman IPTC, an Exif segment and
# an XMP packet with ExifTool's padding.
#
# Jobs, each reading a fresh copy of the corpus and writing into a folder of its own, each followed by sync:
#   cp -r       cp -r source copy
#   archive     quillmark-cli --accents mac-to-windows --xmp sync --after archive run   (the archive on the same
#               file system)
#   delete      the same with --after delete
#   ExifTool    exiftool -q -m -charset iptc=MacRoman -tagsFromFile @ -@ iptc2xmp.args -iptc:all
#                        -codedcharacterset=utf8 -o out/ in/
#               (reads the Macintosh-coded IPTC, writes it back recoded, and writes the XMP from the IPTC)
# cp -r, archive and delete: the median of REPEATS runs (default 4), taking turns. ExifTool: one run. All
# copies are made before the timings and kept until the corpus is done: the camera corpus needs about 7 GB of
# disk per repetition, plus 2 GB. Figures on a shared machine are noisy; compare the ratios of one run.
set -euo pipefail

cli=$(realpath "$1")
cache=$2
repeats=${3:-4}
args_file=/usr/share/libimage-exiftool-perl/iptc2xmp.args
[ -f "$args_file" ] || args_file=/usr/share/doc/libimage-exiftool-perl/arg_files/iptc2xmp.args
for tool in convert exiftool; do
  command -v "$tool" >/dev/null || { echo "batch_bench: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
mkdir -p "$cache"
cache=$(realpath "$cache")
work=$cache/work

# make_corpus NAME COUNT WIDTH HEIGHT
make_corpus() {
  local dir=$cache/$1
  [ -f "$dir/.complete" ] && return
  echo "batch_bench: making the $1 corpus in $dir (once)" >&2
  rm -rf "$dir"
  mkdir -p "$dir"
  local base=$cache/$1-base.jpg
  convert -size "$3x$4" xc:gray +noise Random -blur 0x0.7 -quality 90 "$base"
  exiftool -q -overwrite_original -charset iptc=MacRoman \
    -IPTC:ObjectName="Fête de la musique" \
    -IPTC:Caption-Abstract="Café, crème brûlée et naïveté à l'Hôtel de Ville, près de la Cathédrale" \
    -IPTC:By-line="Agnès Müller" -IPTC:City="Besançon" -IPTC:Keywords="été" -IPTC:Keywords="musique" \
    -EXIF:Make=Canon -EXIF:Model="EOS R5" -EXIF:DateTimeOriginal="2026:06:21 18:30:00" \
    -XMP-dc:Title="Fete" -XMP-dc:Description="to be replaced" -XMP-photoshop:City="Besancon" "$base"
  for ((i = 0; i < $2; i++)); do cp "$base" "$(printf '%s/photo-%04d.jpg' "$dir" "$i")"; done
  rm -f "$base"
  touch "$dir/.complete"
}

timed() { # runs the command, then sync; prints the wall time of both and the command's CPU time (user +
  # system), in seconds
  local TIMEFORMAT='%R %U %S' t
  t=$({ time { "$@" >/dev/null 2>&1; sync; }; } 2>&1)
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$t"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

quillmark() { # FOLDER AFTER: processes FOLDER/in into FOLDER/out, archive or delete
  "$cli" --ini "$1/Quillmark.ini" --input "$1/in" --output "$1/out" --archive "$1/archive" --after "$2" \
    --accents mac-to-windows --xmp sync run
}

prepare() { # FOLDER: fresh copies of the corpus as FOLDER/in (archive), FOLDER/din (delete) and FOLDER/source
  # (cp -r); a settle time of 0, since the copies are older than any settle time would ask
  mkdir -p "$1/out" "$1/dout" "$1/archive"
  printf '[Options]\nSettle=0\n' >"$1/Quillmark.ini"
  cp -r "$corpus" "$1/in"
  cp -r "$corpus" "$1/din"
  cp -r "$corpus" "$1/source"
}

quillmark_delete() { # FOLDER: processes FOLDER/din into FOLDER/dout, deleting the inputs
  "$cli" --ini "$1/Quillmark.ini" --input "$1/din" --output "$1/dout" --after delete \
    --accents mac-to-windows --xmp sync run
}

bench() { # NAME
  corpus=$cache/$1
  local files size cp_wall=() cp_cpu=() qm_wall=() qm_cpu=() del_wall=() del_cpu=() t r
  files=$(find "$corpus" -name '*.jpg' | wc -l)
  size=$(du -sm "$corpus" | cut -f1)
  # Every job reads a fresh copy of the corpus made the same way (files just written copy more slowly than
  # files long in the page cache), and writes into a folder of its own. The copies are made first and kept to
  # the end: ext4 creates files slowly near inodes deleted in the last minute or so.
  rm -rf "$work"
  for ((r = 0; r < repeats; r++)); do prepare "$work/$r"; done
  mkdir -p "$work/exif/out"
  cp -r "$corpus" "$work/exif/in"
  sync
  echo "batch_bench: $1: copies made; waiting 70 s so that no deleted inode is recent" >&2
  sleep 70
  local orders=("cp archive delete" "archive delete cp" "delete cp archive")
  for ((r = 0; r < repeats; r++)); do
    # A job that runs later is slower, so the three take turns.
    for job in ${orders[r % 3]}; do
      case $job in
        cp)
          read -r -a t <<<"$(timed cp -r "$work/$r/source" "$work/$r/copy")"
          cp_wall+=("${t[0]}") cp_cpu+=("${t[1]}") ;;
        archive)
          read -r -a t <<<"$(timed quillmark "$work/$r" archive)"
          qm_wall+=("${t[0]}") qm_cpu+=("${t[1]}") ;;
        delete)
          read -r -a t <<<"$(timed quillmark_delete "$work/$r")"
          del_wall+=("${t[0]}") del_cpu+=("${t[1]}") ;;
      esac
    done
    for out in out dout; do
      [ "$(find "$work/$r/$out" -name '*.jpg' | wc -l)" -eq "$files" ] || { echo "batch_bench: outputs missing" >&2; exit 1; }
    done
  done
  local exif
  read -r -a exif <<<"$(timed exiftool -q -m -charset iptc=MacRoman -tagsFromFile @ -@ "$args_file" -iptc:all \
    -codedcharacterset=utf8 -o "$work/exif/out/" "$work/exif/in/")"
  rm -rf "$work"
  awk -v name="$1" -v files="$files" -v size="$size" -v cw="$(median "${cp_wall[@]}")" \
    -v cc="$(median "${cp_cpu[@]}")" -v qw="$(median "${qm_wall[@]}")" -v qc="$(median "${qm_cpu[@]}")" \
    -v dw="$(median "${del_wall[@]}")" -v dc="$(median "${del_cpu[@]}")" -v ew="${exif[0]}" -v ec="${exif[1]}" 'BEGIN {
      printf "%s: %d files, %d MB, each job + sync   wall s   ratio   CPU s   ratio\n", name, files, size
      printf "  cp -r                                 %6.2f   %5.2f  %6.2f   %5.2f\n", cw, 1, cc, 1
      printf "  quillmark-cli run, archive            %6.2f   %5.2f  %6.2f   %5.2f   (of cp -r)\n", qw, qw / cw, qc, qc / cc
      printf "  quillmark-cli run, delete             %6.2f   %5.2f  %6.2f   %5.2f   (of cp -r)\n", dw, dw / cw, dc, dc / cc
      printf "  exiftool                              %6.2f   %5.1f  %6.2f   %5.1f   (times archive; one run)\n", ew, ew / qw, ec, ec / qc
    }'
}

make_corpus camera 200 4000 3000
make_corpus small 1000 800 600
echo "batch_bench: medians of $repeats runs; CPU is user + system time of the job's processes"
bench camera
bench small
rm -rf "$work"
