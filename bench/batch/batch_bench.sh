#!/usr/bin/env bash
# Times `quillmark-cli run` on two corpora against the floors of the same job, `cp -r` (archive mode) and
# `cp -r` followed by `rm -r` of the source (delete mode), each followed by `sync`, on ext4 and, where it can
# make them, on XFS with shared blocks and on btrfs; then measures what an archive run adds to the space used
# there, the bytes read per camera JPEG, the peak memory on a 1.5 GB file, and ExifTool doing the nearest job
# it can. It prints the figures and asserts nothing.
#
#   batch_bench.sh QUILLMARK_CLI CACHE_FOLDER [REPEATS]
#
# Corpora, made once with ImageMagick and ExifTool and kept in CACHE_FOLDER: 200 camera-size JPEGs (4000 x 3000,
# about 5.5 MB) and 1,000 small ones (800 x 600, about 220 KB), each with Mac OS Roman IPTC, an Exif segment and
# an XMP packet with ExifTool's padding.
#
# File systems: ext4 is CACHE_FOLDER's own (it must be ext4 for the figures to mean that). XFS (mkfs.xfs -m
# reflink=1) and btrfs are made in sparse files of CACHE_FOLDER and mounted through loop devices for the run,
# which needs root, xfsprogs and btrfs-progs; without them those lines say why they are missing. On those two,
# `cp -r` shares the blocks of what it copies (coreutils 9), and so does Quillmark's output with its input.
#
# Jobs, each reading a fresh copy of the corpus and writing into a folder of its own, each followed by sync:
#   cp -r       cp -r source copy
#   cp + rm     cp -r source copy; rm -r source
#   archive     quillmark-cli --accents mac-to-windows --xmp sync --after archive run   (the archive on the same
#               file system)
#   delete      the same with --after delete
# The median of REPEATS runs (default 3) of each, the jobs taking turns. All copies are made before the timings:
# on ext4 the camera corpus needs about 7 GB of disk per repetition. Figures on a shared machine are noisy;
# compare the ratios of one run.
#
# Then, once each: the bytes that quillmark-cli reads of each camera JPEG (strace: read, pread64, readv); its
# peak memory (/usr/bin/time -v) on a camera JPEG followed by 1.5 GB of trailing data (a hole, so that making
# it costs nothing: the memory is the same for real bytes, which the kernel copies); and ExifTool on the small
# corpus, followed by sync:
#   exiftool -q -m -charset iptc=MacRoman -tagsFromFile @ -@ iptc2xmp.args -iptc:all -codedcharacterset=utf8
#            -o out/ in/
# (reads the Macintosh-coded IPTC, writes it back recoded, and writes the XMP from the IPTC).
set -euo pipefail

