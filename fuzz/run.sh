#!/bin/sh
# Builds a fuzz target with clang in build-fuzz/ and runs it, seeded with every
# movie of the shared corpus (plus an uncompressed copy of each, so that
# mutations reach the tags rather than the zlib stream).
#
#   fuzz/run.sh TARGET SECONDS [extra libFuzzer options...]
#
# Findings land in build-fuzz/fuzz-work/TARGET/artifacts/. Minimise one with
#   build-fuzz/fuzz/TARGET -minimize_crash=1 -runs=20000 -exact_artifact_path=OUT FILE
# and commit OUT under fuzz/regressions/.
set -eu
target=${1:?usage: fuzz/run.sh TARGET SECONDS [libFuzzer options]}
seconds=${2:?usage: fuzz/run.sh TARGET SECONDS [libFuzzer options]}
shift 2

root=$(cd "$(dirname "$0")/.." && pwd)
build=${VANTREL_FUZZ_BUILD:-$root/build-fuzz}
corpus=${VANTREL_CORPUS_DIR:-$root/../shared/corpus}
work=$build/fuzz-work/$target

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTREL_FUZZ=ON -DVANTREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target "$target"

mkdir -p "$work/found" "$work/seeds" "$work/artifacts"
if [ -z "$(ls -A "$work/seeds")" ]; then
    python3 - "$corpus" "$root" "$work/seeds" "$target" <<'PY'
import hashlib, lzma, pathlib, struct, sys, zlib
corpus, root, out = map(pathlib.Path, sys.argv[1:4])
target = sys.argv[4]

def tags(body):
    """Yields (code, body) of every tag, those inside sprites included."""
    pos = 0
    while pos + 2 <= len(body):
        head = struct.unpack_from("<H", body, pos)[0]
        pos += 2
        code, length = head >> 6, head & 0x3F
        if length == 0x3F:
            if pos + 4 > len(body):
                return
            length = struct.unpack_from("<I", body, pos)[0]
            pos += 4
        data = body[pos:pos + length]
        pos += length
        yield code, data
        if code == 39 and len(data) > 4:  # DefineSprite: id, frame count, tags
            yield from tags(data[4:])

def action_blocks(movie):
    """The script fuzzer eats action blocks, not movies: one version byte, then
    the bytes of every DoAction and DoInitAction in the movie."""
    if movie[:3] == b"CWS":
        movie = b"FWS" + movie[3:8] + zlib.decompressobj().decompress(movie[8:])
    if movie[:3] != b"FWS":
        return []
    version = movie[3]
    nbits = movie[8] >> 3
    start = 8 + (5 + 4 * nbits + 7) // 8 + 4
    blocks = []
    for code, data in tags(movie[start:]):
        if code == 12:
            blocks.append(bytes([version - 4]) + data)
        elif code == 59 and len(data) > 2:
            blocks.append(bytes([version - 4]) + data[2:])
    return blocks

if target == "fuzz_sol":
    # Saves, not movies: the committed seed saves and any regression.
    for path in sorted((root / "fuzz" / "seeds" / "sol").glob("*")) + sorted((root / "fuzz" / "regressions").glob("*.sol")):
        data = path.read_bytes()
        (out / (hashlib.sha1(data).hexdigest()[:16] + ".sol")).write_bytes(data)
    sys.exit(0)

def abc_files(movie):
    """The bytecode fuzzer eats the files of DoABC tags, not movies."""
    if movie[:3] == b"CWS":
        movie = b"FWS" + movie[3:8] + zlib.decompressobj().decompress(movie[8:])
    if movie[:3] != b"FWS":
        return []
    nbits = movie[8] >> 3
    start = 8 + (5 + 4 * nbits + 7) // 8 + 4
    files = []
    for code, data in tags(movie[start:]):
        if code == 72:
            files.append(data)
        elif code == 82 and len(data) > 4:
            end = data.find(b"\0", 4)
            if end >= 0:
                files.append(data[end + 1:])
    return files

movies = sorted(corpus.rglob("*.swf")) + sorted((root / "examples").glob("*.swf")) + sorted((root / "fuzz" / "regressions").glob("*"))
for path in movies:
    data = path.read_bytes()
    if target == "fuzz_abc":
        try:
            variants = abc_files(data)
        except Exception:
            variants = []
        for v in variants:
            (out / (hashlib.sha1(v).hexdigest()[:16] + ".abc")).write_bytes(v)
        continue
    if target == "fuzz_script":
        try:
            variants = action_blocks(data)
        except Exception:
            variants = []
        if path.suffix == ".bin":
            variants.append(data)
        for v in variants:
            (out / (hashlib.sha1(v).hexdigest()[:16] + ".bin")).write_bytes(v)
        continue
    variants = [data]
    try:
        if data[:3] == b"CWS":
            variants.append(b"FWS" + data[3:8] + zlib.decompressobj().decompress(data[8:]))
        elif data[:3] == b"ZWS":
            alone = data[12:17] + b"\xff" * 8 + data[17:]
            body = lzma.LZMADecompressor(format=lzma.FORMAT_ALONE).decompress(alone)
            variants.append(b"FWS" + data[3:8] + body)
    except Exception:
        pass
    for v in variants:
        (out / (hashlib.sha1(v).hexdigest()[:16] + ".swf")).write_bytes(v)
print("seeds:", len(list(out.iterdir())), file=sys.stderr)
PY
fi

cd "$work"
# System libraries Qt loads keep some allocations for the life of the process;
# they are not leaks of ours (see lsan.supp).
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/fuzz/lsan.supp}
exec "$build/fuzz/$target" "$work/found" "$work/seeds" \
    -max_len="${MAX_LEN:-65536}" -rss_limit_mb=2048 -timeout=20 \
    -max_total_time="$seconds" -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@"
