#!/usr/bin/env bash
# Made the seed files once with Debian's ffmpeg; kept for the record. The
# committed files are what the tests use. Each is a fifth of a second of tone.
set -euo pipefail
cd "$(dirname "$0")"
meta=(-metadata title="Seed Title" -metadata artist="Seed Artist" -metadata album="Seed Album"
      -metadata genre="Rock" -metadata comment="Seed comment" -metadata date=1999 -metadata track=3)
tone=(-f lavfi -i "sine=frequency=440:duration=0.2:sample_rate=8000")
ffmpeg -loglevel error -y "${tone[@]}" "${meta[@]}" -ac 1 -c:a libmp3lame -b:a 8k -id3v2_version 3 -write_id3v1 0 seed.mp3
ffmpeg -loglevel error -y "${tone[@]}" "${meta[@]}" -ac 1 -c:a flac seed.flac
ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=440:duration=0.2:sample_rate=16000" "${meta[@]}" -ac 1 -c:a libvorbis -q:a 0 seed.ogg
ffmpeg -loglevel error -y "${tone[@]}" "${meta[@]}" -ac 1 -c:a aac -b:a 8k seed.m4a
ffmpeg -loglevel error -y "${tone[@]}" "${meta[@]}" -ac 1 -c:a pcm_u8 seed.wav
ffmpeg -loglevel error -y "${tone[@]}" "${meta[@]}" -ac 1 -c:a wavpack seed.wv
ffmpeg -loglevel error -y "${tone[@]}" "${meta[@]}" -ac 1 -c:a wmav2 -b:a 24k seed.wma
ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=440:duration=0.2:sample_rate=48000" "${meta[@]}" -ac 1 -c:a libopus -b:a 8k seed.opus
# The pictures: convert -size 64x48 gradient:red-blue -quality 80 cover.jpg; convert -size 40x30 gradient:green-yellow cover.png