cli=$(realpath "$1")
cache=$2
repeats=${3:-3}
args_file=/usr/share/libimage-exiftool-perl/iptc2xmp.args
[ -f "$args_file" ] || args_file=/usr/share/doc/libimage-exiftool-perl/arg_files/iptc2xmp.args
for tool in convert exiftool strace /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "batch_bench: $tool is missing (scripts/install-deps)" >&2; exit 1; }
done
mkdir -p "$cache"
cache=$(realpath "$cache")
mounts=()
cleanup() {
  for m in "${mounts[@]}"; do umount "$m" 2>/dev/null || true; done
  rm -f "$cache"/*.img
}
trap cleanup EXIT

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

# mount_loop TYPE: makes the file system in a sparse file and mounts it; sets `root` to its folder, or to
# nothing, saying why on the standard error.
mount_loop() {
  root=""
  local type=$1 image=$cache/$1.img dir=$cache/mnt-$1 make
  case $type in
    xfs) make="mkfs.xfs -q -f -m reflink=1" ;;
    btrfs) make="mkfs.btrfs -q -f" ;;
  esac
  [ "$(id -u)" -eq 0 ] || { echo "batch_bench: $type not measured: a loop file system needs root" >&2; return; }
  command -v "${make%% *}" >/dev/null || { echo "batch_bench: $type not measured: ${make%% *} is missing" >&2; return; }
  mkdir -p "$dir"
  umount "$dir" 2>/dev/null || true
  rm -f "$image"
  truncate -s 24G "$image"
  if ! $make "$image" >/dev/null || ! mount -o loop "$image" "$dir"; then
    echo "batch_bench: $type not measured: it could not be made or mounted" >&2
    return
  fi
  mounts+=("$dir")
  root=$dir
}

timed() { # runs the command, then sync; prints the wall time of both and the command's CPU time, in seconds
  local TIMEFORMAT='%R %U %S' t
  t=$({ time { "$@" >/dev/null 2>&1; sync; }; } 2>&1)
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"$t"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

used() { df -B1 --output=used "$1" | tail -1; }

quillmark() { # FOLDER IN OUT AFTER: processes FOLDER/IN into FOLDER/OUT, archive or delete
  "$cli" --ini "$1/Quillmark.ini" --input "$1/$2" --output "$1/$3" --archive "$1/archive" --after "$4" \
    --accents mac-to-windows --xmp sync run
}

copy_and_remove() { cp -r "$1" "$2" && rm -r "$1"; }

prepare() { # FOLDER CORPUS: fresh copies of the corpus for each job; a settle time of 0, since the copies are
  # older than any settle time would ask
  mkdir -p "$1/out" "$1/dout" "$1/archive"
  printf '[Options]\nSettle=0\n' >"$1/Quillmark.ini"
  local copy
  for copy in in din source rsource; do cp -r "$2" "$1/$copy"; done
}

# bench FILE_SYSTEM ROOT NAME: the jobs on the corpus NAME, under ROOT; prints one line of figures
bench() {
  local fs=$1 root=$2 name=$3 corpus work files size r job t
  local cp_w=() rm_w=() qa_w=() qd_w=() space=()
  work=$root/work
  rm -rf "$work"
  mkdir -p "$work"
  corpus=$cache/$name
  if [ "$root" != "$cache" ]; then
    corpus=$root/corpus-$name
    [ -d "$corpus" ] || cp -r "$cache/$name" "$corpus"
  fi
  files=$(find "$corpus" -name '*.jpg' | wc -l)
  size=$(du -sb --apparent-size "$corpus" | cut -f1)
  # Every job reads a fresh copy of the corpus made the same way and writes into a folder of its own. The
  # copies are made first and kept to the end: ext4 creates files slowly near inodes deleted in the last
  # minute or so.
  for ((r = 0; r < repeats; r++)); do prepare "$work/$r" "$corpus"; done
  sync
  if [ "$fs" = ext4 ]; then
    echo "batch_bench: $fs $name: copies made; waiting 70 s so that no deleted inode is recent" >&2
    sleep 70
  fi
  local orders=("cp archive cprm delete" "archive cprm delete cp" "cprm delete cp archive" "delete cp archive cprm")
  for ((r = 0; r < repeats; r++)); do
    for job in ${orders[r % 4]}; do
      case $job in
        cp) read -r -a t <<<"$(timed cp -r "$work/$r/source" "$work/$r/copy")"; cp_w+=("${t[0]}") ;;
        cprm) read -r -a t <<<"$(timed copy_and_remove "$work/$r/rsource" "$work/$r/rcopy")"; rm_w+=("${t[0]}") ;;
        archive)
          local before
          before=$(used "$root")
          read -r -a t <<<"$(timed quillmark "$work/$r" in out archive)"
          qa_w+=("${t[0]}")
          space+=("$(awk -v a="$before" -v b="$(used "$root")" -v s="$size" 'BEGIN { printf "%.1f", 100 * (b - a) / s }')")
          ;;
        delete) read -r -a t <<<"$(timed quillmark "$work/$r" din dout delete)"; qd_w+=("${t[0]}") ;;
      esac
    done
    for out in out dout; do
      [ "$(find "$work/$r/$out" -name '*.jpg' | wc -l)" -eq "$files" ] || { echo "batch_bench: outputs missing" >&2; exit 1; }
    done
  done
  rm -rf "$work"
  sync
  awk -v fs="$fs" -v name="$name" -v files="$files" -v mb="$((size / 1000000))" -v c="$(median "${cp_w[@]}")" \
    -v cr="$(median "${rm_w[@]}")" -v a="$(median "${qa_w[@]}")" -v d="$(median "${qd_w[@]}")" \
    -v s="$(median "${space[@]}")" 'BEGIN {
      printf "%-6s %-7s %5d %6d   %6.2f %6.2f %6.2f   %6.2f %6.2f %6.2f   %6.1f%%\n", fs, name, files, mb, c, a, a / c, cr, d, d / cr, s
    }'
}

# bytes_read FOLDER: quillmark-cli under strace on a copy of the camera corpus; prints the mean and the largest
# number of kilobytes read of one input
bytes_read() {
  local work=$1/strace
  rm -rf "$work"
  mkdir -p "$work/out"
  printf '[Options]\nSettle=0\n' >"$work/Quillmark.ini"
  cp -r "$cache/camera" "$work/in"
  strace -f -qq -s 0 -e trace=openat,read,pread64,readv,close -o "$work/trace" \
    "$cli" --ini "$work/Quillmark.ini" --input "$work/in" --output "$work/out" --after delete \
    --accents mac-to-windows --xmp sync run >/dev/null
  awk -v dir="$work/in/" '
    / openat\(/ && index($0, "\"" dir) { split($0, q, "\""); fd[$1 " " $NF] = q[2]; next }
    / (read|pread64|readv)\(/ {
      split($2, c, "("); split(c[2], f, ","); key = $1 " " f[1]
      if (key in fd && $NF ~ /^[0-9]+$/) bytes[fd[key]] += $NF
    }
    / close\(/ { split($2, c, "("); split(c[2], f, ")"); delete fd[$1 " " f[1]] }
    END { for (k in bytes) { sum += bytes[k]; if (bytes[k] > max) max = bytes[k]; n++ }
          printf "%.0f %.0f %d\n", sum / n / 1024, max / 1024, n }' "$work/trace"
  rm -rf "$work"
}

# peak_memory FOLDER: the peak resident memory of quillmark-cli processing a camera JPEG followed by 1.5 GB of
# trailing data, in megabytes, and what became of it
peak_memory() {
  local work=$1/peak
  rm -rf "$work"
  mkdir -p "$work/in" "$work/out"
  printf '[Options]\nSettle=0\n' >"$work/Quillmark.ini"
  cp "$cache/camera/photo-0000.jpg" "$work/in/big.jpg"
  truncate -s +1536M "$work/in/big.jpg"
  # The largest limit the command line takes: no limit for any version of the program.
  /usr/bin/time -v -o "$work/time" "$cli" --ini "$work/Quillmark.ini" --input "$work/in" --output "$work/out" \
    --after delete --accents mac-to-windows --xmp sync --max-file-mb 1048576 run >"$work/said" 2>&1 || true
  printf '%.1f %s\n' "$(awk -F': ' '/Maximum resident/ { print $2 / 1024 }' "$work/time")" "$(head -1 "$work/said")"
  rm -rf "$work"
}

make_corpus camera 200 4000 3000
make_corpus small 1000 800 600

echo "batch_bench: $cli; medians of $repeats runs, each job followed by sync; seconds"
echo "fs     corpus  files     MB    cp -r archive  ratio  cp+rm delete  ratio   space an archive run adds"
for name in camera small; do bench "$(findmnt -n -o FSTYPE -T "$cache")" "$cache" "$name"; done
for fs in xfs btrfs; do
  mount_loop "$fs"
  [ -n "$root" ] || continue
  for name in camera small; do bench "$fs" "$root" "$name"; done
  umount "$root"
  rm -f "$cache/$fs.img"
done

read -r mean max count <<<"$(bytes_read "$cache")"
echo "bytes read per camera JPEG (strace: read, pread64, readv): $mean KB on average, $max KB at most, over $count files"
read -r peak said <<<"$(peak_memory "$cache")"
echo "peak memory on a camera JPEG followed by 1.5 GB of trailing data (/usr/bin/time -v): $peak MB ($said)"

work=$cache/exif
rm -rf "$work"
mkdir -p "$work/out" "$work/qm/out" "$work/qm/archive"
cp -r "$cache/small" "$work/in"
cp -r "$cache/small" "$work/qm/in"
printf '[Options]\nSettle=0\n' >"$work/qm/Quillmark.ini"
sync
read -r -a exif <<<"$(timed exiftool -q -m -charset iptc=MacRoman -tagsFromFile @ -@ "$args_file" -iptc:all \
  -codedcharacterset=utf8 -o "$work/out/" "$work/in/")"
read -r -a qm <<<"$(timed quillmark "$work/qm" in out archive)"
awk -v e="${exif[0]}" -v q="${qm[0]}" \
  'BEGIN { printf "exiftool + sync on the small corpus: %.2f s, %.1f times an archive run (%.2f s; one run each)\n", e, e / q, q }'
rm -rf "$work"
