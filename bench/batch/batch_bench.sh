#!/usr/bin/env bash
# Times `quillmark-cli run` on two corpora against `cp -r` of the same files and against ExifTool doing the
# nearest job it can, and prints the figures and their ratios. It asserts nothing.
#
#   batch_bench.sh QUILLMARK_CLI CACHE_FOLDER [REPEATS]
#
# Corpora, made once with ImageMagick and ExifTool and kept in CACHE_FOLDER: 200 camera-size JPEGs (4000 x 3000,
# about 5.5 MB) and 1,000 small ones (800 x 600, about 220 KB), each with Mac OS Roman IPTC, an Exif segment and
# an XMP packet with ExifTool's padding.
#
# Jobs, each reading every file of the corpus and writing a result into a fresh folder:
#   cp -r       cp -r work/source work/copy, work/source being a fresh copy of the corpus, as work/in is
#   quillmark   quillmark-cli --accents mac-to-windows --xmp sync --after archive run   (on work/in, with the
#               archive on the same file system; also --after delete, which flushes each output to the device)
#   ExifTool    exiftool -q -m -charset iptc=MacRoman -tagsFromFile @ -@ iptc2xmp.args -iptc:all
#                        -codedcharacterset=utf8 -o work/exif/ work/in/
#               (reads the Macintosh-coded IPTC, writes it back recoded, and writes the XMP from the IPTC)
# cp -r and quillmark: the median of REPEATS runs (default 6) in turns, with the page cache warm and written
# back before each timing. ExifTool and the delete run: one run. This machine's figures are noisy; compare
# ratios of the same run only.
set -euo pipefail

cli=$(realpath "$1")
cache=$2
repeats=${3:-6}
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

timed() { # runs the command; prints its wall time and its CPU time (user + system), in seconds
  local TIMEFORMAT='%R %U %S' t
  t=$({ time "$@" >/dev/null 2>&1; } 2>&1)
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$t"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

fresh_work() {
  rm -rf "$work"
  mkdir -p "$work/out" "$work/archive"
  : >"$work/Quillmark.ini"
  sync
}

quillmark() { # AFTER: archive or delete; work/in must hold the corpus
  "$cli" --ini "$work/Quillmark.ini" --input "$work/in" --output "$work/out" --archive "$work/archive" \
    --after "$1" --accents mac-to-windows --xmp sync run
}

bench() { # NAME
  local corpus=$cache/$1 files size cp_wall=() cp_cpu=() qm_wall=() qm_cpu=() t
  files=$(find "$corpus" -name '*.jpg' | wc -l)
  size=$(du -sm "$corpus" | cut -f1)
  cat "$corpus"/*.jpg >/dev/null
  for ((r = 0; r < repeats; r++)); do
    # Each job reads its own fresh copy of the corpus, made the same way: files just written copy more slowly
    # than files long in the page cache. The job that runs second is slower, so the two take turns.
    fresh_work
    cp -r "$corpus" "$work/source"
    cp -r "$corpus" "$work/in"
    sync
    for job in $( ((r % 2)) && echo "quillmark cp" || echo "cp quillmark"); do
      if [ "$job" = cp ]; then
        read -r -a t <<<"$(timed cp -r "$work/source" "$work/copy")"
        cp_wall+=("${t[0]}") cp_cpu+=("${t[1]}")
      else
        read -r -a t <<<"$(timed quillmark archive)"
        qm_wall+=("${t[0]}") qm_cpu+=("${t[1]}")
      fi
      sync
    done
    [ "$(find "$work/out" -name '*.jpg' | wc -l)" -eq "$files" ] || { echo "batch_bench: outputs missing" >&2; exit 1; }
  done
  fresh_work
  cp -r "$corpus" "$work/in"
  sync
  local delete exif
  read -r -a delete <<<"$(timed quillmark delete)"
  fresh_work
  cp -r "$corpus" "$work/in"
  mkdir -p "$work/exif"
  sync
  read -r -a exif <<<"$(timed exiftool -q -m -charset iptc=MacRoman -tagsFromFile @ -@ "$args_file" -iptc:all \
    -codedcharacterset=utf8 -o "$work/exif/" "$work/in/")"
  awk -v name="$1" -v files="$files" -v size="$size" -v cw="$(median "${cp_wall[@]}")" \
    -v cc="$(median "${cp_cpu[@]}")" -v qw="$(median "${qm_wall[@]}")" -v qc="$(median "${qm_cpu[@]}")" \
    -v dw="${delete[0]}" -v dc="${delete[1]}" -v ew="${exif[0]}" -v ec="${exif[1]}" 'BEGIN {
      printf "%s: %d files, %d MB            wall s   ratio   CPU s   ratio\n", name, files, size
      printf "  cp -r                            %6.2f   %5.2f  %6.2f   %5.2f\n", cw, 1, cc, 1
      printf "  quillmark-cli run, archive       %6.2f   %5.2f  %6.2f   %5.2f   (of cp -r)\n", qw, qw / cw, qc, qc / cc
      printf "  quillmark-cli run, delete        %6.2f   %5.2f  %6.2f   %5.2f   (of cp -r; one run)\n", dw, dw / cw, dc, dc / cc
      printf "  exiftool                         %6.2f   %5.1f  %6.2f   %5.1f   (times quillmark; one run)\n", ew, ew / qw, ec, ec / qc
    }'
}

make_corpus camera 200 4000 3000
make_corpus small 1000 800 600
echo "batch_bench: medians of $repeats runs; CPU is user + system time of the job's processes"
bench camera
bench small
rm -rf "$work"
