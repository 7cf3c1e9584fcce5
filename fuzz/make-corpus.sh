#!/usr/bin/env bash
# Made the committed seed corpus once; kept for the record. The tag targets
# read a file whose first byte picks the extension (its index among the music
# extensions) and whose other bytes are the file: the test seed files, and a
# few more formats made with ffmpeg the same way the seeds were.
set -euo pipefail
cd "$(dirname "$0")"
seeds=../tests/data
extensions=(mp3 aac m4a ogg flac mpc spx wv tta wav aiff mp4 asf)
index_of() {
  local i
  for i in "${!extensions[@]}"; do
    [[ ${extensions[$i]} == "$1" ]] && { echo "$i"; return; }
  done
  return 1
}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
meta=(-metadata title="Seed Title" -metadata artist="Seed Artist" -metadata album="Seed Album"
      -metadata genre="Rock" -metadata comment="Seed comment" -metadata date=1999 -metadata track=3)
tone=(-f lavfi -i "sine=frequency=440:duration=0.05:sample_rate=8000")
ffmpeg -loglevel error -y "${tone[@]}" "${meta[@]}" -ac 1 -c:a pcm_s16be "$scratch/seed.aiff"
ffmpeg -loglevel error -y "${tone[@]}" "${meta[@]}" -ac 1 -c:a wavpack "$scratch/seed.wv"
ffmpeg -loglevel error -y "${tone[@]}" "${meta[@]}" -ac 1 -c:a tta "$scratch/seed.tta"
ffmpeg -loglevel error -y "${tone[@]}" "${meta[@]}" -ac 1 -c:a wmav2 -b:a 32k "$scratch/seed.asf"
ffmpeg -loglevel error -y "${tone[@]}" "${meta[@]}" -ac 1 -c:a aac -b:a 8k -f adts "$scratch/seed.aac"

for target in fuzz_tagread fuzz_tagsave; do
  mkdir -p "corpus/$target"
  for file in "$seeds"/seed.* "$scratch"/seed.*; do
    extension=${file##*.}
    index=$(index_of "$extension") || continue
    { printf "\\x$(printf %02x "$index")"; cat "$file"; } > "corpus/$target/$extension"
  done
done

mkdir -p corpus/fuzz_encoding corpus/fuzz_filename corpus/fuzz_regex
printf '\x01\x06Caf\xc3\xa9' > corpus/fuzz_encoding/cafe
printf '\x06\x01\xc3\x83\xc2\xa9t\xc3\x83\xc2\xa9' > corpus/fuzz_encoding/mojibake
printf '\x05\x01\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82' > corpus/fuzz_encoding/cyrillic
printf '\x0c\x03\xe6\x97\xa5\xe6\x9c\xac\\u0041' > corpus/fuzz_encoding/escapes
printf '#n - #t\x01\x02\x03Intro.mp3' > corpus/fuzz_filename/number-title
printf '#a/#l/#t\x00\x01../\x01..\x01.hidden' > corpus/fuzz_filename/separators
printf '(\\w+) (\\w+)\x00$2 $1\x00Seed Artist' > corpus/fuzz_regex/swap
printf '^(?i)the\\s+\x00${name}\x00The Band\nThe Other' > corpus/fuzz_regex/lines

# The structure check: the first byte picks the format (filestructure::Format's order).
formats=(mp3 flac m4a ogg asf wav aiff tta wv)
mkdir -p corpus/fuzz_structure
for i in "${!formats[@]}"; do
  extension=${formats[$i]}
  seed=corpus/fuzz_tagread/$extension
  [[ -f $seed ]] || continue
  { printf "\\x$(printf %02x "$i")"; tail -c +2 "$seed"; } > "corpus/fuzz_structure/$extension"
done

# Playlists: the first byte picks m3u, m3u8, pls, xspf or an extension that says nothing.
mkdir -p corpus/fuzz_playlist
printf '\x00#EXTM3U\r\n#PLAYLIST:Road\r\n#EXTINF:12,A - B\r\nmusic/a.mp3\r\n../b.flac\r\n/abs/c.ogg\r\nC:\\Music\\d.mp3\r\nhttp://radio.example/stream\r\nfile:///home/x/e%%20f.mp3\r\n' > corpus/fuzz_playlist/m3u
printf '\x01\xef\xbb\xbf#EXTM3U\n\xc3\xa9t\xc3\xa9.mp3\nsub\\dir\\song.mp3\nfile://otherhost/x.mp3\n' > corpus/fuzz_playlist/m3u8
printf '\x02[playlist]\nFile2=second.mp3\nTitle2=Second\nFile1=first.mp3\nX-GNOME-Title=Mix\nNumberOfEntries=2\nVersion=2\n' > corpus/fuzz_playlist/pls
printf '\x03<?xml version="1.0" encoding="UTF-8"?>\n<playlist version="1" xmlns="http://xspf.org/ns/0/">\n<title>List</title>\n<trackList>\n<track><location>file:///m/a.mp3</location><location>b.mp3</location></track>\n<track><title>no location</title></track>\n<track><location>rel/c.ogg</location></track>\n</trackList>\n</playlist>\n' > corpus/fuzz_playlist/xspf
printf '\x04#EXTM3U\na.mp3\n' > corpus/fuzz_playlist/sniffed-m3u
